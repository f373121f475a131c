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


# Hostile input of every other kind. Each archive starts with a harmless entry, so that a
# refusal that still placed something shows.
def deflated(name, data, flag_utf8=True):
    info = plain(name)
    info.compress_type = zipfile.ZIP_DEFLATED
    if not flag_utf8:
        info.flag_bits &= ~0x800
    return info, data


def patched(name, entries, old, new):
    """Writes the archive, then replaces bytes in it (names python would not write)."""
    write(name, entries)
    path = os.path.join(HERE, name)
    with open(path, "rb") as f:
        data = f.read()
    assert old in data and len(old) == len(new)
    with open(path, "wb") as f:
        f.write(data.replace(old, new))


class RawNameInfo(zipfile.ZipInfo):
    """An entry whose name bytes are UTF-8 but carry no UTF-8 flag, as Linux tools write them."""

    def _encodeFilenameFlags(self):
        return self.filename.encode("utf-8"), self.flag_bits & ~0x800


def mode(name, bits):
    info = plain(name)
    info.external_attr = bits << 16
    return info


good = (plain("good.txt"), b"good")
patched("nul_name.zip", [good, (plain("safe.txtX.exe"), b"evil")], b"safe.txtX.exe",
        b"safe.txt\x00.exe")
write("bidi.zip", [good, (plain("invoice\u202etxt.exe"), b"evil")])
write("fifo.zip", [good, (mode("pipe", 0o010644), b"")])
write("device.zip", [good, (mode("disk", 0o060644), b"")])
write("dirlink.zip", [good, (link("d"), b"/tmp"), (plain("d/corvane-evil.txt"), b"evil")])
write("backslash.zip", [good, (plain("..\\evil.txt"), b"evil")])
write("drive.zip", [good, (plain("C:\\evil.txt"), b"evil")])
write("drive_relative.zip", [good, (plain("c:evil.txt"), b"evil")])
write("duplicate.zip", [good, (plain("a/x.txt"), b"one"), (plain("b/x.txt"), b"two")])
write("control.zip", [good, (plain("evil\x1b[2J.txt"), b"evil")])
write("bomb.zip", [good, deflated("zeros.bin", bytes(4 << 20))])
write("utf8_noflag.zip", [(RawNameInfo("审计报告.doc", date_time=(2024, 1, 1, 0, 0, 0)), b"doc")])

# A header that lies about the size: the central and local records claim 4 bytes of "good".
patched("lying_size.zip", [(plain("a.txt"), b"content"), (plain("b.txt"), b"content")],
        b"\x07\x00\x00\x00\x07\x00\x00\x00", b"\x04\x00\x00\x00\x04\x00\x00\x00")

# Two central records pointing at the same local entry (overlapping entries).
write("overlap.zip", [good, (plain("x.txt"), b"x" * 100)])
with open(os.path.join(HERE, "overlap.zip"), "rb") as f:
    data = bytearray(f.read())
end = data.rindex(b"PK\x05\x06")
cd_size = int.from_bytes(data[end + 12:end + 16], "little")
cd_offset = int.from_bytes(data[end + 16:end + 20], "little")
last = data.rindex(b"PK\x01\x02", cd_offset, end)
copy = bytearray(data[last:end])
copy[46:51] = b"y.txt"
data[end:end] = copy
end += len(copy)
data[end + 8:end + 10] = (int.from_bytes(data[end + 8:end + 10], "little") + 1).to_bytes(2, "little")
data[end + 10:end + 12] = (int.from_bytes(data[end + 10:end + 12], "little") + 1).to_bytes(2, "little")
data[end + 12:end + 16] = (cd_size + len(copy)).to_bytes(4, "little")
with open(os.path.join(HERE, "overlap.zip"), "wb") as f:
    f.write(data)

# A truncated archive and one whose compressed data is damaged.
write("corrupt.zip", [good, deflated("text.txt", b"the quick brown fox " * 500)])
with open(os.path.join(HERE, "corrupt.zip"), "rb") as f:
    data = bytearray(f.read())
with open(os.path.join(HERE, "truncated.zip"), "wb") as f:
    f.write(data[:len(data) // 2])
at = data.index(b"text.txt") + len(b"text.txt") + 5  # inside the deflated data
data[at:at + 10] = b"\xff" * 10
with open(os.path.join(HERE, "corrupt.zip"), "wb") as f:
    f.write(data)
