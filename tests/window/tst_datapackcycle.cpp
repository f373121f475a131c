// The catalogue's share of the host's data pack, through the exports the host calls: the export
// frame and "DocMod.Pck", the import frame and the update-or-insert import, the preview and
// freeing the frames. The host's archive calls do real work.

#include "Archive.h"
#include "FakeHost.h"
#include "HostArchives.h"
#include "OpenTree.h"
#include "ScriptedDialogs.h"
#include "TestCatalogue.h"
#include "TestFiles.h"
#include "catalogue/CatalogueHistory.h"
#include "catalogue/Sql.h"
#include "catalogue/TemplateStore.h"
#include "exchange/Manifest.h"
#include "ui/DataPackFrame.h"
#include "widgets/TreeNodes.h"

#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <QUuid>
#include <cstdint>

extern "C" {
int32_t ZQPackage_View(intptr_t, intptr_t, intptr_t, int32_t);
int32_t ZQPackage_ExportProc(intptr_t, intptr_t, intptr_t, int32_t, intptr_t);
void ZQPackage_Export(intptr_t, intptr_t, intptr_t, int32_t, char**);
int32_t ZQPackage_ImportProc(intptr_t, intptr_t, intptr_t, int32_t, const char*, intptr_t);
int32_t ZQPackage_Import(intptr_t, intptr_t, intptr_t, int32_t, const char*);
int32_t ZQPackage_Free(intptr_t, intptr_t, intptr_t, int32_t, uint8_t);
}

using namespace zq;
using namespace zq::test;

namespace {

constexpr int32_t kKind = 101;

// A catalogue of A (0001) > A1 (00010001) with 甲 and 丁, B (0002) with 乙, and the empty class
// C (0003); the file of 丙 in B is missing from the store.
struct DataPack {
    TestCatalogue catalogue;
    FakeHost host;
    FakeHostScope hostScope{host};
    ScriptedDialogs dialogs;
    ScriptedDialogsScope dialogsScope{dialogs};
    QTemporaryDir temp;
    QWidget application;
    QWidget exportBox;
    QWidget importBox;
    const QString p = "d" + QUuid::createUuid().toString(QUuid::Id128).left(10) + "-";

    DataPack() {
        host.connection = catalogue.db();
        host.tempPath = temp.path() + "/";
        useHostArchives(host);
        catalogue.addClass("0001", "A");
        catalogue.addClass("00010001", "A1");
        catalogue.addClass("0002", "B");
        catalogue.addClass("0003", "C");
        QDir().mkpath(templateStorePath());
        for (const auto& [caption, code] :
             {std::pair{"甲", "00010001"}, {"丁", "00010001"}, {"乙", "0002"}, {"丙", "0002"}}) {
            if (QString(caption) != "丙")
                writeFile(file(caption), caption);
            catalogue.addTemplate(caption, code, name(caption));
        }
    }
    ~DataPack() {
        ZQPackage_Free(app(), 0, 0, kKind, 1);
        for (const QString& stored : QDir(templateStorePath()).entryList({p + "*"}, QDir::Files))
            QFile::remove(storedFilePath(stored));
    }

    QString name(const QString& caption) const { return p + caption + ".doc"; }
    QString file(const QString& caption) const { return storedFilePath(name(caption)); }
    QString packFolder() const { return temp.path() + "/~DocMod/"; }
    intptr_t app() { return reinterpret_cast<intptr_t>(&application); }

    DataPackFrame* frame(const char* name) const {
        for (const QWidget* owner : {&application, &exportBox, &importBox})
            if (auto* found = owner->findChild<DataPackFrame*>(name))
                return found;
        return nullptr;
    }
    // Ticks the nodes with these labels in the frame's tree; the classes stay closed unless a
    // label is found only inside one.
    static void tick(const DataPackFrame* frame, const QStringList& labels) {
        for (const QString& label : labels)
            findOpening(frame->tree(), label);
        for (QTreeWidgetItem* item : treeItems(frame->tree()))
            if (labels.contains(item->text(0)))
                item->setCheckState(0, Qt::Checked);
    }
    QString exportText() {
        char* text = nullptr;
        ZQPackage_Export(app(), 0, 0, kKind, &text);
        const QString result = text ? QString::fromUtf8(text) : QStringLiteral("<null>");
        std::free(text);
        return result;
    }
    // Exports the ticked labels and frees the export frame; the pack's path.
    QString exportPack(const QStringList& labels) {
        ZQPackage_ExportProc(app(), 0, 0, kKind, reinterpret_cast<intptr_t>(&exportBox));
        tick(frame("Temp_ExportFrame"), labels);
        const QString pack = exportText();
        ZQPackage_Free(app(), 0, 0, kKind, 1);
        return pack;
    }
    // What the host does before an import: the pack's files into the data-pack folder.
    void placePack(const QString& pack) {
        const QString copy = temp.filePath("carried.Pck");
        QFile::remove(copy);
        QVERIFY(QFile::copy(pack, copy));
        QVERIFY(!corvane::extractArchive(copy, packFolder()).isEmpty());
    }
    int32_t importProc(const QString& packFile) {
        return ZQPackage_ImportProc(app(), 0, 0, kKind, packFile.toUtf8().constData(),
                                    reinterpret_cast<intptr_t>(&importBox));
    }
    // Each class as "code|name" and each template as "caption|class|file".
    QStringList rows() {
        QStringList rows;
        QSqlQuery classes = runSql(catalogue.db(), "select DocSortID, DocSortName from "
                                                   "ZQ_DocInfoMaster order by DocSortID");
        while (classes.next())
            rows.append(classes.value(0).toString() + "|" + classes.value(1).toString());
        QSqlQuery docs = runSql(catalogue.db(), "select DocCaption, DocSortID, DocFileName from "
                                                "ZQ_DocTempDetail order by DocCaption");
        while (docs.next())
            rows.append(docs.value(0).toString() + "|" + docs.value(1).toString() + "|" +
                        QString(docs.value(2).toString()).remove(p));
        return rows;
    }
    // The bytes the catalogue keeps for a template's stored file; empty when it keeps none.
    // The hash the catalogue records for the template's stored file; empty when it has none.
    QString storedHash(const QString& caption) {
        return sqlValue(catalogue.db(),
                        "select FileSha256 from ZQ_DocTemplateFile where DocFileName = ?",
                        {name(caption)})
            .toString();
    }
    // The entries of a written pack, each as "kind:caption".
    QStringList packEntries(const QString& pack) {
        const QString folder = temp.filePath("look");
        QDir(folder).removeRecursively();
        QDir().mkpath(folder);
        if (corvane::extractArchive(pack, folder).isEmpty())
            return {"<not unpacked>"};
        QStringList entries;
        for (const ManifestEntry& e : readManifest(folder + "/" + manifestFileName()).entries)
            entries.append((e.kind == ManifestEntry::Kind::Class ? "class:" : "file:") +
                           e.record.caption);
        return entries;
    }
    // Each node of the import tree as "depth label" in tree order, with "[ ]" where it has a
    // check box.
    QStringList importTree() const {
        QStringList nodes;
        for (const QTreeWidgetItem* item : treeItems(frame("Temp_ImportFrame")->tree())) {
            int depth = 0;
            for (const QTreeWidgetItem* up = item->parent(); up; up = up->parent())
                ++depth;
            const bool box = item->data(0, Qt::CheckStateRole).isValid();
            nodes.append(QString(depth, '-') + item->text(0) + (box ? "[ ]" : ""));
        }
        return nodes;
    }
};

} // namespace

class TestDataPack : public QObject {
    Q_OBJECT

private slots:
    void exportWritesTheTickedPart_data() {
        QTest::addColumn<QStringList>("ticked");
        QTest::addColumn<bool>("counted");
        QTest::addColumn<QStringList>("entries");
        QTest::newRow("nothing") << QStringList() << false << QStringList();
        QTest::newRow("only a class") << QStringList{"C"} << false << QStringList{"class:C"};
        QTest::newRow("a class with templates")
            << QStringList{"A1"} << true
            << QStringList{"class:A", "class:A1", "file:甲", "file:丁"};
        // A template without its stored file is neither written nor counted.
        QTest::newRow("missing file only") << QStringList{"丙"} << false << QStringList{"class:B"};
        QTest::newRow("missing file beside one")
            << QStringList{"B"} << true << QStringList{"class:B", "file:乙"};
    }

    // The frame sits in the host's container; "DocMod.Pck" is written in the data-pack folder
    // and named only when it holds a template.
    void exportWritesTheTickedPart() {
        QFETCH(QStringList, ticked);
        QFETCH(bool, counted);
        QFETCH(QStringList, entries);
        DataPack f;
        QCOMPARE(
            ZQPackage_ExportProc(f.app(), 0, 0, kKind, reinterpret_cast<intptr_t>(&f.exportBox)),
            1);
        DataPackFrame* frame = f.frame("Temp_ExportFrame");
        QVERIFY(frame);
        QCOMPARE(frame->parentWidget(), &f.exportBox);
        DataPack::tick(frame, ticked);
        const QString pack = f.packFolder() + "DocMod.Pck";
        QCOMPARE(f.exportText(), counted ? pack : QString("-2"));
        QCOMPARE(f.packEntries(pack), entries);
    }

    // Without an export frame nothing is written and the text stays untouched; another kind
    // frees nothing, 101 frees both frames.
    void framesLiveUntilFreed() {
        DataPack f;
        QCOMPARE(f.exportText(), QString("<null>"));
        QVERIFY(!QFile::exists(f.packFolder() + "DocMod.Pck"));
        const QString pack = f.exportPack({"B"});
        QCOMPARE(
            ZQPackage_ExportProc(f.app(), 0, 0, kKind, reinterpret_cast<intptr_t>(&f.exportBox)),
            1);
        QVERIFY(f.importProc(pack) >= 0);
        QCOMPARE(ZQPackage_Free(f.app(), 0, 0, 7, 1), -1);
        QVERIFY(f.frame("Temp_ExportFrame"));
        QVERIFY(f.frame("Temp_ImportFrame"));
        QCOMPARE(ZQPackage_Free(f.app(), 0, 0, kKind, 1), -1);
        QVERIFY(!f.frame("Temp_ExportFrame"));
        QVERIFY(!f.frame("Temp_ImportFrame"));
        QCOMPARE(ZQPackage_Free(f.app(), 0, 0, kKind, 1), -1);
        QCOMPARE(ZQPackage_Import(f.app(), 0, 0, kKind, ""), -1);
    }

    void importUpdatesOrInserts_data() {
        QTest::addColumn<QStringList>("ticked");
        QTest::addColumn<int>("result");
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<QByteArray>("fileOfB");
        // In the catalogue before the import: B renamed "旧B", 乙 renamed "旧乙" with other file
        // content, A1 and 甲 and 丁 gone.
        const QStringList before{"0001|A", "0002|旧B", "0003|C", "丙|0002|丙.doc",
                                 "旧乙|0002|乙.doc"};
        QTest::newRow("nothing ticked") << QStringList() << -2 << before << QByteArray("old");
        QTest::newRow("whole tree")
            << QStringList{"文档模板分类信息"} << 1
            << QStringList{"0001|A",         "00010001|A1",        "0002|B",
                           "0003|C",         "丁|00010001|丁.doc", "丙|0002|丙.doc",
                           "乙|0002|乙.doc", "甲|00010001|甲.doc"}
            << QByteArray("乙");
        // A1 is partly ticked, so not imported, and the catalogue lost it: its ticked template
        // would be filed under a class that is nowhere, so nothing is imported.
        QTest::newRow("one template of a missing class")
            << QStringList{"甲"} << -1 << before << QByteArray("old");
    }

    // A pack carried to a changed catalogue: ticked classes and templates come back with the
    // pack's values, existing ones updated in place and their stored files replaced.
    void importUpdatesOrInserts() {
        QFETCH(QStringList, ticked);
        QFETCH(int, result);
        QFETCH(QStringList, rows);
        QFETCH(QByteArray, fileOfB);
        DataPack f;
        const QString pack = f.exportPack({"A1", "B"});
        runSql(f.catalogue.db(), "update ZQ_DocInfoMaster set DocSortName = '旧B' "
                                 "where DocSortID = '0002'");
        runSql(f.catalogue.db(), "update ZQ_DocTempDetail set DocCaption = '旧乙' "
                                 "where DocCaption = '乙'");
        runSql(f.catalogue.db(), "delete from ZQ_DocInfoMaster where DocSortID = '00010001'");
        runSql(f.catalogue.db(), "delete from ZQ_DocTempDetail where DocSortID = '00010001'");
        for (const char* caption : {"甲", "丁"})
            QFile::remove(f.file(caption));
        writeFile(f.file("乙"), "old");
        f.placePack(pack);

        QVERIFY(f.importProc(pack) >= 0);
        DataPack::tick(f.frame("Temp_ImportFrame"), ticked);
        QCOMPARE(ZQPackage_Import(f.app(), 0, 0, kKind, ""), result);
        QCOMPARE(f.rows(), rows);
        QCOMPARE(readFile(f.file("乙")), fileOfB);
        QCOMPARE(QFile::exists(f.file("甲")), result == 1);
        // The catalogue records the imported files.
        const auto sha = [](const QByteArray& bytes) {
            return bytes.isEmpty()
                       ? QString()
                       : QString::fromLatin1(
                             QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
        };
        QCOMPARE(f.storedHash("甲"), sha(result == 1 ? QByteArray("甲") : QByteArray()));
        QCOMPARE(f.storedHash("乙"), sha(fileOfB == "old" ? QByteArray() : fileOfB));
        // An import is one entry of the history, with its counts; a failed one leaves none.
        const QList<HistoryEntry> history = readHistory(f.catalogue.db(), {});
        QCOMPARE(history.size(), result == 1 ? 1 : 0);
        if (result == 1) {
            QCOMPARE(history[0].change.action, HistoryAction::DataPackImported);
            QCOMPARE(history[0].change.after, QString("分类 3 个，模板 3 个"));
        }
    }

    // The import tree follows the pack: classes under their parents, templates under their
    // class, an entry whose class the pack lacks beside the root; that entry, hostile file names,
    // texts too long for their column and templates whose file the host did not place are not
    // catalogued, and the person is told which and why.
    void importTreeAndRefusals() {
        DataPack f;
        const QString staging = f.temp.filePath("staging/");
        QDir().mkpath(staging);
        const auto entry = [](ManifestEntry::Kind kind, const QString& caption, const QString& code,
                              const QString& file = {}) {
            TemplateRecord r;
            r.caption = caption;
            r.classCode = code;
            r.fileName = file;
            return ManifestEntry{kind, r};
        };
        using K = ManifestEntry::Kind;
        const QString tooLong(5000, QChar(u'长'));
        writeManifest(staging + manifestFileName(),
                      {entry(K::Class, "新类", "0007"), entry(K::Class, "新子类", "00070001"),
                       entry(K::Template, "新", "00070001", f.p + "新.doc"),
                       entry(K::Template, "孤", "0099", f.p + "孤.doc"),
                       entry(K::Template, "缺", "0007", f.p + "缺.doc"),
                       entry(K::Template, "越", "0007", "../" + f.p + "越.doc"),
                       entry(K::Template, tooLong, "0007", f.p + "长.doc")});
        writeFile(staging + f.p + "新.doc", "new");
        writeFile(staging + f.p + "孤.doc", "orphan");
        writeFile(staging + f.p + "长.doc", "long");
        const QString pack = f.temp.filePath("DocMod.Pck");
        QVERIFY(!corvane::compressFolder(staging, pack).isEmpty());
        QDir().mkpath(f.packFolder());
        for (const char* caption : {"新", "孤", "长"})
            QVERIFY(QFile::copy(staging + f.p + caption + ".doc",
                                f.packFolder() + f.p + caption + ".doc"));

        QVERIFY(f.importProc(pack) >= 0);
        QCOMPARE(f.importTree(),
                 (QStringList{"文档模板分类信息[ ]", "-新类[ ]", "--新子类[ ]", "---新[ ]",
                              "--缺[ ]", "--" + tooLong + "[ ]", "孤[ ]"}));
        QTreeWidget* tree = f.frame("Temp_ImportFrame")->tree();
        tree->setCurrentItem(treeItems(tree)[3]);
        QCOMPARE(f.frame("Temp_ImportFrame")->findChild<QLineEdit*>("edtName")->text(),
                 QString("新"));
        for (QTreeWidgetItem* item : treeItems(tree))
            item->setCheckState(0, Qt::Checked);
        QCOMPARE(ZQPackage_Import(f.app(), 0, 0, kKind, ""), 1);
        const QStringList rows = f.rows();
        QVERIFY(rows.contains("0007|新类"));
        QVERIFY(rows.contains("新|00070001|新.doc"));
        QVERIFY(!rows.join(' ').contains("孤"));
        QVERIFY(!rows.join(' ').contains("缺"));
        QVERIFY(!rows.join(' ').contains("长.doc"));
        QVERIFY(!QFile::exists(f.file("孤")));
        QVERIFY(!QFile::exists(f.file("缺")));
        // What was left out is told, each with its reason.
        QCOMPARE(f.dialogs.texts("warn"), QStringList{"数据包已导入，有 3 项未能导入。"});
        const QString details = f.dialogs.shown.last().details;
        for (const char* reason : {"分类“0099”既不在模板目录中，也不在数据包中", "缺",
                                   "数据包中没有该文件", "模板名称不能超过"})
            QVERIFY2(details.contains(QString::fromUtf8(reason)), qPrintable(details));
    }

    // A failing statement leaves the catalogue and the store as they were, and says so.
    void failedImportChangesNothing() {
        DataPack f;
        const QString pack = f.exportPack({"B"});
        runSql(f.catalogue.db(), "update ZQ_DocInfoMaster set DocSortName = '旧B' "
                                 "where DocSortID = '0002'");
        writeFile(f.file("乙"), "old");
        runSql(f.catalogue.db(), "create trigger refuse before update on ZQ_DocTempDetail "
                                 "begin select raise(abort, 'refused'); end");
        f.placePack(pack);
        QVERIFY(f.importProc(pack) >= 0);
        DataPack::tick(f.frame("Temp_ImportFrame"), {"文档模板分类信息"});
        QCOMPARE(ZQPackage_Import(f.app(), 0, 0, kKind, ""), -1);
        QVERIFY(f.rows().contains("0002|旧B"));
        QCOMPARE(readFile(f.file("乙")), QByteArray("old"));
        QCOMPARE(f.storedHash("乙"), QString());
    }

    void importOfOnlyRefusedTemplatesFails_data() {
        QTest::addColumn<QStringList>("ticked");
        QTest::newRow("the template") << QStringList{"乙"};
        QTest::newRow("with its class") << QStringList{"B"};
    }

    // Ticked templates whose files the host did not place are refused; when that is every one,
    // nothing that was asked for arrived: the host hears of a failure, and a class ticked with
    // them stays as it was.
    void importOfOnlyRefusedTemplatesFails() {
        QFETCH(QStringList, ticked);
        DataPack f;
        const QString pack = f.exportPack({"B"});
        runSql(f.catalogue.db(), "update ZQ_DocInfoMaster set DocSortName = '旧B' "
                                 "where DocSortID = '0002'");
        f.placePack(pack);
        QVERIFY(QFile::remove(f.packFolder() + f.name("乙")));
        QVERIFY(f.importProc(pack) >= 0);
        DataPack::tick(f.frame("Temp_ImportFrame"), ticked);
        QCOMPARE(ZQPackage_Import(f.app(), 0, 0, kKind, ""), -1);
        QVERIFY(f.rows().contains("0002|旧B"));
    }

    // "@&@" before the path shows the pack without check boxes: nothing can be imported.
    // The preview of the catalogue is modal and leaves nothing behind.
    void previews() {
        DataPack f;
        const QString pack = f.exportPack({"B"});
        QVERIFY(f.importProc("@&@" + pack) >= 0);
        QCOMPARE(f.importTree(), (QStringList{"文档模板分类信息", "-B", "--乙"}));
        QCOMPARE(ZQPackage_Import(f.app(), 0, 0, kKind, ""), -2);

        // The classes first; a class's templates once it is opened.
        QStringList closed;
        QStringList opened;
        f.dialogs.scripts.enqueue([&](QDialog* dialog) {
            auto* tree = dialog->findChild<QTreeWidget*>("cktreeDocTemp");
            const auto texts = [&] {
                QStringList shown;
                for (QTreeWidgetItem* item : treeItems(tree))
                    shown.append(item->text(0) +
                                 (item->data(0, Qt::CheckStateRole).isValid() ? "[ ]" : ""));
                return shown;
            };
            closed = texts();
            openAll(tree);
            opened = texts();
        });
        QCOMPARE(ZQPackage_View(f.app(), 0, 0, kKind), 1);
        QCOMPARE(f.dialogs.texts("exec"), QStringList{"文档模板导出预览"});
        QCOMPARE(closed, (QStringList{"文档模板分类信息", "A", "A1", "B", "C"}));
        QCOMPARE(opened,
                 (QStringList{"文档模板分类信息", "A", "A1", "甲", "丁", "B", "乙", "丙", "C"}));
        QVERIFY(!f.application.findChild<QDialog*>());
    }
};

QTEST_MAIN(TestDataPack)
#include "tst_datapackcycle.moc"
