#pragma once

#include <QSqlDatabase>
#include <QString>
#include <optional>

namespace zq::cli {

struct CommandContext {
    QSqlDatabase db;
    bool json = false; // print JSON instead of lines for people
    bool yes = false;  // confirm every repair without asking
};

// Each gives the exit status: 0 done, 1 check found something. Failures throw.
int runList(const CommandContext& context, const std::optional<QString>& classCode);
int runCheck(const CommandContext& context);
int runRepair(const CommandContext& context);

} // namespace zq::cli
