#include "catalogue/Pinyin.h"

#include "util/Error.h"

#include <QHash>

#include <memory>
#include <unicode/translit.h>
#include <unicode/unistr.h>

namespace zq {

namespace {

bool isAsciiAlnum(char32_t c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// ICU's reading of one character, reduced to lower-case ASCII letters and digits. Transforming
// costs tens of microseconds a character, so each character is transformed once.
QString readingOf(char32_t c) {
    static std::unique_ptr<icu::Transliterator> transform;
    static QHash<char32_t, QString> readings;
    if (const auto found = readings.constFind(c); found != readings.cend())
        return *found;
    if (!transform) {
        UErrorCode status = U_ZERO_ERROR;
        transform.reset(
            icu::Transliterator::createInstance("Han-Latin; Latin-ASCII", UTRANS_FORWARD, status));
        if (U_FAILURE(status) || !transform)
            throw Error(QStringLiteral("无法加载拼音转换（ICU）：%1")
                            .arg(QString::fromLatin1(u_errorName(status))));
    }
    icu::UnicodeString text(static_cast<UChar32>(c));
    transform->transliterate(text);
    std::string latin;
    text.toUTF8String(latin);
    QString reading;
    for (const char ch : latin)
        if (isAsciiAlnum(char32_t(static_cast<unsigned char>(ch))))
            reading.append(QChar(ch).toLower());
    readings.insert(c, reading);
    return reading;
}

} // namespace

PinyinKeys pinyinKeys(const QString& text) {
    PinyinKeys keys;
    for (const char32_t c : text.toUcs4()) {
        if (isAsciiAlnum(c)) {
            const QChar ch = QChar(c).toLower();
            keys.spelling.append(ch);
            keys.initials.append(ch);
            continue;
        }
        if (c < 0x80)
            continue; // blanks and punctuation only separate
        const QString reading = readingOf(c);
        if (reading.isEmpty())
            continue;
        keys.spelling += reading;
        // A Han character is a syllable of its own; anything else ICU spells out (full-width
        // letters, accented letters) is kept whole.
        keys.initials += QChar::script(c) == QChar::Script_Han ? reading.left(1) : reading;
    }
    return keys;
}

bool isPinyinQuery(const QString& text) {
    bool letter = false;
    for (const QChar ch : text) {
        const char16_t c = ch.unicode();
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))
            letter = true;
        else if (!(c >= '0' && c <= '9') && c != ' ' && c != '\'')
            return false;
    }
    return letter;
}

QString pinyinSearchKey(const QString& text) {
    QString key;
    for (const QChar ch : text)
        if (ch != QLatin1Char(' ') && ch != QLatin1Char('\''))
            key.append(ch.toLower());
    return key;
}

QStringList pinyinSearchParts(const QString& text) {
    QStringList parts;
    for (const QString& part : text.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        if (const QString key = pinyinSearchKey(part); !key.isEmpty())
            parts.append(key);
    return parts;
}

} // namespace zq
