#pragma once

#include <QString>

#include <optional>

namespace zq {

// What one write to the catalogue changed. Reload stands for "anything may have changed": a
// change seen only as a new data version, or notices lost while the connection was down.
enum class ChangeKind {
    ClassAdded,
    ClassRenamed,
    ClassDeleted,
    ClassMoved,
    TemplateAdded,
    TemplateDescribed,
    TemplateDeleted,
    TemplateMoved,
    PackageImported,
    DataPackImported,
    FileChanged,
    Reload,
};

// A change notice: its kind and what it names (a class code, a DocID, a stored file name; empty
// for a bulk change). It travels as the text "kind:key".
struct CatalogueChange {
    ChangeKind kind = ChangeKind::Reload;
    QString key;

    QString payload() const;
    // The notice of a payload, or none for a text that is not one (another program's).
    static std::optional<CatalogueChange> fromPayload(const QString& payload);

    // Whether the class tree may differ: classes changed, or a bulk change.
    bool changesClasses() const;

    bool operator==(const CatalogueChange&) const = default;
};

} // namespace zq
