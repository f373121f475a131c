#include "util/FileUtil.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace zq;

class TestFileUtil : public QObject {
    Q_OBJECT

private:
    static void write(const QString& path) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("x");
    }

private slots:
    void splitText_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("pieces");
        QTest::newRow("empty between") << "x@&@@&@y" << QStringList{"x", "", "y"};
        QTest::newRow("separator at end") << "x@&@" << QStringList{"x"};
        QTest::newRow("separator at start") << "@&@x" << QStringList{"", "x"};
        QTest::newRow("no separator") << "x" << QStringList{"x"};
        QTest::newRow("empty text") << "" << QStringList{};
        QTest::newRow("three fields") << "1@&@标题@&@说明" << QStringList{"1", "标题", "说明"};
        QTest::newRow("partial separator") << "a@&b" << QStringList{"a@&b"};
    }
    void splitText() {
        QFETCH(QString, text);
        QFETCH(QStringList, pieces);
        QStringList list{"stale"};
        zq::splitText(text, QStringLiteral("@&@"), list);
        QCOMPARE(list, pieces);
    }

    void deleteDirectoryTreeRemovesEverythingButFollowsNoLink() {
        QTemporaryDir outside;
        const QString kept = outside.filePath("kept.txt");
        write(kept);

        QTemporaryDir temp;
        const QString top = temp.filePath("工作");
        QVERIFY(QDir().mkpath(top + "/a/b/empty"));
        write(top + "/a/b/只读.doc");
        QFile::setPermissions(top + "/a/b/只读.doc", QFileDevice::ReadOwner);
        write(top + "/.hidden");
        QVERIFY(QFile::link(outside.path(), top + "/a/link-to-folder"));
        QVERIFY(QFile::link(kept, top + "/link-to-file"));

        deleteDirectoryTree(top + "/");
        QVERIFY(!QFileInfo::exists(top));
        QVERIFY(QFileInfo::exists(kept));
    }

    void deleteDirectoryTreeLeavesFilesAndMissingPathsAlone() {
        QTemporaryDir temp;
        const QString file = temp.filePath("file.txt");
        write(file);
        deleteDirectoryTree(file);
        QVERIFY(QFileInfo::exists(file));
        deleteDirectoryTree(temp.filePath("missing"));
        QVERIFY(QFileInfo::exists(temp.path()));
    }

    void deleteDirectoryTreeOnALinkKeepsItsTarget() {
        QTemporaryDir outside;
        write(outside.filePath("kept.txt"));
        QTemporaryDir temp;
        const QString link = temp.filePath("link");
        QVERIFY(QFile::link(outside.path(), link));
        deleteDirectoryTree(link);
        QVERIFY(QFileInfo::exists(outside.filePath("kept.txt")));
    }

    void shellFolderDesktop() {
        const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
        QCOMPARE(shellFolderPath(0), desktop);
        QCOMPARE(shellFolderPath(16), desktop);
        QCOMPARE(shellFolderPath(5), QString());
    }
};

QTEST_GUILESS_MAIN(TestFileUtil)
#include "tst_fileutil.moc"
