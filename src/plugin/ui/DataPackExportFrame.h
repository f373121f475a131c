#pragma once

#include <QWidget>

class QLineEdit;
class QPlainTextEdit;
class QTreeWidget;

namespace zq {

// The frame the host's data-pack exchange shows: the selection tree on the left, the selected
// node's name, type and description on the right.
class DataPackExportFrame : public QWidget {
    Q_OBJECT
public:
    explicit DataPackExportFrame(QWidget* parent);

    QTreeWidget* tree() const { return m_tree; }
    QWidget* detailPanel() const { return m_detail; }

private:
    void showNode();

    QTreeWidget* m_tree = nullptr;
    QWidget* m_detail = nullptr;
    QLineEdit* m_name = nullptr;
    QLineEdit* m_type = nullptr;
    QPlainTextEdit* m_memo = nullptr;
};

} // namespace zq
