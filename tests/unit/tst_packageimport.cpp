// Template packages made elsewhere, imported without any window: what the catalogue keeps,
// hostile and damaged packages, other workstations at work meanwhile, a store without room,
// and the manifest as other programs write it, through the stand-in host's real archive code.

#include "HostDatabase.h"
#include "PackageExchange.h"
#include "catalogue/CatalogueHistory.h"
#include "catalogue/TemplateFiles.h"
#include "exchange/PackageReader.h"

#include <QProcess>
#include <QScopeGuard>
#include <QtTest>
#include <unistd.h>

using namespace zq;
using zq::test::classEntry;
using zq::test::entriesOf;
using zq::test::Exchange;
using zq::test::readFile;
using zq::test::templateEntry;
using zq::test::writeFile;

class TestPackageImport : public QObject {
    Q_OBJECT

private slots:
    // Only adds: what the catalogue has stays, whatever the package says.
    void importKeepsWhatIsPresent() {
        Exchange x;
        x.catalogue.addClass("0001", "本地名称", "本地说明");
        x.catalogue.addClass("0002", "B");
        x.stored("本地模板", "0002", "kept.doc", "LOCAL");
        writeFile(storedFilePath(x.p + "orphan.doc"), "OLD"); // in the store, no row
        const QString package = x.handMade({classEntry("0001", "包内名称", "包内说明"),
                                            templateEntry("包内模板", x.p + "kept.doc", "0001"),
                                            templateEntry("无处", x.p + "nowhere.doc", "0042"),
                                            templateEntry("孤儿", x.p + "orphan.doc", "0001")},
                                           {{x.p + "kept.doc", "PACKAGE"},
                                            {x.p + "nowhere.doc", "N"},
                                            {x.p + "orphan.doc", "NEW"}});

        const ImportReport report = importPackage(x.catalogue.db(), package);
        QCOMPARE(report.classesPresent, 1);
        QCOMPARE(report.templatesPresent, 1);
        // A template whose class exists nowhere is refused: it would turn up under whatever
        // class gets that code next.
        QCOMPARE(report.templatesAdded, 1);
        QCOMPARE(report.refused.size(), 1);
        QVERIFY2(report.refused[0].contains("无处") &&
                     report.refused[0].contains("既不在模板目录中，也不在模板包中"),
                 qPrintable(report.refused[0]));
        QCOMPARE(x.classes(), QStringList({"0001|本地名称|本地说明", "0002|B|"}));
        QCOMPARE(x.templates(), QStringList({"孤儿|" + x.p + "orphan.doc|0001",
                                             "本地模板|" + x.p + "kept.doc|0002"}));
        QCOMPARE(readFile(storedFilePath(x.p + "kept.doc")), QByteArray("LOCAL"));
        QCOMPARE(readFile(storedFilePath(x.p + "orphan.doc")), QByteArray("NEW"));
        // The import is one change of the history, with its counts.
        const QList<HistoryEntry> history = readHistory(x.catalogue.db(), {});
        QCOMPARE(history.size(), 1);
        QCOMPARE(history[0].change.action, HistoryAction::PackageImported);
        QCOMPARE(history[0].change.after, report.summary());
    }

    // Names that would leave the folder, links, folders and missing files are refused and
    // reported; nothing lands outside the store, and nothing of theirs is catalogued.
    void hostileEntriesRefused() {
        Exchange x;
        QTemporaryDir outside;
        const QString secret = outside.filePath("secret.doc");
        writeFile(secret, "SECRET");
        const QList<ManifestEntry> entries{
            templateEntry("上级", "../" + x.p + "up.doc", ""),
            templateEntry("绝对", secret, ""),
            templateEntry("反斜杠", "..\\" + x.p + "bs.doc", ""),
            templateEntry("清单", manifestFileName(), ""),
            templateEntry("链接", x.p + "link.doc", ""),
            templateEntry("目录", x.p + "folder.doc", ""),
            templateEntry("缺失", x.p + "missing.doc", ""),
            templateEntry("正常", x.p + "good.doc", ""),
        };
        // A host that unpacks what no real archive would hold.
        x.host.extractWith = [&](const QString&, const QString& folder) {
            writeManifest(folder + manifestFileName(), entries);
            writeFile(folder + x.p + "good.doc", "GOOD");
            QFile::link(secret, folder + x.p + "link.doc");
            QDir().mkpath(folder + x.p + "folder.doc");
            return folder;
        };
        writeFile(x.package(), "zip");
        const ImportReport report = importPackage(x.catalogue.db(), x.package());
        QCOMPARE(report.templatesAdded, 1);
        QCOMPARE(report.refused.size(), 7);
        for (int i = 0; i < 7; ++i)
            QVERIFY2(report.refused[i].contains(entries[i].record.caption),
                     qPrintable(report.refused.join('\n')));
        QCOMPARE(x.templates(), QStringList({"正常|" + x.p + "good.doc|"}));
        QCOMPARE(readFile(secret), QByteArray("SECRET"));
        QCOMPARE(entriesOf(outside.path()), QStringList({"secret.doc"}));
        QCOMPARE(QDir(templateStorePath()).entryList({x.p + "*"}), QStringList({x.p + "good.doc"}));
        QVERIFY(!QFileInfo::exists(templateStorePath() + "../" + x.p + "up.doc"));
    }

    // Another workstation imports the same package at the same time: what it committed first
    // counts as present here, never as a failure.
    void entriesAddedElsewhereMeanwhileArePresent() {
        Exchange x;
        if (!x.catalogue.isPostgres())
            QSKIP("needs a shared PostgreSQL catalogue");
        x.catalogue.addClass("0001", "甲");
        const QString package =
            x.handMade({templateEntry("一", x.p + "1.doc", "0001"), classEntry("0002", "乙"),
                        templateEntry("二", x.p + "2.doc", "0001"), classEntry("00020001", "乙一"),
                        templateEntry("三", x.p + "3.doc", "00020001")},
                       {{x.p + "1.doc", "1"}, {x.p + "2.doc", "2"}, {x.p + "3.doc", "3"}});
        QTemporaryDir elsewhere;
        writeFile(elsewhere.filePath(x.p + "2.doc"), "2");
        {
            QSqlDatabase other = corvane::openHostDatabase(
                QStringLiteral("elsewhere"), QString(), qEnvironmentVariable("ZQ_TEST_DATABASE"));
            const ImportReport report = importPackage(
                x.catalogue.db(), package, [&](PackageStage stage, qint64 done, qint64) {
                    // Once this import has read the catalogue, the other one commits class 0002
                    // and template 二.
                    if (stage == PackageStage::Cataloguing && done == 1) {
                        insertClass(other, "0002", "乙", "");
                        addTemplateWithFile(
                            other,
                            {.caption = "二", .fileName = x.p + "2.doc", .classCode = "0001"},
                            elsewhere.path());
                    }
                });
            other.close();
            // What is present counts as present for what comes below it, too.
            QCOMPARE(report.refused, QStringList());
            QCOMPARE(report.classesPresent, 1);
            QCOMPARE(report.classesAdded, 1);
            QCOMPARE(report.templatesAdded, 2);
            QCOMPARE(report.templatesPresent, 1);
        }
        QSqlDatabase::removeDatabase(QStringLiteral("elsewhere"));
        QCOMPARE(x.templates(),
                 QStringList({"一|" + x.p + "1.doc|0001", "三|" + x.p + "3.doc|00020001",
                              "二|" + x.p + "2.doc|0001"}));
    }

    // Templates go to the database a few hundred at a time. One the database refuses (its name
    // is taken in the file table alone) sends its batch again entry by entry: it alone is
    // refused, with its reason, and the others are catalogued with their bytes. Progress still
    // moves one entry at a time.
    void batchRefusedGoesEntryByEntry() {
        Exchange x;
        x.catalogue.addClass("0001", "甲");
        writeFile(storedFilePath(x.p + "taken.doc"), "OTHER");
        replaceTemplateFile(x.catalogue.db(), templateStorePath(), x.p + "taken.doc");
        QList<ManifestEntry> entries;
        QMap<QString, QByteArray> files;
        for (int i = 0; i < 300; ++i) {
            const QString name = x.p + QString("t%1.doc").arg(i);
            entries.append(templateEntry(QString("模板%1").arg(i), name, "0001"));
            files.insert(name, QByteArray::number(i).repeated(i + 1));
        }
        entries.insert(3, templateEntry("已占用", x.p + "taken.doc", "0001"));
        files.insert(x.p + "taken.doc", "PACKAGE");
        const QString package = x.handMade(entries, files);

        QList<qint64> done;
        const ImportReport report = importPackage(x.catalogue.db(), package,
                                                  [&](PackageStage stage, qint64 n, qint64 total) {
                                                      if (stage == PackageStage::Cataloguing) {
                                                          QCOMPARE(total, qint64(entries.size()));
                                                          done.append(n);
                                                      }
                                                  });
        QCOMPARE(report.templatesAdded, 300);
        QCOMPARE(report.refused.size(), 1);
        QVERIFY2(report.refused[0].contains("已占用"), qPrintable(report.refused[0]));
        QCOMPARE(done.size(), entries.size());
        for (int i = 0; i < done.size(); ++i)
            QCOMPARE(done[i], qint64(i + 1));
        QCOMPARE(x.catalogue.count("ZQ_DocTempDetail"), 300);
        QCOMPARE(damagedKeptFiles(x.catalogue.db()), QStringList());
        for (const int i : {0, 255, 256, 299}) {
            const QString name = x.p + QString("t%1.doc").arg(i);
            if (keepsFileBytes(x.catalogue.db())) // fetched back from there
                QFile::remove(storedFilePath(name));
            QCOMPARE(readFile(localTemplateFile(x.catalogue.db(), name)), files[name]);
        }
        QCOMPARE(readFile(localTemplateFile(x.catalogue.db(), x.p + "taken.doc")),
                 QByteArray("OTHER"));
    }

    // A package naming one file twice: the first entry decides, the second finds it present,
    // in a dry run as much as in an import.
    void sameFileTwice_data() {
        QTest::addColumn<bool>("dryRun");
        QTest::newRow("import") << false;
        QTest::newRow("dry run") << true;
    }
    void sameFileTwice() {
        QFETCH(bool, dryRun);
        Exchange x;
        x.catalogue.addClass("0001", "甲");
        const QString package = x.handMade({templateEntry("一", x.p + "a.doc", "0001"),
                                            templateEntry("二", x.p + "b.doc", "0001"),
                                            templateEntry("又一", x.p + "a.doc", "0001")},
                                           {{x.p + "a.doc", "A"}, {x.p + "b.doc", "B"}});
        const ImportReport report = importPackage(x.catalogue.db(), package, {},
                                                  dryRun ? ImportMode::DryRun : ImportMode::Apply);
        QCOMPARE(report.templatesAdded, 2);
        QCOMPARE(report.templatesPresent, 1);
        QCOMPARE(report.refused, QStringList());
        QCOMPARE(x.templates(),
                 dryRun ? QStringList()
                        : QStringList({"一|" + x.p + "a.doc|0001", "二|" + x.p + "b.doc|0001"}));
    }

    // A class another workstation deletes after this import has read the catalogue refuses
    // the templates filed in it, each with the reason; the others are catalogued.
    void classDeletedElsewhereMeanwhile() {
        Exchange x;
        if (!x.catalogue.isPostgres())
            QSKIP("needs a shared PostgreSQL catalogue");
        x.catalogue.addClass("0001", "甲");
        x.catalogue.addClass("0002", "乙");
        const QString package = x.handMade({templateEntry("坏名", "../up.doc", "0001"),
                                            templateEntry("一", x.p + "1.doc", "0001"),
                                            templateEntry("二", x.p + "2.doc", "0002")},
                                           {{x.p + "1.doc", "1"}, {x.p + "2.doc", "2"}});
        {
            QSqlDatabase other = corvane::openHostDatabase(
                QStringLiteral("elsewhere"), QString(), qEnvironmentVariable("ZQ_TEST_DATABASE"));
            const ImportReport report = importPackage(
                x.catalogue.db(), package, [&](PackageStage stage, qint64 done, qint64) {
                    if (stage == PackageStage::Cataloguing && done == 1)
                        runSql(other, "delete from ZQ_DocInfoMaster where DocSortID = '0001'");
                });
            other.close();
            QCOMPARE(report.templatesAdded, 1);
            QCOMPARE(report.refused.size(), 2);
            QVERIFY2(report.refused[1].contains("一") &&
                         report.refused[1].contains(noSuchClassMessage()),
                     qPrintable(report.refused[1]));
        }
        QSqlDatabase::removeDatabase(QStringLiteral("elsewhere"));
        QCOMPARE(x.templates(), QStringList({"二|" + x.p + "2.doc|0002"}));
    }

    // The host's archive service says only that it failed; the quick look says why, under the
    // system's own message.
    void damagedPackageDescribed_data() {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<QString>("details");
        QTest::newRow("not a zip") << "text"
                                   << "不是 zip 格式";
        QTest::newRow("truncated") << "truncated"
                                   << "不完整";
        QTest::newRow("damaged directory") << "directory"
                                           << "已损坏";
    }
    void damagedPackageDescribed() {
        QFETCH(QString, damage);
        QFETCH(QString, details);
        Exchange x;
        const QByteArray zip = readFile(
            x.handMade({classEntry("0001", "甲")}, {{x.p + "a.doc", QByteArray(5000, 'a')}}));
        QByteArray bytes =
            damage == "text" ? QByteArray("not a zip at all") : zip.left(zip.size() / 2);
        if (damage == "directory") {
            bytes = zip;
            bytes[bytes.lastIndexOf("PK\x01\x02") + 2] = 'X';
        }
        writeFile(x.package(), bytes);
        try {
            importPackage(x.catalogue.db(), x.package());
            QFAIL("the import passed");
        } catch (const PackageError& e) {
            QCOMPARE(int(e.kind()), int(PackageError::Kind::Extraction));
            QCOMPARE(e.message(), QStringLiteral("导入模板文件失败！"));
            QVERIFY2(e.details().contains(details), qPrintable(e.details()));
        }
    }

    void importFailures_data() {
        QTest::addColumn<QString>("package"); // "missing", "garbage" or a manifest text
        QTest::addColumn<int>("kind");        // a PackageError kind, or -1 for zq::Error
        QTest::newRow("missing package") << "missing" << int(PackageError::Kind::MissingPackage);
        QTest::newRow("failed extraction") << "garbage" << int(PackageError::Kind::Extraction);
        QTest::newRow("unreadable manifest") << "<模板文件数据包><模板分类" << -1;
        QTest::newRow("document type")
            << "<?xml version=\"1.0\"?><!DOCTYPE r [<!ENTITY e SYSTEM \"file:///etc/passwd\">]>"
               "<r><模板分类 模板分类编码=\"&e;\"/></r>"
            << -1;
        QTest::newRow("too deep") << QString("<r>").repeated(40) + QString("</r>").repeated(40)
                                  << -1;
        // Read as a manifest, it would import nothing and report success.
        QTest::newRow("another root element")
            << "<?xml version=\"1.0\" encoding=\"UTF-8\"?><root><模板分类 模板分类编码=\"0001\" "
               "模板分类名称=\"甲\"/></root>"
            << -1;
    }
    void importFailures() {
        QFETCH(QString, package);
        QFETCH(int, kind);
        Exchange x;
        QString path = x.package();
        if (package == "garbage")
            writeFile(path, "not a zip");
        else if (package != "missing")
            path = x.handMade({}, {{manifestFileName(), package.toUtf8()}});
        try {
            importPackage(x.catalogue.db(), path);
            QFAIL("the import passed");
        } catch (const PackageError& e) {
            QCOMPARE(int(e.kind()), kind);
        } catch (const Error& e) {
            QCOMPARE(kind, -1);
            // Said in Chinese, without the unpack folder's path; libxml2's words under details.
            QVERIFY2(!e.message().isEmpty() && !e.message().contains('/'), qPrintable(e.message()));
        }
        QCOMPARE(x.catalogue.count("ZQ_DocInfoMaster") + x.catalogue.count("ZQ_DocTempDetail"), 0);
    }

    // A store that cannot take the package stops the import before anything is catalogued,
    // naming the cause. As root, a small or read-only tmpfs stands in for the store's disk.
    void storeWithoutRoom_data() {
        QTest::addColumn<QString>("mountOptions"); // empty: a folder without write permission
        QTest::addColumn<QString>("message");
        const bool root = ::geteuid() == 0;
        if (root)
            QTest::newRow("full disk") << "size=1m"
                                       << "模板库所在磁盘空间不足";
        QTest::newRow("read-only folder") << (root ? "size=8m,ro" : "") << "模板库文件夹只读";
    }
    void storeWithoutRoom() {
        QFETCH(QString, mountOptions);
        QFETCH(QString, message);
        Exchange x;
        const QByteArray large(600 * 1024, 'x');
        const QString package =
            x.handMade({classEntry("0001", "甲"), templateEntry("a", x.p + "a.doc", "0001"),
                        templateEntry("b", x.p + "b.doc", "0001")},
                       {{x.p + "a.doc", large}, {x.p + "b.doc", large}});
        QTemporaryDir host;
        setHostFolder(host.path());
        const auto restore = qScopeGuard([&] {
            if (!mountOptions.isEmpty())
                QProcess::execute("umount", {templateStorePath()});
            QFile::setPermissions(templateStorePath(),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            setHostFolder({});
        });
        QVERIFY(QDir().mkpath(templateStorePath()));
        if (mountOptions.isEmpty())
            QVERIFY(QFile::setPermissions(templateStorePath(), QFile::ReadOwner | QFile::ExeOwner));
        else if (QProcess::execute("mount", {"-t", "tmpfs", "-o", mountOptions, "tmpfs",
                                             templateStorePath()}) != 0)
            QSKIP("cannot mount a tmpfs here");
        try {
            importPackage(x.catalogue.db(), package);
            QFAIL("the import passed");
        } catch (const Error& e) {
            QCOMPARE(e.message(), message);
        }
        QCOMPARE(x.catalogue.count("ZQ_DocInfoMaster") + x.catalogue.count("ZQ_DocTempDetail"), 0);
        QCOMPARE(entriesOf(templateStorePath()), QStringList{});
    }

    void manifestEntryBound() {
        QTemporaryDir dir;
        const QString path = dir.filePath(manifestFileName());
        writeManifest(path, {classEntry("0001", "A"), classEntry("0002", "B")});
        QCOMPARE(readManifest(path, {1 << 20, 16, 2}).entries.size(), 2);
        QVERIFY_THROWS_EXCEPTION(Error, readManifest(path, {1 << 20, 16, 1}));
        QVERIFY_THROWS_EXCEPTION(Error, readManifest(path, {64, 16, 2}));
    }

    // The manifest's bytes are GB18030 whatever it declares, also when a byte order mark hides
    // the declaration; UTF-8 when a byte order mark says so, or a declaration of UTF-8 (or none)
    // stands over bytes that are valid UTF-8.
    void manifestEncodings_data() {
        QTest::addColumn<QByteArray>("declaration");
        QTest::addColumn<bool>("utf8");
        const QByteArray bom("\x84\x31\x95\x33");
        QTest::newRow("gb2312 after a mark")
            << bom + R"(<?xml version="1.0" encoding="gb2312"?>)" << false;
        QTest::newRow("latin-1 after a mark")
            << bom + R"(<?xml version="1.0" encoding="ISO-8859-1"?>)" << false;
        QTest::newRow("unknown after a mark")
            << bom + R"(<?xml version="1.0" encoding="x-none"?>)" << false;
        QTest::newRow("utf-8 over GB18030")
            << QByteArray(R"(<?xml version="1.0" encoding="UTF-8"?>)") << false;
        QTest::newRow("utf-8") << QByteArray(R"(<?xml version="1.0" encoding="utf-8"?>)") << true;
        QTest::newRow("utf-8 mark, gb2312 declared")
            << QByteArray("\xEF\xBB\xBF"
                          R"(<?xml version="1.0" encoding="gb2312"?>)")
            << true;
        QTest::newRow("utf-8, no declaration") << QByteArray() << true;
    }
    void manifestEncodings() {
        QFETCH(QByteArray, declaration);
        QFETCH(bool, utf8);
        QTemporaryDir dir;
        const QString path = dir.filePath(manifestFileName());
        const QString body = QStringLiteral(R"(<模板文件数据包><模板分类 模板分类编码="0001" )"
                                            R"(模板分类名称="堃类"/></模板文件数据包>)");
        test::writeFile(path, declaration +
                                  (utf8 ? body.toUtf8() : QStringEncoder("GB18030").encode(body)));
        const QList<ManifestEntry> entries = readManifest(path).entries;
        QCOMPARE(entries.size(), 1);
        QCOMPARE(entries[0].record.caption, QStringLiteral("堃类"));
    }

    // A package written on Windows: names in code page 936 without the UTF-8 flag, the
    // manifest's code page 936 bytes declared gb2312.
    void windowsPackage() {
        Exchange x;
        const ImportReport report = importPackage(
            x.catalogue.db(), QStringLiteral(ZQ_PACKAGE_FIXTURES "/windows_cp936.TempFile"));
        QCOMPARE(report.refused, QStringList());
        QCOMPARE(x.classes(), QStringList({"0001|审计底稿|年度审计", "00010001|堃类|喆的说明"}));
        QCOMPARE(x.templates(),
                 QStringList({"堃表|堃表.xls|00010001", "审计报告|审计报告模板.doc|0001"}));
        QCOMPARE(readFile(storedFilePath("堃表.xls")),
                 QByteArray(QStringEncoder("GB18030").encode("堃表")));
        QFile::remove(storedFilePath("堃表.xls"));
        QFile::remove(storedFilePath("审计报告模板.doc"));
    }
};

QTEST_GUILESS_MAIN(TestPackageImport)
#include "tst_packageimport.moc"
