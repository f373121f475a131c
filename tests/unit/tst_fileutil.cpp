#include "util/FileUtil.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <sys/wait.h>
#include <unistd.h>

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

    void deleteDirectoryTreeOnALinkKeepsItsTarget_data() {
        QTest::addColumn<QString>("suffix");
        QTest::newRow("bare") << "";
        QTest::newRow("with separator") << "/";
        QTest::newRow("with two separators") << "//";
    }
    void deleteDirectoryTreeOnALinkKeepsItsTarget() {
        QFETCH(QString, suffix);
        QTemporaryDir outside;
        write(outside.filePath("kept.txt"));
        QVERIFY(QDir().mkpath(outside.filePath("sub")));
        QTemporaryDir temp;
        const QString link = temp.filePath("link");
        QVERIFY(QFile::link(outside.path(), link));
        deleteDirectoryTree(link + suffix);
        QVERIFY(QFileInfo::exists(outside.filePath("kept.txt")));
        QVERIFY(QFileInfo::exists(outside.filePath("sub")));
    }

    // A read-only file goes with its folder, and the modes of what it is hard-linked to stay as
    // they were (an export links the store's files into its staging folder).
    void deleteDirectoryTreeKeepsLinkedFilesModes() {
        QTemporaryDir temp;
        const QString kept = temp.filePath("kept.doc");
        write(kept);
        const auto readOnly =
            QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther;
        QVERIFY(QFile::setPermissions(kept, readOnly));
        const QString top = temp.filePath("top");
        QVERIFY(QDir().mkpath(top));
        QCOMPARE(::link(QFile::encodeName(kept).constData(),
                        QFile::encodeName(top + "/kept.doc").constData()),
                 0);
        deleteDirectoryTree(top);
        QVERIFY(!QFileInfo::exists(top));
        const QFileDevice::Permissions modes = QFile::permissions(kept);
        QVERIFY(modes.testFlags(readOnly));
        QVERIFY(!(modes &
                  (QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther)));
    }

    // A read-only sub-folder goes with the tree. Root may delete inside it anyway, so the walk
    // runs as an unprivileged user when the tests run as root.
    void deleteDirectoryTreeRemovesReadOnlyFolders() {
        QTemporaryDir temp;
        const QString top = temp.filePath("top");
        QVERIFY(QDir().mkpath(top + "/locked/inner"));
        write(top + "/locked/inner/a.doc");
        write(top + "/locked/b.doc");
        const auto readOnlyFolder = QFileDevice::ReadOwner | QFileDevice::ExeOwner;
        QVERIFY(QFile::setPermissions(top + "/locked/inner", readOnlyFolder));
        QVERIFY(QFile::setPermissions(top + "/locked", readOnlyFolder));

        if (geteuid() != 0) {
            deleteDirectoryTree(top);
        } else {
            constexpr uid_t nobody = 65534;
            for (const QString& path : {temp.path(), top, top + "/locked", top + "/locked/inner",
                                        top + "/locked/inner/a.doc", top + "/locked/b.doc"})
                QCOMPARE(::chown(QFile::encodeName(path).constData(), nobody, nobody), 0);
            const pid_t child = fork();
            if (child == 0) {
                if (setgid(nobody) != 0 || setuid(nobody) != 0)
                    _exit(2);
                deleteDirectoryTree(top);
                _exit(0);
            }
            int status = -1;
            QCOMPARE(waitpid(child, &status, 0), child);
            QVERIFY(WIFEXITED(status));
            QCOMPARE(WEXITSTATUS(status), 0);
        }
        QVERIFY(!QFileInfo::exists(top));
    }

    void desktopFolderIsEmptyWhenMissing() {
        QTemporaryDir home;
        const QByteArray oldHome = qgetenv("HOME");
        const QByteArray oldConfig = qgetenv("XDG_CONFIG_HOME");
        qputenv("HOME", QFile::encodeName(home.path()));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath("config")));
        const auto restore = qScopeGuard([&] {
            qputenv("HOME", oldHome);
            qputenv("XDG_CONFIG_HOME", oldConfig);
        });
        QCOMPARE(desktopFolder(), QString());

        QVERIFY(QDir().mkpath(home.filePath("Desktop")));
        QCOMPARE(desktopFolder(), home.filePath("Desktop"));
    }
};

QTEST_GUILESS_MAIN(TestFileUtil)
#include "tst_fileutil.moc"
