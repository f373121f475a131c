// A team on one PostgreSQL catalogue: how soon a class renamed on one connection is shown by a
// manager window on another (from the writer's commit to the repainted node), what one class
// notice costs the window against the bare select of the changed row, and what twenty
// listening connections cost a writer.
#include "Bench.h"
#include "HostDatabase.h"
#include "catalogue/CatalogueNotices.h"
#include "catalogue/ClassCatalogue.h"
#include "catalogue/Sql.h"
#include "ui/ManagerWindow.h"
#include "widgets/TreeNodes.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSqlDriver>
#include <QTreeWidget>

#include <algorithm>
#include <cstdio>
#include <memory>

namespace zq::bench {

namespace {

constexpr int kLatencyRuns = 20;
constexpr int kWrites = 200;
constexpr int kListeners = 20;

// Another workstation's connection to the same catalogue.
class Connection {
public:
    Connection(const QString& name, const QString& url)
        : m_name(name)
        , m_db(corvane::openHostDatabase(name, QString(), url)) {}
    ~Connection() {
        m_db.close();
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_name);
    }
    QSqlDatabase& db() { return m_db; }

private:
    QString m_name;
    QSqlDatabase m_db;
};

QTreeWidgetItem* nodeOf(const QTreeWidget* tree, const QString& code) {
    for (QTreeWidgetItem* item : treeItems(tree))
        if (nodeClassCode(item) == code)
            return item;
    return nullptr;
}

double median(QList<double> values) {
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0 : values[values.size() / 2];
}

double writesMs(const QSqlDatabase& db, const QString& code) {
    return bestMs(3, [&] {
        for (int i = 0; i < kWrites; ++i)
            updateClass(db, code, QStringLiteral("写 %1").arg(i), QString());
    });
}

// Renames the class on the writer's connection, timing each rename from its commit until the
// window's node shows the name and has repainted; empty when one was never shown.
QList<double> renameLatencies(ManagerWindow& window, const QSqlDatabase& writer,
                              const QString& code) {
    QTreeWidget* tree = window.classTree();
    QList<double> latencies;
    for (int run = 0; run < kLatencyRuns; ++run) {
        const QString name = QStringLiteral("改名 %1").arg(run);
        updateClass(writer, code, name, QString());
        QElapsedTimer timer;
        timer.start();
        while (nodeOf(tree, code)->text(0) != name && timer.elapsed() < 5000)
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        tree->viewport()->repaint();
        if (nodeOf(tree, code)->text(0) != name)
            return {};
        latencies.append(double(timer.nsecsElapsed()) / 1e6);
    }
    return latencies;
}

// The writes' time with the listeners connected and listening.
double listenedWritesMs(const Engine& engine, const QSqlDatabase& writer, const QString& code) {
    std::vector<std::unique_ptr<Connection>> listeners;
    for (int i = 0; i < kListeners; ++i) {
        listeners.push_back(std::make_unique<Connection>(
            QStringLiteral("bench-live-listener-%1").arg(i), engine.location));
        listeners.back()->db().driver()->subscribeToNotification(
            QString::fromLatin1(kNoticeChannel));
    }
    return writesMs(writer, code);
}

} // namespace

bool liveBench(const Engine& engine) {
    if (!isPostgres(engine.db)) {
        std::printf("Live catalogue: PostgreSQL only, skipped on %s\n", engine.name);
        return true;
    }
    useLargeCatalogue(engine);
    const QString code = readClassRows(engine.db).value(1).code; // a top class, shown at once
    Connection writer(QStringLiteral("bench-live-writer"), engine.location);

    ManagerWindow window(nullptr, engine.db);
    showPainted(&window);
    const QList<double> latencies = renameLatencies(window, writer.db(), code);
    const bool shown = !latencies.isEmpty();

    // A rename: what the window does with its notice, against the select of the changed row;
    // any other class change reloads the tree, against the select of the class table.
    const double applyMs = bestMs(3, [&] {
        window.applyChanges({CatalogueChange{ChangeKind::ClassRenamed, code}});
    });
    const double rowMs = bareSelectMs(
        engine.db,
        QStringLiteral("select DocSortID, DocSortName, DocSortMemo from ZQ_DocInfoMaster "
                       "where DocSortID = ?"),
        {code});
    const double reloadMs = bestMs(3, [&] {
        window.applyChanges({CatalogueChange{ChangeKind::ClassAdded, code}});
    });
    const double tableMs = bareSelectMs(
        engine.db,
        QStringLiteral("select DocSortID, DocSortName, DocSortMemo from ZQ_DocInfoMaster"));

    const double aloneMs = writesMs(writer.db(), code);
    const double listenedMs = listenedWritesMs(engine, writer.db(), code);

    std::printf("Live catalogue on %s: %d classes, %d templates\n", engine.name,
                catalogueScale().classes, catalogueScale().templates);
    std::printf("%-52s %10s %10s %8s %6s\n", "work", "ms", "baseline", "ratio", "goal");
    std::printf("%-52s %10.1f %10s %8s %6s  (max %.1f ms, %s)\n",
                "rename on one connection -> repainted on another, median", median(latencies), "-",
                "-", "300", shown ? *std::max_element(latencies.cbegin(), latencies.cend()) : 0.0,
                shown ? "all shown" : "NOT SHOWN");
    std::printf("%-52s %10.2f %10.3f %7.1fx %6s\n",
                "a rename's notice applied vs select of the row", applyMs, rowMs, applyMs / rowMs,
                "5x");
    std::printf("%-52s %10.2f %10.3f %7.1fx %6s\n",
                "another class notice (tree reloaded) vs class table", reloadMs, tableMs,
                reloadMs / tableMs, "-");
    std::printf("%-52s %10.1f %10.1f %7.2fx %6s\n",
                QStringLiteral("%1 writes, %2 listening vs none")
                    .arg(kWrites)
                    .arg(kListeners)
                    .toUtf8()
                    .constData(),
                listenedMs, aloneMs, listenedMs / aloneMs, "1.05x");
    return shown;
}

} // namespace zq::bench
