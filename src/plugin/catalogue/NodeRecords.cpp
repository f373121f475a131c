#include "catalogue/NodeRecords.h"

namespace zq {

ClassRecord ClassRecord::fromList(const QStringList& fields) {
    return {fields.value(0), fields.value(1), fields.value(2)};
}

QStringList TemplateRecord::toList(Form form) const {
    QStringList fields{docId == 0 ? QString() : QString::number(docId),
                       caption,
                       fileName,
                       memo,
                       typeName,
                       keyWord};
    if (form == Form::SevenFields)
        fields.append(classCode);
    return fields;
}

TemplateRecord TemplateRecord::fromList(const QStringList& fields) {
    return {fields.value(0).toLongLong(),
            fields.value(1),
            fields.value(2),
            fields.value(3),
            fields.value(4),
            fields.value(5),
            fields.value(6)};
}

} // namespace zq
