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

// A template: a row of the template table, and the record on a template node. On a node its
// fields are texts, six in the registration trees, seven (with the class code) in the selection
// trees; a record with no DocID (a new row, or a class node of a selection tree) gives the
// empty text for it. Every field has an initializer, so that a record may name only the fields
// it sets.
struct TemplateRecord {
    qint64 docId = 0;
    QString caption{};
    QString fileName{};
    QString memo{};
    QString typeName{};
    QString keyWord{};
    QString classCode{};

    enum class Form { SixFields, SevenFields };
    QStringList toList(Form form) const;
    static TemplateRecord fromList(const QStringList& fields);
};

} // namespace zq
