#include "entry/DataModule.h"

#include "platform/HostPlatform.h"
#include "widgets/UiReferences.h"

#include <QWidget>

namespace zq {

DataModule::DataModule(QObject* owner)
    : QObject(owner) {
    connectCatalogue();
}

void DataModule::connectCatalogue() {
    m_connection = hostPlatform().GetBaseDBConnection();
    if (m_connection.isValid() && !m_connection.isOpen())
        m_connection.open();
    // The connection is the host's: the module never closes it, not even when destroyed.
}

DataModule* ensureDataModule() {
    const QString name = QStringLiteral("DMZQDocTemplateMG");
    if (auto* found = qobject_cast<DataModule*>(findComponent(name)))
        return found;
    auto* module = new DataModule(application());
    module->setObjectName(name);
    return module;
}

} // namespace zq
