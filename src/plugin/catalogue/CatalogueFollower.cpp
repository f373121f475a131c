#include "catalogue/CatalogueFollower.h"

#include "catalogue/CatalogueNotices.h"
#include "catalogue/Sql.h"

namespace zq {

namespace {

constexpr int kBurstMs = 60;
constexpr int kLookMs = 1000;

} // namespace

CatalogueFollower::CatalogueFollower(QObject* owner, const QSqlDatabase& db)
    : QObject(owner)
    , m_db(db) {
    CatalogueNotices& hub = CatalogueNotices::instance();
    connect(&hub, &CatalogueNotices::changed, this, [this](const CatalogueChange& change) {
        if (!m_pending.contains(change))
            m_pending.append(change);
        if (!m_burst.isActive())
            m_burst.start();
    });
    connect(&hub, &CatalogueNotices::connectionLost, this,
            [this](const QString& connection, bool lost) {
                if (connection == m_db.connectionName())
                    emit connectionLost(lost);
            });
    m_burst.setSingleShot(true);
    m_burst.setInterval(kBurstMs);
    connect(&m_burst, &QTimer::timeout, this, &CatalogueFollower::hand);
    m_look.setInterval(kLookMs);
    connect(&m_look, &QTimer::timeout, this, &CatalogueFollower::checkNow);
    m_look.start();
    checkNow();
}

void CatalogueFollower::checkNow() {
    CatalogueNotices::instance().check(m_db);
}

QString CatalogueFollower::vanishedTemplateText() {
    return QStringLiteral("该模板已被其他用户删除");
}

QString CatalogueFollower::connectionText(bool lost) {
    return lost ? QStringLiteral("与模板目录数据库的连接已中断，正在重新连接……")
                : QStringLiteral("已重新连接模板目录数据库，目录已重新读取。");
}

void CatalogueFollower::hand() {
    if (inTransaction(m_db)) {
        m_burst.start();
        return;
    }
    emit changesArrived(std::exchange(m_pending, {}));
}

} // namespace zq
