#include "BenchData.h"

#include "catalogue/ClassCatalogue.h"
#include "catalogue/Sql.h"
#include "catalogue/TemplateDocuments.h"

#include <QSqlDriver>
#include <QStringList>

#include <sqlite3.h>

#include <random>

namespace zq::bench {

namespace {

// UNKNOWN has no row in ZQ_TypeInfo: its caption is the empty text.
const QStringList kTypes = {QStringLiteral("WORD"),  QStringLiteral("EXCEL"),
                            QStringLiteral("PDF"),   QStringLiteral("TEXT"),
                            QStringLiteral("OTHER"), QStringLiteral("UNKNOWN")};

const QStringList kWords = {
    QStringLiteral("货币资金"), QStringLiteral("应收账款"),   QStringLiteral("存货"),
    QStringLiteral("固定资产"), QStringLiteral("无形资产"),   QStringLiteral("长期股权投资"),
    QStringLiteral("营业收入"), QStringLiteral("营业成本"),   QStringLiteral("销售费用"),
    QStringLiteral("管理费用"), QStringLiteral("应交税费"),   QStringLiteral("应付职工薪酬"),
    QStringLiteral("函证"),     QStringLiteral("监盘"),       QStringLiteral("分析程序"),
    QStringLiteral("内部控制"), QStringLiteral("风险评估"),   QStringLiteral("审计计划"),
    QStringLiteral("审计报告"), QStringLiteral("管理建议书"),
};

constexpr int kMaxDepth = 5;
constexpr int kRowsPerInsert = 250;

// Adds rows a batch at a time, every value bound: on PostgreSQL one multi-row insert, on SQLite
// (which looks each of a statement's parameters up by name, one by one) the one row's statement
// prepared once and run for each row.
class BatchInsert {
public:
    BatchInsert(const QSqlDatabase& db, QString head, QString row)
        : m_db(db)
        , m_head(std::move(head))
        , m_row(std::move(row)) {}
    ~BatchInsert() = default;
    BatchInsert(const BatchInsert&) = delete;
    BatchInsert& operator=(const BatchInsert&) = delete;

    void add(const QVariantList& values) {
        m_values += values;
        if (++m_rows == kRowsPerInsert)
            flush();
    }
    void flush() {
        if (m_rows == 0)
            return;
        if (isPostgres(m_db)) {
            runSql(m_db, m_head + QStringList(m_rows, m_row).join(QLatin1Char(',')), m_values);
        } else {
            QList<QVariantList> columns(m_values.size() / m_rows);
            for (qsizetype i = 0; i < m_values.size(); ++i)
                columns[i % columns.size()].append(m_values[i]);
            runSqlBatch(m_db, m_head + m_row, columns);
        }
        m_values.clear();
        m_rows = 0;
    }

private:
    QSqlDatabase m_db;
    QString m_head;
    QString m_row;
    QVariantList m_values;
    int m_rows = 0;
};

} // namespace

void generateLargeClass(const QSqlDatabase& db, const QString& code, int templates) {
    Transaction transaction(db);
    insertClass(db, code, QStringLiteral("审计模板%1").arg(templates), QStringLiteral("基准测试"));
    for (int i = 1; i <= 10; ++i) {
        const QString child = code + QStringLiteral("%1").arg(i, 4, 10, QLatin1Char('0'));
        insertClass(db, child, QStringLiteral("子分类%1").arg(i), QString());
        insertTemplate(db, {.caption = QStringLiteral("子分类模板%1").arg(i),
                            .fileName = QStringLiteral("%1.doc").arg(child),
                            .typeName = QStringLiteral("WORD"),
                            .classCode = child});
    }
    for (int i = 0; i < templates; ++i) {
        const QString caption = QStringLiteral("底稿模板%1-%2").arg(code).arg(i);
        // Every seventh template has no stored file: its row carries the class image.
        const QString fileName =
            i % 7 == 0 ? QString() : QStringLiteral("%1_%2.doc").arg(code).arg(i);
        insertTemplate(db, {.caption = caption,
                            .fileName = fileName,
                            .memo = QStringLiteral("说明 %1").arg(i),
                            .typeName = kTypes[i % kTypes.size()],
                            .keyWord = QStringLiteral("关键字%1").arg(i % 13),
                            .classCode = code});
    }
    transaction.commit();
}

void generateCatalogue(const QSqlDatabase& db, int classes, int templates, quint32 seed) {
    // mt19937 and plain remainders give the same numbers with every standard library.
    std::mt19937 random(seed);
    const auto below = [&random](qsizetype n) { return qsizetype(random() % quint32(n)); };

    Transaction transaction(db);
    BatchInsert classRows(
        db,
        QStringLiteral("insert into ZQ_DocInfoMaster(DocSortID, DocSortName, DocSortMemo) "
                       "values "),
        QStringLiteral("(?, ?, ?)"));
    QStringList codes;                 // every class made so far
    QList<qsizetype> parents = {-1};   // the classes that may take children; -1 the root
    QHash<qsizetype, int> childCounts; // children given so far, by class (-1 the root)
    codes.reserve(classes);
    for (int i = 0; i < classes; ++i) {
        // Half of the new classes go under a class made lately, so some branches run deep.
        const qsizetype recent = std::max<qsizetype>(0, parents.size() - 50);
        const qsizetype parent =
            parents[i % 2 ? recent + below(parents.size() - recent) : below(parents.size())];
        const int number = ++childCounts[parent];
        const QString code = (parent < 0 ? QString() : codes[parent]) +
                             QStringLiteral("%1").arg(number, 4, 10, QLatin1Char('0'));
        codes.append(code);
        if (classCodeDepth(code) < kMaxDepth)
            parents.append(codes.size() - 1);
        classRows.add(
            {code, QStringLiteral("%1%2").arg(kWords[below(kWords.size())]).arg(number),
             i % 3 ? QStringLiteral("%1类底稿").arg(kWords[below(kWords.size())]) : QString()});
    }
    classRows.flush();

    BatchInsert templateRows(
        db,
        QStringLiteral("insert into ZQ_DocTempDetail(DocCaption, DocFileName, DocMemo, "
                       "DocSortID, DocTypeName, DocKeyWord) values "),
        QStringLiteral("(?, ?, ?, ?, ?, ?)"));
    for (int i = 0; i < templates; ++i) {
        // One in a hundred lies in the root; the rest in any class, some classes holding many.
        const QString classCode =
            codes.isEmpty() || i % 100 == 0
                ? QString()
                : codes[below(i % 4 ? codes.size() : (codes.size() + 9) / 10)];
        const QString& word = kWords[below(kWords.size())];
        const QString fileName = i % 7 == 0 ? QString() : QStringLiteral("模板%1.doc").arg(i);
        templateRows.add({QStringLiteral("%1审计底稿%2").arg(word).arg(i), fileName,
                          QStringLiteral("%1的标准格式").arg(word), classCode,
                          kTypes[below(kTypes.size())], word});
    }
    templateRows.flush();
    transaction.commit();
}

namespace {

int countStatement(unsigned, void* counter, void*, void*) {
    ++*static_cast<qint64*>(counter);
    return 0;
}

} // namespace

void renameCodePrefix(const QSqlDatabase& db, const QString& from, const QString& to) {
    for (const char* table : {"ZQ_DocTempDetail", "ZQ_DocInfoMaster"})
        runSql(db,
               QStringLiteral("update %1 set DocSortID = ? || substr(DocSortID, ?) where ")
                       .arg(QLatin1String(table)) +
                   subtreeCondition(),
               {to, from.size() + 1, from.size(), from});
}

void generateSubtree(const QSqlDatabase& db, int classes, int templates) {
    generateCatalogue(db, classes - 1, templates);
    Transaction transaction(db);
    renameCodePrefix(db, QString(), QStringLiteral("#"));
    renameCodePrefix(db, QStringLiteral("#"), QStringLiteral("0001"));
    insertClass(db, QStringLiteral("0001"), QStringLiteral("迁移的分类"), QString());
    insertClass(db, QStringLiteral("0002"), QStringLiteral("新的上级"), QString());
    transaction.commit();
}

StatementCounter::StatementCounter(const QSqlDatabase& db) {
    const QVariant handle = db.driver()->handle();
    if (qstrcmp(handle.typeName(), "sqlite3*") == 0)
        m_db = *static_cast<sqlite3* const*>(handle.constData());
    if (m_db)
        sqlite3_trace_v2(m_db, SQLITE_TRACE_STMT, &countStatement, &m_count);
}

StatementCounter::~StatementCounter() {
    if (m_db)
        sqlite3_trace_v2(m_db, 0, nullptr, nullptr);
}

} // namespace zq::bench
