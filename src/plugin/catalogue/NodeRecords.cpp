#include "catalogue/NodeRecords.h"

namespace zq {

TNodeInfo TNodeInfo::fromList(const QStringList& fields) {
    return {fields.value(0), fields.value(1), fields.value(2)};
}

QStringList TDocNodeInfo::toList(Form form) const {
    QStringList fields{DocID, DocCaption, DocFileName, DocMemo, DocTypeName, DocKeyWord};
    if (form == Form::SevenFields)
        fields.append(DocSortID);
    return fields;
}

TDocNodeInfo TDocNodeInfo::fromList(const QStringList& fields) {
    return {fields.value(0), fields.value(1), fields.value(2), fields.value(3),
            fields.value(4), fields.value(5), fields.value(6)};
}

} // namespace zq
