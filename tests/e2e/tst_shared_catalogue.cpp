// Two workstations on one catalogue: the suite copies its own executable into two host folders
// and runs each copy as a stand-in host with the plug-in loaded by name; each run works the
// manager window through its actions and prints what it saw. The catalogue is the PostgreSQL
// server of the test run.

#include "Archive.h"
#include "HostCore.h"
#include "HostDatabase.h"
#include "MainWindow.h"
#include "PluginLibrary.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileDialog>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QtTest>
#include <cstdio>
#include <memory>

namespace {

const QString kStore = QStringLiteral("APP/Config/XTGL/DocTemplate/");

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

// One workstation's run: the host with the manager window open, commands taken in order,
// one line of output for what each one saw.
class Workstation {
public:
    explicit Workstation(const QString& database) {
        corvane::HostOptions options;
        options.database = database;
        corvane::startHost(options);
        m_plugin = std::make_unique<corvane::PluginLibrary>();
        m_window = std::make_unique<corvane::MainWindow>(*m_plugin);
        m_window->show();
        // Answers the plug-in's modal windows: the add dialog with the pending values, a
        // question with OK; any other message is printed and closed.
        QObject::connect(&m_modals, &QTimer::timeout, [this] { answerModal(); });
        m_modals.start(20);
        m_window->runApp(1);
    }
    ~Workstation() {
        m_modals.stop();
        m_window.reset();
        m_plugin.reset();
        corvane::stopHost();
    }

    void run(const QString& command) {
        const QStringList f = command.split(QLatin1Char('|'));
        const QString& op = f[0];
        if (op == QLatin1String("add")) {
            m_addValues = f.mid(1);
            trigger("ActAddDoc");
        } else if (op == QLatin1String("open") || op == QLatin1String("reg") ||
                   op == QLatin1String("delete")) {
            if (!selectRow(f[1]))
                return print(QStringLiteral("no row ") + f[1]);
            trigger(op == QLatin1String("open")  ? "ActeditDoc"
                    : op == QLatin1String("reg") ? "ActReg"
                                                 : "ActDeleteDoc");
        } else if (op == QLatin1String("search-open")) {
            // Found by name in the search window and opened from there; the search closes.
            m_searchName = f[1];
            trigger("ActSearch");
        } else if (op == QLatin1String("export")) {
            m_exportPath = f[1];
            trigger("ActExport");
        } else if (op == QLatin1String("write")) {
            writeFile(storePath(f[1]), f[2].toUtf8());
        } else if (op == QLatin1String("show")) {
            print(f[1] + QStringLiteral(": ") + QString::fromUtf8(readFile(storePath(f[1]))));
        } else if (op == QLatin1String("rows")) {
            QStringList captions;
            const QAbstractItemModel* rows =
                manager()->findChild<QAbstractItemView*>(QStringLiteral("lvwLog"))->model();
            for (int i = 0; i < rows->rowCount(); ++i)
                captions.append(rows->index(i, 0).data().toString());
            print(QStringLiteral("rows: ") + captions.join(QLatin1Char(',')));
        } else if (op == QLatin1String("class")) {
            // The manager tree's node of the name, selected with its ancestors open.
            QTreeWidgetItem* node = classNode(f[1]);
            if (!node)
                return print(QStringLiteral("no class ") + f[1]);
            for (QTreeWidgetItem* up = node->parent(); up; up = up->parent())
                up->setExpanded(true);
            classTree()->setCurrentItem(node);
        } else if (op == QLatin1String("rename")) {
            m_className = f[1];
            trigger("ActiEdit");
        } else if (op == QLatin1String("move")) {
            m_moveTarget = f[1];
            trigger("ActMoveTo");
        } else if (op == QLatin1String("delete-class")) {
            trigger("ActDelete");
        } else if (op == QLatin1String("ready")) {
            print(op);
        } else if (op == QLatin1String("follow")) {
            // Waits for the manager's tree and the host's GetDocList tree to show what another
            // workstation did, without any action here.
            QDeadlineTimer deadline(15000);
            while ((managerTree() != f[1] || hostTree() != f[2]) && !deadline.hasExpired())
                QTest::qWait(20);
            print(QStringLiteral("manager: ") + managerTree());
            print(QStringLiteral("host: ") + hostTree());
        } else if (op == QLatin1String("refresh")) {
            trigger("ActRefresh");
        } else if (op == QLatin1String("wait-stored")) {
            // Waits until the catalogue holds these bytes of the file, sent by another
            // workstation.
            const QString sha256 = QString::fromLatin1(
                QCryptographicHash::hash(f[2].toUtf8(), QCryptographicHash::Sha256).toHex());
            QDeadlineTimer deadline(15000);
            while (storedSha256(f[1]) != sha256 && !deadline.hasExpired())
                QTest::qWait(50);
            if (storedSha256(f[1]) != sha256)
                print(f[1] + QStringLiteral(" never stored"));
        } else if (op == QLatin1String("wait-upload")) {
            // The file watcher sends a change made here without any action.
            const QString local = QString::fromLatin1(
                QCryptographicHash::hash(readFile(storePath(f[1])), QCryptographicHash::Sha256)
                    .toHex());
            const auto stored = [&] { return storedSha256(f[1]); };
            QDeadlineTimer deadline(10000);
            while (stored() != local && !deadline.hasExpired())
                QTest::qWait(50);
            print(f[1] +
                  (stored() == local ? QStringLiteral(" sent") : QStringLiteral(" not sent")));
        } else if (op == QLatin1String("calls")) {
            // The stored paths the host was handed, relative to the host folder.
            QStringList paths;
            QFile log(QString::fromLocal8Bit(qgetenv("CORVANE_CALL_LOG")));
            log.open(QIODevice::ReadOnly);
            while (!log.atEnd()) {
                const QJsonObject call = QJsonDocument::fromJson(log.readLine()).object();
                if (call.value(QStringLiteral("op")).toString() == f[1])
                    paths.append(call.value(QStringLiteral("args"))
                                     .toArray()
                                     .at(f[2].toInt())
                                     .toString()
                                     .remove(corvane::hostFolder()));
            }
            print(f[1] + QStringLiteral(": ") + paths.join(QLatin1Char(',')));
        } else {
            print(QStringLiteral("unknown command ") + op);
        }
    }

private:
    static void print(const QString& line) {
        std::printf("%s\n", line.toUtf8().constData());
        std::fflush(stdout);
    }
    static QString storedSha256(const QString& fileName) {
        return corvane::queryValue(
                   corvane::hostDatabase(),
                   QStringLiteral(
                       "select FileSha256 from ZQ_DocTemplateFile where DocFileName = ?"),
                   {fileName})
            .toString();
    }
    static QString storePath(const QString& name) { return corvane::hostFolder() + kStore + name; }

    QTreeWidget* classTree() const {
        return manager()->findChild<QTreeWidget*>(QStringLiteral("tvwOrg"));
    }
    QTreeWidgetItem* classNode(const QString& name) const {
        return classTree()->findItems(name, Qt::MatchExactly | Qt::MatchRecursive).value(0);
    }
    // The manager's classes in tree order, "+" for an open node, "*" for the selected one.
    QString managerTree() const {
        QStringList nodes;
        for (QTreeWidgetItemIterator it(classTree()); *it; ++it)
            nodes.append((*it)->text(0) + ((*it)->isExpanded() ? "+" : "") +
                         ((*it)->isSelected() ? "*" : ""));
        return nodes.join(QLatin1Char(' '));
    }
    QString hostTree() const {
        QStringList nodes;
        for (QTreeWidgetItemIterator it(m_window->docTree()); *it; ++it)
            nodes.append((*it)->text(0));
        return nodes.join(QLatin1Char(' '));
    }

    QWidget* manager() const {
        return m_window->mdiArea()->findChild<QWidget*>(QStringLiteral("FrmZQDocTemplateMG"));
    }
    void trigger(const char* name) {
        manager()->findChild<QAction*>(QString::fromLatin1(name))->trigger();
    }
    bool selectRow(const QString& caption) {
        auto* list = manager()->findChild<QAbstractItemView*>(QStringLiteral("lvwLog"));
        const QModelIndexList found = list->model()->match(
            list->model()->index(0, 0), Qt::DisplayRole, caption, 1, Qt::MatchExactly);
        if (found.isEmpty())
            return false;
        list->setCurrentIndex(found.first());
        return true;
    }

    // Pressed from the event loop, so that a window the press opens is answered in turn.
    static void press(QAbstractButton* button) {
        QMetaObject::invokeMethod(button, &QAbstractButton::click, Qt::QueuedConnection);
    }

    void answerModal() {
        QWidget* modal = QApplication::activeModalWidget();
        // Each window is answered once; its answer may still be on its way, and a window that
        // comes back to the front after answering another is not answered again.
        if (!modal || m_answered.contains(modal))
            return;
        m_answered.append(modal);
        if (modal->objectName() == QLatin1String("FrmAddTemplateClass")) {
            modal->findChild<QLineEdit*>(QStringLiteral("Edt_DocSortName"))->setText(m_className);
            press(modal->findChild<QPushButton*>(QStringLiteral("BtBtnOK")));
        } else if (modal->objectName() == QLatin1String("Frm_modeTree")) {
            auto* tree = modal->findChild<QTreeWidget*>(QStringLiteral("tvwOrg"));
            tree->setCurrentItem(
                tree->findItems(m_moveTarget, Qt::MatchExactly | Qt::MatchRecursive).value(0));
            press(modal->findChild<QPushButton*>(QStringLiteral("RzBitBtn1")));
        } else if (modal->objectName() == QLatin1String("FrmAddTemplateDoc")) {
            modal->findChild<QLineEdit*>(QStringLiteral("Edt_ChoDoc"))->setText(m_addValues[0]);
            modal->findChild<QLineEdit*>(QStringLiteral("Edt_DocName"))->setText(m_addValues[1]);
            press(modal->findChild<QPushButton*>(QStringLiteral("BtBtnOK")));
        } else if (modal->objectName() == QLatin1String("FrmZQTemplateDocPack")) {
            modal->findChild<QTreeWidget*>(QStringLiteral("tvwOrg"))
                ->topLevelItem(0)
                ->setCheckState(0, Qt::Checked);
            press(modal->findChild<QPushButton*>(QStringLiteral("BtBtnOK")));
        } else if (modal->objectName() == QLatin1String("Frm_findDoc")) {
            modal->findChild<QCheckBox*>(QStringLiteral("ChkBoxModeName"))->setChecked(true);
            modal->findChild<QLineEdit*>(QStringLiteral("edtModeName"))->setText(m_searchName);
            modal->findChild<QPushButton*>(QStringLiteral("BtnSerch"))->click();
            auto* results = modal->findChild<QAbstractItemView*>(QStringLiteral("lvwLog"));
            results->setCurrentIndex(results->model()->index(0, 0));
            modal->findChild<QAction*>(QStringLiteral("actActeditDoc"))->trigger();
            QMetaObject::invokeMethod(modal, "reject", Qt::QueuedConnection);
        } else if (auto* chooser = qobject_cast<QFileDialog*>(modal)) {
            // The name typed in full: selectFile races the dialog's own start-up.
            chooser->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(m_exportPath);
            QMetaObject::invokeMethod(chooser, "accept", Qt::QueuedConnection);
        } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            print(QStringLiteral("message: ") + box->text());
            QAbstractButton* ok = box->button(QMessageBox::Ok);
            press(ok ? ok : box->buttons().value(0));
        } else {
            print(QStringLiteral("unexpected window ") + modal->objectName());
            modal->close();
        }
    }

    std::unique_ptr<corvane::PluginLibrary> m_plugin;
    std::unique_ptr<corvane::MainWindow> m_window;
    QTimer m_modals;
    QStringList m_addValues;
    QString m_searchName;
    QString m_exportPath;
    QString m_className;
    QString m_moveTarget;
    QList<QPointer<QWidget>> m_answered;
};

} // namespace

class TstSharedCatalogue : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_database;
    QSqlDatabase m_db;

    QString hostFolder(int workstation) const {
        return m_dir.filePath(QStringLiteral("workstation%1/").arg(workstation));
    }
    QString storePath(int workstation, const QString& name) const {
        return hostFolder(workstation) + kStore + name;
    }

    // Starts a host from the workstation's folder on the commands.
    void start(QProcess& process, int workstation, const QStringList& commands) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("LD_LIBRARY_PATH"), QCoreApplication::applicationDirPath());
        env.insert(QStringLiteral("CORVANE_NO_VIEWER"), QStringLiteral("1"));
        env.insert(QStringLiteral("CORVANE_CALL_LOG"), hostFolder(workstation) + "calls.jsonl");
        process.setProcessEnvironment(env);
        process.start(hostFolder(workstation) + "tst_shared_catalogue",
                      QStringList{QStringLiteral("--workstation"), m_database} + commands);
    }

    // The next line a started host prints; empty when none comes in time.
    static QString nextLine(QProcess& process) {
        QDeadlineTimer deadline(30000);
        while (!process.canReadLine() && !deadline.hasExpired())
            process.waitForReadyRead(100);
        return QString::fromUtf8(process.readLine()).trimmed();
    }

    // Runs the commands in a host started from the workstation's folder; gives its lines.
    QStringList run(int workstation, const QStringList& commands) {
        QProcess process;
        start(process, workstation, commands);
        if (!process.waitForFinished(60000))
            process.kill();
        const QByteArray errors = process.readAllStandardError();
        if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
            qWarning("workstation %d failed: %s", workstation, errors.constData());
        return QString::fromUtf8(process.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    }

    int fileRows() {
        return corvane::queryValue(m_db, QStringLiteral("select count(*) from ZQ_DocTemplateFile"))
            .toInt();
    }

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        for (int workstation : {1, 2}) {
            QVERIFY(QDir().mkpath(hostFolder(workstation)));
            QVERIFY(QFile::copy(QCoreApplication::applicationFilePath(),
                                hostFolder(workstation) + "tst_shared_catalogue"));
        }
        const QString url = qEnvironmentVariable("ZQ_TEST_DATABASE");
        QVERIFY2(!url.isEmpty(), "needs a PostgreSQL server in ZQ_TEST_DATABASE");
        m_database = url;
        m_db = corvane::openHostDatabase(QStringLiteral("driver"), m_database, url);
        corvane::createHostSchema(m_db);
        corvane::clearCatalogue(m_db);
        // The plug-in makes its table on first use.
        corvane::runQuery(m_db, QStringLiteral("drop table if exists ZQ_DocTemplateFile"));
        QVERIFY(writeFile(m_dir.filePath("source/plan.doc"), "plan, first version"));
    }

    void cleanupTestCase() {
        m_db.close();
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("driver"));
    }

    // Added on the first workstation, the template is opened, registered and exported on the
    // second, which had never seen its file.
    void addedOnOneUsedOnTheOther() {
        QCOMPARE(run(1, {"add|" + m_dir.filePath("source/plan.doc") + "|计划", "rows"}),
                 QStringList{"rows: 计划"});
        QCOMPARE(fileRows(), 1);
        QCOMPARE(run(2, {"show|plan.doc", "open|计划", "show|plan.doc", "reg|计划",
                         "calls|ViewFile|0", "calls|ZQGetCurUUID|4"}),
                 (QStringList{"plan.doc: <missing>", "plan.doc: plan, first version",
                              "ViewFile: " + kStore + "plan.doc",
                              "ZQGetCurUUID: " + kStore + "plan.doc"}));

        // An export on the second workstation fetches what it lacks first.
        QVERIFY(QFile::remove(storePath(2, "plan.doc")));
        const QString package = m_dir.filePath("second.TempFile");
        QCOMPARE(run(2, {"export|" + package}), QStringList{"message: 模板文件导出成功！"});
        const QString unpacked = m_dir.filePath("unpacked/");
        QVERIFY(QDir().mkpath(unpacked));
        corvane::extractArchive(package, unpacked);
        QCOMPARE(readFile(unpacked + "plan.doc"), QByteArray("plan, first version"));
    }

    // Changed on the second workstation, the file reaches the first, and a damaged copy on
    // the first is put right from the catalogue.
    void editTravelsBack() {
        QCOMPARE(
            run(2, {"open|计划", "write|plan.doc|plan, second version", "wait-upload|plan.doc"}),
            QStringList{"plan.doc sent"});
        QCOMPARE(run(1, {"open|计划", "show|plan.doc"}),
                 QStringList{"plan.doc: plan, second version"});

        // The same through the refresh, without waiting for the watcher.
        QCOMPARE(run(1, {"open|计划", "write|plan.doc|plan, third", "refresh"}), QStringList());
        QVERIFY(writeFile(storePath(2, "plan.doc"), "plan, THIRD")); // same size, other bytes
        QCOMPARE(run(2, {"open|计划", "show|plan.doc"}), QStringList{"plan.doc: plan, third"});
    }

    // Opened from the search window, the file is watched as from the manager: the edit reaches
    // the catalogue, and the manager's next open does not put the old bytes back.
    void editFromSearchTravelsBack() {
        QCOMPARE(run(2, {"search-open|计划", "write|plan.doc|plan, from the search",
                         "wait-upload|plan.doc"}),
                 QStringList{"plan.doc sent"});
        QCOMPARE(run(1, {"open|计划", "show|plan.doc"}),
                 QStringList{"plan.doc: plan, from the search"});
        QCOMPARE(run(1, {"search-open|计划", "write|plan.doc|plan, searched again", "open|计划",
                         "show|plan.doc"}),
                 QStringList{"plan.doc: plan, searched again"});
        QCOMPARE(run(2, {"open|计划", "show|plan.doc"}),
                 QStringList{"plan.doc: plan, searched again"});
    }

    // Store files of a catalogue that predates the table go to the database when the manager
    // first opens on the workstation that has them; such a catalogue has no mark that its
    // store was looked through.
    void preexistingFilesUploadedOnFirstOpen() {
        corvane::runQuery(m_db, QStringLiteral("delete from ZQ_DocTemplateSetting"));
        corvane::runQuery(m_db,
                          QStringLiteral("insert into ZQ_DocTempDetail(DocCaption, DocFileName, "
                                         "DocMemo, DocSortID, DocTypeName, DocKeyWord) "
                                         "values('旧模板', 'legacy.doc', '', '', 'WORD', '')"));
        QVERIFY(writeFile(storePath(1, "legacy.doc"), "from before"));
        QCOMPARE(run(2, {"open|旧模板", "show|legacy.doc"}), QStringList{"legacy.doc: <missing>"});
        QCOMPARE(run(1, {"rows"}), QStringList{"rows: 计划,旧模板"});
        QCOMPARE(fileRows(), 2);
        QCOMPARE(run(2, {"open|旧模板", "show|legacy.doc"}),
                 QStringList{"legacy.doc: from before"});
    }

    // Deleted on the first workstation, the template leaves the second's list, and the
    // second's copy is not sent back.
    void deleteReachesOtherWorkstation() {
        QCOMPARE(run(1, {"delete|计划", "rows", "show|plan.doc"}),
                 (QStringList{"message: 确定删除该模板文件吗？", "rows: 旧模板",
                              "plan.doc: <missing>"}));
        QCOMPARE(fileRows(), 1);
        QCOMPARE(run(2, {"rows"}), QStringList{"rows: 旧模板"});
        QCOMPARE(fileRows(), 1);
    }

    // Two workstations edit one template: the second to save is asked, and keeping its own
    // bytes puts them over the first's in the catalogue.
    void secondEditIsAsked() {
        QProcess first;
        start(first, 1,
              {"open|旧模板", "ready", "wait-stored|legacy.doc|legacy, theirs",
               "write|legacy.doc|legacy, mine", "wait-upload|legacy.doc", "show|legacy.doc"});
        QCOMPARE(nextLine(first), QString("ready"));
        QCOMPARE(
            run(2, {"open|旧模板", "write|legacy.doc|legacy, theirs", "wait-upload|legacy.doc"}),
            QStringList{"legacy.doc sent"});
        QCOMPARE(nextLine(first),
                 QString("message: 模板“旧模板”在您编辑期间已被其他用户修改并保存。"));
        QCOMPARE(nextLine(first), QString("legacy.doc sent"));
        QCOMPARE(nextLine(first), QString("legacy.doc: legacy, mine"));
        QVERIFY(first.waitForFinished(30000));
        QCOMPARE(run(2, {"open|旧模板", "show|legacy.doc"}),
                 QStringList{"legacy.doc: legacy, mine"});
    }

    // A class renamed, moved and deleted on the first workstation shows on the second while
    // it is open, in its manager window and in the host's tree, keeping the open nodes and the
    // selection (the deleted one's nearest class above).
    void classChangesFollowLive() {
        for (const char* row :
             {"'0001', '甲'", "'00010001', '甲一'", "'00010002', '甲二'", "'0002', '乙'"})
            corvane::runQuery(m_db, QStringLiteral("insert into ZQ_DocInfoMaster(DocSortID, "
                                                   "DocSortName, DocSortMemo) values(%1, '')")
                                        .arg(QString::fromUtf8(row)));
        const QString root = QStringLiteral("文档模板分类信息");
        QProcess second;
        start(second, 2,
              {"class|甲一", "ready",
               "follow|" + root + "+ 甲改+ 甲一* 甲二 乙|" + root + " 甲改 甲一 甲二 乙",
               "follow|" + root + "+ 甲改+ 甲一* 乙 甲二|" + root + " 甲改 甲一 乙 甲二",
               "follow|" + root + "+ 甲改+* 乙 甲二|" + root + " 甲改 乙 甲二"});
        QCOMPARE(nextLine(second), QString("ready"));
        QCOMPARE(run(1, {"class|甲", "rename|甲改"}), QStringList());
        QCOMPARE(nextLine(second), "manager: " + root + "+ 甲改+ 甲一* 甲二 乙");
        QCOMPARE(nextLine(second), "host: " + root + " 甲改 甲一 甲二 乙");
        QCOMPARE(run(1, {"class|甲二", "move|乙"}), QStringList());
        QCOMPARE(nextLine(second), "manager: " + root + "+ 甲改+ 甲一* 乙 甲二");
        QCOMPARE(nextLine(second), "host: " + root + " 甲改 甲一 乙 甲二");
        QCOMPARE(run(1, {"class|甲一", "delete-class"}),
                 QStringList{"message: 确定删除该文档模板分类吗，此类别下的子类别同时将被删除？"});
        QCOMPARE(nextLine(second), "manager: " + root + "+ 甲改+* 乙 甲二");
        QCOMPARE(nextLine(second), "host: " + root + " 甲改 乙 甲二");
        QVERIFY(second.waitForFinished(30000));
    }
};

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.value(1) == QLatin1String("--workstation")) {
        try {
            Workstation workstation(args.value(2));
            for (const QString& command : args.mid(3))
                workstation.run(command);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "%s\n", e.what());
            return 1;
        }
        return 0;
    }
    TstSharedCatalogue test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_shared_catalogue.moc"
