#include "TestCatalogue.h"

#include "HostDatabase.h"
#include "catalogue/RecycleBin.h"
#include "catalogue/SearchKeys.h"
#include "catalogue/Sql.h"
#include "catalogue/TemplateFiles.h"

#include <QSqlDriver>
#include <QUuid>

namespace zq::test {

TestCatalogue::TestCatalogue(const QString& sqliteFile)
    : m_name(QUuid::createUuid().toString()) {
    const QString url = qEnvironmentVariable("ZQ_TEST_DATABASE");
    m_db = corvane::openHostDatabase(m_name, sqliteFile, url);
    corvane::createHostSchema(m_db);
    corvane::clearCatalogue(m_db);
    ensureTemplateFileTable(m_db);
    runSql(m_db, QStringLiteral("delete from ZQ_DocTemplateFile"));
    ensureRecycleBinTables(m_db);
    ensureSearchKeys(m_db);
    for (const char* table :
         {"ZQ_DocSearchKey", "ZQ_DocTemplateHistory", "ZQ_DocRecycleItem", "ZQ_DocRecycleClass",
          "ZQ_DocRecycleTemplate", "ZQ_DocRecycleFile", "ZQ_DocTemplateVersion",
          "ZQ_DocVersionContent", "ZQ_DocTemplateRegistration"})
        runSql(m_db, QStringLiteral("delete from ") + QLatin1String(table));
}

TestCatalogue::~TestCatalogue() {
    m_db.close();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_name);
}

bool TestCatalogue::isPostgres() const {
    return m_db.driver()->dbmsType() == QSqlDriver::PostgreSQL;
}

void TestCatalogue::addClass(const QString& code, const QString& name, const QString& memo) {
    runSql(m_db,
           QStringLiteral("insert into ZQ_DocInfoMaster(DocSortID, DocSortName, DocSortMemo) "
                          "values(?, ?, ?)"),
           {code, name, memo});
}

qint64 TestCatalogue::addTemplate(const QString& caption, const QString& classCode,
                                  const QString& fileName, const QString& typeName,
                                  const QString& memo) {
    QSqlQuery query = runSql(
        m_db,
        QStringLiteral("insert into ZQ_DocTempDetail(DocCaption, DocFileName, "
                       "DocMemo, DocSortID, DocTypeName, DocKeyWord) "
                       "values(?, ?, ?, ?, ?, '') returning DocID"),
        {caption, fileName.isEmpty() ? caption + ".doc" : fileName, memo, classCode, typeName});
    query.next();
    const qint64 docId = query.value(0).toLongLong();
    query.finish();
    writeSearchKeys(m_db, QStringLiteral("d.DocID = ?"), {docId});
    return docId;
}

int TestCatalogue::count(const QString& table) {
    return sqlValue(m_db, QStringLiteral("select count(*) from ") + table).toInt();
}

} // namespace zq::test
