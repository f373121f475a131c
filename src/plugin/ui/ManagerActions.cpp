#include "ui/ManagerActions.h"

#include "ui/DialogService.h"
#include "ui/ImageList.h"

#include <QAction>
#include <QWidget>

namespace zq {

namespace {

struct ActionRow {
    ManagerAction which;
    const char* name;
    const char* caption;
    const char* hint;
    const char* category;
    int image;
    bool shown;
    const char* keys; // shortcuts, "; " between; F2 and Delete serve the selected kind of row
};

using enum ManagerAction;

const ActionRow kActions[] = {
    {AddTemplate, "ActAddDoc", "添加模板文件", "添加模板文件", "文档模板分类操作", 0, true,
     "Ctrl+N"},
    {AddClass, "ActAddClass", "添加模板分类", "添加模板分类", "文档模板分类操作", 12, true,
     "Ctrl+Shift+N"},
    {DeleteClass, "ActDelete", "删除模板分类", "删除", "文档模板分类操作", 1, true, ""},
    {RenameClass, "ActiEdit", "修改模板分类名称", "修改", "文档模板分类操作", 2, true, "F2"},
    {Search, "ActSearch", "查找模板", "查找", "文档模板分类操作", 3, true, ""},
    {Preview, "ActPreview", "预览", "", "文档模板操作", 8, false, ""},
    {First, "ActFirst", "第一份", "第一份", "操作导航", 4, false, ""},
    {Previous, "ActPrevious", "上一份", "上一份", "操作导航", 5, false, ""},
    {Next, "ActNext", "下一份", "下一份", "操作导航", 6, false, ""},
    {Last, "ActLast", "最末份", "最末份", "操作导航", 7, false, ""},
    {Refresh, "ActRefresh", "刷新", "刷新", "操作导航", 9, true, "F5"},
    {DeleteTemplate, "ActDeleteDoc", "删除模板文件", "删除模板文件", "文档模板操作", 1, true,
     "Del"},
    {EditDescription, "ActeditDocDes", "修改模板说明", "修改模板说明", "文档模板操作", 14, true,
     "F2"},
    {EditTemplate, "ActeditDoc", "修改模板文件内容", "修改模板文件内容", "文档模板操作", 15, true,
     ""},
    {Register, "ActReg", "引用到平台使用", "", "文档模板操作", 16, false, ""},
    {Back, "actBackOff", "后退", "", "操作导航", 19, false, ""},
    {Forward, "ActAbove", "前进", "", "操作导航", 18, false, ""},
    {Up, "actUP", "向上", "向上", "操作导航", 17, true, "Backspace; Alt+Up"},
    {Export, "ActExport", "导出文档模板", "", "文档模板分类操作", 18, true, ""},
    {Import, "ActImport", "导入文档模板", "", "文档模板分类操作", 19, true, ""},
};
static_assert(std::size(kActions) == kManagerActionCount);

QAction* makeAction(QWidget* window, const ActionRow& entry) {
    auto* act = new QAction(imageListIcon(entry.image), QString::fromUtf8(entry.caption), window);
    act->setObjectName(QString::fromUtf8(entry.name));
    if (*entry.hint) {
        act->setToolTip(QString::fromUtf8(entry.hint));
        act->setStatusTip(QString::fromUtf8(entry.hint));
    }
    if (*entry.keys) {
        act->setShortcuts(QKeySequence::listFromString(QString::fromUtf8(entry.keys)));
        act->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        act->setToolTip(
            QStringLiteral("%1（%2）")
                .arg(act->toolTip(), act->shortcut().toString(QKeySequence::NativeText)));
        window->addAction(act);
    }
    act->setProperty("category", QString::fromUtf8(entry.category));
    act->setVisible(entry.shown);
    return act;
}

} // namespace

ManagerActions::ManagerActions(QWidget* window)
    : m_window(window) {
    for (const ActionRow& entry : kActions)
        m_actions[std::size_t(entry.which)] = makeAction(window, entry);
    // Actions with no work behind them yet.
    for (ManagerAction which : {Back, Forward})
        (*this)[which]->setEnabled(false);
}

QList<QAction*> ManagerActions::list(std::initializer_list<ManagerAction> which) const {
    QList<QAction*> result;
    for (ManagerAction one : which)
        result.append((*this)[one]);
    return result;
}

void ManagerActions::bind(ManagerAction which, QObject* receiver,
                          std::function<void()> work) const {
    QObject::connect((*this)[which], &QAction::triggered, receiver,
                     [window = m_window, work = std::move(work)] { guarded(window, work); });
}

} // namespace zq
