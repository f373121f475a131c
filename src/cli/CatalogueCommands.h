#pragma once

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
int runCheck(const CommandContext& context);
int runRepair(const CommandContext& context);
// A package of the whole catalogue, or of the classes with the codes given and their subtrees.
int runExport(const CommandContext& context, const QString& packagePath,
              const QStringList& classCodes);
// The add-only import; a dry run reports the same and changes nothing. Gives 1 when an entry
// was refused.
int runImport(const CommandContext& context, const QString& packagePath, bool dryRun);

} // namespace zq::cli
