#pragma once

#include <QSqlDatabase>
#include <QString>

namespace zq::test {

// A fresh, empty catalogue for one test: an in-memory SQLite database, or, when the
// environment names one in ZQ_TEST_DATABASE (a postgresql:// URL), the tables of that server,
// emptied first.
class TestCatalogue {
public:
    // sqliteFile: where the SQLite catalogue lives when no server is named (for a test that
    // hands the catalogue to another process).
    explicit TestCatalogue(const QString& sqliteFile = QStringLiteral(":memory:"));
    ~TestCatalogue();
    TestCatalogue(const TestCatalogue&) = delete;
    TestCatalogue& operator=(const TestCatalogue&) = delete;

    QSqlDatabase& db() { return m_db; }
    bool isPostgres() const;

    // Test data, bound like everything else; templates get their search keys as the plug-in
    // writes them.
    void addClass(const QString& code, const QString& name, const QString& memo = QString());
    qint64 addTemplate(const QString& caption, const QString& classCode,
                       const QString& fileName = QString(), const QString& typeName = "WORD",
                       const QString& memo = QString());
    int count(const QString& table);

private:
    QString m_name;
    QSqlDatabase m_db;
};

} // namespace zq::test
