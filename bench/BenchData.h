#pragma once

#include <QSqlDatabase>
#include <QString>

struct sqlite3;

namespace zq::bench {

// Files a class with the given code holding ten sub-classes (one template each) and the given
// number of templates of mixed data types, some without a stored file, in one transaction.
void generateLargeClass(const QSqlDatabase& db, const QString& code, int templates);

// Adds a catalogue of the given size, shaped like a firm's, in one transaction: classes down to
// five levels with Chinese names (each new class under a random class above the fifth level, so
// the tree is broad near the top and deep below), templates spread over the classes at random
// (a few in the root, every seventh without a stored file, mixed data types). The same seed
// gives the same catalogue on every engine. Top-level codes start at 0001: use an empty
// catalogue, or codes from 9000 up for anything added beside it.
void generateCatalogue(const QSqlDatabase& db, int classes, int templates, quint32 seed = 1);

// Replaces the first part `from` of every code of the subtree with `to`, in the class and the
// template table: one statement a table.
void renameCodePrefix(const QSqlDatabase& db, const QString& from, const QString& to);

// A generated catalogue of the given size put below one class 0001 (its root templates filed in
// 0001), and an empty class 0002 beside it: a subtree to move, delete and restore.
void generateSubtree(const QSqlDatabase& db, int classes, int templates);

// Counts the statements SQLite starts on the connection; other engines are not counted.
class StatementCounter {
public:
    explicit StatementCounter(const QSqlDatabase& db);
    ~StatementCounter();
    StatementCounter(const StatementCounter&) = delete;
    StatementCounter& operator=(const StatementCounter&) = delete;

    void reset() { m_count = 0; }
    qint64 count() const { return m_count; }
    QString text() const { return m_db ? QString::number(m_count) : QStringLiteral("-"); }

private:
    sqlite3* m_db = nullptr;
    qint64 m_count = 0;
};

} // namespace zq::bench
