#include "ui/VersionsWindow.h"

#include "platform/HostPlatform.h"
#include "util/Error.h"
#include "util/FileUtil.h"
#include "widgets/DialogService.h"

#include <QDir>
#include <QHBoxLayout>
#include <QLocale>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace zq {

namespace {

QString timeText(const QDateTime& when) {
    return when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

// Where versions opened for viewing are written: a folder of the host's temporary folder.
QString viewingFolder() {
    const QString temp = hostPlatform().GetZQTempPathY();
    if (temp.isEmpty() || QDir::isRelativePath(temp))
        throw Error(QStringLiteral("主程序没有提供有效的临时文件夹，无法打开历史版本。"));
    return withSlash(temp) + QStringLiteral("~DocVersion/");
}

} // namespace

VersionsWindow::VersionsWindow(QWidget* parent, const QSqlDatabase& db, qint64 docId,
                               const QString& caption)
    : QDialog(parent)
    , m_db(db)
    , m_docId(docId)
    , m_caption(caption)
    , m_list(new QTreeWidget)
    , m_open(new QPushButton(QStringLiteral("打开")))
    , m_restore(new QPushButton(QStringLiteral("恢复为当前文件"))) {
    setObjectName(QStringLiteral("Frm_TemplateVersions"));
    setWindowTitle(QStringLiteral("历史版本 - %1").arg(caption));
    resize(560, 360);
    m_list->setObjectName(QStringLiteral("lstVersions"));
    m_open->setObjectName(QStringLiteral("btnOpen"));
    m_restore->setObjectName(QStringLiteral("btnRestore"));
    m_list->setHeaderLabels({QStringLiteral("时间"), QStringLiteral("操作人"),
                             QStringLiteral("大小"), QStringLiteral("SHA-256"),
                             QStringLiteral("已注册到的项目")});
    m_list->setRootIsDecorated(false);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_open);
    buttons->addWidget(m_restore);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_list);
    layout->addLayout(buttons);

    connect(m_open, &QPushButton::clicked, this,
            [this] { guarded(this, [this] { openSelected(); }); });
    connect(m_list, &QTreeWidget::itemDoubleClicked, this,
            [this] { guarded(this, [this] { openSelected(); }); });
    connect(m_restore, &QPushButton::clicked, this,
            [this] { guarded(this, [this] { restoreSelected(); }); });
    connect(m_list, &QTreeWidget::currentItemChanged, this, [this] {
        const TemplateVersion* version = selected();
        m_open->setEnabled(version && version->hasBytes);
        m_restore->setEnabled(version && version->hasBytes);
    });
    guarded(this, [this] { fill(); });
}

void VersionsWindow::fill() {
    m_list->clear();
    m_versions = readVersions(m_db, m_docId);
    const QHash<QString, QStringList> projects = registeredProjects(m_db, m_docId);
    const QLocale locale;
    for (qsizetype i = 0; i < m_versions.size(); ++i) {
        const TemplateVersion& version = m_versions[i];
        auto* row = new QTreeWidgetItem(QStringList{
            timeText(version.replacedAt), QStringLiteral("%1@%2").arg(version.user, version.host),
            locale.formattedDataSize(version.size), version.sha256.left(12),
            projects.value(version.sha256).join(QStringLiteral("，"))});
        row->setData(0, Qt::UserRole, i);
        if (!version.hasBytes)
            row->setToolTip(0, QStringLiteral("该版本的文件内容已不在模板目录中"));
        m_list->addTopLevelItem(row);
    }
    m_list->resizeColumnToContents(0);
    m_open->setEnabled(false);
    m_restore->setEnabled(false);
}

const TemplateVersion* VersionsWindow::selected() const {
    const QTreeWidgetItem* row = m_list->currentItem();
    return row ? &m_versions.at(row->data(0, Qt::UserRole).toInt()) : nullptr;
}

void VersionsWindow::openSelected() {
    if (const TemplateVersion* version = selected())
        hostPlatform().ViewFile(
            writeVersionFile(m_db, *version, viewingFolder()), 1,
            QStringLiteral("%1（%2 的版本，只读）").arg(m_caption, timeText(version->replacedAt)));
}

void VersionsWindow::restoreSelected() {
    const TemplateVersion* version = selected();
    if (!version ||
        !dialogs().ask(this, windowTitle(),
                       QStringLiteral("将模板文件恢复为 %1 的版本？当前文件将保留为历史版本。")
                           .arg(timeText(version->replacedAt))))
        return;
    const bool restored = restoreVersion(m_db, m_docId, version->sha256);
    fill();
    dialogs().inform(this, windowTitle(),
                     restored ? QStringLiteral("模板文件已恢复。")
                              : QStringLiteral("模板文件的内容与该版本相同，无需恢复。"));
}

} // namespace zq
