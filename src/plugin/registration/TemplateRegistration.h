#pragma once

#include "catalogue/NodeRecords.h"
#include "platform/HostPlatform.h"

#include <QSqlDatabase>
#include <QString>

namespace zq {

// Why the host's project takes no registration (no serial, or the test project), or the empty
// text when a real project is open; its serial goes to `serial` when given.
QString projectRefusal(HostPlatform& host, QString* serial = nullptr);

// The full path of a template's stored file, brought up to date from the catalogue, or the empty
// text when the name does not denote a file directly inside the store or there is none.
QString existingTemplateFile(const QSqlDatabase& db, const QString& docFileName);

// Where the parent identifier of a new resource comes from.
enum class ParentIdSource {
    Fixed,      // -1: a single registration
    Remembered, // what the host remembers, asked once the host accepted the template (a batch)
};

// Hands one template to the host as a data item of the project with the serial, and records in
// the catalogue which bytes of its file it took (recordRegistration). Gives the item's
// identifier, or the host's negative answer.
int registerTemplateDoc(HostPlatform& host, const QSqlDatabase& db, const TemplateRecord& doc,
                        const QString& project, ParentIdSource source);

// Opens a newly registered item in the host's viewer, titled by the second field of its
// information text when that has three fields or more.
void viewRegisteredItem(HostPlatform& host, int itemId);

// The manager list's "引用到平台使用": registers the row's file, whatever kind of row it is,
// under a kind chosen by its extension. The host's answer is not examined.
void registerListRow(HostPlatform& host, const QString& fullPath, const QString& description);

} // namespace zq
