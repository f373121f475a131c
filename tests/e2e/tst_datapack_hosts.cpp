// The data-pack cycle between two installations of the stand-in host, each a host folder with
// a catalogue and a template store of its own: corvane is copied into both and run once per
// step, its frames ticked from its command line. The first exports what is ticked, the second
// shows the pack and imports it; the second catalogue must then hold what was ticked, and
// nothing else of the first.

#include "DemoCatalogue.h"
#include "HostDatabase.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace zq::test;

namespace {

const QString kStore = QStringLiteral("APP/Config/XTGL/DocTemplate/");

} // namespace

class TstDataPackHosts : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    QString hostFolder(const QString& host) const { return m_dir.filePath(host) + '/'; }
    QString database(const QString& host) const { return hostFolder(host) + "Data/corvane.db"; }
    QString stored(const QString& host, const QString& name) const {
        return hostFolder(host) + kStore + name;
    }

    // A new catalogue with the sample classes and templates, changed by the statements.
    void makeCatalogue(const QString& host, const QStringList& statements) {
        QVERIFY(QDir().mkpath(hostFolder(host) + "Data"));
        QVERIFY(QFile::copy(QCoreApplication::applicationDirPath() + "/corvane",
                            hostFolder(host) + "corvane"));
        {
            QSqlDatabase db = corvane::openNamedDatabase(host, database(host));
            corvane::createHostSchema(db);
            corvane::seedDemoCatalogue(db, hostFolder(host) + kStore);
            for (const QString& statement : statements)
                corvane::runQuery(db, statement);
            db.close();
        }
        QSqlDatabase::removeDatabase(host);
    }

    // Each class as "code|name|memo" and each template as "caption|class|keywords|memo|file
    // name: its bytes in the store", in a fixed order.
    QStringList catalogue(const QString& host) {
        QStringList rows;
        {
            QSqlDatabase db = corvane::openNamedDatabase(host, database(host));
            QSqlQuery classes = corvane::runQuery(
                db, "select DocSortID, DocSortName, DocSortMemo from ZQ_DocInfoMaster "
                    "order by DocSortID");
            while (classes.next())
                rows.append(QStringList{classes.value(0).toString(), classes.value(1).toString(),
                                        classes.value(2).toString()}
                                .join('|'));
            QSqlQuery docs = corvane::runQuery(
                db, "select DocCaption, DocSortID, DocKeyWord, DocMemo, DocFileName from "
                    "ZQ_DocTempDetail order by DocFileName");
            while (docs.next()) {
                const QString file = docs.value(4).toString();
                rows.append(
                    QStringList{docs.value(0).toString(), docs.value(1).toString(),
                                docs.value(2).toString(), docs.value(3).toString(),
                                file + ": " + QString::fromUtf8(readFile(stored(host, file)))}
                        .join('|'));
            }
            db.close();
        }
        QSqlDatabase::removeDatabase(host);
        return rows;
    }

    // Runs the host's copy with its own catalogue; its exit status (-1 for a crash) and what it
    // printed.
    std::pair<int, QStringList> corvane(const QString& host, const QStringList& arguments) {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("LD_LIBRARY_PATH", QCoreApplication::applicationDirPath());
        process.setProcessEnvironment(env);
        process.start(hostFolder(host) + "corvane",
                      QStringList{"--database", database(host)} + arguments);
        if (!process.waitForFinished(60000))
            process.kill();
        const int status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        if (status != 0)
            qWarning("%s: %s", qPrintable(host), process.readAllStandardError().constData());
        return {status,
                QString::fromUtf8(process.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts)};
    }

private slots:
    // The first catalogue: the sample one, a class 审计档案 with two templates, a third template
    // in 风险评估, and its own bytes for 审计通知书. The second: the sample one, with the class
    // 审计通知 and its template 审计通知书 under older names and with other bytes.
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        makeCatalogue(
            "first",
            {"insert into ZQ_DocInfoMaster(DocSortID, DocSortName, DocSortMemo) "
             "values('0004', '审计档案', '归档的文书')",
             "insert into ZQ_DocTempDetail(DocCaption, DocFileName, DocMemo, DocSortID, "
             "DocTypeName, DocKeyWord) values('档案封面', '档案封面.txt', '封面格式', '0004', "
             "'TEXT', '档案 封面'), ('档案目录', '档案目录.txt', '', '0004', 'TEXT', ''), "
             "('风险清单', '风险清单.txt', '', '00010002', 'TEXT', '')"});
        for (const char* name : {"档案封面", "档案目录", "风险清单"})
            writeFile(stored("first", QString(name) + ".txt"),
                      QByteArray(name) + " of the first host");
        writeFile(stored("first", "审计通知书.txt"), "notice of the first host");
        makeCatalogue("second", {"update ZQ_DocInfoMaster set DocSortName = '旧通知', "
                                 "DocSortMemo = '旧说明' where DocSortID = '00010001'",
                                 "update ZQ_DocTempDetail set DocCaption = '旧通知书', "
                                 "DocKeyWord = '旧', DocMemo = '' where DocSortID = '00010001'"});
        writeFile(stored("second", "审计通知书.txt"), "notice of the second host");
    }

    // The first host exports the class 审计通知 (with its template) and the single template
    // 档案封面; the second shows the pack, every node ticked, and imports it. The second
    // catalogue then holds what was ticked, updated or added, with the first host's bytes,
    // and nothing that was left unticked.
    void cycleBetweenTwoHostFolders() {
        const QStringList before = catalogue("second");
        QVERIFY(before.value(7).startsWith("工作底稿索引|"));
        const QString pack = m_dir.filePath("templates.Pck");
        const QString picture = m_dir.filePath("export.png");
        const auto exported = corvane("first", {"--export-pack", pack, "--tick", "审计通知",
                                                "--tick", "档案封面", "--screenshot", picture});
        QCOMPARE(exported.first, 0);
        QVERIFY(QImage(picture).width() >= 600);
        QCOMPARE(exported.second.value(exported.second.size() - 1), "模板数据包已保存：" + pack);

        const auto imported = corvane("second", {"--import-pack", pack});
        QCOMPARE(imported.first, 0);
        QCOMPARE(imported.second,
                 (QStringList{"文档模板分类信息 [x]", "  审计计划 [x]", "    审计通知 [x]",
                              "      审计通知书 [x]", "  审计档案 [x]", "    档案封面 [x]",
                              "模板数据包已导入。"}));
        QCOMPARE(catalogue("second"),
                 (QStringList{
                     "0001|审计计划|计划阶段使用的文书", "00010001|审计通知|通知被审计单位的文书",
                     "00010002|风险评估|了解被审计单位及其环境", "0002|审计实施|实施阶段的工作底稿",
                     "00020001|工作底稿|通用工作底稿格式", "0003|审计报告|报告阶段的文书",
                     "0004|审计档案|归档的文书",
                     "审计通知书|00010001|审计 通知书|通知被审计单位的标准格式|"
                     "审计通知书.txt: notice of the first host",
                     before[7],
                     "档案封面|0004|档案 封面|封面格式|档案封面.txt: 档案封面 of the "
                     "first host"}));
        QVERIFY(!QFile::exists(stored("second", "档案目录.txt")));
        QVERIFY(!QFile::exists(stored("second", "风险清单.txt")));
    }

    // Only an empty class ticked: no pack is carried out, and the host says why.
    void exportWithNoTemplateTicked() {
        const QString pack = m_dir.filePath("empty.Pck");
        const auto exported = corvane("first", {"--export-pack", pack, "--tick", "审计报告"});
        QCOMPARE(exported.first, 1);
        QCOMPARE(exported.second.value(exported.second.size() - 1),
                 QStringLiteral("没有勾选任何模板，未生成数据包。"));
        QVERIFY(!QFile::exists(pack));
    }
};

QTEST_GUILESS_MAIN(TstDataPackHosts)
#include "tst_datapack_hosts.moc"
