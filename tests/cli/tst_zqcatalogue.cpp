#include "TestCatalogue.h"
#include "catalogue/ClassCatalogue.h"
#include "catalogue/Sql.h"
#include "catalogue/TemplateDocuments.h"
#include "catalogue/TemplateFiles.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

using namespace zq;
using zq::test::TestCatalogue;

namespace {

struct Run {
    int status = -1;
    QString out;
    QString err;

    QJsonObject json() const { return QJsonDocument::fromJson(out.toUtf8()).object(); }
};

// A catalogue and a host folder with its template store, as the tool sees an installation.
class Installation {
public:
    Installation() {
        m_store = m_folder.path() + "/APP/Config/XTGL/DocTemplate/";
        QDir().mkpath(m_store);
        m_sqliteFile = m_folder.path() + "/catalogue.db";
        m_database = qEnvironmentVariable("ZQ_TEST_DATABASE", m_sqliteFile);
    }

    // An older installation's class table has no key, so that it can hold a code twice.
    void makeClassTableWithoutKey() {
        const QString name = QStringLiteral("keyless");
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
            db.setDatabaseName(m_sqliteFile);
            QVERIFY(db.open());
            runSql(db, "create table ZQ_DocInfoMaster (DocSortID varchar(200) not null "
                       "default '', DocSortName varchar(200) not null default '', "
                       "DocSortMemo varchar(2000) not null default '')");
        }
        QSqlDatabase::removeDatabase(name);
    }

    TestCatalogue& catalogue() {
        if (!m_catalogue)
            m_catalogue = std::make_unique<TestCatalogue>(m_sqliteFile);
        return *m_catalogue;
    }

    void addStoreFile(const QString& name) {
        QFile file(m_store + name);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("template " + name.toUtf8());
    }
    bool inStore(const QString& name) const { return QFile::exists(m_store + name); }
    const QString& store() const { return m_store; }
    QString hostFolder() const { return m_folder.path(); }

    // A link in the store to a file of the installation outside it.
    void addStoreLink(const QString& name) {
        QFile secret(m_folder.path() + "/secret.txt");
        QVERIFY(secret.open(QIODevice::WriteOnly));
        secret.write("SECRET");
        QVERIFY(QFile::link(secret.fileName(), m_store + name));
    }

    // Bytes the catalogue keeps for a stored file, with the size and hash of `recorded` (by
    // default the bytes themselves).
    void keep(const QString& name, const QByteArray& bytes, QByteArray recorded = {}) {
        if (recorded.isNull())
            recorded = bytes;
        ensureTemplateFileTable(catalogue().db());
        runSql(catalogue().db(),
               "insert into ZQ_DocTemplateFile(DocFileName, FileContent, FileSize, FileSha256, "
               "FileModified) values(?, ?, ?, ?, 0)",
               {name, bytes, recorded.size(),
                QString::fromLatin1(
                    QCryptographicHash::hash(recorded, QCryptographicHash::Sha256).toHex())});
    }

    Run run(QStringList arguments, const QByteArray& input = {}) const {
        arguments << "--database" << m_database << "--host-folder" << m_folder.path();
        return runTool(arguments, input);
    }

    static Run runTool(const QStringList& arguments, const QByteArray& input = {}) {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("LC_ALL", "C");
        environment.insert("LANG", "C");
        environment.remove("CORVANE_DATABASE");
        process.setProcessEnvironment(environment);
        process.start(ZQ_CATALOGUE_TOOL, arguments);
        process.write(input);
        process.closeWriteChannel();
        if (!process.waitForFinished(60000))
            return {};
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                QString::fromUtf8(process.readAllStandardOutput()),
                QString::fromUtf8(process.readAllStandardError())};
    }

private:
    QTemporaryDir m_folder;
    QString m_store;
    QString m_sqliteFile;
    QString m_database;
    std::unique_ptr<TestCatalogue> m_catalogue;
};

QJsonObject finding(const QString& kind, const QJsonObject& where) {
    QJsonObject object = where;
    object.insert("kind", kind);
    const bool information = kind == "shared-file" || kind == "unknown-type";
    object.insert("level", information ? "information" : "error");
    return object;
}

// The findings without their messages, which are for people; every message is checked present.
QJsonArray withoutMessages(const QJsonArray& findings) {
    QJsonArray stripped;
    for (const QJsonValue& value : findings) {
        QJsonObject object = value.toObject();
        if (object.take("message").toString().isEmpty())
            object.insert("message", "MISSING");
        stripped.append(object);
    }
    return stripped;
}

} // namespace

class TestZqCatalogue : public QObject {
    Q_OBJECT

    // One finding of each kind, and one healthy template; gives what check must report.
    QJsonArray makeBrokenCatalogue(Installation& site) {
        const bool keyless = qEnvironmentVariableIsEmpty("ZQ_TEST_DATABASE");
        if (keyless)
            site.makeClassTableWithoutKey();
        TestCatalogue& catalogue = site.catalogue();
        catalogue.addClass("0001", "审计准备");
        catalogue.addClass("00010001", "业务约定");
        catalogue.addClass("0002", "风险评估");
        catalogue.addClass("0002X", "坏编码");
        catalogue.addClass("00090001", "孤儿分类");
        if (keyless) {
            catalogue.addClass("0003", "重复一");
            catalogue.addClass("0003", "重复二");
        }
        const qint64 plan = catalogue.addTemplate("审计计划", "0001", "plan.doc");
        const qint64 letter = catalogue.addTemplate("约定书", "00010001", "letter.doc");
        const qint64 escape = catalogue.addTemplate("越界", "0001", "../evil.doc");
        const qint64 homeless = catalogue.addTemplate("无类", "0008", "lost.doc");
        const qint64 odd = catalogue.addTemplate("怪类型", "0001", "odd.doc", "FOO");
        const qint64 shared = catalogue.addTemplate("共用", "0002", "plan.doc");
        for (const char* name : {"plan.doc", "lost.doc", "odd.doc", "stray.doc"})
            site.addStoreFile(name);
        // Kept by the catalogue only: another workstation's template, not a missing file.
        catalogue.addTemplate("他处", "0001", "remote.doc");
        site.keep("remote.doc", "r");
        // Kept bytes cut short, and bytes of the recorded size changed: for --deep alone.
        catalogue.addTemplate("残缺", "0001", "torn.doc");
        site.keep("torn.doc", "to", "torn");
        catalogue.addTemplate("翻转", "0001", "flipped.doc");
        site.keep("flipped.doc", "flipXed", "flipped");
        // A link is no file of the store, whatever it points to.
        const qint64 linked = catalogue.addTemplate("链接", "0001", "link.doc");
        site.addStoreLink("link.doc");

        QJsonArray expected{
            finding("bad-file-name", {{"docId", escape},
                                      {"caption", "越界"},
                                      {"classCode", "0001"},
                                      {"file", "../evil.doc"}}),
            finding("missing-file", {{"docId", letter},
                                     {"caption", "约定书"},
                                     {"classCode", "00010001"},
                                     {"file", "letter.doc"}}),
            finding("missing-file", {{"docId", linked},
                                     {"caption", "链接"},
                                     {"classCode", "0001"},
                                     {"file", "link.doc"}}),
            finding("unnamed-file", {{"file", "stray.doc"}}),
            finding("store-link", {{"file", "link.doc"}}),
            finding("bad-class-code", {{"classCode", "0002X"}, {"caption", "坏编码"}})};
        if (keyless)
            expected.append(finding("duplicate-class-code", {{"classCode", "0003"}, {"count", 2}}));
        expected.append(
            finding("missing-parent", {{"classCode", "00090001"}, {"caption", "孤儿分类"}}));
        expected.append(finding("missing-class",
                                {{"docId", homeless}, {"caption", "无类"}, {"classCode", "0008"}}));
        expected.append(
            finding("unknown-type", {{"docId", odd}, {"caption", "怪类型"}, {"type", "FOO"}}));
        expected.append(
            finding("shared-file", {{"file", "plan.doc"}, {"docIds", QJsonArray{plan, shared}}}));
        return expected;
    }

private slots:
    void checkFindsEachFaultOnce() {
        Installation site;
        const QJsonArray expected = makeBrokenCatalogue(site);
        const Run run = site.run({"check", "--json"});
        QCOMPARE(run.status, 1);
        QCOMPARE(run.err, QString());
        QCOMPARE(run.json().value("clean"), QJsonValue(false));
        QCOMPARE(withoutMessages(run.json().value("findings").toArray()), expected);

        // --deep checks the kept bytes too; their findings come after the store's links.
        QJsonArray deep = expected;
        for (qsizetype i = 0; i < deep.size(); ++i)
            if (deep.at(i)["kind"] == "store-link") {
                deep.insert(i + 1, finding("damaged-file", {{"file", "torn.doc"}}));
                deep.insert(i + 1, finding("damaged-file", {{"file", "flipped.doc"}}));
                break;
            }
        QCOMPARE(
            withoutMessages(site.run({"check", "--json", "--deep"}).json()["findings"].toArray()),
            deep);

        // The lines for people name the same things.
        const Run text = site.run({"check"});
        QCOMPARE(text.status, 1);
        QVERIFY2(text.out.contains("letter.doc") && text.out.contains("孤儿分类") &&
                     text.out.contains("stray.doc"),
                 qPrintable(text.out));
    }

    // A data type this installation does not know, as a package from another one brings, is
    // information: the import takes it, so the check does not call it an error.
    void unknownDataTypeIsInformation() {
        Installation site;
        site.catalogue().addClass("0001", "审计准备");
        site.catalogue().addTemplate("外来", "0001", "foreign.doc", "FOO");
        site.addStoreFile("foreign.doc");
        const Run run = site.run({"check", "--json"});
        QCOMPARE(run.status, 0);
        QCOMPARE(run.json().value("clean"), QJsonValue(true));
        QCOMPARE(withoutMessages(run.json().value("findings").toArray()),
                 QJsonArray{finding("unknown-type", {{"docId", run.json()["findings"][0]["docId"]},
                                                     {"caption", "外来"},
                                                     {"type", "FOO"}})});
    }

    void repairMendsOnlyWhatIsSafe() {
        Installation site;
        const QJsonArray before = makeBrokenCatalogue(site);
        const int templates = site.catalogue().count("ZQ_DocTempDetail");
        const int classes = site.catalogue().count("ZQ_DocInfoMaster");

        // Declining both repairs changes nothing.
        const Run declined = site.run({"repair"}, "n\nn\n");
        QCOMPARE(declined.status, 0);
        QVERIFY(site.inStore("stray.doc"));
        QCOMPARE(withoutMessages(site.run({"check", "--json"}).json().value("findings").toArray()),
                 before);

        const Run repaired = site.run({"repair", "--yes"});
        QCOMPARE(repaired.status, 0);
        QVERIFY2(repaired.out.contains("stray.doc"), qPrintable(repaired.out));
        QVERIFY(!site.inStore("stray.doc"));
        // The link's target is not sent as the template's bytes.
        QVERIFY(!sqlValue(site.catalogue().db(),
                          "select 1 from ZQ_DocTemplateFile where DocFileName = 'link.doc'")
                     .isValid());
        QVERIFY(site.inStore("plan.doc") && site.inStore("lost.doc"));

        // Nothing deleted; the homeless template now sits in a new top-level class "未分类".
        QCOMPARE(site.catalogue().count("ZQ_DocTempDetail"), templates);
        QCOMPARE(site.catalogue().count("ZQ_DocInfoMaster"), classes + 1);
        const QString code =
            sqlValue(site.catalogue().db(),
                     "select DocSortID from ZQ_DocTempDetail where DocCaption = ?", {"无类"})
                .toString();
        QCOMPARE(code.size(), 4);
        QCOMPARE(classNameOf(site, code), QString("未分类"));

        // What is left needs a person; check finds exactly that.
        QJsonArray left;
        for (const QJsonValue& value : before)
            if (value["kind"] != "unnamed-file" && value["kind"] != "missing-class")
                left.append(value);
        QCOMPARE(withoutMessages(site.run({"check", "--json"}).json().value("findings").toArray()),
                 left);
    }

    void repairOfRepairableFaultsLeavesACleanCheck() {
        Installation site;
        TestCatalogue& catalogue = site.catalogue();
        catalogue.addClass("0001", "审计准备");
        catalogue.addClass("0002", "未分类"); // an earlier repair's class is used again
        catalogue.addTemplate("审计计划", "0001", "plan.doc");
        catalogue.addTemplate("无类", "0007", "lost.doc");
        for (const char* name : {"plan.doc", "lost.doc", "stray.doc", ".hidden"})
            site.addStoreFile(name);
        QCOMPARE(site.run({"check"}).status, 1);

        QCOMPARE(site.run({"repair"}, "y\ny\n").status, 0);
        const Run check = site.run({"check", "--json"});
        QCOMPARE(check.status, 0);
        QCOMPARE(check.json().value("findings").toArray(), QJsonArray());
        QCOMPARE(catalogue.count("ZQ_DocInfoMaster"), 2);
        QCOMPARE(site.run({"repair"}).out, QString("没有需要修复的问题。\n"));
    }

    void listShowsTheTreeAndOneClass() {
        Installation site;
        TestCatalogue& catalogue = site.catalogue();
        catalogue.addClass("0001", "审计准备", "准备阶段");
        catalogue.addClass("00010001", "业务约定");
        const qint64 plan = catalogue.addTemplate("审计计划", "0001", "plan.doc");
        catalogue.addTemplate("约定书", "00010001", "letter.doc");
        catalogue.addTemplate("散件", "", "loose.doc");

        const Run tree = site.run({"list", "--json"});
        QCOMPARE(tree.status, 0);
        const QJsonObject expectedTree{{"classes", QJsonArray{QJsonObject{{"code", "0001"},
                                                                          {"name", "审计准备"},
                                                                          {"memo", "准备阶段"},
                                                                          {"templates", 1}},
                                                              QJsonObject{{"code", "00010001"},
                                                                          {"name", "业务约定"},
                                                                          {"memo", ""},
                                                                          {"templates", 1}}}},
                                       {"templatesUnderNoClass", 1},
                                       {"templates", 3}};
        QCOMPARE(tree.json(), expectedTree);

        const Run one = site.run({"list", "--class", "0001", "--json"});
        QCOMPARE(one.status, 0);
        QCOMPARE(one.json().value("templates").toArray(),
                 (QJsonArray{QJsonObject{{"docId", plan},
                                         {"caption", "审计计划"},
                                         {"file", "plan.doc"},
                                         {"memo", ""},
                                         {"type", "WORD"},
                                         {"keywords", ""}}}));

        // Chinese comes out as UTF-8 although the tool runs in the C locale.
        const Run text = site.run({"list"});
        QVERIFY2(text.out.contains("  00010001  业务约定  [1]"), qPrintable(text.out));
    }

    // The log filters by class (with its templates), template and date, newest first.
    void logShowsTheHistory() {
        Installation site;
        TestCatalogue& catalogue = site.catalogue();
        catalogue.addClass("0001", "审计准备");
        catalogue.addClass("0002", "其他");
        const qint64 plan = catalogue.addTemplate("审计计划", "0001", "plan.doc");
        updateClass(catalogue.db(), "0001", "准备", "");
        updateTemplateText(catalogue.db(), plan, "计划", "");
        updateClass(catalogue.db(), "0002", "别的", "");

        const auto actions = [&](const QStringList& options) {
            const Run run = site.run(QStringList{"log", "--json"} + options);
            QStringList seen;
            for (const QJsonValue row : run.json().value("history").toArray())
                seen.append(row["action"].toString() + ' ' + row["after"].toString());
            return seen;
        };
        QCOMPARE(actions({}), QStringList({"rename 别的", "rename 计划", "rename 准备"}));
        QCOMPARE(actions({"--class", "0001"}), QStringList({"rename 计划", "rename 准备"}));
        QCOMPARE(actions({"--template", QString::number(plan)}), QStringList({"rename 计划"}));
        QCOMPARE(actions({"--since", QDate::currentDate().addDays(1).toString(Qt::ISODate)}),
                 QStringList());

        const Run text = site.run({"log", "--class", "0002"});
        QCOMPARE(text.status, 0);
        QVERIFY2(text.out.contains("重命名  分类 0002 “别的”：“其他” → “别的”") &&
                     text.out.endsWith("共 1 条记录\n"),
                 qPrintable(text.out));
    }

    // The bin lists what was deleted, restores one item and empties the rest for good.
    void binListsRestoresAndEmpties() {
        Installation site;
        TestCatalogue& catalogue = site.catalogue();
        catalogue.addClass("0001", "审计准备");
        catalogue.addClass("00010001", "业务约定");
        const qint64 loose = catalogue.addTemplate("散件", "", "loose.doc");
        QVERIFY(deleteTemplateAndFile(catalogue.db(), loose));
        QCOMPARE(deleteEmptyClassTree(catalogue.db(), "0001"), ClassTreeDeletion::Deleted);

        const QJsonArray items = site.run({"bin", "list", "--json"}).json()["items"].toArray();
        QCOMPARE(items.size(), 2);
        QCOMPARE(items[0]["classCode"].toString(), QString("0001"));
        QCOMPARE(items[0]["classes"].toInt(), 2);
        QCOMPARE(items[1]["docId"].toInteger(), loose);

        const Run restore =
            site.run({"bin", "restore", QString::number(items[0]["id"].toInteger())});
        QCOMPARE(restore.status, 0);
        QVERIFY2(restore.out.contains("分类已恢复为“0001”"), qPrintable(restore.out));
        QCOMPARE(readClassRows(catalogue.db()).size(), 2);

        const Run empty = site.run({"bin", "empty", "--yes"});
        QVERIFY2(empty.out.contains("已永久删除 1 项"), qPrintable(empty.out));
        QVERIFY(site.run({"bin", "list"}).out.contains("回收站中共 0 项"));
    }

    // A template's versions listed, and one restored by the start of its hash.
    void versionsListAndRestore() {
        Installation site;
        TestCatalogue& catalogue = site.catalogue();
        catalogue.addClass("0001", "审计准备");
        site.addStoreFile("plan.doc");
        const qint64 plan = addTemplateWithFile(
            catalogue.db(), {.caption = "审计计划", .fileName = "plan.doc", .classCode = "0001"},
            site.store());
        const QByteArray first = "template plan.doc";
        const auto sha = [](const QByteArray& bytes) {
            return QString::fromLatin1(
                QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
        };
        QFile edited(site.store() + "plan.doc");
        QVERIFY(edited.open(QIODevice::Append));
        edited.write(" edited");
        edited.close();
        QVERIFY(uploadLocalCopy(catalogue.db(), site.store(), "plan.doc", sha(first), first));

        const QJsonArray versions =
            site.run({"versions", QString::number(plan), "--json"}).json()["versions"].toArray();
        QCOMPARE(versions.size(), 1);
        QCOMPARE(versions[0]["sha256"].toString(), sha(first));
        QCOMPARE(versions[0]["hasBytes"].toBool(), true);

        const Run restore =
            site.run({"versions", "restore", QString::number(plan), sha(first).left(8)});
        QCOMPARE(restore.status, 0);
        QVERIFY2(restore.out.contains("模板文件已恢复"), qPrintable(restore.out + restore.err));
        QFile restored(site.store() + "plan.doc");
        QVERIFY(restored.open(QIODevice::ReadOnly));
        QCOMPARE(restored.readAll(), first);
        const Run listed = site.run({"versions", QString::number(plan)});
        QVERIFY2(listed.out.endsWith("共 2 个历史版本\n"), qPrintable(listed.out));
    }

    void exportThenImportGivesTheSameCatalogue() {
        QTemporaryDir out;
        const QString package = out.path() + "/全部.TempFile";
        QStringList listings;
        {
            Installation source;
            TestCatalogue& catalogue = source.catalogue();
            catalogue.addClass("0001", "审计准备", "准备阶段");
            catalogue.addClass("00010001", "业务约定");
            catalogue.addClass("0002", "风险评估");
            catalogue.addTemplate("审计计划", "0001", "plan.doc");
            catalogue.addTemplate("约定书", "00010001", "约定书.doc", "EXCEL", "一式两份");
            catalogue.addTemplate("散件", "", "loose.doc");
            for (const char* name : {"plan.doc", "约定书.doc", "loose.doc"})
                source.addStoreFile(name);
            listings = listingsOf(source);
            QVERIFY(listings.join("").contains("一式两份") && listings.size() == 5);

            // Only the classes asked for, with everything below them.
            const Run part = source.run({"export", out.path() + "/part.TempFile", "--class",
                                         "00010001", "--class", "0002"});
            QCOMPARE(part.status, 0);
            QVERIFY2(part.out.contains("已把 1 个模板写入"), qPrintable(part.out));

            const Run all = source.run({"export", package});
            QCOMPARE(all.status, 0);
            QCOMPARE(all.err, QString());
            QVERIFY2(all.out.contains("已把 3 个模板写入"), qPrintable(all.out));
        }

        Installation target;
        target.catalogue(); // empty (on a server: emptied)
        const QStringList empty = listingsOf(target);
        const Run dryRun = target.run({"import", package, "--dry-run"});
        QCOMPARE(dryRun.status, 0);
        QVERIFY2(dryRun.out.contains("约定书.doc") && dryRun.out.contains("风险评估"),
                 qPrintable(dryRun.out));
        QCOMPARE(listingsOf(target), empty);
        QVERIFY(!target.inStore("plan.doc"));

        const Run imported = target.run({"import", package});
        QCOMPARE(imported.status, 0);
        QCOMPARE(listingsOf(target), listings);
        QVERIFY(target.inStore("约定书.doc"));
        QCOMPARE(target.run({"check"}).status, 0);

        // A second import adds nothing.
        QCOMPARE(target.run({"import", package}).status, 0);
        QCOMPARE(listingsOf(target), listings);
    }

    // An export that could not take everything as it is names what it left out or changed, and
    // says so in its exit status: kept bytes that are damaged (with no sound copy here) and a
    // link stay out, a control character stored in a name travels as a space. The rest imports.
    void exportNamesWhatItLeftOutOrChanged() {
        QTemporaryDir out;
        const QString package = out.path() + "/p.TempFile";
        {
            Installation source;
            TestCatalogue& catalogue = source.catalogue();
            catalogue.addClass("0001", "审计准备");
            catalogue.addTemplate("审计计划", "0001", "plan.doc");
            catalogue.addTemplate("a\001b", "0001", "ctl.doc");
            catalogue.addTemplate("残缺", "0001", "torn.doc");
            catalogue.addTemplate("链接", "0001", "link.doc");
            source.addStoreFile("plan.doc");
            source.addStoreFile("ctl.doc");
            source.keep("torn.doc", "to", "torn");
            source.addStoreLink("link.doc");

            const Run run = source.run({"export", package});
            QCOMPARE(run.status, 1);
            QCOMPARE(run.err, QString());
            QVERIFY2(run.out.contains("已把 2 个模板写入") &&
                         run.out.contains("未导出：\n  模板文件“残缺”（torn.doc）：") &&
                         run.out.contains("\n  模板文件“链接”（link.doc）：") &&
                         run.out.contains("控制字符已换成空格：\n  "
                                          "模板文件“a b”（ctl.doc）"),
                     qPrintable(run.out));
        }
        Installation target;
        target.catalogue();
        QCOMPARE(target.run({"import", package}).status, 0);
        QStringList captions;
        for (const QJsonValue& row :
             target.run({"list", "--class", "0001", "--json"}).json()["templates"].toArray())
            captions.append(row["caption"].toString());
        captions.sort();
        QCOMPARE(captions, QStringList({"a b", "审计计划"}));
    }

    // An import killed at any step leaves, once a tool has started again, a catalogue that
    // check finds clean: no store file without its row, no unpack or staging folder; the same
    // import then completes.
    // Into an empty store the unpacked folder becomes the store in one step; into one in use
    // each file is placed on its own.
    void crashedImportLeavesNothingBehind_data() {
        QTest::addColumn<QString>("step");
        QTest::addColumn<bool>("committed");
        QTest::addColumn<bool>("storeInUse");
        QTest::newRow("unpacked") << "import:unpacked" << false << false;
        QTest::newRow("catalogued, not committed") << "import:catalogued" << false << false;
        QTest::newRow("committed, nothing placed") << "import:committed" << true << false;
        // An embedded catalogue's files, its only copies, are placed before the commit.
        const bool placedAfterCommit = !qEnvironmentVariableIsEmpty("ZQ_TEST_DATABASE");
        QTest::newRow("all placed at once") << "import:placing" << placedAfterCommit << false;
        QTest::newRow("one file placed") << "import:placing" << placedAfterCommit << true;
    }
    void crashedImportLeavesNothingBehind() {
        QFETCH(QString, step);
        QFETCH(bool, committed);
        QFETCH(bool, storeInUse);
        QTemporaryDir out;
        const QString package = out.path() + "/all.TempFile";
        QStringList listings;
        {
            Installation source;
            source.catalogue().addClass("0001", "审计准备");
            for (int i = 0; i < 20; ++i) {
                const QString name = QString("t%1.doc").arg(i);
                source.catalogue().addTemplate(name, "0001", name);
                source.addStoreFile(name);
            }
            listings = listingsOf(source);
            QCOMPARE(source.run({"export", package}).status, 0);
        }
        Installation target;
        target.catalogue();
        if (storeInUse)
            QVERIFY(QDir().mkpath(target.store() + "kept"));
        qputenv("ZQ_CRASH_AT", step.toUtf8());
        const Run crashed = target.run({"import", package});
        qunsetenv("ZQ_CRASH_AT");
        QCOMPARE(crashed.status, -1);

        const Run check = target.run({"check"});
        QVERIFY2(check.status == 0, qPrintable(check.out + check.err));
        QVERIFY(!QFileInfo::exists(target.hostFolder() + "/~App~Temp/XTGL/DocUnZipTemplate"));
        QVERIFY(!QFileInfo::exists(target.store() + ".zq-staging"));
        // Committed means whole: every template is catalogued, its file in the store or its
        // bytes kept by the catalogue.
        QCOMPARE(listingsOf(target) == listings, committed);

        QCOMPARE(target.run({"import", package}).status, 0);
        QCOMPARE(listingsOf(target), listings);
        if (!committed)
            QVERIFY(target.inStore("t0.doc") && target.inStore("t19.doc"));
        QCOMPARE(target.run({"check"}).status, 0);
    }

    void badArgumentsGiveOneLineAndAFailure_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("no command") << QStringList{};
        QTest::newRow("unknown command") << QStringList{"frobnicate"};
        QTest::newRow("unknown option") << QStringList{"check", "--frob"};
        QTest::newRow("option of another command") << QStringList{"check", "--yes"};
        QTest::newRow("extra argument") << QStringList{"list", "extra"};
        QTest::newRow("two classes for list")
            << QStringList{"list", "--class", "1", "--class", "2"};
        QTest::newRow("no such class") << QStringList{"list", "--class", "0042"};
        QTest::newRow("no database file")
            << QStringList{"check", "--database", "/nonexistent/corvane.db"};
        QTest::newRow("unreachable server")
            << QStringList{"check", "--database", "postgresql://nobody@127.0.0.1:1/none"};
        QTest::newRow("no host folder") << QStringList{"check", "--host-folder", "/nonexistent"};
        QTest::newRow("export without a file") << QStringList{"export"};
        QTest::newRow("export of no such class")
            << QStringList{"export", "/tmp/x.TempFile", "--class", "0042"};
        QTest::newRow("import of no package") << QStringList{"import", "/nonexistent.TempFile"};
        QTest::newRow("dry run of an export") << QStringList{"export", "x.TempFile", "--dry-run"};
        QTest::newRow("log of a bad template id") << QStringList{"log", "--template", "x"};
        QTest::newRow("log since no date") << QStringList{"log", "--since", "yesterday"};
        QTest::newRow("bin without a verb") << QStringList{"bin"};
        QTest::newRow("restore of no such item") << QStringList{"bin", "restore", "424242"};
        QTest::newRow("versions of no template number") << QStringList{"versions", "x"};
        QTest::newRow("restore of no such version")
            << QStringList{"versions", "restore", "1", "ffff"};
    }
    void badArgumentsGiveOneLineAndAFailure() {
        QFETCH(QStringList, arguments);
        Installation site;
        site.catalogue();
        // The site's own database and folder come first, so later options override them.
        const Run run = arguments.contains("--database") || arguments.contains("--host-folder")
                            ? Installation::runTool(arguments)
                            : site.run(arguments);
        QCOMPARE(run.status, 2);
        QCOMPARE(run.out, QString());
        QVERIFY2(run.err.startsWith("zqcatalogue: ") && run.err.count('\n') == 1,
                 qPrintable(run.err));
    }

private:
    // The class tree, and each class's templates (and those under no class) without their
    // DocIDs, which the database gives anew.
    static QStringList listingsOf(const Installation& site) {
        const Run tree = site.run({"list", "--json"});
        QStringList listings{QString::fromUtf8(QJsonDocument(tree.json()).toJson())};
        QStringList codes{""};
        for (const QJsonValue& row : tree.json().value("classes").toArray())
            codes.append(row["code"].toString());
        for (const QString& code : codes) {
            QJsonArray templates;
            for (const QJsonValue& row : site.run({"list", "--class", code, "--json"})
                                             .json()
                                             .value("templates")
                                             .toArray()) {
                QJsonObject object = row.toObject();
                object.remove("docId");
                templates.append(object);
            }
            listings.append(code + ": " + QString::fromUtf8(QJsonDocument(templates).toJson()));
        }
        return listings;
    }

    static QString classNameOf(Installation& site, const QString& code) {
        return sqlValue(site.catalogue().db(),
                        "select DocSortName from ZQ_DocInfoMaster where DocSortID = ?", {code})
            .toString();
    }
};

QTEST_GUILESS_MAIN(TestZqCatalogue)
#include "tst_zqcatalogue.moc"
