// How fast the search answers on 100,000 templates in 10,000 classes, results shown in the
// search window: a fuzzy name, pinyin initials and a class subtree. The baseline is a bare
// SELECT of the same rows with the simplest condition that finds them, read to the end.
#include "Bench.h"
#include "BenchData.h"
#include "HostDatabase.h"
#include "catalogue/ClassCatalogue.h"
#include "catalogue/Sql.h"
#include "catalogue/TemplateSearch.h"
#include "ui/SearchDialog.h"
#include "ui/TemplateEditing.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeView>

#include <cstdio>

namespace zq::bench {

namespace {

constexpr int kRuns = 3;
constexpr int kClasses = 10000;
constexpr int kTemplates = 100000;

struct SearchCase {
    const char* name;
    QString text; // the name searched for, or none
    QString path; // the class path, or none
    bool exact;
    QString bareCondition; // on ZQ_DocTempDetail
    QVariantList bareValues;
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
    return {
        {"fuzzy name", QStringLiteral("应收账款审计底稿12"), QString(), false,
         QStringLiteral("DocCaption like ?"), QVariantList{QStringLiteral("%应收账款审计底稿12%")}},
        {"fuzzy name, many", QStringLiteral("应收账款"), QString(), false,
         QStringLiteral("DocCaption like ?"), QVariantList{QStringLiteral("%应收账款%")}},
        {"pinyin initials", QStringLiteral("yszk"), QString(), false,
         QStringLiteral("DocCaption like ?"), QVariantList{QStringLiteral("%应收账款%")}},
        {"class subtree", QString(),
         QStringLiteral("\\文档模板分类信息\\") + classNameOfCode(db, top), true,
         subtreeCondition(), QVariantList{top.size(), top}},
    };
}

} // namespace

// False when a search shows other rows than the bare SELECT finds.
bool searchBench(const Engine& engine) {
    QSqlDatabase db = engine.db;
    corvane::clearCatalogue(db);
    // The pinyin keys of earlier runs' templates would pile up under identifiers no template
    // bears any more.
    runSql(db, QStringLiteral("drop table if exists ZQ_DocPinyin"));
    generateCatalogue(db, kClasses, kTemplates);
    const QList<SearchCase> cases = searchCases(db);

    StatementCounter counter(db);
    TemplateEditing editing(nullptr, db);
    SearchDialog dialog(nullptr, db, editing);
    std::printf("Search on %d templates in %d classes, results shown in the search window "
                "(best of %d runs; ratio = search / bare SELECT)\n",
                kTemplates, kClasses, kRuns);
    std::printf("%-10s %-18s %6s %10s %10s %10s %8s %6s  %s\n", "engine", "search", "rows",
                "shown ms", "search ms", "bare ms", "ratio", "stmts", "rows equal");
    bool allSame = true;
    for (const SearchCase& c : cases) {
        setCriteria(dialog, c);
        QPushButton* button = dialog.findChild<QPushButton*>(QStringLiteral("BtnSerch"));
        // The first pinyin search reads every character once with ICU; that is not timed.
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
        allSame = allSame && same;
        std::printf("%-10s %-18s %6d %10.2f %10.2f %10.2f %7.1fx %6s  %s (first %.0f ms)\n",
                    engine.name, c.name, shown, shownMs, searchMs, bareMs, shownMs / bareMs,
                    qPrintable(statements), same ? "yes" : "NO", coldMs);
    }
    corvane::clearCatalogue(db);
    return allSame;
}

} // namespace zq::bench
