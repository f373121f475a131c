#include "registration/TFrmZQDocSort.h"

namespace zq {

TFrmZQDocSort::TFrmZQDocSort(QWidget* owner, const QSqlDatabase& db)
    : QDialog(owner)
    , m_db(db) {}

} // namespace zq
