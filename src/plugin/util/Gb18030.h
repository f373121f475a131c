#pragma once

#include <QByteArray>
#include <QString>

namespace zq {

// Texts cross the binary interface as GB18030 bytes (a superset of GB2312 and code page 936).
QByteArray toGb18030(const QString& text);
QString fromGb18030(const char* bytes);
QString fromGb18030(const QByteArray& bytes);

} // namespace zq
