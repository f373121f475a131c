#pragma once

#include <QObject>

namespace zq {

class ManagerClassOperations;
class ManagerView;
struct ReportRow;

// The manager window's work on templates: adding one from a file to the selected class,
// deleting one, editing its description, opening its file and handing it to the host.
class ManagerTemplateOperations : public QObject {
public:
    // A delete with a class row selected deletes that class through `classes`.
    ManagerTemplateOperations(ManagerView& view, ManagerClassOperations& classes);

    void openTemplate(const ReportRow& row);

private:
    void addTemplate();
    void deleteTemplate();
    void editTemplateDescription();
    void openSelectedTemplate();
    void registerSelectedRow();

    ManagerView& m_view;
    ManagerClassOperations& m_classes;
};

} // namespace zq
