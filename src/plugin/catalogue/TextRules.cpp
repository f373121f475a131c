#include "catalogue/TextRules.h"

#include "util/Error.h"

#include <algorithm>

namespace zq {

namespace {

struct FieldRule {
    const char* label;
    int length;
    bool isName;
};

// The lengths of the columns as the host creates them.
FieldRule ruleOf(TextField field) {
    switch (field) {
    case TextField::ClassName:
        return {"模板分类名称", 200, true};
    case TextField::ClassMemo:
        return {"模板分类说明", 2000, false};
    case TextField::Caption:
        return {"模板名称", 200, true};
    case TextField::FileName:
        return {"模板文件名", 260, false};
    case TextField::Memo:
        return {"模板说明", 2000, false};
    case TextField::TypeName:
        return {"数据类型", 100, false};
    case TextField::KeyWord:
        return {"关键字", 500, false};
    }
    return {"", 0, false};
}

// Control characters cannot travel in a package's manifest; a description keeps its line
// breaks, every field its tabs.
bool isRefusedControl(TextField field, QChar c) {
    const bool multiLine = field == TextField::ClassMemo || field == TextField::Memo;
    return c < QChar(0x20) && c != QLatin1Char('\t') &&
           !(multiLine && (c == QLatin1Char('\n') || c == QLatin1Char('\r')));
}

} // namespace

int maxTextLength(TextField field) {
    return ruleOf(field).length;
}

void checkText(TextField field, const QString& text) {
    const FieldRule rule = ruleOf(field);
    const QString label = QString::fromUtf8(rule.label);
    if (rule.isName && text.trimmed().isEmpty())
        throw Error(QStringLiteral("%1不能为空。").arg(label));
    if (text.contains(QChar::Null))
        throw Error(QStringLiteral("%1含有空字符（NUL），不能保存。").arg(label));
    if (std::any_of(text.cbegin(), text.cend(),
                    [&](QChar c) { return isRefusedControl(field, c); }))
        throw Error(QStringLiteral("%1含有控制字符，不能保存。").arg(label));
    // Columns count characters, not UTF-16 units; a lone surrogate is no character at all.
    qsizetype characters = 0;
    for (qsizetype i = 0; i < text.size(); ++i, ++characters) {
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
        else if (text[i].isSurrogate())
            throw Error(QStringLiteral("%1含有无效的 Unicode 字符，不能保存。").arg(label));
    }
    if (characters > rule.length)
        throw Error(QStringLiteral("%1不能超过 %2 个字符。").arg(label).arg(rule.length));
}

QString withControlsReplaced(TextField field, const QString& text) {
    QString replaced = text;
    for (QChar& c : replaced)
        if (isRefusedControl(field, c))
            c = QLatin1Char(' ');
    return replaced;
}

} // namespace zq
