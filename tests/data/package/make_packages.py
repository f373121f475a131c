#!/usr/bin/env python3
"""Writes the template package fixtures of the exchange tests into this folder.

windows_cp936.TempFile  a package as the Windows host writes it: entry names in code page 936
                        without the UTF-8 flag, the manifest in code page 936 bytes under the
                        gb2312 label, CRLF line ends, and characters that code page 936 has
                        but GB2312 lacks (堃, 喆)
"""
import os
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))


class LegacyInfo(zipfile.ZipInfo):
    """An entry whose name is stored in code page 936 with no UTF-8 flag."""

    def _encodeFilenameFlags(self):
        return self.filename.encode("cp936"), self.flag_bits & ~0x800


def legacy(name):
    info = LegacyInfo(name, date_time=(2024, 1, 1, 0, 0, 0))
    info.create_system = 0
    info.compress_type = zipfile.ZIP_DEFLATED
    return info


MANIFEST = (
    '<?xml version="1.0" encoding="gb2312"?>\r\n'
    "<模板文件数据包>\r\n"
    '<模板分类 模板分类编码="0001" 模板分类名称="审计底稿" 模板分类说明="年度审计"/>\r\n'
    '<模板分类 模板分类编码="00010001" 模板分类名称="堃类" 模板分类说明="喆的说明"/>\r\n'
    '<模板文件 模板文件名称="堃表" 模板文件="堃表.xls" 模板文件说明="喆" '
    '模板文件分类编码="00010001" 模板文件类型="EXCEL" 模板文件关键字="表"/>\r\n'
    '<模板文件 模板文件名称="审计报告" 模板文件="审计报告模板.doc" 模板文件说明="" '
    '模板文件分类编码="0001" 模板文件类型="WORD" 模板文件关键字="报告"/>\r\n'
    "</模板文件数据包>\r\n"
)

with zipfile.ZipFile(os.path.join(HERE, "windows_cp936.TempFile"), "w") as archive:
    archive.writestr(legacy("模板文件信息.xml"), MANIFEST.encode("cp936"))
    archive.writestr(legacy("堃表.xls"), "堃表".encode("cp936"))
    archive.writestr(legacy("审计报告模板.doc"), "审计报告".encode("cp936"))
