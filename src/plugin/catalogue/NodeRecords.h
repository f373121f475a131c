#pragma once

#include <QStringList>

namespace zq {

// The record on a class node: code, name, description. The root's three texts are empty.
struct TNodeInfo {
    QString DocSortID;
    QString DocSortName;
    QString DocSortMemo;

    QStringList toList() const { return {DocSortID, DocSortName, DocSortMemo}; }
    static TNodeInfo fromList(const QStringList& fields);
};

// The record on a template node. Six fields in the registration trees, seven (with the class
// code) in the selection trees.
struct TDocNodeInfo {
    QString DocID;
    QString DocCaption;
    QString DocFileName;
    QString DocMemo;
    QString DocTypeName;
    QString DocKeyWord;
    QString DocSortID;

    enum class Form { SixFields, SevenFields };
    QStringList toList(Form form) const;
    static TDocNodeInfo fromList(const QStringList& fields);
};

} // namespace zq
