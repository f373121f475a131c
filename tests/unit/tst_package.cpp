// Template packages without any window: the selection walk, the manifest, the package writer
// and the import, through the stand-in host's real archive code.

#include "Archive.h"
#include "FakeHost.h"
#include "HostArchives.h"
#include "HostDatabase.h"
#include "TestCatalogue.h"
#include "TestFiles.h"
#include "catalogue/ClassCatalogue.h"
#include "catalogue/Sql.h"
#include "catalogue/TemplateDocuments.h"
#include "catalogue/TemplateFiles.h"
#include "catalogue/TemplateStore.h"
#include "exchange/PackageReader.h"
#include "exchange/PackageWriter.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QThread>
#include <QUuid>
#include <QtTest>
#include <unistd.h>

using namespace zq;
using zq::test::FakeHost;
using zq::test::FakeHostScope;
using zq::test::TestCatalogue;

using zq::test::entriesOf;
using zq::test::readFile;
using zq::test::writeFile;

namespace {

// An entry as "C code|name|memo" or "T caption|file|memo|code|type|keywords".
QString show(const ManifestEntry& e) {
    const TemplateRecord& r = e.record;
    if (e.kind == ManifestEntry::Kind::Class)
        return "C " + QStringList{r.classCode, r.caption, r.memo}.join('|');
    return "T " +
           QStringList{r.caption, r.fileName, r.memo, r.classCode, r.typeName, r.keyWord}.join('|');
}

QStringList show(const QList<ManifestEntry>& entries) {
    QStringList list;
    for (const ManifestEntry& e : entries)
        list.append(show(e));
    return list;
}

SelectionNode* findNode(SelectionNode& node, const QString& key) {
    const bool isTemplate = !node.isClass();
    if ((isTemplate ? node.record.fileName : node.record.classCode) == key && !key.isEmpty())
        return &node;
    for (SelectionNode& child : node.children)
        if (SelectionNode* found = findNode(child, key))
            return found;
    return nullptr;
}

// Brings every class's pending templates among its children, with the class's tick, as
// opening each node of a window's tree does.
void openAll(const QSqlDatabase& db, SelectionNode& node) {
    for (SelectionNode& child : node.children)
        openAll(db, child);
    if (!node.templatesPending)
        return;
    for (const TemplateRecord& doc : readClassTemplates(db, node.record.classCode))
        node.children.append({doc, 0, node.check, false, {}});
    node.templatesPending = false;
}

// A catalogue, a host whose archive calls do the real work, and the template store. Files this
// fixture puts into the store carry its own prefix and are removed at the end.
struct Exchange {
    TestCatalogue catalogue;
    FakeHost host;
    FakeHostScope scope{host};
    QTemporaryDir dir;
    const QString p = "p" + QUuid::createUuid().toString(QUuid::Id128).left(10) + "-";

    Exchange() {
        useHostArchives(host);
        QDir().mkpath(templateStorePath());
    }
    ~Exchange() {
        for (const QString& name : QDir(templateStorePath()).entryList({p + "*"}, QDir::Files))
            QFile::remove(storedFilePath(name));
    }
    // A catalogued template with its stored file.
    void stored(const QString& caption, const QString& code, const QString& file,
                const QByteArray& content = "x") {
        writeFile(storedFilePath(p + file), content);
        catalogue.addTemplate(caption, code, p + file);
    }
    QString package(const QString& name = "out.TempFile") { return dir.filePath(name); }

    // A package made by hand: the manifest and the files, packed by the host's archive code.
    QString handMade(const QList<ManifestEntry>& entries, const QMap<QString, QByteArray>& files) {
        const QString folder = dir.filePath("hand-" + QUuid::createUuid().toString(QUuid::Id128));
        QDir().mkpath(folder);
        writeManifest(folder + "/" + manifestFileName(), entries);
        for (auto it = files.cbegin(); it != files.cend(); ++it)
            writeFile(folder + "/" + it.key(), it.value());
        return corvane::compressFolder(folder, folder + ".TempFile");
    }
    QStringList templates() {
        QStringList rows;
        QSqlQuery q = runSql(catalogue.db(),
                             "select DocCaption, DocFileName, DocSortID from ZQ_DocTempDetail");
        while (q.next())
            rows.append(q.value(0).toString() + "|" + q.value(1).toString() + "|" +
                        q.value(2).toString());
        rows.sort();
        return rows;
    }
    QStringList classes() {
        QStringList rows;
        for (const ClassRecord& c : readClassRows(catalogue.db()))
            rows.append(c.code + "|" + c.name + "|" + c.memo);
        return rows;
    }
};

ManifestEntry classEntry(const QString& code, const QString& name, const QString& memo = {}) {
    ManifestEntry e{ManifestEntry::Kind::Class, {}};
    e.record.classCode = code;
    e.record.caption = name;
    e.record.memo = memo;
    return e;
}

ManifestEntry templateEntry(const QString& caption, const QString& file, const QString& code) {
    ManifestEntry e{ManifestEntry::Kind::Template, {}};
    e.record = {0, caption, file, "说明", "WORD", "关键字", code};
    return e;
}

// The tree, depth first, one line a node: a dash a level, then the caption ("根" for the root).
void drawTree(const QList<SelectionNode>& nodes, int depth, QStringList& lines) {
    for (const SelectionNode& node : nodes) {
        lines.append(QString(depth, '-') +
                     (node.record.docId == -1 ? QString("根") : node.record.caption));
        drawTree(node.children, depth + 1, lines);
    }
}

} // namespace

class TestPackage : public QObject {
    Q_OBJECT

private slots:
    // A package's entries hang under the first class before them with their parent's code (a
    // template: its own); what finds none stands beside the root. Entries as "kind code caption".
    void packageSelectionTree_data() {
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QStringList>("tree");
        QTest::newRow("nested") << QStringList{"C 0001 A", "C 00010001 A1", "T 00010001 a1", "T  r"}
                                << QStringList{"根", "-A", "--A1", "---a1", "-r"};
        QTest::newRow("parent missing")
            << QStringList{"C 00020001 B1", "T 0009 x"} << QStringList{"根", "B1", "x"};
        QTest::newRow("template before its class")
            << QStringList{"T 0003 c", "C 0003 C"} << QStringList{"根", "-C", "c"};
        QTest::newRow("same code twice") << QStringList{"C 0004 D", "C 0004 E", "T 0004 d"}
                                         << QStringList{"根", "-D", "--d", "-E"};
        QTest::newRow("empty") << QStringList{} << QStringList{"根"};
    }
    void packageSelectionTree() {
        QFETCH(QStringList, entries);
        QFETCH(QStringList, tree);
        QList<ManifestEntry> list;
        for (const QString& text : entries) {
            const QStringList parts = text.split(' ');
            TemplateRecord r;
            r.classCode = parts[1];
            r.caption = parts[2];
            list.append(
                {parts[0] == "C" ? ManifestEntry::Kind::Class : ManifestEntry::Kind::Template, r});
        }
        QStringList lines;
        drawTree(zq::packageSelectionTree(list), 0, lines);
        QCOMPARE(lines, tree);
    }

    // What the ticks give, on A(0001) > A1(00010001) with templates a.doc in A and a1.doc,
    // a2.doc in A1, B(0002) empty, and r.doc under the empty code.
    void writePackage_data() {
        // Opened: every class's templates are in the tree before the ticks; otherwise they are
        // still pending, and a ticked class's are read as the package is written.
        QTest::addColumn<bool>("opened");
        QTest::addColumn<QStringList>("ticked");
        QTest::addColumn<QStringList>("expected");
        const QStringList wholeA{"C 0001|A|甲", "C 00010001|A1|", "T a1|a1.doc||00010001|WORD|",
                                 "T a2|a2.doc||00010001|WORD|", "T a|a.doc||0001|WORD|"};
        for (const bool opened : {true, false}) {
            const char* how = opened ? "opened" : "never opened";
            QTest::addRow("nothing ticked, %s", how) << opened << QStringList{} << QStringList{};
            QTest::addRow("empty class, %s", how)
                << opened << QStringList{"0002"} << QStringList{"C 0002|B|"};
            QTest::addRow("whole class, sub-classes before templates, %s", how)
                << opened << QStringList{"0001"} << wholeA;
            QTest::addRow("sub-class of a class, %s", how)
                << opened << QStringList{"00010001"}
                << QStringList{"C 0001|A|甲", "C 00010001|A1|", "T a1|a1.doc||00010001|WORD|",
                               "T a2|a2.doc||00010001|WORD|"};
            QTest::addRow("whole catalogue, %s", how)
                << opened << QStringList{""}
                << wholeA + QStringList{"C 0002|B|", "T r|r.doc|||WORD|"};
        }
        QTest::newRow("partly ticked class")
            << true << QStringList{"a1.doc"}
            << QStringList{"C 0001|A|甲", "C 00010001|A1|", "T a1|a1.doc||00010001|WORD|"};
        QTest::newRow("template under the empty code")
            << true << QStringList{"r.doc"} << QStringList{"T r|r.doc|||WORD|"};
    }
    void writePackage() {
        QFETCH(bool, opened);
        QFETCH(QStringList, ticked);
        QFETCH(QStringList, expected);
        Exchange x;
        x.catalogue.addClass("0001", "A", "甲");
        x.catalogue.addClass("00010001", "A1");
        x.catalogue.addClass("0002", "B");
        x.stored("a", "0001", "a.doc");
        x.stored("a1", "00010001", "a1.doc");
        x.stored("a2", "00010001", "a2.doc");
        x.stored("r", "", "r.doc");
        x.catalogue.addTemplate("lost", "0009", x.p + "lost.doc"); // class nowhere: not listed

        QList<SelectionNode> top = fillSelectionTree(x.catalogue.db());
        QCOMPARE(top.size(), 1);
        SelectionNode& root = top[0];
        if (opened)
            openAll(x.catalogue.db(), root);
        for (const QString& key : ticked) {
            SelectionNode* node =
                key.isEmpty() ? &root : findNode(root, key.contains('.') ? x.p + key : key);
            QVERIFY2(node, qPrintable(key));
            setChecked(*node, Qt::Checked);
        }
        QList<QPair<qint64, qint64>> steps;
        const PackageResult result =
            zq::writePackage(x.catalogue.db(), root, x.package(),
                             [&](PackageStage stage, qint64 done, qint64 total) {
                                 if (stage == PackageStage::Staging)
                                     steps.append({done, total});
                             });
        QVERIFY(result.leftOut.isEmpty());
        QVERIFY(!QFileInfo::exists(stagingFolder()));
        // The total is known before the first template is read.
        const int templates = int(expected.filter(QRegularExpression("^T ")).size());
        QCOMPARE(steps.size(), templates);
        for (int i = 0; i < steps.size(); ++i)
            QCOMPARE(steps[i], qMakePair(qint64(i + 1), qint64(templates)));

        const QString out = x.dir.filePath("unpacked");
        QDir().mkpath(out);
        QVERIFY(!corvane::extractArchive(x.package(), out).isEmpty());
        QStringList shown = show(readManifest(out + "/" + manifestFileName()).entries);
        shown.replaceInStrings(x.p, "");
        QCOMPARE(shown, expected);
        QStringList files = entriesOf(out);
        files.removeOne(manifestFileName());
        QCOMPARE(result.templates, files.size());
        QCOMPARE(files.size(), templates);
    }

    // Values come back exactly, those GB2312 lacks as character references in a gb2312 file.
    void manifestRoundTrip() {
        QTemporaryDir dir;
        const QString path = dir.filePath(manifestFileName());
        const QList<ManifestEntry> entries{
            classEntry("0001", "<审计> & \"底稿\" 'x'", "堃 € 😀\t第二行\n"),
            templateEntry("报表 ' 单引号", "报表.xls", "0001")};
        writeManifest(path, entries);
        const QByteArray bytes = readFile(path);
        QVERIFY(bytes.startsWith("<?xml version=\"1.0\" encoding=\"gb2312\"?>"));
        QVERIFY(bytes.contains("&#22531;")); // 堃
        QVERIFY(
            bytes.contains(QByteArray(QStringEncoder("GB18030").encode("模板分类编码=\"0001\""))));
        QCOMPARE(show(readManifest(path).entries), show(entries));
    }

    // A ticked template without its stored file is left out and named; two exports in a row
    // leave no staging folder; an empty compression result is a failed export.
    void missingFileAndFailedCompression() {
        Exchange x;
        x.catalogue.addClass("0001", "A");
        x.stored("a", "0001", "a.doc");
        x.catalogue.addTemplate("gone", "0001", x.p + "gone.doc");
        x.catalogue.addTemplate("outside", "0001", "../etc.doc");
        QList<SelectionNode> top = fillSelectionTree(x.catalogue.db());
        setChecked(top[0], Qt::Checked);
        QDir().mkpath(stagingFolder());
        writeFile(stagingFolder() + "left-over.doc", "old"); // an interrupted run's file

        const PackageResult result = zq::writePackage(x.catalogue.db(), top[0], x.package());
        QCOMPARE(result.templates, 1);
        QCOMPARE(result.leftOut.size(), 2);
        QVERIFY(result.leftOut[0].contains("gone"));
        QVERIFY(result.leftOut[1].contains("outside"));
        QVERIFY(!QFileInfo::exists(stagingFolder()));
        const QString out = x.dir.filePath("unpacked");
        QDir().mkpath(out);
        corvane::extractArchive(x.package(), out);
        QCOMPARE(entriesOf(out), QStringList({x.p + "a.doc", manifestFileName()}));

        x.host.compressWith = nullptr;
        x.host.compressResult.clear();
        try {
            zq::writePackage(x.catalogue.db(), top[0], x.package("second.TempFile"));
            QFAIL("an empty compression result passed as success");
        } catch (const PackageError& e) {
            QCOMPARE(e.kind(), PackageError::Kind::Compression);
        }
        QVERIFY(!QFileInfo::exists(stagingFolder()));
    }

    // Of the store's files only sound ones travel: a file whose kept bytes are damaged and whose
    // copy here differs from them, and a link (to a file elsewhere, or in place of a kept file's
    // copy), never; the rest is written and each one left out is named with its reason. A
    // sound copy here of damaged kept bytes still travels.
    void unsoundFilesLeftOut() {
        Exchange x;
        QTemporaryDir outside;
        const QString secret = outside.filePath("secret.doc");
        writeFile(secret, "SECRET");
        x.catalogue.addClass("0001", "A");
        for (const char* name : {"good.doc", "damaged.doc", "sound-here.doc", "relinked.doc"}) {
            x.stored(name, "0001", name, QByteArray("bytes of ") + name);
            insertTemplateFile(x.catalogue.db(), templateStorePath(), x.p + name);
        }
        x.catalogue.addTemplate("linked.doc", "0001", x.p + "linked.doc");
        QVERIFY(QFile::link(secret, storedFilePath(x.p + "linked.doc")));
        QFile::remove(storedFilePath(x.p + "relinked.doc"));
        QVERIFY(QFile::link(secret, storedFilePath(x.p + "relinked.doc")));
        runSql(x.catalogue.db(),
               "update ZQ_DocTemplateFile set FileContent = ? where DocFileName in (?, ?)",
               {QByteArray("bytes of XXXXXXX.doc"), x.p + "damaged.doc", x.p + "sound-here.doc"});
        writeFile(storedFilePath(x.p + "damaged.doc"), "edited here, never sent");
        // Kept bytes even where new files keep none, as an older embedded catalogue has them.
        runSql(x.catalogue.db(),
               "update ZQ_DocTemplateFile set FileContent = ? where DocFileName = ?",
               {QByteArray("bytes of relinked.doc"), x.p + "relinked.doc"});

        QList<SelectionNode> top = fillSelectionTree(x.catalogue.db());
        setChecked(top[0], Qt::Checked);
        const PackageResult result = zq::writePackage(x.catalogue.db(), top[0], x.package());
        QCOMPARE(result.templates, 3);
        QCOMPARE(result.leftOut.size(), 2);
        QVERIFY2(result.leftOut[0].contains(x.p + "damaged.doc") &&
                     result.leftOut[0].contains("已损坏"),
                 qPrintable(result.leftOut.join('\n')));
        QVERIFY2(result.leftOut[1].contains(x.p + "linked.doc") &&
                     result.leftOut[1].contains("不是普通文件"),
                 qPrintable(result.leftOut.join('\n')));

        const QString out = x.dir.filePath("unpacked");
        QDir().mkpath(out);
        QVERIFY(!corvane::extractArchive(x.package(), out).isEmpty());
        QCOMPARE(entriesOf(out), QStringList({x.p + "good.doc", x.p + "relinked.doc",
                                              x.p + "sound-here.doc", manifestFileName()}));
        QCOMPARE(readFile(out + "/" + x.p + "relinked.doc"), QByteArray("bytes of relinked.doc"));
        QCOMPARE(readFile(out + "/" + x.p + "sound-here.doc"),
                 QByteArray("bytes of sound-here.doc"));
        QCOMPARE(readManifest(out + "/" + manifestFileName()).entries.size(), 4);
        QCOMPARE(readFile(secret), QByteArray("SECRET"));
    }

    // A control character stored before the text rule travels as a space, the entry named in the
    // result; the package imports whole. A text its reader would not read back fails the export.
    void storedControlCharacters() {
        Exchange x;
        x.catalogue.addClass("0001", "类\x1f甲", "说明\x02\n第二行");
        x.stored("a\001b", "0001", "a.doc");
        x.stored("plain", "0001", "plain.doc");
        QList<SelectionNode> top = fillSelectionTree(x.catalogue.db());
        setChecked(top[0], Qt::Checked);
        const PackageResult result = zq::writePackage(x.catalogue.db(), top[0], x.package());
        QCOMPARE(result.templates, 2);
        QCOMPARE(result.leftOut, QStringList());
        QCOMPARE(result.altered,
                 QStringList({"模板分类“类 甲”（0001）：控制字符已替换为空格",
                              "模板文件“a b”（" + x.p + "a.doc）：控制字符已替换为空格"}));

        runSql(x.catalogue.db(), "delete from ZQ_DocTempDetail");
        runSql(x.catalogue.db(), "delete from ZQ_DocInfoMaster");
        const ImportReport report = importPackage(x.catalogue.db(), x.package());
        QCOMPARE(report.refused, QStringList());
        QCOMPARE(x.classes(), QStringList({"0001|类 甲|说明 \n第二行"}));
        QCOMPARE(x.templates(),
                 QStringList({"a b|" + x.p + "a.doc|0001", "plain|" + x.p + "plain.doc|0001"}));

        // What the reader would not read back: U+FFFF, which XML may not hold (PostgreSQL keeps
        // it, SQLite gives it back as U+FFFD), or a value past the reader's bound on one
        // (SQLite keeps a description of any length).
        runSql(x.catalogue.db(), "update ZQ_DocTempDetail set DocMemo = ? where DocCaption = ?",
               {x.catalogue.isPostgres() ? QString("p") + QChar(0xFFFF) : QString(10'000'001, 'm'),
                "plain"});
        top = fillSelectionTree(x.catalogue.db());
        setChecked(top[0], Qt::Checked);
        QVERIFY_THROWS_EXCEPTION(
            Error, zq::writePackage(x.catalogue.db(), top[0], x.package("unreadable.TempFile")));
        QVERIFY(!QFileInfo::exists(x.package("unreadable.TempFile")));
        QVERIFY(!QFileInfo::exists(stagingFolder()));
    }

    // Export, import into an empty catalogue, import again: the second run changes nothing.
    void importTwice() {
        Exchange x;
        x.catalogue.addClass("0001", "A", "甲");
        x.catalogue.addClass("00010001", "A1'引号");
        x.stored("a", "0001", "a.doc", "AAAA");
        x.stored("q'引号", "00010001", "q'.doc", "QQ");
        QList<SelectionNode> top = fillSelectionTree(x.catalogue.db());
        setChecked(top[0], Qt::Checked);
        zq::writePackage(x.catalogue.db(), top[0], x.package());
        const QStringList classes = x.classes();
        const QStringList templates = x.templates();
        runSql(x.catalogue.db(), "delete from ZQ_DocTempDetail");
        runSql(x.catalogue.db(), "delete from ZQ_DocInfoMaster");
        QFile::remove(storedFilePath(x.p + "a.doc"));

        ImportReport report = importPackage(x.catalogue.db(), x.package());
        QCOMPARE(report.summary(), QString("新增模板分类 2 个，已有 0 个；新增模板文件 2 个，"
                                           "已有 0 个；拒绝 0 项。"));
        QCOMPARE(x.classes(), classes);
        QCOMPARE(x.templates(), templates);
        QCOMPARE(readFile(storedFilePath(x.p + "a.doc")), QByteArray("AAAA"));
        QVERIFY(!QFileInfo::exists(unpackFolder()));

        report = importPackage(x.catalogue.db(), x.package());
        QCOMPARE(report.classesPresent, 2);
        QCOMPARE(report.templatesPresent, 2);
        QCOMPARE(report.classesAdded + report.templatesAdded + int(report.refused.size()), 0);
        QCOMPARE(x.templates(), templates);
    }

    // Only adds: what the catalogue has stays, whatever the package says.
    // Progress covers the whole of the work: entries while staging and cataloguing, and the
    // bytes the host has read while it packs and unpacks, counted as it goes.
    void progressOfEveryStage() {
        Exchange x;
        x.catalogue.addClass("0001", "A");
        QByteArray large(3 << 20, Qt::Uninitialized); // random: no archive bomb
        QRandomGenerator(7).fillRange(reinterpret_cast<quint32*>(large.data()), large.size() / 4);
        x.stored("a", "0001", "a.doc", large);
        x.stored("b", "0001", "b.doc", "b");
        // The host reads the package in four pieces, a pause after each, before unpacking it.
        const auto extract = x.host.extractWith;
        x.host.extractWith = [&](const QString& archive, const QString& folder) {
            QFile file(archive);
            file.open(QIODevice::ReadOnly);
            while (!file.read(file.size() / 4 + 1).isEmpty())
                QThread::msleep(250);
            return extract(archive, folder);
        };
        QList<std::tuple<PackageStage, qint64, qint64>> seen;
        const PackageProgress record = [&](PackageStage stage, qint64 done, qint64 total) {
            seen.append({stage, done, total});
        };
        const auto stages = [&] {
            QList<PackageStage> order;
            for (const auto& [stage, done, total] : seen)
                if (order.isEmpty() || order.last() != stage)
                    order.append(stage);
            return order;
        };
        QList<SelectionNode> top = fillSelectionTree(x.catalogue.db());
        setChecked(top[0], Qt::Checked);
        zq::writePackage(x.catalogue.db(), top[0], x.package(), record);
        QCOMPARE(stages(), (QList{PackageStage::Staging, PackageStage::Compressing}));
        QCOMPARE(seen.last(), std::tuple(PackageStage::Compressing, qint64((3 << 20) + 1),
                                         qint64((3 << 20) + 1)));

        seen.clear();
        runSql(x.catalogue.db(), "delete from ZQ_DocTempDetail");
        importPackage(x.catalogue.db(), x.package(), record);
        QCOMPARE(stages(), (QList{PackageStage::Extracting, PackageStage::Cataloguing}));
        const qint64 size = QFileInfo(x.package()).size();
        QVERIFY(std::any_of(seen.cbegin(), seen.cend(), [&](const auto& step) {
            return std::get<0>(step) == PackageStage::Extracting && std::get<1>(step) > 0 &&
                   std::get<1>(step) < size && std::get<2>(step) == size;
        }));
        QCOMPARE(seen.last(), std::tuple(PackageStage::Cataloguing, qint64(3), qint64(3)));
        for (const auto& [stage, done, total] : seen)
            QVERIFY(done >= 0 && done <= total);
    }

    // A working folder another run holds is left alone, and the failure names the holder; once
    // it is free, the next run takes it.
    void workFolderInUse() {
        Exchange x;
        x.stored("a", "", "a.doc");
        QList<SelectionNode> top = fillSelectionTree(x.catalogue.db());
        setChecked(top[0], Qt::Checked);
        {
            const WorkFolder other(stagingFolder());
            QVERIFY(other.isReady());
            writeFile(stagingFolder() + "theirs", "in use");
            try {
                zq::writePackage(x.catalogue.db(), top[0], x.package());
                QFAIL("the export passed");
            } catch (const PackageError& e) {
                QCOMPARE(int(e.kind()), int(PackageError::Kind::StagingFolder));
                QVERIFY2(e.details().contains("正被另一个程序"), qPrintable(e.details()));
            }
            QCOMPARE(readFile(stagingFolder() + "theirs"), QByteArray("in use"));
        }
        QCOMPARE(zq::writePackage(x.catalogue.db(), top[0], x.package()).templates, 1);
    }

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

QTEST_GUILESS_MAIN(TestPackage)
#include "tst_package.moc"
