#pragma once

#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

namespace zq {

// One thing the integrity check found. The fields that do not apply stay empty (docId -1).
struct CatalogueFinding {
    enum class Kind {
        BadFileName,         // a template row's stored file name is not a bare name
        MissingFile,         // a template row's stored file is neither in the store nor kept
                             // by the catalogue
        UnnamedFile,         // a file in the store that no template row names
        StoreLink,           // a symbolic link in the store: never exported or sent as a file
        DamagedFile,         // bytes the catalogue keeps that do not match their size or SHA-256
        VersionWithoutBytes, // a version of a template's file whose bytes the catalogue lacks
        BadClassCode,        // a class code not made of whole four-digit groups
        DuplicateClassCode,  // one class code on several class rows
        MissingParent,       // a class whose parent class does not exist
        MissingClass,        // a template whose class does not exist
        UnknownType,         // a template whose data type is not in ZQ_TypeInfo: information, as
                             // a package from another installation may bring one
        SharedFile,          // several template rows name one stored file: allowed, information
    };
    explicit CatalogueFinding(Kind kind)
        : kind(kind) {}

    Kind kind;
    qint64 docId = -1;
    QList<qint64> docIds; // SharedFile: every row naming the file
    QString caption;      // the template's or the class's name
    QString classCode;
    QString fileName;
    QString typeName;
    QString sha256; // VersionWithoutBytes: the version's
    int count = 0;  // DuplicateClassCode: how many rows hold the code

    bool isInformation() const { return kind == Kind::SharedFile || kind == Kind::UnknownType; }
    // A stable key for scripts ("missing-file", ...).
    QString key() const;
    // What was found and where, in one line.
    QString message() const;
};

// Runs the whole check: a handful of statements and one listing of the store, whatever the
// size of the catalogue; with `hashKeptFiles` also the bytes the catalogue keeps against their
// sizes and SHA-256, which reads every one of them. Findings come grouped by kind, in the order
// of the kinds above.
QList<CatalogueFinding> checkCatalogue(const QSqlDatabase& db, const QString& storeFolder,
                                       bool hashKeptFiles = false);

// The name of the class that collects templates whose class does not exist.
QString unclassifiedClassName();

// Removes store files that no template row names, reading the names once more first so that a
// file catalogued meanwhile stays. Gives the names removed.
QStringList removeUnnamedStoreFiles(const QSqlDatabase& db, const QString& storeFolder,
                                    const QStringList& names);

// Files every template whose class does not exist under the top-level class named
// unclassifiedClassName(), making that class with the next free code when there is none.
// Gives the number of templates moved.
int fileTemplatesOfMissingClasses(const QSqlDatabase& db);

} // namespace zq
