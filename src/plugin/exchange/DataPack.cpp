#include "exchange/DataPack.h"

#include "catalogue/CatalogueHistory.h"
#include "catalogue/CatalogueNotices.h"
#include "catalogue/ClassCatalogue.h"
#include "catalogue/SearchKeys.h"
#include "catalogue/Sql.h"
#include "catalogue/StoreStaging.h"
#include "catalogue/TemplateFiles.h"
#include "catalogue/TemplateStore.h"
#include "catalogue/TemplateVersions.h"
#include "catalogue/TextRules.h"
#include "exchange/PackageFolders.h"
#include "exchange/PackageWriter.h"
#include "exchange/UnpackedPackage.h"
#include "platform/HostPlatform.h"
#include "util/FileUtil.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <algorithm>

namespace zq {

namespace {

// The entries to write, one per key: a later entry with the same key takes the earlier one's
// place, so that one pack never inserts a key twice.
template <typename Key>
void keep(QList<TemplateRecord>& rows, QHash<QString, qsizetype>& at, const TemplateRecord& row,
          Key key) {
    const auto it = at.constFind(key(row));
    if (it != at.cend()) {
        rows[*it] = row;
        return;
    }
    at.insert(key(row), rows.size());
    rows.append(row);
}

// The bound values of the rows, column by column.
template <typename... Fields>
QList<QVariantList> columnsOf(const QList<TemplateRecord>& rows, Fields... fields) {
    QList<QVariantList> columns;
    for (QString TemplateRecord::*field : {fields...}) {
        QVariantList column;
        column.reserve(rows.size());
        for (const TemplateRecord& row : rows)
            column.append(row.*field);
        columns.append(column);
    }
    return columns;
}

// The pack's classes and templates that pass the text rules, each key once.
struct PackRows {
    QList<TemplateRecord> classes;
    QList<TemplateRecord> templates;
};

PackRows checkedRows(const QList<ManifestEntry>& entries, const QString& source,
                     QStringList& refused) {
    PackRows rows;
    QHash<QString, qsizetype> classAt;
    QHash<QString, qsizetype> templateAt;
    for (const ManifestEntry& entry : entries) {
        TemplateRecord r = entry.record;
        r.caption = r.caption.trimmed();
        r.memo = r.memo.trimmed();
        const QFileInfo file(source + r.fileName);
        try {
            if (entry.kind == ManifestEntry::Kind::Class) {
                if (r.classCode.isEmpty())
                    continue;
                if (!isClassCode(r.classCode))
                    throw Error(badClassCodeMessage(r.classCode));
                checkText(TextField::ClassName, r.caption);
                checkText(TextField::ClassMemo, r.memo);
                keep(rows.classes, classAt, r, [](const TemplateRecord& c) { return c.classCode; });
                continue;
            }
            if (!isPackageFileName(r.fileName) || file.isSymLink() || !file.isFile())
                throw Error(QStringLiteral("数据包中没有该文件"));
            for (const auto& [field, text] : {std::pair{TextField::Caption, r.caption},
                                              {TextField::FileName, r.fileName},
                                              {TextField::Memo, r.memo},
                                              {TextField::TypeName, r.typeName},
                                              {TextField::KeyWord, r.keyWord}})
                checkText(field, text);
            keep(rows.templates, templateAt, r, [](const TemplateRecord& t) { return t.fileName; });
        } catch (const Error& e) {
            refused.append(QStringLiteral("“%1”：%2").arg(r.caption, e.message()));
        }
    }
    return rows;
}

// What is filed goes under the root or a class of the catalogue or of the pack, never under a
// class that is nowhere; parents come before their children in code order.
void dropHomeless(PackRows& rows, const QSet<QString>& codes, QStringList& refused) {
    QSet<QString> known = codes;
    const auto placeable = [&](const TemplateRecord& r, const QString& classCode) {
        if (classCode.isEmpty() || known.contains(classCode))
            return true;
        refused.append(QStringLiteral("“%1”：分类“%2”既不在模板目录中，也不在数据包中")
                           .arg(r.caption, classCode));
        return false;
    };
    std::sort(
        rows.classes.begin(), rows.classes.end(),
        [](const TemplateRecord& a, const TemplateRecord& b) { return a.classCode < b.classCode; });
    rows.classes.removeIf([&](const TemplateRecord& c) {
        const QString parent = parentClassCode(c.classCode);
        if (!placeable(c, parent))
            return true;
        known.insert(c.classCode);
        return false;
    });
    rows.templates.removeIf([&](const TemplateRecord& t) { return !placeable(t, t.classCode); });
}

// Inserts what the catalogue lacks and updates what it has: classes by code, templates by
// stored file name.
void writeRows(const QSqlDatabase& db, const PackRows& rows, const QSet<QString>& codes,
               const QSet<QString>& files) {
    QList<TemplateRecord> newClasses;
    QList<TemplateRecord> oldClasses;
    for (const TemplateRecord& c : rows.classes)
        (codes.contains(c.classCode) ? oldClasses : newClasses).append(c);
    QList<TemplateRecord> newTemplates;
    QList<TemplateRecord> oldTemplates;
    for (const TemplateRecord& t : rows.templates)
        (files.contains(t.fileName) ? oldTemplates : newTemplates).append(t);
    using R = TemplateRecord;
    runSqlBatch(db,
                QStringLiteral("insert into ZQ_DocInfoMaster(DocSortID, DocSortName, DocSortMemo) "
                               "values(?, ?, ?)"),
                columnsOf(newClasses, &R::classCode, &R::caption, &R::memo));
    runSqlBatch(db,
                QStringLiteral("update ZQ_DocInfoMaster set DocSortName = ?, DocSortMemo = ? "
                               "where DocSortID = ?"),
                columnsOf(oldClasses, &R::caption, &R::memo, &R::classCode));
    runSqlBatch(db,
                QStringLiteral("insert into ZQ_DocTempDetail(DocCaption, DocFileName, DocMemo, "
                               "DocSortID, DocTypeName, DocKeyWord) values(?, ?, ?, ?, ?, ?)"),
                columnsOf(newTemplates, &R::caption, &R::fileName, &R::memo, &R::classCode,
                          &R::typeName, &R::keyWord));
    runSqlBatch(db,
                QStringLiteral("update ZQ_DocTempDetail set DocCaption = ?, DocMemo = ?, "
                               "DocSortID = ?, DocTypeName = ?, DocKeyWord = ? "
                               "where DocFileName = ?"),
                columnsOf(oldTemplates, &R::caption, &R::memo, &R::classCode, &R::typeName,
                          &R::keyWord, &R::fileName));
    // Templates are found by file name here: the keys of every one whose caption changed.
    refreshSearchKeys(db);
}

// Takes the templates' files into the catalogue and the store and commits; gives the reasons
// of the files that could not be placed.
QStringList storeFiles(const QSqlDatabase& db, Transaction& transaction, const QString& source,
                       const QList<TemplateRecord>& templates) {
    const QString store = templateStorePath();
    if (!templates.isEmpty())
        checkStoreRoom(store, [&] {
            qint64 bytes = 0;
            for (const TemplateRecord& t : templates)
                bytes += QFileInfo(source + t.fileName).size();
            return bytes;
        });
    // The copies wait in the store's staging folder, on the store's file system.
    StoreStaging staging(store);
    QList<FileReplacement> replacing;
    for (const TemplateRecord& t : templates)
        replacing.append({t.fileName, localFileSha256(source + t.fileName)});
    keepVersions(db, replacing);
    QList<std::pair<QString, QString>> placing;
    for (const TemplateRecord& t : templates) {
        replaceTemplateFile(db, source, t.fileName);
        placing.append({staging.stage(source + t.fileName), t.fileName});
    }
    return staging.placeAndCommit(db, transaction, placing);
}

} // namespace

QString dataPackFolder() {
    const QString folder = hostPlatform().GetZQTempPathY();
    // A folder built on an empty or relative base would land at the root of the file system or
    // wherever the host happens to run.
    if (folder.isEmpty() || QDir::isRelativePath(folder))
        throw Error(QStringLiteral("主程序没有提供有效的临时文件夹，无法处理数据包。"));
    return withSlash(folder) + QStringLiteral("~DocMod/");
}

QString dataPackFile() {
    return dataPackFolder() + QStringLiteral("DocMod.Pck");
}

QString exportDataPack(const QSqlDatabase& db, const SelectionNode& root) {
    const QString folder = dataPackFolder();
    if (!QFileInfo(folder).isDir() && !QDir().mkdir(folder))
        throw PackageError(PackageError::Kind::StagingFolder,
                           QStringLiteral("无法创建数据包文件夹“%1”。").arg(folder));
    const QString file = dataPackFile();
    return writePackage(db, root, file).templates > 0 ? file : QStringLiteral("-2");
}

std::optional<QList<ManifestEntry>> readDataPack(const QString& packagePath) {
    std::optional<UnpackedPackage> unpacked;
    try {
        unpacked.emplace(packagePath);
    } catch (const PackageError&) {
        return std::nullopt;
    }
    QList<ManifestEntry> entries = unpacked->manifest().entries;
    entries.removeIf([](const ManifestEntry& entry) {
        return entry.kind == ManifestEntry::Kind::Template &&
               !isPackageFileName(entry.record.fileName);
    });
    return entries;
}

DataPackReport importDataPack(const QSqlDatabase& db, const QList<ManifestEntry>& entries) {
    DataPackReport report;
    const QString source = dataPackFolder();
    PackRows rows = checkedRows(entries, source, report.refused);
    ensureTemplateFileTable(db);
    Transaction transaction(db);
    lockClassesFirst(db);
    const QSet<QString> codes =
        columnValues(db, QStringLiteral("select DocSortID from ZQ_DocInfoMaster"));
    const QSet<QString> files =
        columnValues(db, QStringLiteral("select DocFileName from ZQ_DocTempDetail"));
    dropHomeless(rows, codes, report.refused);
    report.classes = int(rows.classes.size());
    report.templates = int(rows.templates.size());
    // A pack none of whose ticked templates (or, without templates, classes) can be catalogued
    // brought nothing that was asked for: a failure, never an empty success.
    const bool templatesAsked = std::any_of(entries.cbegin(), entries.cend(), [](const auto& e) {
        return e.kind == ManifestEntry::Kind::Template;
    });
    if (templatesAsked ? rows.templates.isEmpty() : !entries.isEmpty() && rows.classes.isEmpty())
        throw Error(QStringLiteral("勾选的条目都不能导入。"),
                    report.refused.join(QLatin1Char('\n')));
    writeRows(db, rows, codes, files);
    recordChange(
        db, {HistoryAction::DataPackImported,
             {},
             0,
             {},
             {},
             QStringLiteral("分类 %1 个，模板 %2 个").arg(report.classes).arg(report.templates)});
    noticeChange(db, ChangeKind::DataPackImported);
    report.refused += storeFiles(db, transaction, source, rows.templates);
    return report;
}

} // namespace zq
