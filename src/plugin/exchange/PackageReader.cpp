#include "exchange/PackageReader.h"
#include "exchange/UnpackedPackage.h"

#include "catalogue/CatalogueHistory.h"
#include "catalogue/CatalogueNotices.h"
#include "catalogue/ClassCatalogue.h"
#include "catalogue/Sql.h"
#include "catalogue/StoreStaging.h"
#include "catalogue/TemplateDocuments.h"
#include "catalogue/TemplateFiles.h"
#include "catalogue/TemplateStore.h"
#include "util/CrashPoint.h"
#include "util/FileUtil.h"

#include <QFileInfo>
#include <QSet>
#include <algorithm>
#include <functional>
#include <optional>

namespace zq {

namespace {

// Entries come in code order, classes before their templates, so a class that is in neither
// the catalogue nor the package is known by the time anything is filed in it.
QString missingClassReason(const QString& code) {
    return QStringLiteral("分类“%1”既不在模板目录中，也不在模板包中").arg(code);
}

// The bytes the package's template files take once unpacked.
qint64 unpackedBytes(const Manifest& manifest) {
    qint64 bytes = 0;
    for (const ManifestEntry& entry : manifest.entries)
        if (entry.kind == ManifestEntry::Kind::Template && isBareName(entry.record.fileName))
            bytes += QFileInfo(unpackFolder() + entry.record.fileName).size();
    return bytes;
}

// Templates checked and waiting to be catalogued together: a few hundred, or fewer when their
// files are large, so that progress keeps moving.
constexpr qsizetype kBatchEntries = 256;
constexpr qint64 kBatchBytes = 32 << 20;

class Importer {
public:
    Importer(const QSqlDatabase& db, ImportReport& report, ImportMode mode, const KnownFiles& known,
             std::function<void()> entryDone)
        : m_db(db)
        , m_report(report)
        , m_mode(mode)
        , m_known(known)
        , m_entryDone(std::move(entryDone))
        , m_codes(columnValues(db, QStringLiteral("select DocSortID from ZQ_DocInfoMaster")))
        , m_files(columnValues(db, QStringLiteral("select DocFileName from ZQ_DocTempDetail"))) {}

    // Stored names of the templates catalogued in this run, whose files go into the store
    // once the rows are committed: a crash before that leaves no store file without its row.
    QStringList toPlace;

    // A class is catalogued at once, after the templates before it; a template that passes the
    // checks waits for the others of its batch.
    void importEntry(const ManifestEntry& entry) {
        if (entry.kind == ManifestEntry::Kind::Class) {
            flush();
            importClass(entry.record);
            m_entryDone();
            return;
        }
        if (!queueTemplate(entry.record))
            m_entryDone();
        else if (m_batch.size() >= kBatchEntries || m_batchBytes >= kBatchBytes)
            flush();
    }

    // Catalogues the waiting templates: all in one go, or, when the database refuses that, each
    // on its own, so that the refusal names the entry.
    void flush() {
        if (m_batch.isEmpty())
            return;
        const bool together = insertTogether();
        for (const TemplateRecord& r : std::as_const(m_batch)) {
            const Outcome outcome = together ? Outcome::Added : insertAlone(r);
            if (outcome != Outcome::Refused)
                m_files.insert(r.fileName);
            if (outcome == Outcome::Present) {
                ++m_report.templatesPresent;
            } else if (outcome == Outcome::Added) {
                toPlace.append(r.fileName);
                ++m_report.templatesAdded;
                m_report.added.append(templateLabel(r));
            }
            m_entryDone();
        }
        m_batch.clear();
        m_batchFiles.clear();
        m_batchBytes = 0;
    }

private:
    enum class Outcome { Added, Present, Refused };

    // Decides what the catalogue and the unpacked file tell about the entry; true when it
    // waits to be inserted.
    bool queueTemplate(const TemplateRecord& r) {
        const QString label = templateLabel(r);
        if (!isPackageFileName(r.fileName))
            return refuse(label, QStringLiteral("文件名不能用于模板库"));
        // The same file twice: the first one decides what the second is.
        if (m_batchFiles.contains(r.fileName))
            flush();
        if (m_files.contains(r.fileName)) {
            ++m_report.templatesPresent;
            return false;
        }
        if (!r.classCode.isEmpty() && !m_codes.contains(r.classCode))
            return refuse(label, missingClassReason(r.classCode));
        const QFileInfo file(unpackFolder() + r.fileName);
        if (!file.exists() && !file.isSymLink())
            return refuse(label, QStringLiteral("模板包中没有该文件"));
        if (file.isSymLink() || !file.isFile())
            return refuse(label, QStringLiteral("模板包中的该文件不是普通文件"));
        try {
            checkTemplateRow(r);
        } catch (const Error& e) {
            return refuse(label, e.message());
        }
        m_batch.append(r);
        m_batchFiles.insert(r.fileName);
        m_batchBytes += file.size();
        return true;
    }

    // The batch's classes are held once for the rest of the import; one deleted meanwhile
    // leaves each of its templates to be refused on its own.
    bool insertTogether() {
        QStringList codes;
        for (const TemplateRecord& r : std::as_const(m_batch)) {
            if (!r.classCode.isEmpty() && !m_held.contains(r.classCode) &&
                !codes.contains(r.classCode))
                codes.append(r.classCode);
        }
        m_held.unite(lockExistingClasses(m_db, codes));
        if (std::any_of(codes.cbegin(), codes.cend(),
                        [&](const QString& code) { return !m_held.contains(code); }))
            return false;
        return !failureOf([&] {
            insertTemplatesWithFiles(m_db, m_batch, unpackFolder(), m_mode == ImportMode::Apply,
                                     &m_known);
        });
    }

    Outcome insertAlone(const TemplateRecord& r) {
        const auto step = [&] {
            insertTemplate(m_db, r);
            if (m_mode == ImportMode::Apply)
                insertTemplateFile(m_db, unpackFolder(), r.fileName);
        };
        const auto added = [&] {
            return sqlValue(m_db,
                            QStringLiteral("select 1 from ZQ_DocTempDetail where DocFileName = ?"),
                            {r.fileName})
                .isValid();
        };
        return inSavepoint(templateLabel(r), step, added);
    }

    void importClass(const TemplateRecord& r) {
        const QString label = classLabel(r);
        if (r.classCode.isEmpty()) {
            refuse(label, QStringLiteral("分类编码为空"));
            return;
        }
        if (m_codes.contains(r.classCode)) {
            ++m_report.classesPresent;
            return;
        }
        if (!isClassCode(r.classCode)) {
            refuse(label, badClassCodeMessage(r.classCode));
            return;
        }
        if (const QString parent = parentClassCode(r.classCode);
            !parent.isEmpty() && !m_codes.contains(parent)) {
            refuse(label, missingClassReason(parent));
            return;
        }
        const auto added = [&] { return classExists(m_db, r.classCode); };
        const Outcome outcome = inSavepoint(
            label, [&] { insertClass(m_db, r.classCode, r.caption, r.memo); }, added);
        if (outcome == Outcome::Refused)
            return;
        m_codes.insert(r.classCode);
        if (outcome == Outcome::Present) {
            ++m_report.classesPresent;
        } else {
            // Its row is this transaction's own: no one else deletes it.
            m_held.insert(r.classCode);
            ++m_report.classesAdded;
            m_report.added.append(label);
        }
    }

    // Runs the step; a failure is rolled back to the savepoint and gives its reason. A failure
    // of the savepoint itself ends the import.
    template <typename Step> std::optional<QString> failureOf(Step step) {
        runSql(m_db, QStringLiteral("savepoint zq_entry"));
        try {
            step();
        } catch (const Error& e) {
            runSql(m_db, QStringLiteral("rollback to savepoint zq_entry"));
            runSql(m_db, QStringLiteral("release savepoint zq_entry"));
            return e.message();
        }
        runSql(m_db, QStringLiteral("release savepoint zq_entry"));
        return std::nullopt;
    }

    // Catalogues one entry; when the database refuses it, it is refused, unless another
    // workstation added the same entry meanwhile: that one is present, for what comes below
    // it too.
    template <typename Step, typename Added>
    Outcome inSavepoint(const QString& label, Step step, Added addedElsewhere) {
        const std::optional<QString> failure = failureOf(step);
        if (!failure)
            return Outcome::Added;
        if (addedElsewhere())
            return Outcome::Present;
        refuse(label, *failure);
        return Outcome::Refused;
    }

    bool refuse(const QString& label, const QString& reason) {
        m_report.refused.append(label + QStringLiteral("：") + reason);
        return false;
    }

    QSqlDatabase m_db;
    ImportReport& m_report;
    ImportMode m_mode;
    const KnownFiles& m_known;
    std::function<void()> m_entryDone;
    QSet<QString> m_codes;
    QSet<QString> m_files;
    QSet<QString> m_held; // classes this transaction keeps from being deleted
    QList<TemplateRecord> m_batch;
    QSet<QString> m_batchFiles;
    qint64 m_batchBytes = 0;
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
    // An embedded catalogue records each file's facts, which are best read as the host writes it.
    const UnpackedPackage unpacked(packagePath, progress,
                                   mode == ImportMode::Apply && !keepsFileBytes(db));
    const QString& unpack = unpacked.folder();
    crashPoint("import:unpacked");
    const Manifest manifest = unpacked.manifest();
    ImportReport report;
    for (const QString& reason : manifest.skipped)
        report.refused.append(reason);

    const QString store = templateStorePath();
    if (mode == ImportMode::Apply)
        checkStoreRoom(
            store, [&] { return unpackedBytes(manifest); }, unpack);
    const MemoryTempStore tempStore(db);
    Transaction transaction(db);
    noticeChange(db, ChangeKind::PackageImported);
    const int total = int(manifest.entries.size());
    int done = 0;
    Importer importer(db, report, mode, unpacked.knownFiles(), [&] {
        ++done;
        if (progress)
            progress(PackageStage::Cataloguing, done, total);
    });
    const auto commitAndPlace = [&] {
        if (mode == ImportMode::DryRun)
            return;
        recordChange(db, {HistoryAction::PackageImported,
                          {},
                          0,
                          QFileInfo(packagePath).fileName(),
                          {},
                          report.summary()});
        crashPoint("import:catalogued");
        QList<std::pair<QString, QString>> files;
        for (const QString& fileName : std::as_const(importer.toPlace))
            files.append({unpack + fileName, fileName});
        // A file the catalogue keeps and that cannot be placed here is fetched when needed.
        StoreStaging(store).placeAndCommit(db, transaction, files);
    };
    try {
        for (const ManifestEntry& entry : manifest.entries)
            importer.importEntry(entry);
        importer.flush();
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
