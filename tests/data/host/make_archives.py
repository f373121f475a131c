#!/usr/bin/env python3
"""Writes the zip fixtures of the host's archive tests into this folder.

legacy_cp936.zip  names in code page 936 without the UTF-8 flag, as Chinese Windows writes them
dotdot.zip        a good entry, then "../evil.txt"
absolute.zip      a good entry, then "/tmp/corvane-evil.txt"
symlink.zip       a good entry, then a symbolic link "link.txt" -> "/etc/passwd"
"""
import os
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))


class LegacyInfo(zipfile.ZipInfo):
    """An entry whose name is stored in code page 936 with no UTF-8 flag."""

    def _encodeFilenameFlags(self):
        return self.filename.encode("cp936"), self.flag_bits & ~0x800


def write(name, entries):
    with zipfile.ZipFile(os.path.join(HERE, name), "w", zipfile.ZIP_DEFLATED) as archive:
        for info, data in entries:
            archive.writestr(info, data)


def plain(name):
    info = zipfile.ZipInfo(name, date_time=(2024, 1, 1, 0, 0, 0))
    info.create_system = 3
    info.external_attr = 0o100644 << 16
    return info


def link(name):
    info = plain(name)
    info.external_attr = 0o120777 << 16
    return info


def legacy(name):
    info = LegacyInfo(name, date_time=(2024, 1, 1, 0, 0, 0))
    info.create_system = 0
    return info


write("legacy_cp936.zip", [(legacy("审计通知书.txt"), "通知".encode("utf-8")),
                           (legacy("资料/工作底稿.xls"), b"sheet")])
write("dotdot.zip", [(plain("good.txt"), b"good"), (plain("../evil.txt"), b"evil")])
write("absolute.zip", [(plain("good.txt"), b"good"), (plain("/tmp/corvane-evil.txt"), b"evil")])
write("symlink.zip", [(plain("good.txt"), b"good"), (link("link.txt"), b"/etc/passwd")])
