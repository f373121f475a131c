#pragma once

#include <QDialog>
#include <QSqlDatabase>

namespace zq {

class DataPackFrame;

// "文档模板导出预览": the whole catalogue, without check boxes or detail, and a close button.
class PackagePreviewWindow : public QDialog {
    Q_OBJECT
public:
    PackagePreviewWindow(QWidget* owner, const QSqlDatabase& db);

    DataPackFrame* frame() const { return m_frame; }

private:
    DataPackFrame* m_frame;
};

} // namespace zq
