#include "exchange/PackageReader.h"

#include "catalogue/ClassCatalogue.h"
#include "catalogue/Sql.h"
#include "catalogue/StoreStaging.h"
#include "catalogue/TemplateDocuments.h"
#include "catalogue/TemplateFiles.h"
#include "catalogue/TemplateStore.h"
#include "exchange/ArchiveProgress.h"
#include "platform/HostPlatform.h"
#include "util/CrashPoint.h"
#include "util/FileUtil.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <algorithm>

namespace zq {

namespace {

// Entries come in code order, classes before their templates, so a class that is in neither
// the catalogue nor the package is known by the time anything is filed in it.
QString missingClassReason(const QString& code) {
    return QStringLiteral("分类“%1”既不在模板目录中，也不在模板包中").arg(code);
}

// What a quick look at a package the host would not unpack tells about it: the host's service
// answers only with an empty text.
QString packageDamage(const QString& packagePath) {
    QFile file(packagePath);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("无法读取该文件。");
    if (!file.read(4).startsWith("PK"))
        return QStringLiteral("该文件不是 zip 格式的模板包。");
    const qint64 tail = std::min<qint64>(file.size(), 22 + 0xFFFF);
    file.seek(file.size() - tail);
    if (!file.read(tail).contains(QByteArray("PK\x05\x06", 4)))
        return QStringLiteral("模板包不完整（可能被截断）或已损坏。");
    return QStringLiteral("模板包已损坏，或含有不能解包的条目（不安全的名称、链接、"
                          "特殊文件），或超出解包的限制（条目数、大小、可用空间）。");
}

// The bytes the package's template files take once unpacked.
qint64 unpackedBytes(const Manifest& manifest) {
    qint64 bytes = 0;
    for (const ManifestEntry& entry : manifest.entries)
        if (entry.kind == ManifestEntry::Kind::Template && isBareName(entry.record.fileName))
            bytes += QFileInfo(unpackFolder() + entry.record.fileName).size();
    return bytes;
}

TemplateRow templateRow(const TemplateRecord& entry) {
    return {entry.caption,   entry.fileName, entry.memo,
            entry.classCode, entry.typeName, entry.keyWord};
}

class Importer {
public:
    Importer(const QSqlDatabase& db, ImportReport& report, ImportMode mode)
        : m_db(db)
        , m_report(report)
        , m_mode(mode)
        , m_codes(columnValues(db, QStringLiteral("select DocSortID from ZQ_DocInfoMaster")))
        , m_files(columnValues(db, QStringLiteral("select DocFileName from ZQ_DocTempDetail"))) {}

    // Stored names of the templates catalogued in this run, whose files go into the store
    // once the rows are committed: a crash before that leaves no store file without its row.
    QStringList toPlace;

    void importEntry(const ManifestEntry& entry) {
        const TemplateRecord& r = entry.record;
        if (entry.kind == ManifestEntry::Kind::Class)
            return importClass(r);
        const QString label = QStringLiteral("模板文件“%1”（%2）").arg(r.caption, r.fileName);
        if (!isBareName(r.fileName) || r.fileName == manifestFileName())
            return refuse(label, QStringLiteral("文件名不能用于模板库"));
        if (m_files.contains(r.fileName)) {
            ++m_report.templatesPresent;
            return;
        }
        if (!r.classCode.isEmpty() && !m_codes.contains(r.classCode))
            return refuse(label, missingClassReason(r.classCode));
        const QString source = unpackFolder() + r.fileName;
        const QFileInfo file(source);
        if (!file.exists() && !file.isSymLink())
            return refuse(label, QStringLiteral("模板包中没有该文件"));
        if (file.isSymLink() || !file.isFile())
            return refuse(label, QStringLiteral("模板包中的该文件不是普通文件"));
        const auto step = [&] {
            insertTemplate(m_db, templateRow(r));
            if (m_mode == ImportMode::Apply)
                insertTemplateFile(m_db, unpackFolder(), r.fileName);
        };
        const auto added = [&] {
            return sqlValue(m_db,
                            QStringLiteral("select 1 from ZQ_DocTempDetail where DocFileName = ?"),
                            {r.fileName})
                .isValid();
        };
        const Outcome outcome = inSavepoint(label, step, added);
        if (outcome == Outcome::Refused)
            return;
        m_files.insert(r.fileName);
        if (outcome == Outcome::Present) {
            ++m_report.templatesPresent;
        } else {
            toPlace.append(r.fileName);
            ++m_report.templatesAdded;
            m_report.added.append(label);
        }
    }

private:
    void importClass(const TemplateRecord& r) {
        const QString label = QStringLiteral("模板分类“%1”（%2）").arg(r.caption, r.classCode);
        if (r.classCode.isEmpty())
            return refuse(label, QStringLiteral("分类编码为空"));
        if (m_codes.contains(r.classCode)) {
            ++m_report.classesPresent;
            return;
        }
        if (!isClassCode(r.classCode))
            return refuse(label, badClassCodeMessage(r.classCode));
        if (const QString parent = parentClassCode(r.classCode);
            !parent.isEmpty() && !m_codes.contains(parent))
            return refuse(label, missingClassReason(parent));
        const auto added = [&] { return classExists(m_db, r.classCode); };
        const Outcome outcome = inSavepoint(
            label, [&] { insertClass(m_db, r.classCode, r.caption, r.memo); }, added);
        if (outcome == Outcome::Refused)
            return;
        m_codes.insert(r.classCode);
        if (outcome == Outcome::Present) {
            ++m_report.classesPresent;
        } else {
            ++m_report.classesAdded;
            m_report.added.append(label);
        }
    }

    enum class Outcome { Added, Present, Refused };

    // Runs the step; a failure is rolled back to the savepoint and refuses the entry, unless
    // another workstation added the same entry meanwhile: that one is present, for what comes
    // below it too. A failure of the savepoint itself ends the import.
    template <typename Step, typename Added>
    Outcome inSavepoint(const QString& label, Step step, Added addedElsewhere) {
        runSql(m_db, QStringLiteral("savepoint zq_entry"));
        try {
            step();
        } catch (const Error& e) {
            runSql(m_db, QStringLiteral("rollback to savepoint zq_entry"));
            runSql(m_db, QStringLiteral("release savepoint zq_entry"));
            if (addedElsewhere())
                return Outcome::Present;
            refuse(label, e.message());
            return Outcome::Refused;
        }
        runSql(m_db, QStringLiteral("release savepoint zq_entry"));
        return Outcome::Added;
    }

    void refuse(const QString& label, const QString& reason) {
        m_report.refused.append(label + QStringLiteral("：") + reason);
    }

    QSqlDatabase m_db;
    ImportReport& m_report;
    ImportMode m_mode;
    QSet<QString> m_codes;
    QSet<QString> m_files;
};

} // namespace

QString ImportReport::summary() const {
    return QStringLiteral("新增模板分类 %1 个，已有 %2 个；新增模板文件 %3 个，已有 %4 个；"
                          "拒绝 %5 项。")
        .arg(classesAdded)
        .arg(classesPresent)
        .arg(templatesAdded)
        .arg(templatesPresent)
        .arg(refused.size());
}

ImportReport importPackage(const QSqlDatabase& db, const QString& packagePath,
                           const PackageProgress& progress, ImportMode mode) {
    if (!QFileInfo(packagePath).isFile())
        throw PackageError(PackageError::Kind::MissingPackage, QStringLiteral("文件包不存在！"));
    const QString unpack = unpackFolder();
    const WorkFolder held(unpack);
    if (!held.isReady())
        throw PackageError(PackageError::Kind::UnpackFolder,
                           QStringLiteral("创建文件临时解包文件夹失败！"), held.problem());
    const auto extracting = [&](qint64 done, qint64 total) {
        progress(PackageStage::Extracting, done, total);
    };
    if (runWithReadProgress([&] { return hostPlatform().ExtractFile(packagePath, unpack); },
                            QFileInfo(packagePath).size(),
                            progress ? extracting : std::function<void(qint64, qint64)>())
            .isEmpty())
        throw PackageError(PackageError::Kind::Extraction, QStringLiteral("导入模板文件失败！"),
                           packageDamage(packagePath));

    crashPoint("import:unpacked");
    const Manifest manifest = readManifest(unpack + manifestFileName());
    ImportReport report;
    for (const QString& reason : manifest.skipped)
        report.refused.append(reason);

    const QString store = templateStorePath();
    if (mode == ImportMode::Apply) {
        if (!QDir().mkpath(store))
            throw Error(QStringLiteral("无法创建模板文件夹“%1”。").arg(store));
        checkStoreRoom(db, store, unpackedBytes(manifest), unpack);
    }
    Transaction transaction(db);
    Importer importer(db, report, mode);
    const auto commitAndPlace = [&] {
        if (mode == ImportMode::DryRun)
            return;
        crashPoint("import:catalogued");
        transaction.commit();
        crashPoint("import:committed");
        // The rows and bytes are in the catalogue now: a file that cannot be placed here is
        // fetched from there when it is next needed.
        StoreStaging staging(store);
        for (const QString& fileName : std::as_const(importer.toPlace)) {
            try {
                staging.place(unpack + fileName, fileName);
                crashPoint("import:placing");
            } catch (const Error&) {
            }
        }
    };
    const int total = int(manifest.entries.size());
    try {
        for (int i = 0; i < total; ++i) {
            importer.importEntry(manifest.entries[i]);
            if (progress)
                progress(PackageStage::Cataloguing, i + 1, total);
        }
    } catch (...) {
        // What was imported before the failure stays; a dry run keeps nothing.
        try {
            commitAndPlace();
        } catch (const std::exception&) {
        }
        throw;
    }
    commitAndPlace();
    return report;
}

} // namespace zq
