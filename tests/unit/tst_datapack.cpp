// The host's data-pack exchange through the plug-in's exports: the export frame, the package
// path it hands back, and freeing the frames.

#include "Archive.h"
#include "FakeHost.h"
#include "TestCatalogue.h"
#include "TestFiles.h"
#include "catalogue/TemplateStore.h"
#include "exchange/DataPack.h"
#include "exchange/Manifest.h"
#include "util/Error.h"
#include "widgets/TreeNodes.h"

#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <QUuid>
#include <cstdint>

extern "C" int32_t ZQPackage_ExportProc(intptr_t, intptr_t, intptr_t, int32_t, intptr_t);
extern "C" void ZQPackage_Export(intptr_t, intptr_t, intptr_t, int32_t, char**);
extern "C" int32_t ZQPackage_Free(intptr_t, intptr_t, intptr_t, int32_t, uint8_t);

using namespace zq;
using namespace zq::test;

namespace {

// The host's side: its application window, a container for the frame, a catalogue of class A
// (0001) with one stored template and the empty class B (0002).
struct DataPack {
    TestCatalogue catalogue;
    FakeHost host;
    FakeHostScope scope{host};
    QTemporaryDir temp;
    QWidget application;
    QWidget container;
    const QString file = "d" + QUuid::createUuid().toString(QUuid::Id128).left(10) + ".doc";

    DataPack() {
        host.connection = catalogue.db();
        host.tempPath = temp.path(); // without a trailing separator
        host.compressWith = corvane::compressFolder;
        catalogue.addClass("0001", "A");
        catalogue.addClass("0002", "B");
        QDir().mkpath(templateStorePath());
        writeFile(storedFilePath(file), "A");
        catalogue.addTemplate("甲", "0001", file);
    }
    ~DataPack() {
        free(101);
        QFile::remove(storedFilePath(file));
    }
    intptr_t app() { return reinterpret_cast<intptr_t>(&application); }
    int exportProc(int kind = 101) {
        return ZQPackage_ExportProc(app(), 0, 0, kind, reinterpret_cast<intptr_t>(&container));
    }
    QString exportPack() {
        char* path = nullptr;
        ZQPackage_Export(app(), 0, 0, 101, &path);
        const QString text = QString::fromUtf8(path ? path : "");
        std::free(path);
        return text;
    }
    int free(int kind) { return ZQPackage_Free(app(), 0, 0, kind, 1); }
    QTreeWidget* tree() { return container.findChild<QTreeWidget*>("cktreeDocTemp"); }
    void tick(const QString& code) {
        for (QTreeWidgetItem* item : treeItems(tree()))
            if (nodeClassCode(item) == code && imageIndex(item) == 10)
                item->setCheckState(0, Qt::Checked);
    }
    QString package() { return temp.filePath("~DocMod/DocMod.Pck"); }
};

} // namespace

class TestDataPack : public QObject {
    Q_OBJECT

private slots:
    void exportBeforeAnyFrame() {
        DataPack d;
        QCOMPARE(d.exportPack(), QString());
        QVERIFY(!QFileInfo::exists(d.package()));
    }

    // "-2" whenever no template is ticked; a package is still written for ticked classes.
    void exportPath_data() {
        QTest::addColumn<QString>("ticked");
        QTest::addColumn<bool>("templates");
        QTest::newRow("nothing ticked") << "none" << false;
        QTest::newRow("only an empty class") << "0002" << false;
        QTest::newRow("a class with its template") << "0001" << true;
    }
    void exportPath() {
        QFETCH(QString, ticked);
        QFETCH(bool, templates);
        DataPack d;
        QCOMPARE(d.exportProc(), 1);
        QCOMPARE(d.exportProc(), 1); // a second call keeps the one frame
        QCOMPARE(d.container.findChildren<QWidget*>("Temp_ExportFrame").size(), 1);
        QCOMPARE(d.tree()->topLevelItem(0)->text(0), rootNodeText());
        d.tick(ticked);
        QCOMPARE(d.exportPack(), templates ? d.package() : QString("-2"));
        if (ticked != "none") {
            QTemporaryDir out;
            QVERIFY(!corvane::extractArchive(d.package(), out.path()).isEmpty());
            QCOMPARE(QFileInfo::exists(out.filePath(d.file)), templates);
            QCOMPARE(readManifest(out.filePath(manifestFileName())).entries.size(),
                     templates ? 2 : 1);
        }
    }

    // Without a usable temporary folder from the host nothing is written anywhere, least of all
    // at the root of the file system.
    void exportWithoutTemporaryFolderFails_data() {
        QTest::addColumn<QString>("tempPath");
        QTest::newRow("empty") << QString();
        QTest::newRow("relative") << QStringLiteral("temp");
    }
    void exportWithoutTemporaryFolderFails() {
        QFETCH(QString, tempPath);
        DataPack d;
        QCOMPARE(d.exportProc(), 1);
        d.tick("0001");
        d.host.tempPath = tempPath;
        QCOMPARE(d.exportPack(), QString());
        QVERIFY(!QFileInfo::exists(QStringLiteral("/~DocMod")));
        QVERIFY(!QFileInfo::exists(QDir::current().filePath(tempPath + QStringLiteral("~DocMod"))));
        QVERIFY_THROWS_EXCEPTION(Error, dataPackFolder());
    }

    // A ticked template without its stored file is left out and not counted.
    void exportLeavesOutMissingFiles() {
        DataPack d;
        QFile::remove(storedFilePath(d.file));
        d.exportProc();
        d.tick("0001");
        QCOMPARE(d.exportPack(), QString("-2"));
    }

    void freeOnlyForItsKind() {
        DataPack d;
        d.exportProc();
        QCOMPARE(d.free(7), -1);
        QVERIFY(d.tree());
        QCOMPARE(d.free(101), -1);
        QVERIFY(!d.tree());
        QCOMPARE(d.exportPack(), QString());
        QCOMPARE(d.free(101), -1);
    }
};

QTEST_MAIN(TestDataPack)
#include "tst_datapack.moc"
