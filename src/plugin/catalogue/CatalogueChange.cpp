#include "catalogue/CatalogueChange.h"

#include <QStringList>

namespace zq {

namespace {

// In the order of ChangeKind; the names are what other programs on the channel read.
const QStringList& kindNames() {
    static const QStringList names{
        QStringLiteral("class-added"),      QStringLiteral("class-renamed"),
        QStringLiteral("class-deleted"),    QStringLiteral("class-moved"),
        QStringLiteral("template-added"),   QStringLiteral("template-described"),
        QStringLiteral("template-deleted"), QStringLiteral("template-moved"),
        QStringLiteral("package-imported"), QStringLiteral("datapack-imported"),
        QStringLiteral("file-changed"),     QStringLiteral("reload"),
    };
    return names;
}

} // namespace

QString CatalogueChange::payload() const {
    return kindNames().at(int(kind)) + QLatin1Char(':') + key;
}

std::optional<CatalogueChange> CatalogueChange::fromPayload(const QString& payload) {
    const qsizetype colon = payload.indexOf(QLatin1Char(':'));
    const qsizetype kind = colon < 0 ? -1 : kindNames().indexOf(payload.left(colon));
    if (kind < 0)
        return std::nullopt;
    return CatalogueChange{ChangeKind(kind), payload.mid(colon + 1)};
}

bool CatalogueChange::changesClasses() const {
    switch (kind) {
    case ChangeKind::TemplateAdded:
    case ChangeKind::TemplateDescribed:
    case ChangeKind::TemplateDeleted:
    case ChangeKind::TemplateMoved:
    case ChangeKind::FileChanged:
        return false;
    default:
        return true;
    }
}

} // namespace zq
