#include "HostDatabase.h"
#include "TestCatalogue.h"
#include "catalogue/ClassCatalogue.h"
#include "catalogue/Sql.h"
#include "catalogue/TemplateDocuments.h"
#include "util/Error.h"

#include <QMutex>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <atomic>
#include <functional>
#include <thread>

using namespace zq;
using zq::test::TestCatalogue;

namespace {

// One catalogue reached over several connections, each in the thread that opened it: the
// PostgreSQL server of the run, or a SQLite file.
struct SharedCatalogue {
    QTemporaryDir folder;
    const QString url = qEnvironmentVariable("ZQ_TEST_DATABASE");
    std::atomic<int> connections = 0;

    SharedCatalogue() {
        run([](QSqlDatabase& db) {
            corvane::createHostSchema(db);
            corvane::clearCatalogue(db);
        });
    }
    // Runs the work on a connection of its own, opened and closed in the calling thread.
    void run(const std::function<void(QSqlDatabase&)>& work) {
        const QString name = QStringLiteral("shared-%1").arg(++connections);
        {
            QSqlDatabase db = corvane::openHostDatabase(name, folder.filePath("shared.db"), url);
            work(db);
            db.close();
        }
        QSqlDatabase::removeDatabase(name);
    }
};

} // namespace

class TestClassCatalogue : public QObject {
    Q_OBJECT

private slots:
    void codeDepthAndParent_data() {
        QTest::addColumn<QString>("code");
        QTest::addColumn<int>("depth");
        QTest::addColumn<QString>("parent");
        QTest::newRow("root") << "" << 0 << "";
        QTest::newRow("short") << "001" << 0 << "";
        QTest::newRow("top level") << "0001" << 1 << "";
        QTest::newRow("nine characters") << "000100021" << 2 << "00010";
        QTest::newRow("third level") << "000100020003" << 3 << "00010002";
    }
    void codeDepthAndParent() {
        QFETCH(QString, code);
        QFETCH(int, depth);
        QFETCH(QString, parent);
        QCOMPARE(classCodeDepth(code), depth);
        QCOMPARE(parentClassCode(code), parent);
    }

    // The rules written as SQL read each code as their C++ twins do, on either engine.
    void codeRulesReadAlikeInSql() {
        TestCatalogue catalogue;
        const QStringList codes{"0001", "00010002", "000100021", "00AB", "０００１", "0001x"};
        for (const QString& code : codes)
            catalogue.addClass(code, "类" + code);
        QSqlQuery query =
            runSql(catalogue.db(),
                   QStringLiteral("select DocSortID, %1, case when %2 then 1 else 0 end "
                                  "from ZQ_DocInfoMaster where length(DocSortID) >= ?")
                       .arg(parentCodeSql("DocSortID"), isClassCodeSql("DocSortID")),
                   {classCodeLength(1)});
        qsizetype seen = 0;
        while (query.next()) {
            const QString code = query.value(0).toString();
            QCOMPARE(query.value(1).toString(), parentClassCode(code));
            QCOMPARE(query.value(2).toInt() == 1, isClassCode(code));
            ++seen;
        }
        QCOMPARE(seen, codes.size());
    }

    void newChildClassCode_data() {
        QTest::addColumn<QStringList>("existing");
        QTest::addColumn<QString>("parent");
        QTest::addColumn<QString>("expected");
        QTest::newRow("no classes") << QStringList{} << ""
                                    << "0001";
        QTest::newRow("gap at two") << QStringList{"0001", "0003"} << ""
                                    << "0002";
        QTest::newRow("first missing") << QStringList{"0002"} << ""
                                       << "0001";
        QTest::newRow("gap in a run") << QStringList{"0001", "0002", "0004"} << ""
                                      << "0003";
        QTest::newRow("after a run") << QStringList{"0001", "0002", "0003", "0004", "0005"} << ""
                                     << "0006";
        QStringList nine{"0007"};
        for (int i = 1; i <= 9; ++i)
            nine.append(QStringLiteral("0007%1").arg(i, 4, 10, QLatin1Char('0')));
        QTest::newRow("tenth child") << nine << "0007"
                                     << "00070010";
        QTest::newRow("grandchildren ignored")
            << QStringList{"0001", "00010001", "000100010001"} << "0001"
            << "00010002";
        QTest::newRow("other parent ignored") << QStringList{"0001", "0002", "00020001"} << "0001"
                                              << "00010001";
    }
    void newChildClassCode() {
        QFETCH(QStringList, existing);
        QFETCH(QString, parent);
        QFETCH(QString, expected);
        TestCatalogue catalogue;
        for (const QString& code : existing)
            catalogue.addClass(code, "类" + code);
        QCOMPARE(zq::newChildClassCode(catalogue.db(), parent), expected);
    }

    void newChildClassCodeRefusesAFullParentAndBadCodes() {
        TestCatalogue catalogue;
        {
            Transaction transaction(catalogue.db());
            for (int i = 1; i <= 9999; ++i)
                catalogue.addClass(QStringLiteral("0001%1").arg(i, 4, 10, QLatin1Char('0')), "子");
            transaction.commit();
        }
        QVERIFY_THROWS_EXCEPTION(Error, zq::newChildClassCode(catalogue.db(), "0001"));
        catalogue.addClass("00AB", "坏编码");
        catalogue.addClass("0001", "好编码");
        QVERIFY_THROWS_EXCEPTION(Error, zq::newChildClassCode(catalogue.db(), ""));
    }

    void insertClassStoresTextsAsTyped() {
        TestCatalogue catalogue;
        insertClass(catalogue.db(), "0001", "  O'Brien 的\"类\"  ", " 说明'); drop table x; -- ");
        const QList<ClassRecord> rows = readClassRows(catalogue.db());
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows[0].name, QString("O'Brien 的\"类\""));
        QCOMPARE(rows[0].memo, QString("说明'); drop table x; --"));
        QCOMPARE(classNameOfCode(catalogue.db(), "0001"), QString("O'Brien 的\"类\""));
        QCOMPARE(classNameOfCode(catalogue.db(), "0002"), QString());
        QCOMPARE(classNameOfCode(catalogue.db(), ""), QString());
    }

    // Two workstations that computed the same code: the second insert fails, and adding takes
    // the next free code instead.
    void aTakenCodeIsRefusedAndAddingTakesTheNextOne() {
        TestCatalogue catalogue;
        catalogue.addClass("0001", "甲");
        const QString stale = "0002";
        catalogue.addClass(stale, "别的工作站");
        QVERIFY_THROWS_EXCEPTION(Error, insertClass(catalogue.db(), stale, "乙", ""));
        QCOMPARE(addChildClass(catalogue.db(), "", "乙", "", stale), QString("0003"));
        QCOMPARE(classNameOfCode(catalogue.db(), "0003"), QString("乙"));
        QCOMPARE(catalogue.count("ZQ_DocInfoMaster"), 3);
    }

    // Workstation A computed a code under 0001 while B deleted 0001: whatever A adds into the
    // class afterwards is refused and nothing is written, so no orphan reappears under the
    // next class that gets the code 0001.
    void addingIntoADeletedClassWritesNothing() {
        TestCatalogue catalogue;
        QSqlDatabase& db = catalogue.db();
        catalogue.addClass("0001", "甲");
        const QString shown = zq::newChildClassCode(db, "0001");
        QCOMPARE(zq::deleteEmptyClassTree(db, "0001"), ClassTreeDeletion::Deleted);

        const QList<std::function<void()>> adds{
            [&] { addChildClass(db, "0001", "乙", "", shown); },
            [&] { insertClass(db, "00010001", "乙", ""); },
            [&] {
                insertTemplate(db, {.caption = "模板",
                                    .fileName = "a.doc",
                                    .typeName = "WORD",
                                    .classCode = "0001"});
            },
        };
        for (const auto& add : adds) {
            try {
                add();
                QFAIL("an add into a deleted class went through");
            } catch (const Error& error) {
                QCOMPARE(error.message(),
                         QString("该文档模板分类已不存在，可能已被其他用户删除！"));
            }
        }
        QCOMPARE(catalogue.count("ZQ_DocInfoMaster"), 0);
        QCOMPARE(catalogue.count("ZQ_DocTempDetail"), 0);
        QCOMPARE(addChildClass(db, "", "丙", "", "0001"), QString("0001"));
        const ClassContents contents = readClassContents(db, "0001");
        QVERIFY(contents.classes.isEmpty() && contents.templates.isEmpty());
    }

    // Several workstations add under one parent at once: no error, no code twice, every add
    // present.
    void concurrentAddsUnderOneParent() {
        SharedCatalogue shared;
        shared.run([](QSqlDatabase& db) { insertClass(db, "0001", "父", ""); });
        constexpr int workers = 6;
        constexpr int adds = 12;
        QMutex mutex;
        QStringList codes;
        QStringList errors;
        std::vector<std::thread> threads;
        for (int worker = 0; worker < workers; ++worker)
            threads.emplace_back([&, worker] {
                try {
                    shared.run([&](QSqlDatabase& db) {
                        for (int i = 0; i < adds; ++i) {
                            try {
                                const QString name = QStringLiteral("类%1-%2").arg(worker).arg(i);
                                const QString code = addChildClass(
                                    db, "0001", name, "", zq::newChildClassCode(db, "0001"));
                                const QMutexLocker lock(&mutex);
                                codes.append(code);
                            } catch (const std::exception& e) {
                                const QMutexLocker lock(&mutex);
                                errors.append(messageOf(e));
                            }
                        }
                    });
                } catch (const std::exception& e) {
                    const QMutexLocker lock(&mutex);
                    errors.append(messageOf(e));
                }
            });
        for (std::thread& thread : threads)
            thread.join();
        QVERIFY2(errors.isEmpty(), qPrintable(errors.join('\n')));
        QCOMPARE(codes.size(), workers * adds);
        QCOMPARE(QSet<QString>(codes.begin(), codes.end()).size(), codes.size());
        shared.run([&](QSqlDatabase& db) {
            QCOMPARE(readClassContents(db, "0001").classes.size(), workers * adds);
        });
    }

    // A class added under a class that another workstation deletes at the same moment: the
    // delete waits for the add and takes the new class with it, or the add finds its parent
    // gone. No class is ever left without its parent.
    void deleteWhileAnAddIsUnderway() {
        SharedCatalogue shared;
        shared.run([](QSqlDatabase& db) { insertClass(db, "0001", "父", ""); });
        shared.run([&](QSqlDatabase& db) {
            Transaction adding(db);
            addChildClass(db, "0001", "子", "", "00010001");
            std::atomic<bool> deleted = false;
            ClassTreeDeletion result = ClassTreeDeletion::NoSuchClass;
            std::thread deleting([&] {
                try {
                    shared.run([&](QSqlDatabase& other) {
                        result = zq::deleteEmptyClassTree(other, "0001");
                    });
                } catch (const std::exception&) {
                }
                deleted = true;
            });
            QThread::msleep(300);
            const bool waited = !deleted;
            adding.commit();
            deleting.join();
            QVERIFY(waited); // held until the add ended
            QCOMPARE(result, ClassTreeDeletion::Deleted);
            QCOMPARE(readClassRows(db).size(), 0);
        });
    }

    void deleteEmptyClassTree() {
        TestCatalogue catalogue;
        for (const char* code : {"0001", "00010001", "000100010001", "0002", "00020001"})
            catalogue.addClass(code, code);
        catalogue.addTemplate("底稿", "000100010001");
        QVERIFY(classTreeHasTemplates(catalogue.db(), "0001"));
        QCOMPARE(zq::deleteEmptyClassTree(catalogue.db(), "0001"), ClassTreeDeletion::HasTemplates);
        QCOMPARE(catalogue.count("ZQ_DocInfoMaster"), 5);

        QCOMPARE(zq::deleteEmptyClassTree(catalogue.db(), "0002"), ClassTreeDeletion::Deleted);
        QCOMPARE(catalogue.count("ZQ_DocInfoMaster"), 3);
        QVERIFY(classExists(catalogue.db(), "0001"));
        QVERIFY(!classExists(catalogue.db(), "00020001"));
        // Nothing deleted is never reported as a deletion.
        QCOMPARE(zq::deleteEmptyClassTree(catalogue.db(), "0002"), ClassTreeDeletion::NoSuchClass);
        QCOMPARE(zq::deleteEmptyClassTree(catalogue.db(), "0009"), ClassTreeDeletion::NoSuchClass);
        QCOMPARE(zq::deleteEmptyClassTree(catalogue.db(), ""), ClassTreeDeletion::NoSuchClass);
        QCOMPARE(catalogue.count("ZQ_DocInfoMaster"), 3);
    }

    // One rule on both engines: a text its column cannot hold exactly is refused, naming the
    // field, and nothing is written.
    void textRule_data() {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("field");
        const QString loneHigh = QString("甲") + QChar(0xD800) + "乙";
        const QString loneLow = QString("甲") + QChar(0xDC00);
        const QString nul = QString("甲") + QChar(0) + "乙";
        QTest::newRow("class name, lone surrogate")
            << "insertClass.name" << loneHigh << "模板分类名称";
        QTest::newRow("class name, NUL") << "insertClass.name" << nul << "模板分类名称";
        QTest::newRow("class name, blank") << "insertClass.name"
                                           << " \t "
                                           << "模板分类名称";
        QTest::newRow("class name, too long")
            << "insertClass.name" << QString(201, 'x') << "模板分类名称";
        QTest::newRow("class memo, too long")
            << "insertClass.memo" << QString(2001, u'说') << "模板分类说明";
        QTest::newRow("rename, lone low surrogate")
            << "updateClass.name" << loneLow << "模板分类名称";
        QTest::newRow("rename, blank") << "updateClass.name"
                                       << "  "
                                       << "模板分类名称";
        QTest::newRow("class memo edit, NUL") << "updateClass.memo" << nul << "模板分类说明";
        QTest::newRow("caption, too long")
            << "insertTemplate.caption" << QString(201, u'模') << "模板名称";
        QTest::newRow("caption, blank") << "insertTemplate.caption"
                                        << ""
                                        << "模板名称";
        QTest::newRow("memo, lone surrogate") << "insertTemplate.memo" << loneHigh << "模板说明";
        QTest::newRow("type name, too long")
            << "insertTemplate.type" << QString(101, 'T') << "数据类型";
        QTest::newRow("keyword, NUL") << "insertTemplate.keyword" << nul << "关键字";
        QTest::newRow("keyword, too long")
            << "insertTemplate.keyword" << QString(501, 'k') << "关键字";
        QTest::newRow("file name, too long")
            << "insertTemplate.file" << QString(261, 'f') << "模板文件名";
        QTest::newRow("edit caption, NUL") << "updateTemplate.caption" << nul << "模板名称";
        QTest::newRow("edit memo, too long")
            << "updateTemplate.memo" << QString(2001, 'm') << "模板说明";
        const QString controls = QString("a") + QChar(0x01) + "b" + QChar(0x1F) + "c";
        QTest::newRow("class name, control characters")
            << "insertClass.name" << controls << "模板分类名称";
        QTest::newRow("caption, line break") << "insertTemplate.caption"
                                             << "上\n下"
                                             << "模板名称";
        QTest::newRow("memo, control character") << "updateTemplate.memo" << controls << "模板说明";
        QTest::newRow("file name, escape") << "insertTemplate.file"
                                           << "a\x1b.doc"
                                           << "模板文件名";
        // A class code is whole groups of four digits, whatever its parent.
        QTest::newRow("code, letters") << "insertClass.code"
                                       << "abcd"
                                       << "分类编码";
        QTest::newRow("code, two digits") << "insertClass.code"
                                          << "12"
                                          << "分类编码";
        QTest::newRow("code, five digits") << "insertClass.code"
                                           << "00012"
                                           << "分类编码";
        QTest::newRow("code, quote") << "insertClass.code"
                                     << "0011'x"
                                     << "分类编码";
    }
    void textRule() {
        QFETCH(QString, target);
        QFETCH(QString, text);
        QFETCH(QString, field);
        TestCatalogue catalogue;
        QSqlDatabase& db = catalogue.db();
        catalogue.addClass("0001", "甲", "说明");
        const qint64 doc = catalogue.addTemplate("模板", "0001", "a.doc", "WORD", "说明");
        const auto arg = [&](const char* name) {
            return target.endsWith(name) ? text : QString("正常");
        };
        try {
            if (target == "insertClass.code")
                insertClass(db, text, "分类", "");
            else if (target.startsWith("insertClass"))
                insertClass(db, "0002", arg(".name"), arg(".memo"));
            else if (target.startsWith("updateClass"))
                updateClass(db, "0001", arg(".name"), arg(".memo"));
            else if (target.startsWith("insertTemplate"))
                insertTemplate(db, {.caption = arg(".caption"),
                                    .fileName = arg(".file"),
                                    .memo = arg(".memo"),
                                    .typeName = arg(".type"),
                                    .keyWord = arg(".keyword"),
                                    .classCode = "0001"});
            else
                updateTemplateText(db, doc, arg(".caption"), arg(".memo"));
            QFAIL("the text was accepted");
        } catch (const Error& error) {
            QVERIFY2(error.message().startsWith(field), qPrintable(error.message()));
        }
        QCOMPARE(readClassRows(db).size(), 1);
        QCOMPARE(readClassRows(db)[0].name, QString("甲"));
        QCOMPARE(readClassRows(db)[0].memo, QString("说明"));
        const QList<TemplateRecord> templates = readClassTemplates(db, "0001");
        QCOMPARE(templates.size(), 1);
        QCOMPARE(templates[0].caption, QString("模板"));
        QCOMPARE(templates[0].memo, QString("说明"));
    }

    // Texts that fill their columns exactly, characters beyond the basic plane included, are
    // stored as given on both engines.
    void textsThatFitAreStoredUnchanged() {
        TestCatalogue catalogue;
        QSqlDatabase& db = catalogue.db();
        const QString name = QString("𠀀").repeated(200); // 400 UTF-16 units, 200 characters
        const QString memo = QString("说").repeated(2000);
        insertClass(db, "0001", name, memo);
        QCOMPARE(readClassRows(db)[0].name, name);
        QCOMPARE(readClassRows(db)[0].memo, memo);
        const TemplateRecord row{.caption = name,
                                 .fileName = QString(260, 'f'),
                                 .memo = memo,
                                 .typeName = QString(100, 'T'),
                                 .keyWord = QString(500, 'k'),
                                 .classCode = "0001"};
        const qint64 doc = insertTemplate(db, row);
        const TemplateRecord stored = readClassTemplates(db, "0001").value(0);
        QCOMPARE(stored.docId, doc);
        QCOMPARE((QStringList{stored.caption, stored.fileName, stored.memo, stored.typeName,
                              stored.keyWord}),
                 (QStringList{row.caption, row.fileName, row.memo, row.typeName, row.keyWord}));
        // Tabs anywhere and line breaks in a description are the only control characters kept.
        const QString lines = QStringLiteral("第一行\t甲\r\n第二行\n第三行");
        insertClass(db, "0002", QStringLiteral("甲\t乙"), lines);
        QCOMPARE(readClassRows(db)[1].name, QStringLiteral("甲\t乙"));
        QCOMPARE(readClassRows(db)[1].memo, lines);
    }

    void classContents_data() {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QStringList>("rows"); // caption|class name|image
        QTest::newRow("root") << "" << QStringList{"审计计划||10", "审计报告||10", "根下模板||11"};
        QTest::newRow("class") << "0001"
                               << QStringList{"总体计划||10", "计划模板|审计计划|11",
                                              "无文件|审计计划|11"};
        QTest::newRow("empty class") << "0002" << QStringList{};
    }
    void classContents() {
        QFETCH(QString, code);
        QFETCH(QStringList, rows);
        TestCatalogue catalogue;
        catalogue.addClass("0001", "审计计划");
        catalogue.addClass("00010001", "总体计划");
        catalogue.addClass("000100010001", "更深的类");
        catalogue.addClass("0002", "审计报告");
        catalogue.addTemplate("根下模板", "");
        catalogue.addTemplate("计划模板", "0001");
        catalogue.addTemplate("无文件", "0001", " ");
        catalogue.addTemplate("深处模板", "00010001");

        QStringList seen;
        const ClassContents contents = readClassContents(catalogue.db(), code);
        for (const ClassRecord& listed : contents.classes)
            seen.append(QStringList{listed.name, "", QString::number(kClassImage)}.join('|'));
        for (const ListedTemplate& listed : contents.templates)
            seen.append(QStringList{listed.record.caption, listed.className,
                                    QString::number(kTemplateImage)}
                            .join('|'));
        QCOMPARE(seen, rows);
    }

    void templateRowsCarryTheirTypeCaptionAndTheirOwnId() {
        TestCatalogue catalogue;
        catalogue.addClass("0001", "审计计划");
        const qint64 first = insertTemplate(catalogue.db(), {.caption = " 计划 ",
                                                             .fileName = "a.doc",
                                                             .memo = " 说明 ",
                                                             .typeName = "WORD",
                                                             .keyWord = "关键字",
                                                             .classCode = "0001"});
        const qint64 second = insertTemplate(
            catalogue.db(),
            {.caption = "表格", .fileName = "b.xls", .typeName = "未知类型", .classCode = "0001"});
        QVERIFY(second != first);
        const QList<ListedTemplate> rows = readClassContents(catalogue.db(), "0001").templates;
        QCOMPARE(rows.size(), 2);
        const TemplateRecord& record = rows[0].record;
        QCOMPARE(record.docId, first);
        QCOMPARE((QStringList{record.caption, record.fileName, record.memo, record.typeName,
                              record.keyWord, record.classCode}),
                 (QStringList{"计划", "a.doc", "说明", "WORD", "关键字", "0001"}));
        QCOMPARE(rows[0].typeCaption, QString("Word文档"));
        QCOMPARE(typeCaptionOf(catalogue.db(), "WORD"), QString("Word文档"));
        QCOMPARE(rows[1].typeCaption, QString());

        QVERIFY(fileNameInUse(catalogue.db(), "a.doc"));
        deleteTemplateRow(catalogue.db(), first);
        QVERIFY(!fileNameInUse(catalogue.db(), "a.doc"));
    }

    void noConnectionFailsWithAClearError() {
        try {
            readClassRows(QSqlDatabase());
            QFAIL("reading without a connection must fail");
        } catch (const Error& error) {
            QVERIFY(error.message().contains("数据库连接"));
        }
    }
};

QTEST_GUILESS_MAIN(TestClassCatalogue)
#include "tst_classcatalogue.moc"
