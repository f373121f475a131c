#include "BenchData.h"

#include "catalogue/ClassCatalogue.h"
#include "catalogue/Sql.h"
#include "catalogue/TemplateDocuments.h"

#include <QStringList>

namespace zq::bench {

void GenerateLargeClass(const QSqlDatabase& db, const QString& code, int templates) {
    // UNKNOWN has no row in ZQ_TypeInfo: its caption is the empty text.
    const QStringList types = {QStringLiteral("WORD"),  QStringLiteral("EXCEL"),
                               QStringLiteral("PDF"),   QStringLiteral("TEXT"),
                               QStringLiteral("OTHER"), QStringLiteral("UNKNOWN")};
    Transaction transaction(db);
    insertClass(db, code, QStringLiteral("审计模板%1").arg(templates), QStringLiteral("基准测试"));
    for (int i = 1; i <= 10; ++i) {
        const QString child = code + QStringLiteral("%1").arg(i, 4, 10, QLatin1Char('0'));
        insertClass(db, child, QStringLiteral("子分类%1").arg(i), QString());
        insertTemplate(db,
                       {QStringLiteral("子分类模板%1").arg(i), QStringLiteral("%1.doc").arg(child),
                        QString(), child, QStringLiteral("WORD"), QString()});
    }
    for (int i = 0; i < templates; ++i) {
        const QString caption = QStringLiteral("底稿模板%1-%2").arg(code).arg(i);
        // Every seventh template has no stored file: its row carries the class image.
        const QString fileName =
            i % 7 == 0 ? QString() : QStringLiteral("%1_%2.doc").arg(code).arg(i);
        insertTemplate(db, {caption, fileName, QStringLiteral("说明 %1").arg(i), code,
                            types[i % types.size()], QStringLiteral("关键字%1").arg(i % 13)});
    }
    transaction.commit();
}

} // namespace zq::bench
