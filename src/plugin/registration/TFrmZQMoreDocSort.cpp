#include "registration/TFrmZQMoreDocSort.h"

namespace zq {

TFrmZQMoreDocSort::TFrmZQMoreDocSort(QWidget* owner, const QSqlDatabase& db)
    : QDialog(owner)
    , m_db(db) {}

} // namespace zq
