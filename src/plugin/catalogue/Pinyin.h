#pragma once

#include <QString>
#include <QStringList>

namespace zq {

// How a text reads in pinyin: the spelling of every syllable run together ("shenjibaogao") and
// the initials ("sjbg"), in lower case. Latin letters and digits in the text are kept as they
// are, whole, in both.
struct PinyinKeys {
    QString spelling;
    QString initials;
};

// The keys of a text. Each Han character is read as ICU's "Han-Latin; Latin-ASCII" reads it
// alone; ICU runs once per character in the process (it costs tens of microseconds a
// character), so keys cost no ICU call once their characters have been seen.
PinyinKeys pinyinKeys(const QString& text);

// A search text that may be pinyin: Latin letters, with digits, blanks and apostrophes.
bool isPinyinQuery(const QString& text);

// The search text as the keys are written: lower case, without blanks and apostrophes.
QString pinyinSearchKey(const QString& text);

// The blank-separated parts of a search text, each as the keys are written: "shenji bg" is
// found where each part is in the spelling or the initials.
QStringList pinyinSearchParts(const QString& text);

} // namespace zq
