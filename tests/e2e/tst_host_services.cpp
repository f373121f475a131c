// The stand-in host's services, called through their C exports as the plug-in calls them.

#include "Archive.h"
#include "HostCore.h"
#include "HostServices.h"
#include "ProjectStore.h"
#include "TestFiles.h"
#include "catalogue/Sql.h"
#include "exchange/ArchiveProgress.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>
#include <algorithm>
#include <cstdlib>

using zq::test::entriesOf;
using zq::test::readFile;
using zq::test::writeFile;

namespace {

QByteArray gb(const QString& text) {
    return QStringEncoder("GB18030").encode(text);
}

// Takes a text result of the host and frees it.
QString take(char* text) {
    const QString result = QStringDecoder("GB18030").decode(QByteArray(text ? text : ""));
    std::free(text);
    return result;
}

QString fixture(const QString& name) {
    return QStringLiteral(ZQ_HOST_FIXTURES "/") + name;
}

QString compress(const QString& folder, const QString& archive) {
    return take(CompressFile(gb(folder).constData(), gb(archive).constData()));
}

QString extract(const QString& archive, const QString& folder) {
    return take(ExtractFile(gb(archive).constData(), gb(folder).constData()));
}

// The general-purpose flags of every local file header of a zip archive.
QList<quint16> zipEntryFlags(const QByteArray& zip) {
    QList<quint16> flags;
    for (qsizetype at = zip.indexOf("PK\x03\x04"); at >= 0; at = zip.indexOf("PK\x03\x04", at + 4))
        flags.append(quint8(zip[at + 6]) | quint16(quint8(zip[at + 7]) << 8));
    return flags;
}

// The archive with ZIP64 end records in place of its end record, as a large archive has them;
// the deltas put a wrong entry count, directory offset or record offset in them.
QByteArray withZip64EndRecords(const QByteArray& zip, qint64 countDelta = 0,
                               qint64 directoryDelta = 0, qint64 recordDelta = 0) {
    auto le = [&](qsizetype at, int size) {
        quint64 value = 0;
        for (int i = size - 1; i >= 0; --i)
            value = value << 8 | quint8(zip[at + i]);
        return value;
    };
    auto put = [](QByteArray& bytes, quint64 value, int size) {
        for (int i = 0; i < size; ++i, value >>= 8)
            bytes.append(char(value & 0xFF));
    };
    const qsizetype end = zip.size() - 22;
    const quint64 count = le(end + 10, 2);
    const quint64 size = le(end + 12, 4);
    const quint64 offset = le(end + 16, 4);
    QByteArray records("PK\x06\x06", 4);
    put(records, 44, 8);
    put(records, 45, 2);
    put(records, 45, 2);
    put(records, 0, 4);
    put(records, 0, 4);
    put(records, quint64(qint64(count) + countDelta), 8);
    put(records, quint64(qint64(count) + countDelta), 8);
    put(records, size, 8);
    put(records, quint64(qint64(offset) + directoryDelta), 8);
    records.append("PK\x06\x07", 4);
    put(records, 0, 4);
    put(records, quint64(end + recordDelta), 8);
    put(records, 1, 4);
    QByteArray tail("PK\x05\x06", 4);
    put(tail, 0, 4);
    put(tail, 0xFFFF, 2);
    put(tail, 0xFFFF, 2);
    put(tail, 0xFFFFFFFF, 4);
    put(tail, 0xFFFFFFFF, 4);
    put(tail, 0, 2);
    return zip.left(end) + records + tail;
}

} // namespace

class TstHostServices : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString path(const QString& name) const { return m_dir.filePath(name); }
    QString newFolder(const QString& name) const {
        const QString folder = path(name) + QLatin1Char('/');
        QDir().mkpath(folder);
        return folder;
    }

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        corvane::HostOptions options;
        // A PostgreSQL server when the suite runs against one, emptied of earlier items.
        options.database =
            qEnvironmentVariable("ZQ_TEST_DATABASE", path(QStringLiteral("host.db")));
        options.dataFolder = path(QStringLiteral("data"));
        corvane::startHost(options);
        zq::runSql(corvane::hostDatabase(), QStringLiteral("delete from CV_DataItem"));
        zq::runSql(corvane::hostDatabase(), QStringLiteral("delete from CV_Resource"));
    }

    void cleanupTestCase() { corvane::stopHost(); }

    // Chinese names survive a round trip, are written with the UTF-8 flag, and sub-folders
    // and links of the packed folder stay out. A .docx (a zip already) is stored, not deflated.
    void archiveRoundTrip() {
        const QString source = newFolder(QStringLiteral("源文件夹"));
        writeFile(source + QStringLiteral("审计通知书.txt"), "通知");
        writeFile(source + QStringLiteral("底稿 A.xls"), QByteArray(200000, 'x'));
        writeFile(source + QStringLiteral("底稿 B.docx"), QByteArray(200000, 'y'));
        QDir().mkpath(source + QStringLiteral("子目录"));
        QFile::link(source + QStringLiteral("审计通知书.txt"), source + QStringLiteral("链接.txt"));
        const QString archive = path(QStringLiteral("模板包.zip"));

        QCOMPARE(compress(source, archive), archive);
        const QList<quint16> flags = zipEntryFlags(readFile(archive));
        QCOMPARE(flags.size(), 3);
        QVERIFY(QFileInfo(archive).size() > 200000 && QFileInfo(archive).size() < 210000);
        for (quint16 flag : flags)
            QVERIFY(flag & 0x0800);

        const QString target = newFolder(QStringLiteral("解压"));
        QCOMPARE(extract(archive, target), target);
        QCOMPARE(entriesOf(target),
                 QStringList({QStringLiteral("审计通知书.txt"), QStringLiteral("底稿 A.xls"),
                              QStringLiteral("底稿 B.docx")}));
        QCOMPARE(readFile(target + QStringLiteral("审计通知书.txt")), QByteArray("通知"));
        QCOMPARE(readFile(target + QStringLiteral("底稿 A.xls")), QByteArray(200000, 'x'));
        QCOMPARE(readFile(target + QStringLiteral("底稿 B.docx")), QByteArray(200000, 'y'));
    }

    // Names written by Chinese Windows without the UTF-8 flag are code page 936; an entry in a
    // sub-folder lands directly in the target.
    void legacyArchiveNamesReadAsCp936() {
        const QString target = newFolder(QStringLiteral("legacy"));
        QCOMPARE(extract(fixture(QStringLiteral("legacy_cp936.zip")), target), target);
        QCOMPARE(entriesOf(target),
                 QStringList({QStringLiteral("审计通知书.txt"), QStringLiteral("工作底稿.xls")}));
        QCOMPARE(readFile(target + QStringLiteral("审计通知书.txt")), QByteArray("通知"));
    }

    void hostileArchiveRefused_data() {
        QTest::addColumn<QString>("archive");
        QTest::newRow("dot-dot entry") << QStringLiteral("dotdot.zip");
        QTest::newRow("absolute entry") << QStringLiteral("absolute.zip");
        QTest::newRow("symbolic link entry") << QStringLiteral("symlink.zip");
        QTest::newRow("missing archive") << QStringLiteral("no-such.zip");
        QTest::newRow("NUL in a name") << QStringLiteral("nul_name.zip");
        QTest::newRow("right-to-left override") << QStringLiteral("bidi.zip");
        QTest::newRow("control character") << QStringLiteral("control.zip");
        QTest::newRow("FIFO entry") << QStringLiteral("fifo.zip");
        QTest::newRow("device entry") << QStringLiteral("device.zip");
        QTest::newRow("file written through a link") << QStringLiteral("dirlink.zip");
        QTest::newRow("backslashes and dot-dot") << QStringLiteral("backslash.zip");
        QTest::newRow("drive letter") << QStringLiteral("drive.zip");
        QTest::newRow("drive-relative name") << QStringLiteral("drive_relative.zip");
        QTest::newRow("two entries, one name") << QStringLiteral("duplicate.zip");
        QTest::newRow("inflates 1:1000") << QStringLiteral("bomb.zip");
        QTest::newRow("header lies about sizes") << QStringLiteral("lying_size.zip");
        QTest::newRow("damaged data") << QStringLiteral("corrupt.zip");
        QTest::newRow("truncated") << QStringLiteral("truncated.zip");
    }

    // A refused archive gives the empty result and leaves the folder (and its parent) exactly
    // as they were, without even its harmless entries: a folder holding a file, and an empty
    // one, which the files are inflated straight into.
    void hostileArchiveRefused() {
        QFETCH(QString, archive);
        const QString parent = newFolder(QStringLiteral("hostile-") + archive);
        const QString target = newFolder(QStringLiteral("hostile-") + archive + "/inner");
        const QString empty = newFolder(QStringLiteral("hostile-") + archive + "/empty");
        writeFile(target + QStringLiteral("keep.txt"), "mine");

        QCOMPARE(extract(fixture(archive), target), QString());
        QCOMPARE(extract(fixture(archive), empty), QString());
        QCOMPARE(entriesOf(target), QStringList{QStringLiteral("keep.txt")});
        QCOMPARE(entriesOf(empty), QStringList());
        QCOMPARE(entriesOf(parent),
                 QStringList({QStringLiteral("empty"), QStringLiteral("inner")}));
        QCOMPARE(readFile(target + QStringLiteral("keep.txt")), QByteArray("mine"));
        QVERIFY(!QFileInfo::exists(QStringLiteral("/tmp/corvane-evil.txt")));
    }

    // Names without the UTF-8 flag that are valid UTF-8 (Linux and macOS tools) read as
    // UTF-8; two directory records of one entry give that entry once.
    void readableArchives_data() {
        QTest::addColumn<QString>("archive");
        QTest::addColumn<QStringList>("entries");
        QTest::newRow("UTF-8 without the flag")
            << QStringLiteral("utf8_noflag.zip") << QStringList{QStringLiteral("审计报告.doc")};
        QTest::newRow("overlapping entries")
            << QStringLiteral("overlap.zip")
            << QStringList{QStringLiteral("good.txt"), QStringLiteral("x.txt")};
    }
    void readableArchives() {
        QFETCH(QString, archive);
        QFETCH(QStringList, entries);
        const QString target = newFolder(QStringLiteral("readable-") + archive);
        QCOMPARE(extract(fixture(archive), target), target);
        QCOMPARE(entriesOf(target), entries);
    }

    // A later entry whose name a folder of the target holds: nothing at all is placed.
    void aFolderInTheWayPlacesNothing() {
        const QString target = newFolder(QStringLiteral("in-the-way"));
        QVERIFY(QDir().mkpath(target + QStringLiteral("工作底稿.xls")));
        QCOMPARE(extract(fixture(QStringLiteral("legacy_cp936.zip")), target), QString());
        QCOMPARE(entriesOf(target), QStringList{QStringLiteral("工作底稿.xls")});
    }

    // Staging folders of interrupted extractions go at the start of the next one; that of a
    // running process stays.
    void staleStagingFoldersAreRemoved() {
        const QString target = newFolder(QStringLiteral("stale"));
        const QString live =
            QStringLiteral(".corvane-unpack-%1-Live01").arg(QCoreApplication::applicationPid());
        for (const QString& folder : {QStringLiteral(".corvane-unpack-AbCd12/sub"),
                                      QStringLiteral(".corvane-unpack-999999999-AbCd12"), live})
            QVERIFY(QDir().mkpath(target + folder));
        writeFile(target + QStringLiteral(".corvane-unpack-AbCd12/sub/big.bin"), "left over");
        QCOMPARE(extract(fixture(QStringLiteral("utf8_noflag.zip")), target), target);
        QCOMPARE(entriesOf(target), (QStringList{live, QStringLiteral("审计报告.doc")}));
    }

    // A link already in the target is replaced, never written through.
    void extractionDoesNotFollowLinksInTarget() {
        const QString source = newFolder(QStringLiteral("link-source"));
        writeFile(source + QStringLiteral("good.txt"), "new");
        const QString archive = path(QStringLiteral("link.zip"));
        QCOMPARE(compress(source, archive), archive);

        const QString outside = path(QStringLiteral("outside.txt"));
        writeFile(outside, "mine");
        const QString target = newFolder(QStringLiteral("link-target"));
        QVERIFY(QFile::link(outside, target + QStringLiteral("good.txt")));

        QCOMPARE(extract(archive, target), target);
        QCOMPARE(readFile(outside), QByteArray("mine"));
        QVERIFY(!QFileInfo(target + QStringLiteral("good.txt")).isSymLink());
        QCOMPARE(readFile(target + QStringLiteral("good.txt")), QByteArray("new"));
    }

    void extractionStopsAtBounds_data() {
        QTest::addColumn<qint64>("entries");
        QTest::addColumn<qint64>("bytes");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("within bounds") << qint64(3) << qint64(200002) << true;
        QTest::newRow("too many entries") << qint64(2) << (qint64(1) << 30) << false;
        QTest::newRow("inflates too much") << qint64(3) << qint64(200001) << false;
    }

    // The bound on bytes counts what is inflated, not what the archive declares or stores.
    void extractionStopsAtBounds() {
        QFETCH(qint64, entries);
        QFETCH(qint64, bytes);
        QFETCH(bool, accepted);
        const QString source = newFolder(QStringLiteral("bounds-source"));
        writeFile(source + QStringLiteral("a.txt"), "a");
        writeFile(source + QStringLiteral("b.txt"), "b");
        writeFile(source + QStringLiteral("big.bin"), QByteArray(200000, 'x'));
        const QString archive = path(QStringLiteral("bounds.zip"));
        QCOMPARE(compress(source, archive), archive);
        QVERIFY(QFileInfo(archive).size() < 10000);

        const QString target = newFolder(QStringLiteral("bounds-") + QTest::currentDataTag());
        const corvane::ExtractLimits limits{entries, bytes};
        if (accepted) {
            QCOMPARE(corvane::extractArchive(archive, target, limits), target);
            QCOMPARE(entriesOf(target).size(), 3);
        } else {
            QVERIFY_THROWS_EXCEPTION(std::runtime_error,
                                     corvane::extractArchive(archive, target, limits));
            QCOMPARE(entriesOf(target), QStringList());
        }
    }

    // A package of a firm's catalogue: more entries than the 16-bit count of a zip's end record
    // holds, so the archive carries ZIP64 end records both ways, within the default bounds.
    void defaultBoundsTakeLargePackages() {
        const QString source = newFolder(QStringLiteral("large-source"));
        constexpr int kFiles = 0xFFFF + 100;
        for (int i = 0; i < kFiles; ++i)
            writeFile(source + QString::number(i) + QStringLiteral(".doc"), "d");
        const QString archive = path(QStringLiteral("large.zip"));
        QCOMPARE(compress(source, archive), archive);
        QVERIFY(readFile(archive).right(22 + 20).startsWith("PK\x06\x07"));
        const QString target = newFolder(QStringLiteral("large-target"));
        QCOMPARE(corvane::extractArchive(archive, target), target);
        QCOMPARE(QDir(target).entryList(QDir::Files).size(), kFiles);
        QCOMPARE(readFile(target + QStringLiteral("65600.doc")), QByteArray("d"));
    }

    // A small archive given ZIP64 end records, as a large one has them: read when they tell the
    // truth, refused when the count or an offset in them lies.
    void zip64EndRecords_data() {
        QTest::addColumn<qint64>("countDelta");
        QTest::addColumn<qint64>("directoryDelta");
        QTest::addColumn<qint64>("recordDelta");
        QTest::addColumn<bool>("readable");
        QTest::newRow("true records") << 0LL << 0LL << 0LL << true;
        QTest::newRow("one entry less counted") << -1LL << 0LL << 0LL << false;
        QTest::newRow("one entry more counted") << 1LL << 0LL << 0LL << false;
        QTest::newRow("directory offset off by one") << 0LL << 1LL << 0LL << false;
        QTest::newRow("directory beyond the file") << 0LL << (1LL << 40) << 0LL << false;
        QTest::newRow("locator points elsewhere") << 0LL << 0LL << -4LL << false;
    }
    void zip64EndRecords() {
        QFETCH(qint64, countDelta);
        QFETCH(qint64, directoryDelta);
        QFETCH(qint64, recordDelta);
        QFETCH(bool, readable);
        const QString source = newFolder(QStringLiteral("zip64-source"));
        for (const char* name : {"a.txt", "b.txt", "c.txt"})
            writeFile(source + QLatin1String(name), name);
        const QString plain = path(QStringLiteral("zip64-plain.zip"));
        QCOMPARE(compress(source, plain), plain);
        const QByteArray plainZip = readFile(plain);
        QVERIFY(plainZip.right(22).startsWith("PK\x05\x06"));
        QCOMPARE(quint8(plainZip[plainZip.size() - 22 + 10]), quint8(3)); // the entries counted
        const QByteArray zip =
            withZip64EndRecords(plainZip, countDelta, directoryDelta, recordDelta);
        const QString archive = path(QStringLiteral("zip64-%1.zip").arg(QTest::currentDataTag()));
        writeFile(archive, zip);

        const QString target = newFolder(QStringLiteral("zip64-%1").arg(QTest::currentDataTag()));
        if (readable) {
            QCOMPARE(extract(archive, target), target);
            QCOMPARE(entriesOf(target),
                     QStringList({QStringLiteral("a.txt"), QStringLiteral("b.txt"),
                                  QStringLiteral("c.txt")}));
        } else {
            QCOMPARE(extract(archive, target), QString());
            QCOMPARE(entriesOf(target), QStringList());
        }
    }

    void extractionProgress_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("zip64");
        QTest::addColumn<double>("movesPast");
        // Here the package read is a tenth of the work, the rest the files written.
        QTest::newRow("the host unpacks") << "host" << false << 0.0;
        QTest::newRow("files written by quarters") << "write" << false << 0.2;
        QTest::newRow("files written by quarters, ZIP64 end records") << "write" << true << 0.2;
    }

    // The plug-in's view of an extraction, in bytes of the package: from none to all of them,
    // never back. It moves on as the files are written, not only as the package is read (the
    // zip directory, ZIP64 or not, tells how many and how large they are).
    void extractionProgress() {
        QFETCH(QString, how);
        QFETCH(bool, zip64);
        QFETCH(double, movesPast);
        const QString tag = QString::fromLatin1(QTest::currentDataTag());
        const QString source = newFolder(QStringLiteral("progress-source"));
        for (int i = 0; i < 4; ++i) {
            QByteArray bytes(256 << 10, Qt::Uninitialized); // random: stored, not deflated
            QRandomGenerator(i).fillRange(reinterpret_cast<quint32*>(bytes.data()),
                                          bytes.size() / 4);
            writeFile(source + QStringLiteral("%1.bin").arg(i), bytes);
        }
        for (int i = 0; i < 200; ++i)
            writeFile(source + QStringLiteral("t%1.txt").arg(i), "t");
        const QString plain = path(QStringLiteral("progress.zip"));
        QCOMPARE(compress(source, plain), plain);
        const QString archive = path(QStringLiteral("progress-%1.zip").arg(tag));
        writeFile(archive, zip64 ? withZip64EndRecords(readFile(plain)) : readFile(plain));
        const qint64 size = QFileInfo(archive).size();

        const QString target = newFolder(QStringLiteral("progress-") + tag);
        const QStringList names = QDir(source).entryList(QDir::Files);
        const auto pauseAfterQuarter = [&](qsizetype i) {
            if ((i + 1) % (names.size() / 4) == 0)
                QThread::msleep(300);
        };
        const auto unpack = [&] {
            if (how == "host")
                return extract(archive, target);
            readFile(archive);
            for (qsizetype i = 0; i < names.size(); ++i) {
                QFile file(target + names[i]);
                if (!file.open(QIODevice::WriteOnly) || file.write(readFile(source + names[i])) < 0)
                    return QString();
                file.close();
                pauseAfterQuarter(i);
            }
            return target;
        };
        QList<std::pair<qint64, qint64>> seen;
        QCOMPARE(zq::runWithExtractProgress(unpack, archive,
                                            [&](qint64 done, qint64 total) {
                                                seen.append({done, total});
                                            }),
                 target);
        QCOMPARE(QDir(target).entryList(QDir::Files), names);
        QCOMPARE(seen.first(), std::pair(qint64(0), size));
        QCOMPARE(seen.last(), std::pair(size, size));
        for (qsizetype i = 1; i < seen.size(); ++i) {
            QCOMPARE(seen[i].second, size);
            QVERIFY2(seen[i].first >= seen[i - 1].first, qPrintable(QString::number(i)));
        }
        if (how != "host")
            QVERIFY(std::any_of(seen.cbegin(), seen.cend(), [&](const auto& step) {
                return step.first > size * movesPast && step.first < size;
            }));
    }

    void importNewResTypes_data() {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("type");
        QTest::newRow("doc") << QStringLiteral("审计报告.doc") << QByteArray("x") << "WORD";
        QTest::newRow("docx") << QStringLiteral("报告.docx") << QByteArray("x") << "WORD";
        QTest::newRow("XLS capitals") << QStringLiteral("表.XLS") << QByteArray("x") << "EXCEL";
        QTest::newRow("xlsx") << QStringLiteral("表.xlsx") << QByteArray("x") << "EXCEL";
        QTest::newRow("pdf") << QStringLiteral("scan.pdf") << QByteArray("x") << "PDF";
        QTest::newRow("txt") << QStringLiteral("说明.txt") << QByteArray("x") << "TEXT";
        QTest::newRow("csv") << QStringLiteral("数据.csv") << QByteArray("a,b") << "OTHER";
        QTest::newRow("pdf content") << QStringLiteral("扫描件") << QByteArray("%PDF-1.4") << "PDF";
    }

    // An existing file gets its data type and keywords from its name and class.
    void importNewResTypes() {
        QFETCH(QString, fileName);
        QFETCH(QByteArray, content);
        QFETCH(QString, type);
        const QString file = newFolder(QStringLiteral("store")) + fileName;
        writeFile(file, content);

        char* name = strdup(gb(QStringLiteral("年度 审计_报告")).constData());
        char* description = nullptr;
        char* typeName = nullptr;
        char* keyword = nullptr;
        QCOMPARE(ZQImportNewRes(&name, &typeName, &description, &keyword, gb(file).constData(),
                                gb(QStringLiteral("审计计划\\审计通知")).constData(), 1),
                 0);
        QCOMPARE(take(typeName), type);
        QCOMPARE(take(keyword), QStringLiteral("年度 审计 报告 审计通知"));
        std::free(name);
        std::free(description);
    }

    void importNewResRefusesMissingFile() {
        char* typeName = nullptr;
        char* keyword = nullptr;
        QVERIFY(ZQImportNewRes(nullptr, &typeName, nullptr, &keyword,
                               gb(path(QStringLiteral("无此文件.doc"))).constData(), "", 1) < 0);
        QCOMPARE(typeName, nullptr);
        QCOMPARE(keyword, nullptr);
    }

    void registrationRefusedWithoutUsableProject_data() {
        QTest::addColumn<QString>("serial");
        QTest::newRow("no project") << QString();
        QTest::newRow("test project") << QStringLiteral("PROJECTTEST");
        QTest::newRow("test project, mixed case") << QStringLiteral("ProjectTest");
    }

    void registrationRefusedWithoutUsableProject() {
        QFETCH(QString, serial);
        corvane::setProjectSerial(serial);
        const QString file = newFolder(QStringLiteral("refused")) + QStringLiteral("a.doc");
        writeFile(file, "doc");

        QCOMPARE(take(ZQGetCurPrjSerial()), serial);
        char* resText = nullptr;
        QVERIFY(ZQDoResTypeProc("WORD", "a", gb(file).constData(), &resText) < 0);
        QCOMPARE(resText, nullptr);
        const QByteArray uuid =
            gb(take(ZQGetCurUUID("", "", "WWW", "", gb(file).constData(), "XMGL", -1, 20, 1)));
        QVERIFY(RegisterDataExN("WORD", "a", uuid.constData(), "") < 0);
        QVERIFY(RegisterDataN("WORD", "", uuid.constData()) < 0);
        QVERIFY(corvane::projectItems().isEmpty());
        QVERIFY(!QFileInfo::exists(path(QStringLiteral("data/Projects"))));
    }

    // The sequence of a registration: the item gets an identifier, its information text has
    // the caption as its second field, and its own copy of the file in the project's folder.
    void registrationMakesDataItem() {
        const QString serial = QStringLiteral("XM-测试-01");
        corvane::setProjectSerial(serial);
        const QString file = newFolder(QStringLiteral("register")) + QStringLiteral("通知书.doc");
        writeFile(file, "template body");

        QCOMPARE(take(ZQGetCurPrjSerial()), serial);
        char* resText = nullptr;
        QVERIFY(ZQDoResTypeProc("WORD", gb(QStringLiteral("通知书")).constData(),
                                gb(file).constData(), &resText) >= 0);
        const QString text = take(resText);
        QCOMPARE(text, QStringLiteral("Word文档"));
        SetOldParentID(-1);
        QCOMPARE(GetOldParentID(), -1);
        const QByteArray uuid =
            gb(take(ZQGetCurUUID(gb(QStringLiteral("说明")).constData(), "", "WWW", "",
                                 gb(file).constData(), "XMGL", GetOldParentID(), 20, 1)));
        QVERIFY(!uuid.isEmpty());
        const int id = RegisterDataExN("WORD", gb(QStringLiteral("通知书")).constData(),
                                       uuid.constData(), gb(text).constData());
        QVERIFY(id > 0);

        const QStringList fields = take(GetDataInfo(id)).split(QStringLiteral("@&@"));
        QVERIFY(fields.size() >= 3);
        QCOMPARE(fields[1], QStringLiteral("通知书"));
        const QString copy = take(LoadDataFileName(id));
        QCOMPARE(QFileInfo(copy).absolutePath(),
                 QDir(path(QStringLiteral("data/Projects/")) + serial).absolutePath());
        QCOMPARE(readFile(copy), QByteArray("template body"));
        QVERIFY(copy != file);

        // A second registration of the same file gets its own item and its own copy.
        const int second = RegisterDataN("WORD", "", uuid.constData());
        QVERIFY(second > id);
        QVERIFY(take(LoadDataFileName(second)) != copy);
        QCOMPARE(corvane::projectItems().size(), 2);
        // Items of another project are not this project's.
        corvane::setProjectSerial(QStringLiteral("XM-other"));
        QCOMPARE(take(GetDataInfo(id)), QString());
        QCOMPARE(take(LoadDataFileName(id)), QString());
    }

    void tempFolderEndsWithSeparator() {
        const QString folder = take(GetZQTempPathY());
        QVERIFY(folder.endsWith(QLatin1Char('/')));
        QVERIFY(QFileInfo(folder).isDir());
    }
};

QTEST_GUILESS_MAIN(TstHostServices)
#include "tst_host_services.moc"
