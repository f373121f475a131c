#include "util/DesktopApps.h"

#include <QFile>
#include <QMimeDatabase>
#include <QStandardPaths>
#include <algorithm>

namespace zq {

namespace {

// Whether a list names a program for one of the kinds.
bool namesProgram(const QString& list, const QStringList& kinds) {
    QFile file(list);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    bool removed = false;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            removed = line == QLatin1String("[Removed Associations]");
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (!removed && equals > 0 && kinds.contains(line.left(equals).trimmed()) &&
            !line.mid(equals + 1).remove(QLatin1Char(';')).trimmed().isEmpty())
            return true;
    }
    return false;
}

} // namespace

bool desktopCanOpen(const QString& path) {
    const QMimeType type = QMimeDatabase().mimeTypeForFile(path);
    QStringList kinds = QStringList{type.name()} + type.aliases() + type.allAncestors();
    // Every file is a stream of bytes: a program for any bytes is no viewer of the kind.
    kinds.removeAll(QStringLiteral("application/octet-stream"));
    QStringList lists;
    for (const QString& folder :
         QStandardPaths::standardLocations(QStandardPaths::GenericConfigLocation))
        lists.append(folder + QStringLiteral("/mimeapps.list"));
    for (const QString& folder :
         QStandardPaths::standardLocations(QStandardPaths::ApplicationsLocation))
        lists +=
            {folder + QStringLiteral("/mimeapps.list"), folder + QStringLiteral("/mimeinfo.cache")};
    return std::any_of(lists.cbegin(), lists.cend(),
                       [&](const QString& list) { return namesProgram(list, kinds); });
}

} // namespace zq
