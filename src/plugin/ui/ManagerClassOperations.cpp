#include "ui/ManagerClassOperations.h"

#include "catalogue/ClassCatalogue.h"
#include "catalogue/RecycleBin.h"
#include "ui/ClassDialog.h"
#include "ui/ManagerView.h"
#include "widgets/DialogService.h"
#include "widgets/ReportListModel.h"
#include "widgets/TreeNodes.h"
#include "widgets/UiReferences.h"

#include <QTreeWidget>

namespace zq {

ManagerClassOperations::ManagerClassOperations(ManagerView& view)
    : QObject(view.widget())
    , m_view(view) {
    const ManagerActions& actions = view.actions();
    actions.bind(ManagerAction::AddClass, this, [this] { addClass(); });
    actions.bind(ManagerAction::RenameClass, this, [this] { renameClass(); });
    actions.bind(ManagerAction::DeleteClass, this, [this] { deleteClass(); });
}

void ManagerClassOperations::addClass() {
    const ReportRow* row = m_view.selectedRow();
    QTreeWidgetItem* node = m_view.selectedNode();
    if (!row && !node)
        return;
    m_view.saveTreeState();
    ClassDialog dialog(application());
    dialog.setWindowTitle(QStringLiteral("添加模板分类"));
    const QString parentCode =
        row && row->isClass() ? row->classCode : (node ? nodeClassCode(node) : QString());
    const QSqlDatabase& db = m_view.database();
    dialog.setClass(newChildClassCode(db, parentCode));
    dialog.setSave(
        [&] { addChildClass(db, parentCode, dialog.name(), dialog.memo(), dialog.code()); });
    if (dialogs().exec(&dialog) != QDialog::Accepted)
        return;
    m_view.reloadKeepingView();
}

void ManagerClassOperations::renameClass() {
    editClassNode(m_view.classTarget());
    m_view.fillDocList(m_view.selectedNode());
}

void ManagerClassOperations::editClassNode(QTreeWidgetItem* node) {
    if (!node || !node->parent())
        return;
    const ClassRecord record = ClassRecord::fromList(nodeRecord(node));
    ClassDialog dialog(application());
    dialog.setWindowTitle(QStringLiteral("修改模板分类名称"));
    dialog.setClass(record.code, record.name, record.memo);
    dialog.setSave([&] {
        updateClass(m_view.database(), dialog.code(), dialog.name().trimmed(),
                    dialog.memo().trimmed());
    });
    if (dialogs().exec(&dialog) != QDialog::Accepted)
        return;
    const QString name = dialog.name().trimmed();
    const QString memo = dialog.memo().trimmed();
    setNodeRecord(node, {dialog.code(), name, memo});
    node->setText(0, name);
    m_view.setUndo(QStringLiteral("重命名"), [db = m_view.database(), record] {
        updateClass(db, record.code, record.name, record.memo);
    });
}

void ManagerClassOperations::deleteClass() {
    deleteClassNode(m_view.classTarget());
    m_view.fillDocList(m_view.selectedNode());
}

void ManagerClassOperations::deleteClassNode(QTreeWidgetItem* node) {
    if (!node || !node->parent())
        return;
    QWidget* window = m_view.widget();
    const QString code = nodeClassCode(node);
    const QSqlDatabase& db = m_view.database();
    const bool withTemplates = classTreeHasTemplates(db, code);
    if (!dialogs().ask(
            window, applicationTitle(),
            withTemplates
                ? QStringLiteral("此文档模板分类或其子分类已有文档模板信息，确定将"
                                 "分类连同其中的模板一起删除到回收站吗？")
                : QStringLiteral("确定删除该文档模板分类吗，此类别下的子类别同时将被删除？")))
        return;
    // Asked about an empty tree, a template filed there since is not deleted unasked; the class
    // may also have been deleted elsewhere. The delete checks again.
    const ClassTreeDeletion result =
        withTemplates ? (deleteClassTree(db, code) ? ClassTreeDeletion::Deleted
                                                   : ClassTreeDeletion::NoSuchClass)
                      : deleteEmptyClassTree(db, code);
    if (result == ClassTreeDeletion::HasTemplates)
        return dialogs().inform(
            window, applicationTitle(),
            QStringLiteral("此文档模板分类或其子分类已有文档模板信息，不能删除！"));
    if (result == ClassTreeDeletion::NoSuchClass)
        dialogs().inform(window, applicationTitle(), noSuchClassMessage());
    else
        m_view.setUndo(QStringLiteral("删除"), [db, code] {
            restoreFromBin(db, newestBinItemOf(db, code, 0).value_or(0));
        });
    for (const QTreeWidgetItem* selected = m_view.selectedNode(); selected;
         selected = selected->parent()) {
        if (selected == node) {
            m_view.classTree()->setCurrentItem(node->parent());
            break;
        }
    }
    delete node;
}

} // namespace zq
