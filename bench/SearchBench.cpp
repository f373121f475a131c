// How fast the search answers as the catalogue grows, results shown in the search window: a
// fuzzy name, pinyin initials and a class subtree, on the scale's catalogue and on one three
// times its size. The baseline is a bare SELECT of the same rows with the simplest condition
// that finds them, read to the end. Also what the search keys cost: making them once for a
// catalogue without them, and adding and renaming a template with them against without.
#include "Bench.h"
#include "BenchData.h"
#include "HostDatabase.h"
#include "catalogue/ClassCatalogue.h"
#include "catalogue/SearchKeys.h"
#include "catalogue/Sql.h"
#include "catalogue/TemplateDocuments.h"
#include "catalogue/TemplateSearch.h"
#include "ui/SearchDialog.h"
#include "ui/TemplateEditing.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeView>

#include <cmath>
#include <cstdio>

namespace zq::bench {

namespace {

constexpr int kRuns = 3;
constexpr int kGrowth = 3;  // the larger catalogue, times the scale's
constexpr int kWrites = 20; // adds and renames of one block
constexpr int kBlocks = 6;  // blocks with and without keys, taking turns

struct SearchCase {
    const char* name;
    QString text; // the name searched for, or none
    QString path; // the class path, or none
    bool exact;
    QString bareCondition; // on ZQ_DocTempDetail
    QVariantList bareValues;
    double goal;      // the largest ratio allowed on the scale's catalogue, 0 for none
    double grownGoal; // on the larger one
};

int bareSelect(const QSqlDatabase& db, const SearchCase& c) {
    QSqlQuery query = runSql(db,
                             QStringLiteral("select DocID, DocCaption, DocMemo, DocSortID, "
                                            "DocTypeName, DocFileName from ZQ_DocTempDetail "
                                            "where ") +
                                 c.bareCondition,
                             c.bareValues);
    int rows = 0;
    QString sink;
    while (query.next()) {
        for (int i = 0; i < 6; ++i)
            sink = query.value(i).toString();
        ++rows;
    }
    return rows;
}

void setCriteria(SearchDialog& dialog, const SearchCase& c) {
    dialog.findChild<QCheckBox*>(QStringLiteral("ChkBoxModeName"))->setChecked(!c.text.isNull());
    dialog.findChild<QLineEdit*>(QStringLiteral("edtModeName"))->setText(c.text);
    dialog.findChild<QCheckBox*>(QStringLiteral("ChkBoxModeClass"))->setChecked(!c.path.isNull());
    dialog.findChild<QLineEdit*>(QStringLiteral("edtModeClass"))->setText(c.path);
    dialog
        .findChild<QRadioButton*>(c.exact ? QStringLiteral("RadioMatChing")
                                          : QStringLiteral("RadioBlur"))
        ->setChecked(true);
}

// Each search beside the bare SELECT that finds the same rows.
QList<SearchCase> searchCases(const QSqlDatabase& db) {
    const QString top = QStringLiteral("0001");
    const QString like = QStringLiteral("DocCaption like ?");
    const QVariantList receivable{QStringLiteral("%应收账款%")};
    const QVariantList twelve{QStringLiteral("%应收账款审计底稿12%")};
    return {
        {"fuzzy name", QStringLiteral("应收账款审计底稿12"), QString(), false, like, twelve, 1.0,
         0.5},
        {"pinyin initials", QStringLiteral("yszksjdg12"), QString(), false, like, twelve, 1.0, 0.5},
        {"pinyin full", QStringLiteral("yingshouzhangkuanshenjidigao12"), QString(), false, like,
         twelve, 1.0, 0.5},
        {"pinyin mixed", QStringLiteral("yingshou zk sjdg12"), QString(), false, like, twelve, 1.0,
         0.5},
        // The same rows whatever the size: no number from 100,000 on has 9999 next to the text.
        {"fuzzy name, same rows",
         QStringLiteral("审计底稿9999"),
         QString(),
         false,
         like,
         {QStringLiteral("%审计底稿9999%")},
         1.0,
         0.5},
        {"pinyin, same rows",
         QStringLiteral("sjdg9999"),
         QString(),
         false,
         like,
         {QStringLiteral("%审计底稿9999%")},
         1.0,
         0.5},
        {"fuzzy name, many", QStringLiteral("应收账款"), QString(), false, like, receivable, 0, 0},
        {"pinyin, many", QStringLiteral("yszk"), QString(), false, like, receivable, 0, 0},
        {"class subtree", QString(),
         QStringLiteral("\\文档模板分类信息\\") + classNameOfCode(db, top), true,
         subtreeCondition(), QVariantList{top.size(), top}, 2.0, 2.0},
    };
}

// Milliseconds of kWrites adds and of kWrites renames, each in its own transaction.
std::pair<double, double> writeMs(const QSqlDatabase& db, int block) {
    QList<qint64> ids;
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < kWrites; ++i)
        ids.append(insertTemplate(db, {0,
                                       QStringLiteral("银行询证函%1-%2").arg(block).arg(i),
                                       QStringLiteral("w%1-%2.doc").arg(block).arg(i),
                                       {},
                                       QStringLiteral("WORD"),
                                       {},
                                       QStringLiteral("0001")}));
    const double addMs = double(timer.nsecsElapsed()) / 1e6;
    timer.restart();
    for (const qint64 id : std::as_const(ids))
        updateTemplateText(db, id, QStringLiteral("长期股权投资明细%1").arg(id), {});
    return {addMs, double(timer.nsecsElapsed()) / 1e6};
}

// Adds and renames with the keys against without, in blocks taking turns, each kind first
// every other time.
void printWriteCost(const Engine& engine, const QSqlDatabase& db, int templates) {
    double with[2] = {0, 0};
    double without[2] = {0, 0};
    for (int block = 0; block < 2 * kBlocks; ++block) {
        const bool keys = (block + block / 2) % 2 == 0; // with, without, without, with, ...
        if (!keys)
            setSearchKeysAside(db, true);
        const auto [add, rename] = writeMs(db, block);
        if (!keys)
            setSearchKeysAside(db, false);
        (keys ? with : without)[0] += add;
        (keys ? with : without)[1] += rename;
    }
    refreshSearchKeys(db); // the templates written while the keys were away
    const double writes = double(kWrites * kBlocks);
    for (int i = 0; i < 2; ++i)
        std::printf("%-10s %8d %-22s %10.2f %10.2f %7.2fx %6s %4s\n", engine.name, templates,
                    i == 0 ? "add one template" : "rename one template", with[i] / writes,
                    without[i] / writes, with[i] / without[i], "1.2x",
                    with[i] <= 1.2 * without[i] ? "yes" : "NO");
}

struct Timed {
    const char* name;
    double shownMs = 0;
    bool same = false;
};

// The searches on a catalogue of the given size; false when one shows other rows than the bare
// SELECT finds.
QList<Timed> runSearches(const Engine& engine, int classes, int templates) {
    QSqlDatabase db = engine.db;
    corvane::clearCatalogue(db);
    // A catalogue from before the keys: they are made once, as opening the manager does.
    runSql(db, QStringLiteral("drop table if exists %1").arg(kSearchIndexTable));
    runSql(db, QStringLiteral("drop table if exists %1").arg(kSearchKeyTable));
    generateCatalogue(db, classes, templates);
    QElapsedTimer made;
    made.start();
    ensureSearchKeys(db);
    std::printf("%-10s %8d keys made once for a catalogue without them: %.0f ms\n", engine.name,
                templates, double(made.nsecsElapsed()) / 1e6);
    const QList<SearchCase> cases = searchCases(db);

    StatementCounter counter(db);
    TemplateEditing editing(nullptr, db);
    SearchDialog dialog(nullptr, db, editing);
    QList<Timed> timed;
    for (const SearchCase& c : cases) {
        setCriteria(dialog, c);
        QPushButton* button = dialog.findChild<QPushButton*>(QStringLiteral("BtnSerch"));
        QElapsedTimer cold;
        cold.start();
        button->click();
        const double coldMs = double(cold.nsecsElapsed()) / 1e6;
        const double shownMs = bestMs(kRuns, [&] {
            counter.reset();
            button->click();
        });
        const QString statements = counter.text();
        SearchCriteria criteria;
        criteria.byName = !c.text.isNull();
        criteria.name = c.text;
        criteria.byClass = !c.path.isNull();
        criteria.classPath = c.path;
        criteria.mode = c.exact ? MatchMode::Exact : MatchMode::Fuzzy;
        const double searchMs = bestMs(kRuns, [&] { searchTemplates(db, criteria); });
        int bareRows = 0;
        const double bareMs = bestMs(kRuns, [&] { bareRows = bareSelect(db, c); });
        const int shown = dialog.resultList()->model()->rowCount();
        const bool same = shown == bareRows && shown == dialog.lastResultIds().size();
        const double goal = templates > catalogueScale().templates ? c.grownGoal : c.goal;
        const double ratio = shownMs / bareMs;
        std::printf("%-10s %8d %-22s %6d %10.2f %10.2f %10.2f %7.2fx %6s %4s %6s  %s (first "
                    "%.0f ms)\n",
                    engine.name, templates, c.name, shown, shownMs, searchMs, bareMs, ratio,
                    goal > 0 ? qPrintable(QStringLiteral("%1x").arg(goal)) : "-",
                    goal <= 0 ? "" : (ratio <= goal ? "yes" : "NO"), qPrintable(statements),
                    same ? "yes" : "NO", coldMs);
        timed.append({c.name, shownMs, same});
    }
    std::fflush(stdout);
    printWriteCost(engine, db, templates);
    return timed;
}

} // namespace

// False when a search shows other rows than the bare SELECT finds.
bool searchBench(const Engine& engine) {
    const Scale scale = catalogueScale();
    std::printf("Search on %d and %d templates in %d classes, results shown in the search "
                "window (best of %d runs; ratio = shown / bare SELECT)\n",
                scale.templates, kGrowth * scale.templates, scale.classes, kRuns);
    std::printf("%-10s %8s %-22s %6s %10s %10s %10s %8s %6s %4s %6s  %s\n", "engine", "size",
                "search", "rows", "shown ms", "search ms", "bare ms", "ratio", "goal", "met",
                "stmts", "rows equal");
    const QList<Timed> small = runSearches(engine, scale.classes, scale.templates);
    const QList<Timed> grown = runSearches(engine, scale.classes, kGrowth * scale.templates);
    QSqlDatabase db = engine.db;
    corvane::clearCatalogue(db);
    bool allSame = true;
    std::printf("%-10s growth of the shown time from %d to %d templates (goal: exponent <= 0.3 "
                "for names and pinyin finding the same rows)\n",
                engine.name, scale.templates, kGrowth * scale.templates);
    for (qsizetype i = 0; i < small.size(); ++i) {
        allSame = allSame && small[i].same && grown[i].same;
        std::printf("%-10s %-22s exponent %.2f\n", engine.name, small[i].name,
                    std::log(grown[i].shownMs / small[i].shownMs) / std::log(double(kGrowth)));
    }
    return allSame;
}

} // namespace zq::bench
