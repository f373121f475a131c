// The fixture of the package tests: a catalogue, a host whose archive calls do the real
// work, the template store, and the manifest entries packages are made of by hand.
#pragma once

#include "Archive.h"
#include "FakeHost.h"
#include "HostArchives.h"
#include "TestCatalogue.h"
#include "TestFiles.h"
#include "catalogue/ClassCatalogue.h"
#include "catalogue/Sql.h"
#include "catalogue/TemplateStore.h"
#include "exchange/Manifest.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <QTemporaryDir>
#include <QUuid>

namespace zq::test {

// A catalogue, a host whose archive calls do the real work, and the template store. Files this
// fixture puts into the store carry its own prefix and are removed at the end.
struct Exchange {
    TestCatalogue catalogue;
    FakeHost host;
    FakeHostScope scope{host};
    QTemporaryDir dir;
    const QString p = "p" + QUuid::createUuid().toString(QUuid::Id128).left(10) + "-";

    Exchange() {
        useHostArchives(host);
        QDir().mkpath(templateStorePath());
    }
    ~Exchange() {
        for (const QString& name : QDir(templateStorePath()).entryList({p + "*"}, QDir::Files))
            QFile::remove(storedFilePath(name));
    }
    // A catalogued template with its stored file.
    void stored(const QString& caption, const QString& code, const QString& file,
                const QByteArray& content = "x") {
        writeFile(storedFilePath(p + file), content);
        catalogue.addTemplate(caption, code, p + file);
    }
    QString package(const QString& name = "out.TempFile") { return dir.filePath(name); }

    // A package made by hand: the manifest and the files, packed by the host's archive code.
    QString handMade(const QList<ManifestEntry>& entries, const QMap<QString, QByteArray>& files) {
        const QString folder = dir.filePath("hand-" + QUuid::createUuid().toString(QUuid::Id128));
        QDir().mkpath(folder);
        writeManifest(folder + "/" + manifestFileName(), entries);
        for (auto it = files.cbegin(); it != files.cend(); ++it)
            writeFile(folder + "/" + it.key(), it.value());
        return corvane::compressFolder(folder, folder + ".TempFile");
    }
    QStringList templates() {
        QStringList rows;
        QSqlQuery q = runSql(catalogue.db(),
                             "select DocCaption, DocFileName, DocSortID from ZQ_DocTempDetail");
        while (q.next())
            rows.append(q.value(0).toString() + "|" + q.value(1).toString() + "|" +
                        q.value(2).toString());
        rows.sort();
        return rows;
    }
    QStringList classes() {
        QStringList rows;
        for (const ClassRecord& c : readClassRows(catalogue.db()))
            rows.append(c.code + "|" + c.name + "|" + c.memo);
        return rows;
    }
};

inline ManifestEntry classEntry(const QString& code, const QString& name,
                                const QString& memo = {}) {
    ManifestEntry e{ManifestEntry::Kind::Class, {}};
    e.record.classCode = code;
    e.record.caption = name;
    e.record.memo = memo;
    return e;
}

inline ManifestEntry templateEntry(const QString& caption, const QString& file,
                                   const QString& code) {
    ManifestEntry e{ManifestEntry::Kind::Template, {}};
    e.record = {0, caption, file, "说明", "WORD", "关键字", code};
    return e;
}

} // namespace zq::test
