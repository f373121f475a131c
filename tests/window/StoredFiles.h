#pragma once

#include "catalogue/TemplateStore.h"

#include <QDir>
#include <QFile>
#include <QStringList>
#include <QUuid>

namespace zq::test {

// Template files placed in the store for one test, under names no other test uses.
class StoredFiles {
public:
    ~StoredFiles() {
        for (const QString& name : m_names)
            QFile::remove(storedFilePath(name));
    }
    QString add() {
        const QString name =
            QStringLiteral("reg-%1.doc").arg(QUuid::createUuid().toString(QUuid::WithoutBraces));
        QDir().mkpath(templateStorePath());
        QFile file(storedFilePath(name));
        if (file.open(QIODevice::WriteOnly))
            file.write("template");
        m_names.append(name);
        return name;
    }

private:
    QStringList m_names;
};

} // namespace zq::test
