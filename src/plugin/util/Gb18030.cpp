#include "util/Gb18030.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace zq {

QByteArray toGb18030(const QString& text) {
    QStringEncoder encoder("GB18030");
    return encoder.encode(text);
}

QString fromGb18030(const QByteArray& bytes) {
    QStringDecoder decoder("GB18030");
    return decoder.decode(bytes);
}

QString fromGb18030(const char* bytes) {
    return bytes ? fromGb18030(QByteArray(bytes)) : QString();
}

} // namespace zq
