// zqcatalogue: the template catalogue of an installation from the command line, for scripts and
// for administrators. Widget-free: the catalogue and exchange code of the plug-in, nothing else.

#include "CatalogueCommands.h"
#include "Console.h"

#include "HostDatabase.h"
#include "catalogue/RecycleBin.h"
#include "catalogue/TemplateStore.h"
#include "exchange/PackageFolders.h"
#include "util/Error.h"
#include "util/Log.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QSqlDatabase>
#include <QTranslator>

using namespace zq::cli;

namespace {

constexpr int kFailed = 2;

const char* const kHelp = R"(用法：zqcatalogue 命令 [参数] [选项]

在命令行上管理 corvane 安装的文档模板目录。

命令：
  list [--class 分类编码] [--json]
      列出分类树及每个分类的模板数，或一个分类的模板（--class "" 列出不在任何
      分类之下的模板）。
      例：zqcatalogue list --class 0001
  export 输出文件.TempFile [--class 分类编码]...
      把整个模板目录，或所列分类及其下的一切，写成模板包；格式与管理窗口导出的
      相同。文件缺失、是链接或在模板目录中已损坏的模板不导出，名称中的控制字符
      换成空格；两者都会列出，退出状态为 1。
      例：zqcatalogue export nightly.TempFile --class 0001 --class 0003
  import 模板包.TempFile [--dry-run]
      新增模板包中模板目录还没有的分类和模板（分类按编码，模板按存储文件名识别），
      已有的保持不变。--dry-run 只报告将新增和将拒绝的内容，不做任何更改。
      有拒绝项时退出状态为 1。
      例：zqcatalogue import nightly.TempFile --dry-run
  check [--json] [--deep]
      检查模板目录及其模板库。没有问题时退出状态为 0，发现问题时为 1。--deep 还
      核对模板目录保存的每个文件的大小和 SHA-256，需要读取全部内容。
      例：zqcatalogue check --json > findings.json
  repair [--yes]
      安全地修复 check 发现的问题，逐项列出并确认（--yes 全部确认）：删除没有模板
      使用的模板库文件，把所属分类不存在的模板归入名为“未分类”的分类；为缺少
      查找键的模板建立查找键。从不删除模板目录中的记录。
      例：zqcatalogue repair --yes
  log [--class 分类编码] [--template 模板编号] [--since 日期] [--json]
      谁在何时改了模板目录中的什么，最新的在前：一个分类及其模板、一个模板或整个
      模板目录；--since 取日期（2026-12-01）或时间（2026-12-01T08:30）。
      例：zqcatalogue log --class 0001 --since 2026-12-01
  bin list [--json] | bin restore 项目编号 [--class 分类编码] | bin empty [--yes]
      回收站中被删除的模板和分类树：列出各项；把一项恢复到原处（原编码被占用或原
      分类已不存在时，恢复到 --class 指定的分类下，并像移动一样重新编号；文件名
      已被占用时文件改名）；或永久删除所有项，只询问一次（--yes 不询问）。
      例：zqcatalogue bin restore 12 --class 0003
  versions 模板编号 [--json] | versions restore 模板编号 哈希
      该模板以前的文件，最新的在前：何时被替换、由谁替换、大小和 SHA-256；或把
      SHA-256 以“哈希”开头的版本恢复为模板的当前文件（被替换的文件保留为一个版本）。
      例：zqcatalogue versions restore 42 3f2a9c

选项：
  --database URL|文件  postgresql://用户[:密码]@主机:端口/数据库，或 SQLite 文件；
                       也可用环境变量 CORVANE_DATABASE。默认为安装文件夹中的
                       Data/corvane.db。
  --host-folder 文件夹 使用其模板库和工作文件夹的安装。默认为本程序所在的文件夹
                       （与 corvane 相同）。
  -h, --help           显示本说明。

退出状态：0 完成（check：没有问题），1 check 发现问题、import 有拒绝项或 export
有未导出的模板或改了名称，2 出错。
)";

// A message on one line, whatever the database put into it.
QString oneLine(QString text) {
    return text.replace(QLatin1Char('\n'), QLatin1Char(' '))
        .replace(QLatin1Char('\t'), QLatin1Char(' '))
        .simplified();
}

int fail(const QString& message) {
    printError(QStringLiteral("zqcatalogue: ") + oneLine(message));
    return kFailed;
}

struct CommandRule {
    const char* name;
    int arguments;       // positional arguments after the command; -1: the command checks them
    QStringList options; // options that apply to it besides the common ones
};

const QList<CommandRule>& commandRules() {
    static const QList<CommandRule> rules = {
        {"list", 0, {QStringLiteral("class"), QStringLiteral("json")}},
        {"check", 0, {QStringLiteral("json"), QStringLiteral("deep")}},
        {"repair", 0, {QStringLiteral("yes")}},
        {"export", 1, {QStringLiteral("class")}},
        {"import", 1, {QStringLiteral("dry-run")}},
        {"bin", -1, {QStringLiteral("class"), QStringLiteral("json"), QStringLiteral("yes")}},
        {"versions", -1, {QStringLiteral("json")}},
        {"log",
         0,
         {QStringLiteral("class"), QStringLiteral("template"), QStringLiteral("since"),
          QStringLiteral("json")}},
    };
    return rules;
}

// The log's filter from its options' texts; throws on a template id or date it cannot read.
zq::HistoryFilter historyFilter(const QString& classCode, const QString& templateId,
                                const QString& since) {
    zq::HistoryFilter filter;
    filter.classCode = classCode;
    bool ok = true;
    if (!templateId.isEmpty())
        filter.docId = templateId.toLongLong(&ok);
    if (!ok || (!templateId.isEmpty() && filter.docId <= 0))
        throw zq::Error(QStringLiteral("模板编号“%1”无效").arg(templateId));
    if (!since.isEmpty()) {
        filter.since = QDateTime::fromString(since, Qt::ISODate);
        if (!filter.since.isValid())
            filter.since = QDate::fromString(since, Qt::ISODate).startOfDay();
        if (!filter.since.isValid())
            throw zq::Error(
                QStringLiteral("日期“%1”无效，应为 2026-12-01 或 2026-12-01T08:30").arg(since));
    }
    return filter;
}

QSqlDatabase openCatalogue(const QString& setting) {
    const QString database =
        setting.isEmpty() ? zq::hostFolder() + QStringLiteral("Data/corvane.db") : setting;
    // Opening a SQLite file that is not there would make an empty one.
    if (!corvane::isServerUrl(database) && !QFileInfo(database).isFile())
        throw zq::Error(QStringLiteral("%1 处没有模板目录数据库").arg(database));
    return corvane::openNamedDatabase(QStringLiteral("zqcatalogue"), database);
}

// Why the command's arguments and options do not fit it, or the empty text.
QString misuse(const QCommandLineParser& parser, const QString& command, qsizetype arguments,
               const QCommandLineOption& classCode) {
    const auto rule =
        std::find_if(commandRules().begin(), commandRules().end(),
                     [&](const CommandRule& r) { return command == QLatin1String(r.name); });
    if (rule == commandRules().end())
        return QStringLiteral("未知命令“%1”（见 zqcatalogue --help）").arg(command);
    if (rule->arguments >= 0 && arguments != rule->arguments)
        return QStringLiteral("%1 需要 %2 个参数，而不是 %3 个（见 zqcatalogue --help）")
            .arg(command)
            .arg(rule->arguments)
            .arg(arguments);
    for (const QString& name : parser.optionNames()) {
        if (name != QLatin1String("database") && name != QLatin1String("host-folder") &&
            !rule->options.contains(name))
            return QStringLiteral("选项 --%1 不适用于 %2（见 zqcatalogue --help）")
                .arg(name, command);
    }
    if (command != QLatin1String("export") && parser.values(classCode).size() > 1)
        return QStringLiteral("%1 最多只能有一个 --class").arg(command);
    return {};
}

int run(const QStringList& arguments) {
    QCommandLineParser parser;
    const QCommandLineOption database(QStringLiteral("database"), {}, QStringLiteral("URL|FILE"));
    const QCommandLineOption hostFolder(QStringLiteral("host-folder"), {}, QStringLiteral("DIR"));
    const QCommandLineOption classCode(QStringLiteral("class"), {}, QStringLiteral("CODE"));
    const QCommandLineOption json(QStringLiteral("json"));
    const QCommandLineOption deep(QStringLiteral("deep"));
    const QCommandLineOption yes(QStringLiteral("yes"));
    const QCommandLineOption dryRun(QStringLiteral("dry-run"));
    const QCommandLineOption templateId(QStringLiteral("template"), {}, QStringLiteral("ID"));
    const QCommandLineOption since(QStringLiteral("since"), {}, QStringLiteral("DATE"));
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    parser.addOptions(
        {database, hostFolder, classCode, json, deep, yes, dryRun, templateId, since, help});
    if (!parser.parse(arguments))
        return fail(parser.errorText() + QStringLiteral("（见 zqcatalogue --help）"));
    if (parser.isSet(help)) {
        print(QString::fromUtf8(kHelp));
        return 0;
    }

    QStringList positional = parser.positionalArguments();
    if (positional.isEmpty())
        return fail(QStringLiteral("没有给出命令（见 zqcatalogue --help）"));
    const QString command = positional.takeFirst();
    if (const QString problem = misuse(parser, command, positional.size(), classCode);
        !problem.isEmpty())
        return fail(problem);

    if (parser.isSet(hostFolder)) {
        const QFileInfo folder(parser.value(hostFolder));
        if (!folder.isDir())
            return fail(QStringLiteral("安装文件夹 %1 不存在").arg(parser.value(hostFolder)));
        zq::setHostFolder(folder.absoluteFilePath());
    }
    QSqlDatabase db = openCatalogue(
        parser.isSet(database) ? parser.value(database) : qEnvironmentVariable("CORVANE_DATABASE"));
    zq::sweepInterruptedWork(db);
    zq::ensureRecycleBinTables(db);
    const CommandContext context{db, parser.isSet(json), parser.isSet(yes)};
    const auto givenClass =
        parser.isSet(classCode) ? std::optional(parser.value(classCode)) : std::nullopt;
    if (command == QLatin1String("list"))
        return runList(context, givenClass);
    if (command == QLatin1String("check"))
        return runCheck(context, parser.isSet(deep));
    if (command == QLatin1String("export"))
        return runExport(context, QFileInfo(positional.first()).absoluteFilePath(),
                         parser.values(classCode));
    if (command == QLatin1String("import"))
        return runImport(context, QFileInfo(positional.first()).absoluteFilePath(),
                         parser.isSet(dryRun));
    if (command == QLatin1String("bin"))
        return runBin(context, positional, givenClass);
    if (command == QLatin1String("versions"))
        return runVersions(context, positional);
    if (command == QLatin1String("log"))
        return runLog(context, historyFilter(parser.value(classCode), parser.value(templateId),
                                             parser.value(since)));
    return runRepair(context);
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    // Standard error carries the tool's own messages; the drivers' warnings go to the log.
    zq::routeQtWarningsToLog();
    QCoreApplication::setApplicationName(QStringLiteral("zqcatalogue"));
    // Qt's own messages (an unknown option) in the tool's language.
    QTranslator translator;
    if (translator.load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"),
                        QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&translator);
    int status;
    try {
        status = run(QCoreApplication::arguments());
    } catch (const std::exception& e) {
        const auto* error = dynamic_cast<const zq::Error*>(&e);
        status = fail(error && !error->details().isEmpty()
                          ? error->message() + QLatin1Char(' ') + error->details()
                          : zq::messageOf(e));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("zqcatalogue"));
    return status;
}
