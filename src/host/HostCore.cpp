#include "HostCore.h"

#include "DemoCatalogue.h"
#include "HostDatabase.h"
#include <QStringDecoder>
#include <QStringEncoder>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <stdexcept>

namespace corvane {

namespace {

const QString kConnectionName = QStringLiteral("corvane");

struct HostState {
    QSqlDatabase db;
    QString dataFolder;
    QString project;
    int oldParentId = -1;
    std::unique_ptr<QTemporaryDir> temp;
    std::function<void()> projectChanged;
};

HostState& state() {
    static HostState host;
    return host;
}

} // namespace

void startHost(const HostOptions& options) {
    HostState& host = state();
    host.dataFolder = withSlash(options.dataFolder.isEmpty() ? hostFolder() + QStringLiteral("Data")
                                                             : options.dataFolder);
    setProjectSerial(options.project);

    const QString database = options.database.isEmpty()
                                 ? host.dataFolder + QStringLiteral("corvane.db")
                                 : options.database;
    const bool postgres = isServerUrl(database);
    const bool fresh = !postgres && !QFileInfo::exists(database);
    if (!postgres && !QDir().mkpath(QFileInfo(database).absolutePath()))
        throw std::runtime_error("cannot make the folder of " + database.toStdString());
    host.db = openNamedDatabase(kConnectionName, database);
    createHostSchema(host.db);
    if (fresh)
        seedDemoCatalogue(host.db, hostFolder() + QStringLiteral("APP/Config/XTGL/DocTemplate/"));

    host.temp =
        std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/corvane-XXXXXX"));
    if (!host.temp->isValid())
        throw std::runtime_error("cannot make a temporary folder");
}

void stopHost() {
    HostState& host = state();
    host.temp.reset();
    if (host.db.isValid()) {
        host.db.close();
        host.db = QSqlDatabase();
        QSqlDatabase::removeDatabase(kConnectionName);
    }
}

QString hostFolder() {
    const QString named = qEnvironmentVariable("ZQ_HOST_FOLDER");
    return withSlash(named.isEmpty() ? QCoreApplication::applicationDirPath() : named);
}

QString dataFolder() {
    return state().dataFolder;
}

QSqlDatabase& hostDatabase() {
    return state().db;
}

QString tempFolder() {
    const auto& temp = state().temp;
    if (!temp)
        throw std::runtime_error("the host has not started");
    return withSlash(temp->path());
}

QString projectSerial() {
    return state().project;
}

void setProjectSerial(const QString& serial) {
    // The serial names the project's folder, so it must be a bare name.
    if (!serial.isEmpty() && !isSafeBareName(serial))
        throw std::runtime_error("not a usable project serial: " + serial.toStdString());
    state().project = serial;
    notifyProjectChanged();
}

bool registrationAllowed() {
    const QString serial = projectSerial();
    return !serial.isEmpty() && serial.toUpper() != QLatin1String("PROJECTTEST");
}

int oldParentId() {
    return state().oldParentId;
}

void setOldParentId(int id) {
    state().oldParentId = id;
}

void setProjectChangedListener(std::function<void()> listener) {
    state().projectChanged = std::move(listener);
}

void notifyProjectChanged() {
    if (state().projectChanged)
        state().projectChanged();
}

QString withSlash(QString folder) {
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}

bool isSafeBareName(const QString& name) {
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return false;
    for (const QChar c : name) {
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c == QLatin1Char(':') ||
            c.category() == QChar::Other_Control)
            return false;
    }
    return true;
}

QString fromHost(const char* text) {
    return text ? QStringDecoder("GB18030").decode(QByteArray(text)) : QString();
}

QByteArray hostBytes(const QString& text) {
    return QStringEncoder("GB18030").encode(text);
}

char* toHost(const QString& text) {
    const QByteArray bytes = hostBytes(text);
    auto* copy = static_cast<char*>(std::malloc(bytes.size() + 1));
    if (!copy)
        throw std::bad_alloc();
    std::memcpy(copy, bytes.constData(), bytes.size() + 1);
    return copy;
}

void setOut(char** out, const QString& text) {
    if (!out)
        return;
    char* value = text.isEmpty() ? nullptr : toHost(text);
    std::free(*out);
    *out = value;
}

void logCall(const char* op, const QJsonArray& args, const QJsonValue& result,
             const QString& error) {
    try {
        const QString path = qEnvironmentVariable("CORVANE_CALL_LOG");
        if (path.isEmpty())
            return;
        QJsonObject line{{QStringLiteral("op"), QLatin1String(op)},
                         {QStringLiteral("args"), args},
                         {QStringLiteral("result"), result}};
        if (!error.isEmpty())
            line.insert(QStringLiteral("error"), error);
        QFile file(path);
        if (file.open(QIODevice::Append | QIODevice::WriteOnly))
            file.write(QJsonDocument(line).toJson(QJsonDocument::Compact) + '\n');
    } catch (...) {
        // The log is a witness, never a reason for a service to fail.
    }
}

} // namespace corvane
