#pragma once

#include <QString>

namespace zq {

// How a text reads in pinyin: the spelling of every syllable run together ("shenjibaogao") and
// the initials ("sjbg"), in lower case. Latin letters and digits in the text are kept as they
// are, whole, in both.
struct PinyinKeys {
    QString spelling;
    QString initials;
};

// The keys of a text. Each Han character is read as ICU's "Han-Latin; Latin-ASCII" reads it
// alone; ICU runs once per character in the process, so keys cost no ICU call once the
// characters have been seen.
PinyinKeys pinyinKeys(const QString& text);

// A search text that may be pinyin: Latin letters, with digits, blanks and apostrophes.
bool isPinyinQuery(const QString& text);

// A pinyin search text. A caption answers it when the text equals the caption's spelling or
// initials (exact), or is contained in one of them (fuzzy). Blanks and apostrophes in the
// search text and letter case do not matter.
class PinyinQuery {
public:
    PinyinQuery(const QString& text, bool exact);
    bool matches(const QString& caption) const;

private:
    QString m_text;
    bool m_exact;
};

} // namespace zq
