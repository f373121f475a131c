#pragma once

#include "catalogue/CatalogueHistory.h"

#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <optional>

namespace zq::cli {

struct CommandContext {
    QSqlDatabase db;
    bool json = false; // print JSON instead of lines for people
    bool yes = false;  // confirm every repair without asking
};

// Each gives the exit status: 0 done, 1 something found. Failures throw.
int runList(const CommandContext& context, const std::optional<QString>& classCode);
// hashKeptFiles: also the SHA-256 of every file the catalogue keeps (reads all their bytes).
int runCheck(const CommandContext& context, bool hashKeptFiles);
int runRepair(const CommandContext& context);
// A package of the whole catalogue, or of the classes with the codes given and their subtrees.
// Gives 1 when a template was left out or a text changed to travel.
int runExport(const CommandContext& context, const QString& packagePath,
              const QStringList& classCodes);
// The add-only import; a dry run reports the same and changes nothing. Gives 1 when an entry
// was refused.
int runImport(const CommandContext& context, const QString& packagePath, bool dryRun);
// The catalogue's history, newest first, of one class (with its templates), one template or
// all, since the date or time when given; read a page at a time.
int runLog(const CommandContext& context, const HistoryFilter& filter);
// The recycle bin: "list"; "restore ITEM", to its old place or, when that is taken or gone,
// under the class `into`; "empty", confirmed once with the count.
int runBin(const CommandContext& context, const QStringList& arguments,
           const std::optional<QString>& into);
// A template's versions: "ID" lists them, newest first; "restore ID HASH" makes the version
// with the hash (or the start of it, when only one version has that start) its current file.
int runVersions(const CommandContext& context, const QStringList& arguments);

} // namespace zq::cli
