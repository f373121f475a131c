#pragma once

#include <QDateTime>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <functional>
#include <utility>

namespace zq {

class Transaction;

// Work that puts files into the template store, made safe against a crash: a folder of its own
// inside the store (so a rename from it never crosses a file system) holds the copies waiting
// for their rows, and a journal names every store file that appears before its row is
// committed. After a crash, sweepStaleStaging removes what such work left: the folder, and each
// journalled file that no row names.
class StoreStaging {
public:
    // Nothing is made on disk until a file is staged or journalled.
    explicit StoreStaging(const QString& store);
    // Removes the folder with the copies never placed, and the journal: the work is over,
    // committed or not.
    ~StoreStaging();
    StoreStaging(const StoreStaging&) = delete;
    StoreStaging& operator=(const StoreStaging&) = delete;

    const QString& store() const { return m_store; }

    // Copies the file into the staging folder and gives the copy's path; throws when it cannot.
    QString stage(const QString& source);
    // Moves the file into the store under the bare name; a rename replaces a link of that name
    // instead of writing through it. A file on another file system is staged first, so the
    // store never holds a half-written file. Throws when the file cannot be placed.
    void place(const QString& source, const QString& fileName);
    // Writes the bytes as a file of the staging folder and gives its path; throws when it cannot.
    QString stageBytes(const QByteArray& bytes, const QDateTime& modified);
    // Notes, before the files appear, that the store files of these names have no committed row
    // yet.
    void expect(const QStringList& fileNames);

    // Moves each file (source path, bare name) into the store and commits the transaction, in
    // the order that survives a crash. Where the catalogue keeps the bytes: commit, then place;
    // a file that cannot be placed is fetched from the catalogue when next needed, and the
    // reasons are given. Where the store's file is the only copy: journal, place, then commit; a
    // file that cannot be placed fails the whole, and the new files placed are taken back.
    QStringList placeAndCommit(const QSqlDatabase& db, Transaction& transaction,
                               const QList<std::pair<QString, QString>>& files);

private:
    QString folder();
    // The folder of this run's copies and journal, inside the staging folder of `parent`.
    QString runFolder(const QString& parent) const;
    // Into a store that holds nothing yet, the folder the files sit in becomes the store: one
    // rename instead of one per file, the journal inside it. What else the folder holds is
    // removed first. False, the store unchanged, when the store is not empty, not this
    // process's, or on another file system.
    bool adopt(const QString& from, const QStringList& fileNames);
    // Moves each file into the store, noting those whose names were free.
    void placeEach(const QList<std::pair<QString, QString>>& files, QStringList& placedNew);

    QString m_store;
    QString m_run;
    QString m_folder;
    int m_staged = 0;
};

// Makes the folder of the store (or one inside it) when it is missing; throws when it cannot.
void makeStoreFolder(const QString& folder);

// Writes the bytes as the store's file at the path, with that modification time: the file
// appears whole or not at all, and a link in its place is replaced, never written through.
// Throws when it cannot be written.
void writeStoreFile(const QString& path, const QByteArray& bytes, const QDateTime& modified);

// Clears what staging work of processes that are no longer running left in the store: their
// copies, and each journalled store file that no row of the catalogue names. Cheap when there
// is nothing to clear; run it when a tool starts.
void sweepStaleStaging(const QSqlDatabase& db, const QString& store);

// Makes the store when it is missing, then throws, naming the cause, when it cannot take
// `bytes()` more of template files: a read-only folder ("模板库文件夹只读"), or too little free
// space on the store's file system ("模板库所在磁盘空间不足"), unless they are moved there from
// `movedFrom` on the same one (then `bytes` is not called).
void checkStoreRoom(const QString& store, const std::function<qint64()>& bytes,
                    const QString& movedFrom = {});

} // namespace zq
