#include "registration/BatchRegisterDialog.h"

#include "catalogue/TemplateDocuments.h"
#include "registration/TemplateRegistration.h"
#include "registration/TemplateTree.h"
#include "registration/TemplateTreeState.h"
#include "widgets/ClassNodeItem.h"
#include "widgets/DialogControls.h"
#include "widgets/DialogService.h"
#include "widgets/TreeNodes.h"
#include "widgets/ViewLayout.h"

#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>

namespace zq {

namespace {

// What one batch did.
struct BatchReport {
    QString project; // the serial of the project registered into
    int registered = 0;
    QStringList notRegistered;  // "class\template：why", in walk order
    bool lastSucceeded = false; // the last registration attempted went through
};

bool isTickedTemplate(const QTreeWidgetItem* item) {
    return item->checkState(0) == Qt::Checked && imageIndex(item) != kClassImage &&
           hasNodeRecord(item);
}

// A ticked class never opened gets its templates now, ticked: one statement for the class.
void fillIfTicked(QTreeWidgetItem* node, const QSqlDatabase& db) {
    const auto* classNode = dynamic_cast<const ClassNodeItem*>(node);
    if (classNode && classNode->ownCheck() == Qt::Checked)
        fillPendingTemplates(node, db, kTemplateTreeForm);
}

void noteNotRegistered(BatchReport& report, const QTreeWidgetItem* item, const QString& why) {
    report.notRegistered.append(item->parent()->text(0) + QLatin1Char('\\') + item->text(0) +
                                QStringLiteral("：") + why);
}

// Notes every ticked template of the subtree as skipped behind an earlier failure.
void noteSkipped(BatchReport& report, const QSqlDatabase& db, QTreeWidgetItem* item) {
    fillIfTicked(item, db);
    if (isTickedTemplate(item))
        noteNotRegistered(report, item, QStringLiteral("已跳过：同一分类中前面的模板未能注册"));
    for (int i = 0; i < item->childCount(); ++i)
        noteSkipped(report, db, item->child(i));
}

// Registers the ticked templates below the node, sub-classes first, and unticks each one
// registered so that OK again tries only what is left. A missing file or a refusal ends this
// node's walk (the rest of it is noted as skipped); its parent's walk goes on.
void registerChecked(HostPlatform& host, const QSqlDatabase& db, QTreeWidgetItem* node,
                     BatchReport& report) {
    fillIfTicked(node, db);
    for (int i = 0; i < node->childCount(); ++i) {
        QTreeWidgetItem* child = node->child(i);
        if (imageIndex(child) == kClassImage) {
            registerChecked(host, db, child, report);
            continue;
        }
        if (!isTickedTemplate(child))
            continue;
        const TemplateRecord doc = TemplateRecord::fromList(nodeRecord(child));
        QString why;
        if (existingTemplateFile(db, doc.fileName).isEmpty()) {
            why = QStringLiteral("模板文件不存在");
        } else {
            const int result =
                registerTemplateDoc(host, db, doc, report.project, ParentIdSource::Remembered);
            report.lastSucceeded = result >= 0;
            if (report.lastSucceeded) {
                ++report.registered;
                child->setCheckState(0, Qt::Unchecked);
                continue;
            }
            why = QStringLiteral("平台拒绝注册（返回 %1）").arg(result);
        }
        noteNotRegistered(report, child, why);
        for (int j = i + 1; j < node->childCount(); ++j)
            noteSkipped(report, db, node->child(j));
        return;
    }
}

// The list of what was not registered, cut short in the message; the box's details hold all.
constexpr int kListedInMessage = 12;

} // namespace

BatchRegisterDialog::BatchRegisterDialog(QWidget* owner, const QSqlDatabase& db)
    : QDialog(owner)
    , m_db(db)
    , m_tree(new QTreeWidget(this))
    , m_okButton(placeButton(this, QStringLiteral("BtBtnOK"), QStringLiteral("确定(&O)"), 58, 298))
    , m_cancelButton(
          placeButton(this, QStringLiteral("BtBtnCancel"), QStringLiteral("取消(&C)"), 179, 298))
    , m_status(placeStatusLine(this, 12, 329, 286)) {
    setObjectName(QStringLiteral("FrmZQMoreDocSort"));
    setWindowTitle(QStringLiteral("批量注册系统模板"));
    setFixedSize(310, m_status->geometry().bottom() + 6);

    m_tree->setObjectName(QStringLiteral("tvwOrg"));
    m_tree->setGeometry(12, 12, 286, 277);
    m_tree->header()->hide();
    m_tree->setIndentation(19);
    showWholeLabels(m_tree);
    m_tree->setAllColumnsShowFocus(true);
    m_tree->setEditTriggers(QAbstractItemView::NoEditTriggers);

    acceptOnEnter(m_okButton);
    connect(m_okButton, &QPushButton::clicked, this, &BatchRegisterDialog::acceptIfValid);
    connect(m_cancelButton, &QPushButton::clicked, this, &QDialog::reject);

    guarded(this, [&] { fillTemplateTree(m_tree, m_db, TemplateTreeChecks::Unchecked); });
    followCatalogue(this, m_tree, m_status, m_db, TemplateTreeChecks::Unchecked);
}

void BatchRegisterDialog::acceptIfValid() {
    showStatus(m_status, {});
    guarded(this, [&] {
        HostPlatform& host = hostPlatform();
        // Each batch answers for itself: only its own last registration decides.
        BatchReport report;
        if (const QString refusal = projectRefusal(host, &report.project); !refusal.isEmpty())
            return showStatus(m_status, refusal);
        if (m_tree->topLevelItemCount() == 0)
            return;
        host.SetOldParentID(-1);
        registerChecked(host, m_db, m_tree->topLevelItem(0), report);
        if (!report.notRegistered.isEmpty()) {
            const qsizetype count = report.notRegistered.size();
            QString text = QStringLiteral("已注册 %1 个模板，%2 个未注册：\n")
                               .arg(report.registered)
                               .arg(count);
            text += report.notRegistered.mid(0, kListedInMessage).join(QLatin1Char('\n'));
            if (count > kListedInMessage)
                text += QStringLiteral("\n……（共 %1 个，见详细信息）").arg(count);
            dialogs().warn(this, windowTitle(), text,
                           count > kListedInMessage ? report.notRegistered.join(QLatin1Char('\n'))
                                                    : QString());
        } else if (report.registered == 0) {
            showStatus(m_status, QStringLiteral("没有勾选要注册的模板。"));
        }
        if (report.lastSucceeded)
            accept();
    });
}

} // namespace zq
