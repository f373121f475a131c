#pragma once

#include <QString>

namespace zq {

// The text columns of the catalogue, each with its length and the name the user knows it by.
enum class TextField { ClassName, ClassMemo, Caption, FileName, Memo, TypeName, KeyWord };

// The column's length in characters; the dialogs limit their fields to it.
int maxTextLength(TextField field);

// One rule for every text stored, the same on both engines: refuses, with a message naming
// the field, a text longer than its column, one holding a NUL, another control character (a
// tab anywhere and line breaks in a description are kept) or that is not valid Unicode (a lone
// surrogate), and a name that is empty after trimming. Nothing is stored altered.
void checkText(TextField field, const QString& text);

// The text with each control character checkText refuses in the field (NUL included) replaced
// by a space: how a text stored before the rule travels where the rule holds.
QString withControlsReplaced(TextField field, const QString& text);

} // namespace zq
