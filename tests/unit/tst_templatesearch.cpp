#include "TestCatalogue.h"
#include "catalogue/Pinyin.h"
#include "catalogue/SearchKeys.h"
#include "catalogue/Sql.h"
#include "catalogue/TemplateDocuments.h"
#include "catalogue/TemplateFiles.h"
#include "catalogue/TemplateSearch.h"

#include <QTest>

using namespace zq;
using zq::test::TestCatalogue;

namespace {

const QString kRoot = QStringLiteral("\\文档模板分类信息");

// Classes A > B > C and AB > B; templates spread over them, one in the root. WORDX shares
// the caption of WORD; UNKNOWN has no row in ZQ_TypeInfo.
struct Catalogue : TestCatalogue {
    Catalogue() {
        runSql(db(), "delete from ZQ_TypeInfo where TypeName = 'WORDX'");
        runSql(db(), "insert into ZQ_TypeInfo(TypeName, TypeCaption) values('WORDX', 'Word文档')");
        addClass("0001", "A");
        addClass("00010001", "B");
        addClass("000100010001", "C");
        addClass("0002", "AB");
        addClass("00020001", "B");
        addTemplate("审计报告模板", "00010001", {}, "WORD");
        addTemplate("会计凭证", "0001", {}, "EXCEL");
        addTemplate("a(b样表", "0002", {}, "WORD");
        addTemplate("ab样表", "0002", {}, "PDF");
        addTemplate("完成50%底稿", "00020001", {}, "WORDX");
        addTemplate("完成500底稿", "000100010001", {}, "UNKNOWN");
        addTemplate("x_y\\z", "", {}, "TEXT");
    }
    ~Catalogue() { runSql(db(), "delete from ZQ_TypeInfo where TypeName = 'WORDX'"); }

    QStringList captions(const SearchCriteria& criteria) {
        QStringList result;
        for (const ListedTemplate& listed : searchTemplates(db(), criteria))
            result.append(listed.record.caption);
        result.sort();
        return result;
    }
    QList<qint64> ids(const SearchCriteria& criteria) {
        QList<qint64> result;
        for (const ListedTemplate& listed : searchTemplates(db(), criteria))
            result.append(listed.record.docId);
        return result;
    }
};

QStringList sorted(QStringList list) {
    list.sort();
    return list;
}

} // namespace

class TestTemplateSearch : public QObject {
    Q_OBJECT

private slots:
    // ICU's readings of the names the documentation and the tests search for, pinned so that an
    // ICU that reads one differently fails here and not in a search that quietly finds less.
    // Polyphones come out with ICU's one reading (kuaiji is "huiji"), and a word ICU knows whole
    // is still read a character at a time (重庆 as "zhongqing").
    void pinyinReadings_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("spelling");
        QTest::addColumn<QString>("initials");
        const auto row = [](const char* text, const char* spelling, const char* initials) {
            QTest::newRow(text) << QString(text) << QString(spelling) << QString(initials);
        };
        row("审计报告模板", "shenjibaogaomoban", "sjbgmb"); // 模 as "mo", not "mu"
        row("会计凭证", "huijipingzheng", "hjpz");
        row("审计计划", "shenjijihua", "sjjh");
        row("应收账款", "yingshouzhangkuan", "yszk");
        row("银行", "yinxing", "yx");
        row("行业", "xingye", "xy");
        row("长期", "zhangqi", "zq");
        row("调整", "diaozheng", "dz");
        row("还款", "haikuan", "hk");
        row("差旅费", "chalufei", "clf");
        row("了解", "lejie", "lj");
        row("音乐", "yinle", "yl");
        row("重庆", "zhongqing", "zq");
        row("完成50%底稿", "wancheng50digao", "wc50dg");
        row("a(b样表", "abyangbiao", "abyb");
        row("银行询证函", "yinxingxunzhenghan", "yxxzh");
        row("长期股权投资", "zhangqiguquantouzi", "zqgqtz");
        row("银行存款", "yinxingcunkuan", "yxck");
        row("深", "shen", "s"); // tst_recyclebin
    }
    void pinyinReadings() {
        QFETCH(QString, text);
        QFETCH(QString, spelling);
        QFETCH(QString, initials);
        const PinyinKeys keys = pinyinKeys(text);
        QCOMPARE(keys.spelling, spelling);
        QCOMPARE(keys.initials, initials);
    }

    void splitClassPath_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QStringList>("names");
        QTest::newRow("empty") << "" << QStringList{""};
        QTest::newRow("bare name") << "B" << QStringList{"B"};
        QTest::newRow("root alone") << kRoot << QStringList{"文档模板分类信息"};
        QTest::newRow("two levels down")
            << kRoot + "\\A\\B" << QStringList{"文档模板分类信息", "A", "B"};
        QTest::newRow("empty names kept") << "x\\\\A\\" << QStringList{"", "A", ""};
    }
    void splitClassPath() {
        QFETCH(QString, path);
        QFETCH(QStringList, names);
        QCOMPARE(zq::splitClassPath(path), names);
    }

    void classCodesOfPath_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("exact");
        QTest::addColumn<QStringList>("codes");
        QTest::newRow("root alone, exact") << kRoot << true << QStringList{};
        QTest::newRow("root alone, fuzzy") << kRoot << false << QStringList{};
        QTest::newRow("top level, exact")
            << kRoot + "\\A" << true << QStringList{"0001", "00010001", "000100010001"};
        QTest::newRow("top level, fuzzy: any class whose name holds it")
            << kRoot + "\\A" << false << QStringList{"0001", "0002"};
        QTest::newRow("two down, exact")
            << kRoot + "\\A\\B" << true << QStringList{"00010001", "000100010001"};
        QTest::newRow("two down, fuzzy: under A only")
            << kRoot + "\\A\\B" << false << QStringList{"00010001"};
        QTest::newRow("bare name, exact") << "B" << true << QStringList{};
        QTest::newRow("bare name, fuzzy")
            << "B" << false << QStringList{"00010001", "0002", "00020001"};
        QTest::newRow("no such class") << kRoot + "\\无此类" << true << QStringList{};
    }
    void classCodesOfPath() {
        QFETCH(QString, path);
        QFETCH(bool, exact);
        QFETCH(QStringList, codes);
        Catalogue catalogue;
        QCOMPARE(
            zq::classCodesOfPath(catalogue.db(), path, exact ? MatchMode::Exact : MatchMode::Fuzzy),
            codes);
    }

    void search_data() {
        QTest::addColumn<QString>("name"); // a null text: criterion not ticked
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("classPath");
        QTest::addColumn<bool>("exact");
        QTest::addColumn<QStringList>("found");
        const QString none;
        const QStringList all = {"审计报告模板", "会计凭证",    "a(b样表", "ab样表",
                                 "完成50%底稿",  "完成500底稿", "x_y\\z"};
        QTest::newRow("no criterion lists all") << none << none << none << false << all;
        QTest::newRow("name exact")
            << "会计凭证" << none << none << true << QStringList{"会计凭证"};
        QTest::newRow("name exact, part") << "会计" << none << none << true << QStringList{};
        QTest::newRow("name fuzzy")
            << " 报告 " << none << none << false << QStringList{"审计报告模板"};
        QTest::newRow("fuzzy empty name: all") << "" << none << none << false << all;
        QTest::newRow("a(b literally") << "a(b" << none << none << false << QStringList{"a(b样表"};
        QTest::newRow("50% literally")
            << "50%" << none << none << false << QStringList{"完成50%底稿"};
        QTest::newRow("_ and \\ literally")
            << "_y\\" << none << none << false << QStringList{"x_y\\z"};
        // Shorter than the index serves: read row by row, the wildcards still literal.
        QTest::newRow("one character")
            << "表" << none << none << false << QStringList{"a(b样表", "ab样表"};
        QTest::newRow("% alone") << "%" << none << none << false << QStringList{"完成50%底稿"};
        QTest::newRow("_ alone") << "_" << none << none << false << QStringList{"x_y\\z"};
        QTest::newRow("( alone") << "(" << none << none << false << QStringList{"a(b样表"};
        QTest::newRow("two characters, within the class")
            << "底稿" << none << kRoot + "\\A\\B" << false << QStringList{"完成500底稿"};
        QTest::newRow("type shared by two names")
            << none << "Word文档" << none << true
            << QStringList{"审计报告模板", "a(b样表", "完成50%底稿"};
        QTest::newRow("type shared, fuzzy")
            << none << "Word文档" << none << false
            << QStringList{"审计报告模板", "a(b样表", "完成50%底稿"};
        QTest::newRow("type without caption")
            << none << "" << none << false << QStringList{"完成500底稿"};
        QTest::newRow("class subtree") << none << none << kRoot + "\\A" << true
                                       << QStringList{"审计报告模板", "会计凭证", "完成500底稿"};
        QTest::newRow("class fuzzy") << none << none << kRoot + "\\A\\B" << false
                                     << QStringList{"审计报告模板", "完成500底稿"};
        QTest::newRow("class resolving to nothing")
            << none << none << kRoot + "\\无此类" << false << QStringList{};
        // One name after a backslash is a class name, not the root's path.
        QTest::newRow("one name after a backslash")
            << none << none << "\\无此类" << false << QStringList{};
        QTest::newRow("name and class")
            << "底稿" << none << kRoot + "\\AB" << false << QStringList{"完成50%底稿"};
        QTest::newRow("pinyin full")
            << "shenjibaogao" << none << none << false << QStringList{"审计报告模板"};
        QTest::newRow("pinyin with blanks")
            << "Shen Ji Bao Gao" << none << none << false << QStringList{"审计报告模板"};
        QTest::newRow("pinyin initials")
            << "sjbg" << none << none << false << QStringList{"审计报告模板"};
        QTest::newRow("pinyin initials, two letters")
            << "hj" << none << none << false << QStringList{"会计凭证"};
        QTest::newRow("pinyin mixed: full syllables and initials")
            << "shenji bg" << none << none << false << QStringList{"审计报告模板"};
        QTest::newRow("pinyin mixed, a part found nowhere")
            << "shenji hj" << none << none << false << QStringList{};
        // ab样表 bears the text, a(b样表 reads as it.
        QTest::newRow("caption and pinyin both")
            << "ab" << none << none << false << QStringList{"a(b样表", "ab样表"};
        QTest::newRow("pinyin full, exact: whole name")
            << "huijipingzheng" << none << none << true << QStringList{"会计凭证"};
        QTest::newRow("pinyin initials, exact: whole name")
            << "hjpz" << none << none << true << QStringList{"会计凭证"};
        QTest::newRow("pinyin initials, exact part")
            << "sjbg" << none << none << true << QStringList{};
        QTest::newRow("pinyin within the class")
            << "sjbg" << none << kRoot + "\\AB" << false << QStringList{};
    }
    void search() {
        QFETCH(QString, name);
        QFETCH(QString, type);
        QFETCH(QString, classPath);
        QFETCH(bool, exact);
        QFETCH(QStringList, found);
        Catalogue catalogue;
        SearchCriteria criteria;
        criteria.byName = !name.isNull();
        criteria.name = name;
        criteria.byType = !type.isNull();
        criteria.typeCaption = type;
        criteria.byClass = !classPath.isNull();
        criteria.classPath = classPath;
        criteria.mode = exact ? MatchMode::Exact : MatchMode::Fuzzy;
        QCOMPARE(catalogue.captions(criteria), sorted(found));
    }

    // The previous results are bound however many they are; with no other criterion the
    // search gives the previous results again, not the whole catalogue.
    void withinLastResults() {
        Catalogue catalogue;
        SearchCriteria first;
        first.byClass = true;
        first.classPath = kRoot + "\\A";
        first.mode = MatchMode::Exact;
        QList<qint64> last = catalogue.ids(first);
        QCOMPARE(last.size(), 3);
        for (qint64 id = 100000; id < 101200; ++id)
            last.append(id); // gone meanwhile
        SearchCriteria next;
        next.withinLast = true;
        next.lastIds = last;
        QCOMPARE(catalogue.captions(next), sorted({"审计报告模板", "会计凭证", "完成500底稿"}));
        next.byName = true;
        next.name = "凭证";
        QCOMPARE(catalogue.captions(next), QStringList{"会计凭证"});
        next.name = "sjbg";
        QCOMPARE(catalogue.captions(next), QStringList{"审计报告模板"});
        next.name = "样表"; // found elsewhere only
        QCOMPARE(catalogue.captions(next), QStringList{});
    }

    // The plug-in's writes keep the keys: a rename changes them, a delete takes them away, an
    // import writes them for every template it adds.
    void keysFollowWrites() {
        Catalogue catalogue;
        QSqlDatabase& db = catalogue.db();
        const auto byName = [&](const QString& name) {
            SearchCriteria criteria;
            criteria.byName = true;
            criteria.name = name;
            return catalogue.captions(criteria);
        };
        const qint64 id = insertTemplate(db, {0, "审计计划", "plan.doc", "", "WORD", "", "0001"});
        QCOMPARE(byName("sjjh"), QStringList{"审计计划"});
        updateTemplateText(db, id, "应收账款", "");
        QCOMPARE(byName("sjjh"), QStringList{});
        QCOMPARE(byName("yszk"), QStringList{"应收账款"});
        deleteTemplateRow(db, id);
        QCOMPARE(sqlValue(db, "select count(*) from ZQ_DocSearchKey where DocID = ?", {id}).toInt(),
                 0);

        insertTemplatesWithFiles(db,
                                 {{0, "银行询证函", "bank.doc", "", "WORD", "", "0001"},
                                  {0, "长期股权投资", "equity.doc", "", "WORD", "", "0001"}},
                                 {}, false);
        QCOMPARE(byName("yxxz"), QStringList{"银行询证函"});
        QCOMPARE(byName("guquan"), QStringList{"长期股权投资"});
    }

    // A catalogue from before the keys gets them once, for every template; until then its
    // captions are still found.
    void existingCatalogueGetsKeysOnce() {
        Catalogue catalogue;
        QSqlDatabase& db = catalogue.db();
        runSql(db, "drop table if exists ZQ_DocSearchIndex");
        runSql(db, "drop table ZQ_DocSearchKey");
        catalogue.addTemplate("银行存款", "0001");
        SearchCriteria criteria;
        criteria.byName = true;
        criteria.name = "yxck";
        QCOMPARE(catalogue.captions(criteria), QStringList{});
        criteria.name = "存款";
        QCOMPARE(catalogue.captions(criteria), QStringList{"银行存款"});

        int calls = 0;
        int total = -1;
        QCOMPARE(ensureSearchKeys(db,
                                  [&](int, int all) {
                                      ++calls;
                                      total = all;
                                  }),
                 QString());
        QVERIFY(calls > 0);
        QCOMPARE(total, catalogue.count("ZQ_DocTempDetail"));
        criteria.name = "yxck";
        QCOMPARE(catalogue.captions(criteria), QStringList{"银行存款"});
        calls = 0;
        ensureSearchKeys(db, [&](int, int) { ++calls; });
        QCOMPARE(calls, 0);

        // A rename behind the plug-in's back, mended by refreshSearchKeys (zqcatalogue repair).
        runSql(db,
               "update ZQ_DocTempDetail set DocCaption = '应收账款' where DocCaption = '银行存款'");
        QCOMPARE(refreshSearchKeys(db), 1);
        QCOMPARE(catalogue.captions(criteria), QStringList{});
        criteria.name = "yszk";
        QCOMPARE(catalogue.captions(criteria), QStringList{"应收账款"});
        QCOMPARE(refreshSearchKeys(db), 0);
    }

    void tooLongPatternIsRefused() {
        Catalogue catalogue;
        SearchCriteria criteria;
        criteria.byName = true;
        criteria.name = QString(50000, QChar(u'模'));
        QVERIFY_THROWS_EXCEPTION(SearchRefused, searchTemplates(catalogue.db(), criteria));
        criteria.mode = MatchMode::Exact; // compared, not matched as a pattern
        QCOMPARE(searchTemplates(catalogue.db(), criteria).size(), 0);
    }

    void typeCaptionsOncePerCaption() {
        Catalogue catalogue;
        QCOMPARE(sorted(typeCaptions(catalogue.db())),
                 sorted({"", "Excel表格", "PDF文档", "Word文档", "文本文件"}));
    }
};

QTEST_MAIN(TestTemplateSearch)
#include "tst_templatesearch.moc"
