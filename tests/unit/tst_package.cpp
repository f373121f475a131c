// Template packages without any window: the selection walk, the manifest, the package writer
// and its packages imported again, through the stand-in host's real archive code.

#include "PackageExchange.h"
#include "catalogue/TemplateDocuments.h"
#include "catalogue/TemplateFiles.h"
#include "exchange/PackageReader.h"
#include "exchange/PackageWriter.h"

#include <QRandomGenerator>
#include <QThread>
#include <QtTest>

using namespace zq;
using zq::test::classEntry;
using zq::test::entriesOf;
using zq::test::Exchange;
using zq::test::readFile;
using zq::test::templateEntry;
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
};

QTEST_GUILESS_MAIN(TestPackage)
#include "tst_package.moc"
