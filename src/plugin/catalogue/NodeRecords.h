#pragma once

#include <QStringList>

namespace zq {

// A class: a row of the class table, and the record on a class node. The root's three texts
// are empty.
struct ClassRecord {
    QString code;
    QString name;
    QString memo;

    QStringList toList() const { return {code, name, memo}; }
    static ClassRecord fromList(const QStringList& fields);
};

// The record on a template node. Six fields in the registration trees, seven (with the class
// code) in the selection trees.
struct TemplateRecord {
    QString docId;
    QString caption;
    QString fileName;
    QString memo;
    QString typeName;
    QString keyWord;
    QString classCode;

    enum class Form { SixFields, SevenFields };
    QStringList toList(Form form) const;
    static TemplateRecord fromList(const QStringList& fields);
};

} // namespace zq
