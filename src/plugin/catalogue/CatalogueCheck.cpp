#include "catalogue/CatalogueCheck.h"

#include "catalogue/ClassCatalogue.h"
#include "catalogue/Sql.h"
#include "catalogue/TemplateFiles.h"
#include "catalogue/TemplateStore.h"
#include "catalogue/TemplateVersions.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QSet>
#include <algorithm>

namespace zq {

namespace {

using Kind = CatalogueFinding::Kind;

// The store's entries other than folders, in one listing: its files, and apart from them the
// links, which are never read as files.
struct StoreListing {
    QSet<QString> files;
    QStringList links;
};

StoreListing listStore(const QString& storeFolder) {
    StoreListing listing;
    const QFileInfoList entries =
        QDir(storeFolder)
            .entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                           QDir::Name);
    for (const QFileInfo& entry : entries) {
        if (entry.isSymLink())
            listing.links.append(entry.fileName());
        else if (!entry.isDir())
            listing.files.insert(entry.fileName());
    }
    return listing;
}

QSet<QString> namedFiles(const QSqlDatabase& db) {
    QSqlQuery query =
        runSql(db, QStringLiteral("select distinct DocFileName from ZQ_DocTempDetail"));
    QSet<QString> names;
    while (query.next())
        names.insert(query.value(0).toString());
    return names;
}

void addFileFindings(QList<CatalogueFinding>& findings, Kind kind, const QStringList& names) {
    for (const QString& name : names) {
        CatalogueFinding finding(kind);
        finding.fileName = name;
        findings.append(finding);
    }
}

// The template rows against the store and the catalogue's own copies of the files: names,
// missing files, files no row names, links, damaged copies, and files named by several rows.
// Two statements (three to hash the kept bytes) and one listing of the folder.
void checkStoredFiles(const QSqlDatabase& db, const QString& storeFolder, bool hashKeptFiles,
                      QList<CatalogueFinding>& findings) {
    const StoreListing store = listStore(storeFolder);
    const QSet<QString>& inStore = store.files;
    ensureTemplateFileTable(db);
    const QSet<QString> inCatalogue =
        columnValues(db, QStringLiteral("select DocFileName from ZQ_DocTemplateFile "
                                        "where FileContent is not null"));
    QSet<QString> named;
    QMap<QString, QList<qint64>> rowsOfFile;
    QList<CatalogueFinding> missing;
    QSqlQuery query = runSql(db, QStringLiteral("select DocID, DocCaption, DocFileName, DocSortID "
                                                "from ZQ_DocTempDetail order by DocID"));
    while (query.next()) {
        CatalogueFinding finding(Kind::BadFileName);
        finding.docId = query.value(0).toLongLong();
        finding.caption = query.value(1).toString();
        finding.fileName = query.value(2).toString();
        finding.classCode = query.value(3).toString();
        named.insert(finding.fileName);
        // Such a row has no stored file (see storedFilePath).
        if (!isBareName(finding.fileName)) {
            findings.append(finding);
            continue;
        }
        rowsOfFile[finding.fileName].append(finding.docId);
        // A file the catalogue keeps is fetched into the store when it is needed.
        if (!inStore.contains(finding.fileName) && !inCatalogue.contains(finding.fileName)) {
            finding.kind = Kind::MissingFile;
            missing.append(finding);
        }
    }
    findings += missing;

    QStringList unnamed;
    for (const QString& name : inStore)
        if (!named.contains(name))
            unnamed.append(name);
    unnamed.sort();
    addFileFindings(findings, Kind::UnnamedFile, unnamed);
    addFileFindings(findings, Kind::StoreLink, store.links);
    // Only on request: it reads every byte the catalogue keeps.
    if (hashKeptFiles)
        addFileFindings(findings, Kind::DamagedFile, damagedKeptFiles(db));

    for (auto it = rowsOfFile.cbegin(); it != rowsOfFile.cend(); ++it) {
        if (it.value().size() < 2)
            continue;
        CatalogueFinding finding(Kind::SharedFile);
        finding.fileName = it.key();
        finding.docIds = it.value();
        findings.append(finding);
    }
}

void checkClasses(const QSqlDatabase& db, QList<CatalogueFinding>& findings) {
    QSqlQuery bad = runSql(db, QStringLiteral("select DocSortID, DocSortName from "
                                              "ZQ_DocInfoMaster where not %1 order by DocSortID")
                                   .arg(isClassCodeSql(QStringLiteral("DocSortID"))));
    while (bad.next()) {
        CatalogueFinding finding(Kind::BadClassCode);
        finding.classCode = bad.value(0).toString();
        finding.caption = bad.value(1).toString();
        findings.append(finding);
    }

    QSqlQuery duplicated =
        runSql(db, QStringLiteral("select DocSortID, count(*) from ZQ_DocInfoMaster "
                                  "group by DocSortID having count(*) > 1 order by DocSortID"));
    while (duplicated.next()) {
        CatalogueFinding finding(Kind::DuplicateClassCode);
        finding.classCode = duplicated.value(0).toString();
        finding.count = duplicated.value(1).toInt();
        findings.append(finding);
    }

    // Only well-formed codes have a parent to look for; the others are reported above.
    const QString code = QStringLiteral("c.DocSortID");
    QSqlQuery orphans =
        runSql(db,
               QStringLiteral("select c.DocSortID, c.DocSortName from ZQ_DocInfoMaster c "
                              "where length(c.DocSortID) > ? and %1 and not exists ("
                              "select 1 from ZQ_DocInfoMaster p where p.DocSortID = %2) "
                              "order by c.DocSortID")
                   .arg(isClassCodeSql(code), parentCodeSql(code)),
               {classCodeLength(1)});
    while (orphans.next()) {
        CatalogueFinding finding(Kind::MissingParent);
        finding.classCode = orphans.value(0).toString();
        finding.caption = orphans.value(1).toString();
        findings.append(finding);
    }
}

const QString kTemplatesOfMissingClasses =
    QStringLiteral("DocSortID <> '' and not exists (select 1 from ZQ_DocInfoMaster c "
                   "where c.DocSortID = ZQ_DocTempDetail.DocSortID)");

void checkTemplateReferences(const QSqlDatabase& db, QList<CatalogueFinding>& findings) {
    QSqlQuery homeless =
        runSql(db, QStringLiteral("select DocID, DocCaption, DocSortID from ZQ_DocTempDetail "
                                  "where ") +
                       kTemplatesOfMissingClasses + QStringLiteral(" order by DocID"));
    while (homeless.next()) {
        CatalogueFinding finding(Kind::MissingClass);
        finding.docId = homeless.value(0).toLongLong();
        finding.caption = homeless.value(1).toString();
        finding.classCode = homeless.value(2).toString();
        findings.append(finding);
    }

    QSqlQuery untyped =
        runSql(db, QStringLiteral("select DocID, DocCaption, DocTypeName from ZQ_DocTempDetail d "
                                  "where not exists (select 1 from ZQ_TypeInfo t "
                                  "where t.TypeName = d.DocTypeName) order by DocID"));
    while (untyped.next()) {
        CatalogueFinding finding(Kind::UnknownType);
        finding.docId = untyped.value(0).toLongLong();
        finding.caption = untyped.value(1).toString();
        finding.typeName = untyped.value(2).toString();
        findings.append(finding);
    }
}

void checkVersions(const QSqlDatabase& db, QList<CatalogueFinding>& findings) {
    ensureVersionTables(db);
    QSqlQuery bare = runSql(db, QStringLiteral("select distinct DocFileName, FileSha256 "
                                               "from ZQ_DocTemplateVersion v where not exists ("
                                               "select 1 from ZQ_DocVersionContent c "
                                               "where c.FileSha256 = v.FileSha256) "
                                               "order by DocFileName, FileSha256"));
    while (bare.next()) {
        CatalogueFinding finding(Kind::VersionWithoutBytes);
        finding.fileName = bare.value(0).toString();
        finding.sha256 = bare.value(1).toString();
        findings.append(finding);
    }
}

QString quoted(const QString& text) {
    return QStringLiteral("\u201c%1\u201d").arg(text);
}

QString templateText(const CatalogueFinding& finding) {
    return QStringLiteral("模板 %1 %2").arg(finding.docId).arg(quoted(finding.caption));
}

} // namespace

QString CatalogueFinding::key() const {
    switch (kind) {
    case Kind::BadFileName:
        return QStringLiteral("bad-file-name");
    case Kind::MissingFile:
        return QStringLiteral("missing-file");
    case Kind::UnnamedFile:
        return QStringLiteral("unnamed-file");
    case Kind::StoreLink:
        return QStringLiteral("store-link");
    case Kind::DamagedFile:
        return QStringLiteral("damaged-file");
    case Kind::VersionWithoutBytes:
        return QStringLiteral("version-without-bytes");
    case Kind::BadClassCode:
        return QStringLiteral("bad-class-code");
    case Kind::DuplicateClassCode:
        return QStringLiteral("duplicate-class-code");
    case Kind::MissingParent:
        return QStringLiteral("missing-parent");
    case Kind::MissingClass:
        return QStringLiteral("missing-class");
    case Kind::UnknownType:
        return QStringLiteral("unknown-type");
    case Kind::SharedFile:
        return QStringLiteral("shared-file");
    }
    return {};
}

QString CatalogueFinding::message() const {
    switch (kind) {
    case Kind::BadFileName:
        return QStringLiteral("%1：存储文件名 %2 不是单纯的文件名，模板库中没有它的文件")
            .arg(templateText(*this), quoted(fileName));
    case Kind::MissingFile:
        return QStringLiteral("%1：模板库中缺少存储文件 %2")
            .arg(templateText(*this), quoted(fileName));
    case Kind::UnnamedFile:
        return QStringLiteral("模板库文件 %1：没有模板使用它").arg(quoted(fileName));
    case Kind::StoreLink:
        return QStringLiteral("模板库中的 %1 是符号链接：它不会作为模板文件导出或存入模板目录")
            .arg(quoted(fileName));
    case Kind::DamagedFile:
        return QStringLiteral("存储文件 %1：模板目录保存的内容与其大小或 SHA-256 不符，"
                              "任何工作站都无法取回")
            .arg(quoted(fileName));
    case Kind::VersionWithoutBytes:
        return QStringLiteral("stored file %1: the catalogue lacks the bytes of its version %2, "
                              "which cannot be opened or restored")
            .arg(quoted(fileName), sha256);
    case Kind::BadClassCode:
        return QStringLiteral("分类 %1 %2：编码不是由完整的四位数字段组成")
            .arg(quoted(classCode), quoted(caption));
    case Kind::DuplicateClassCode:
        return QStringLiteral("分类编码 %1 被 %2 个分类使用").arg(quoted(classCode)).arg(count);
    case Kind::MissingParent:
        return QStringLiteral("分类 %1 %2：上级分类 %3 不存在")
            .arg(classCode, quoted(caption), parentClassCode(classCode));
    case Kind::MissingClass:
        return QStringLiteral("%1：所属分类 %2 不存在，它不在任何分类之下")
            .arg(templateText(*this), quoted(classCode));
    case Kind::UnknownType:
        return QStringLiteral("%1：资料类型 %2 不是已知的资料类型")
            .arg(templateText(*this), quoted(typeName));
    case Kind::SharedFile: {
        QStringList ids;
        for (const qint64 id : docIds)
            ids.append(QString::number(id));
        return QStringLiteral("模板库文件 %1 由模板 %2 共用（允许）")
            .arg(quoted(fileName), ids.join(QStringLiteral("、")));
    }
    }
    return {};
}

QList<CatalogueFinding> checkCatalogue(const QSqlDatabase& db, const QString& storeFolder,
                                       bool hashKeptFiles) {
    QList<CatalogueFinding> findings;
    checkStoredFiles(db, storeFolder, hashKeptFiles, findings);
    checkClasses(db, findings);
    checkTemplateReferences(db, findings);
    checkVersions(db, findings);
    // Grouped by kind, so that the information on shared files comes last.
    std::stable_sort(
        findings.begin(), findings.end(),
        [](const CatalogueFinding& a, const CatalogueFinding& b) { return a.kind < b.kind; });
    return findings;
}

QString unclassifiedClassName() {
    return QStringLiteral("未分类");
}

QStringList removeUnnamedStoreFiles(const QSqlDatabase& db, const QString& storeFolder,
                                    const QStringList& names) {
    const QSet<QString> named = namedFiles(db);
    QStringList removed;
    for (const QString& name : names)
        if (isBareName(name) && !named.contains(name) &&
            QFile::remove(QDir(storeFolder).filePath(name)))
            removed.append(name);
    return removed;
}

int fileTemplatesOfMissingClasses(const QSqlDatabase& db) {
    if (sqlValue(db, QStringLiteral("select count(*) from ZQ_DocTempDetail where ") +
                         kTemplatesOfMissingClasses)
            .toInt() == 0)
        return 0;
    QString code = sqlValue(db,
                            QStringLiteral("select DocSortID from ZQ_DocInfoMaster where "
                                           "DocSortName = ? and length(DocSortID) = ? and %1 "
                                           "order by DocSortID")
                                .arg(isClassCodeSql(QStringLiteral("DocSortID"))),
                            {unclassifiedClassName(), classCodeLength(1)})
                       .toString();
    if (code.isEmpty())
        code =
            addChildClass(db, QString(), unclassifiedClassName(),
                          QStringLiteral("所属分类不存在的模板"), newChildClassCode(db, QString()));
    return runSql(db,
                  QStringLiteral("update ZQ_DocTempDetail set DocSortID = ? where ") +
                      kTemplatesOfMissingClasses,
                  {code})
        .numRowsAffected();
}

} // namespace zq
