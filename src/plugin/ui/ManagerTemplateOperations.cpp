#include "ui/ManagerTemplateOperations.h"

#include "catalogue/RecycleBin.h"
#include "catalogue/TemplateAdding.h"
#include "catalogue/TemplateFiles.h"
#include "catalogue/TemplateStore.h"
#include "platform/HostPlatform.h"
#include "registration/TemplateRegistration.h"
#include "ui/AddTemplateDialog.h"
#include "ui/EditTemplateDialog.h"
#include "ui/ManagerClassOperations.h"
#include "ui/ManagerView.h"
#include "ui/TemplateEditing.h"
#include "widgets/DialogService.h"
#include "widgets/ListSorting.h"
#include "widgets/OverrideCursor.h"
#include "widgets/ReportListModel.h"
#include "widgets/TreeNodes.h"
#include "widgets/UiReferences.h"

#include <QTreeWidgetItem>

namespace zq {

namespace {

// A template row whose file name is no bare name has no stored file; says so.
bool lacksStoredFile(QWidget* parent, const ReportRow& row) {
    if (row.isClass() || !row.filePath.isEmpty())
        return false;
    dialogs().inform(parent, applicationTitle(), QStringLiteral("该模板的文件不存在！"));
    return true;
}

} // namespace

ManagerTemplateOperations::ManagerTemplateOperations(ManagerView& view,
                                                     ManagerClassOperations& classes)
    : QObject(view.widget())
    , m_view(view)
    , m_classes(classes) {
    const ManagerActions& actions = view.actions();
    actions.bind(ManagerAction::AddTemplate, this, [this] { addTemplate(); });
    actions.bind(ManagerAction::DeleteTemplate, this, [this] { deleteTemplate(); });
    actions.bind(ManagerAction::EditDescription, this, [this] { editTemplateDescription(); });
    actions.bind(ManagerAction::EditTemplate, this, [this] { openSelectedTemplate(); });
    actions.bind(ManagerAction::Preview, this, [this] { openSelectedTemplate(); });
    actions.bind(ManagerAction::Register, this, [this] { registerSelectedRow(); });
}

void ManagerTemplateOperations::addTemplate() {
    QTreeWidgetItem* node = m_view.selectedNode();
    if (!node)
        return;
    // With a class row selected (its popup), the template goes into that row's class.
    const ReportRow* selected = m_view.selectedRow();
    QTreeWidgetItem* target =
        selected && selected->isClass() ? m_view.findClassNodeOfRow(selected) : node;
    if (!target)
        return;
    const QSqlDatabase& db = m_view.database();
    AddTemplateDialog dialog(application());
    TemplateRecord added;
    qint64 docId = -1;
    // Stored while the dialog is open, so that a failure keeps what was typed. A refusal of
    // the host closes the dialog and catalogues nothing.
    dialog.setSave([&] {
        const QString classPath = classPathText(target).mid(1);
        added = {
            .caption = dialog.name(), .memo = dialog.memo(), .classCode = nodeClassCode(target)};
        docId = addTemplateFile(db, templateStorePath(), dialog.filePath(), added,
                                [&classPath](TemplateRecord& row, const QString& stored) {
                                    QString name = row.caption;
                                    QString memo = row.memo;
                                    return hostPlatform().ZQImportNewRes(name, row.typeName, memo,
                                                                         row.keyWord, stored,
                                                                         classPath, 1) >= 0;
                                });
    });
    if (dialogs().exec(&dialog) != QDialog::Accepted || docId < 0 || target != node)
        return; // a template of a sub-class is not a row of this list
    ReportRow row;
    row.caption = dialog.name().trimmed();
    row.memo = dialog.memo().trimmed();
    row.className = ClassRecord::fromList(nodeRecord(node)).name;
    row.docId = docId;
    row.typeCaption = typeCaptionOf(db, added.typeName);
    row.filePath = templateStorePath() + added.fileName;
    m_view.docRows().appendRow(row);
    m_view.updateActions();
}

void ManagerTemplateOperations::deleteTemplate() {
    const ReportRow* row = m_view.selectedRow();
    if (!row || row->isClass())
        return m_classes.deleteClass();
    const qint64 docId = row->docId;
    if (!dialogs().ask(m_view.widget(), applicationTitle(),
                       QStringLiteral("确定删除该模板文件吗？")))
        return;
    deleteTemplateAndFile(m_view.database(), docId);
    m_view.setUndo(QStringLiteral("删除"), [db = m_view.database(), docId] {
        restoreFromBin(db, newestBinItemOf(db, {}, docId).value_or(0));
    });
    m_view.docRows().removeTemplate(docId);
    m_view.updateActions();
}

void ManagerTemplateOperations::editTemplateDescription() {
    const ReportRow* row = m_view.selectedRow();
    if (!row || row->isClass() || row->caption.isEmpty())
        return;
    const qint64 docId = row->docId;
    const QString oldCaption = row->caption;
    const QString oldMemo = row->memo;
    EditTemplateDialog dialog(application());
    dialog.setTemplate(docId, row->caption, row->memo);
    dialog.setSave(
        [&] { updateTemplateText(m_view.database(), docId, dialog.name(), dialog.memo()); });
    if (dialogs().exec(&dialog) != QDialog::Accepted)
        return;
    m_view.docRows().setTemplateTexts(docId, dialog.name().trimmed(), dialog.memo().trimmed());
    m_view.setUndo(QStringLiteral("重命名"), [db = m_view.database(), docId, oldCaption, oldMemo] {
        updateTemplateText(db, docId, oldCaption, oldMemo);
    });
}

void ManagerTemplateOperations::openSelectedTemplate() {
    if (const ReportRow* row = m_view.selectedRow(); row && !row->isClass())
        openTemplate(*row);
}

void ManagerTemplateOperations::openTemplate(const ReportRow& row) {
    if (lacksStoredFile(m_view.widget(), row))
        return;
    const OverrideCursor wait(Qt::WaitCursor);
    m_view.editing().open(row.filePath, row.memo + QStringLiteral(".模板"));
}

void ManagerTemplateOperations::registerSelectedRow() {
    const ReportRow* row = m_view.selectedRow();
    if (!row || lacksStoredFile(m_view.widget(), *row))
        return;
    registerListRow(hostPlatform(),
                    row->isClass() ? row->filePath : m_view.editing().currentFile(row->filePath),
                    row->memo);
}

} // namespace zq
