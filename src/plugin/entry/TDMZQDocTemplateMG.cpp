#include "entry/TDMZQDocTemplateMG.h"

#include "platform/HostPlatform.h"
#include "platform/UiReferences.h"

#include <QWidget>

namespace zq {

TDMZQDocTemplateMG::TDMZQDocTemplateMG(QObject* owner)
    : QObject(owner) {
    DataModuleCreate();
}

void TDMZQDocTemplateMG::DataModuleCreate() {
    ADOConDocMG = hostPlatform().GetBaseDBConnection();
    if (ADOConDocMG.isValid() && !ADOConDocMG.isOpen())
        ADOConDocMG.open();
    // The connection is the host's: the module never closes it, not even when destroyed.
}

TDMZQDocTemplateMG* EnsureDataModule() {
    const QString name = QStringLiteral("DMZQDocTemplateMG");
    if (auto* found = qobject_cast<TDMZQDocTemplateMG*>(findComponent(name)))
        return found;
    auto* module = new TDMZQDocTemplateMG(application());
    module->setObjectName(name);
    return module;
}

} // namespace zq
