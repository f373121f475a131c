// zqbench: how fast the catalogue's windows and reads are, as ratios against a baseline
// measured in the same run.
//
//   zqbench [--only CASE]... [--scale CLASSES:TEMPLATES] [--engine sqlite|postgresql]
//           [postgresql://user@host:port/database] (or ZQ_BENCH_DATABASE=URL)
//   zqbench [--scale CLASSES:TEMPLATES] --generate FILE
//
// Runs on a SQLite file in a temporary folder and, with a URL, also on that PostgreSQL
// database, whose catalogue tables it empties; --engine keeps one of the two, so that the peak
// memory of a process is that engine's alone. Exits non-zero when a case finds that two fills
// that must agree do not. --generate only writes the firm-sized catalogue into the SQLite file
// FILE, for the stand-in host (corvane --database FILE).
#include "Bench.h"
#include "HostDatabase.h"
#include "util/Error.h"

#include <QApplication>
#include <QTemporaryDir>

#include <cstdio>
#include <stdexcept>

namespace zq::bench {

// Each case lives in its own file: it prints its table and answers whether its fills agreed.
bool listReadBench(const Engine& engine);
bool moveBench(const Engine& engine);
bool historyBench(const Engine& engine);
bool checkBench(const Engine& engine);
bool packageBench(const Engine& engine);
bool filesBench(const Engine& engine);
bool managerBench(const Engine& engine);
bool registrationBench(const Engine& engine);
bool searchBench(const Engine& engine);
bool crashBench(const Engine& engine);
bool dialogMemoryBench(const Engine& engine);
bool wholePackageBench(const Engine& engine);
bool liveBench(const Engine& engine);

namespace {

struct Case {
    const char* name;
    bool (*run)(const Engine&);
};

const Case kCases[] = {
    {"list-read", listReadBench},
    {"move", moveBench},
    {"history", historyBench},
    {"check", checkBench},
    {"package", packageBench},
    {"manager", managerBench},
    {"registration", registrationBench},
    {"search", searchBench},
    {"files", filesBench},
    {"crash", crashBench},
    {"dialog-memory", dialogMemoryBench},
    {"whole-package", wholePackageBench},
    {"live", liveBench},
};

struct Options {
    QStringList only;
    QString engineName;
    QString generated;
    QString postgresUrl;
};

// The command line's options; --scale takes effect at once.
Options parseOptions(const QStringList& args) {
    Options options{{}, {}, {}, qEnvironmentVariable("ZQ_BENCH_DATABASE")};
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--only") && i + 1 < args.size()) {
            options.only.append(args[++i]);
        } else if (args[i] == QLatin1String("--scale") && i + 1 < args.size()) {
            const QStringList sizes = args[++i].split(QLatin1Char(':'));
            catalogueScale() = {sizes.value(0).toInt(), sizes.value(1).toInt()};
        } else if (args[i] == QLatin1String("--engine") && i + 1 < args.size()) {
            options.engineName = args[++i];
        } else if (args[i] == QLatin1String("--generate") && i + 1 < args.size()) {
            options.generated = args[++i];
        } else {
            options.postgresUrl = args[i];
        }
    }
    return options;
}

} // namespace

} // namespace zq::bench

using namespace zq::bench;

int main(int argc, char** argv) {
    // The window cases need no screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const auto [only, engineName, generated, postgresUrl] = parseOptions(app.arguments().mid(1));
    try {
        if (!generated.isEmpty()) {
            const Engine engine{
                "sqlite", corvane::openHostDatabase(QStringLiteral("bench-generate"), generated),
                generated};
            QSqlDatabase db = engine.db;
            corvane::createHostSchema(db);
            useLargeCatalogue(engine);
            return 0;
        }
        const QTemporaryDir folder;
        if (!folder.isValid())
            throw std::runtime_error("cannot make a temporary folder");
        const QString sqliteFile = folder.filePath(QStringLiteral("catalogue.sqlite"));
        QList<Engine> engines = {
            {"sqlite", corvane::openHostDatabase(QStringLiteral("bench-sqlite"), sqliteFile),
             sqliteFile}};
        if (!postgresUrl.isEmpty())
            engines.append({"postgresql",
                            corvane::openHostDatabase(QStringLiteral("bench-postgres"), QString(),
                                                      postgresUrl),
                            postgresUrl});
        bool agreed = true;
        for (Engine& engine : engines) {
            if (!engineName.isEmpty() && engineName != QLatin1String(engine.name))
                continue;
            corvane::createHostSchema(engine.db);
            for (const Case& entry : kCases) {
                if (!only.isEmpty() && !only.contains(QLatin1String(entry.name)))
                    continue;
                if (!entry.run(engine)) {
                    std::fprintf(stderr, "zqbench: %s on %s: two fills disagreed\n", entry.name,
                                 engine.name);
                    agreed = false;
                }
                std::printf("\n");
            }
        }
        return agreed ? 0 : 1;
    } catch (const zq::Error& e) {
        std::fprintf(stderr, "zqbench: %s %s\n", qPrintable(e.message()), qPrintable(e.details()));
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "zqbench: %s\n", e.what());
        return 1;
    }
}
