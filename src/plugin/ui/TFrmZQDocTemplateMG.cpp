#include "ui/TFrmZQDocTemplateMG.h"

namespace zq {

TFrmZQDocTemplateMG::TFrmZQDocTemplateMG(QWidget* owner, const QSqlDatabase& db)
    : QWidget(owner)
    , m_db(db) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("审计文档模板管理"));
}

} // namespace zq
