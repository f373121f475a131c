#include "CatalogueCommands.h"

#include "Console.h"

#include "catalogue/CatalogueCheck.h"
#include "catalogue/ClassCatalogue.h"
#include "catalogue/RecycleBin.h"
#include "catalogue/SearchKeys.h"
#include "catalogue/Sql.h"
#include "catalogue/TemplateDocuments.h"
#include "catalogue/TemplateFiles.h"
#include "catalogue/TemplateStore.h"
#include "catalogue/TemplateVersions.h"
#include "exchange/PackageReader.h"
#include "exchange/PackageWriter.h"
#include "exchange/SelectionTree.h"
#include "util/Error.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

namespace zq::cli {

namespace {

void printJson(const QJsonObject& object) {
    print(QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Indented)));
}

QJsonObject classJson(const ClassRecord& record) {
    return {{"code", record.code}, {"name", record.name}, {"memo", record.memo}};
}

int listClassTree(const CommandContext& context) {
    const QList<ClassRecord> classes = readClassRows(context.db);
    QHash<QString, qint64> counts;
    qint64 total = 0;
    QSqlQuery query = runSql(context.db, QStringLiteral("select DocSortID, count(*) from "
                                                        "ZQ_DocTempDetail group by DocSortID"));
    while (query.next()) {
        counts.insert(query.value(0).toString(), query.value(1).toLongLong());
        total += query.value(1).toLongLong();
    }

    if (context.json) {
        QJsonArray rows;
        for (const ClassRecord& record : classes) {
            QJsonObject row = classJson(record);
            row.insert("templates", counts.value(record.code));
            rows.append(row);
        }
        printJson({{"classes", rows},
                   {"templatesUnderNoClass", counts.value(QString())},
                   {"templates", total}});
        return 0;
    }
    QString text;
    for (const ClassRecord& record : classes)
        text += QStringLiteral("%1%2  %3  [%4]\n")
                    .arg(QString(qsizetype(2) * std::max(0, classCodeDepth(record.code) - 1),
                                 QLatin1Char(' ')),
                         record.code, record.name)
                    .arg(counts.value(record.code));
    text += QStringLiteral("共 %1 个分类，%2 个模板（其中 %3 个不在任何分类之下）\n")
                .arg(classes.size())
                .arg(total)
                .arg(counts.value(QString()));
    print(text);
    return 0;
}

int listClassTemplates(const CommandContext& context, const QString& classCode) {
    ClassRecord owner;
    if (!classCode.isEmpty()) {
        const QList<ClassRecord> classes = readClassRows(context.db);
        const auto found = std::find_if(classes.begin(), classes.end(),
                                        [&](const ClassRecord& c) { return c.code == classCode; });
        if (found == classes.end())
            throw Error(QStringLiteral("没有编码为“%1”的分类").arg(classCode));
        owner = *found;
    }
    const QList<TemplateRecord> templates = readClassTemplates(context.db, classCode);

    if (context.json) {
        QJsonArray rows;
        for (const TemplateRecord& t : templates)
            rows.append(QJsonObject{{"docId", t.docId},
                                    {"caption", t.caption},
                                    {"file", t.fileName},
                                    {"memo", t.memo},
                                    {"type", t.typeName},
                                    {"keywords", t.keyWord}});
        printJson({{"class", classJson(owner)}, {"templates", rows}});
        return 0;
    }
    QString text = classCode.isEmpty() ? QStringLiteral("不在任何分类之下的模板：\n")
                                       : QStringLiteral("%1  %2：\n").arg(owner.code, owner.name);
    for (const TemplateRecord& t : templates)
        text += QStringLiteral("%1  %2  %3  %4\n")
                    .arg(QString::number(t.docId), t.caption, t.fileName, t.typeName);
    text += QStringLiteral("共 %1 个模板\n").arg(templates.size());
    print(text);
    return 0;
}

QJsonObject findingJson(const CatalogueFinding& finding) {
    QJsonObject object{{"kind", finding.key()},
                       {"level", finding.isInformation() ? "information" : "error"},
                       {"message", finding.message()}};
    if (finding.docId >= 0)
        object.insert("docId", finding.docId);
    if (!finding.docIds.isEmpty()) {
        QJsonArray ids;
        for (const qint64 id : finding.docIds)
            ids.append(id);
        object.insert("docIds", ids);
    }
    const QList<std::pair<const char*, QString>> texts = {{"caption", finding.caption},
                                                          {"classCode", finding.classCode},
                                                          {"file", finding.fileName},
                                                          {"type", finding.typeName},
                                                          {"sha256", finding.sha256}};
    for (const auto& [key, value] : texts)
        if (!value.isEmpty())
            object.insert(QLatin1String(key), value);
    if (finding.count > 0)
        object.insert("count", finding.count);
    return object;
}

// The class node with the code, depth first, or nullptr.
SelectionNode* findClassNode(SelectionNode& node, const QString& code) {
    if (node.isClass() && node.record.classCode == code)
        return &node;
    for (SelectionNode& child : node.children)
        if (SelectionNode* found = findClassNode(child, code))
            return found;
    return nullptr;
}

QString listed(const QString& title, const QStringList& items) {
    QString text;
    if (!items.isEmpty())
        text = title + QStringLiteral("：\n  ") + items.join(QStringLiteral("\n  ")) +
               QLatin1Char('\n');
    return text;
}

QJsonObject historyJson(const HistoryEntry& entry) {
    const HistoryChange& c = entry.change;
    return {{"id", entry.id},
            {"time", entry.when.toUTC().toString(Qt::ISODateWithMs)},
            {"user", entry.user},
            {"host", entry.host},
            {"action", historyActionKey(c.action)},
            {"classCode", c.classCode},
            {"docId", c.docId},
            {"name", c.name},
            {"before", c.before},
            {"after", c.after}};
}

QString historyLine(const HistoryEntry& entry) {
    const HistoryChange& c = entry.change;
    const QString object = c.docId != 0            ? QStringLiteral("模板 %1").arg(c.docId)
                           : c.classCode.isEmpty() ? QStringLiteral("模板目录")
                                                   : QStringLiteral("分类 %1").arg(c.classCode);
    QString line = QStringLiteral("%1  %2@%3  %4  %5 “%6”")
                       .arg(entry.when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), entry.user,
                            entry.host, historyActionName(c.action), object, c.name);
    if (!c.before.isEmpty() || !c.after.isEmpty())
        line += QStringLiteral("：“%1” → “%2”").arg(c.before, c.after);
    return line + QLatin1Char('\n');
}

} // namespace

int runLog(const CommandContext& context, const HistoryFilter& filter) {
    constexpr int kPage = 1000;
    QJsonArray rows;
    qint64 last = 0;
    qsizetype count = 0;
    for (;;) {
        const QList<HistoryEntry> page = readHistory(context.db, filter, last, kPage);
        QString text;
        for (const HistoryEntry& entry : page) {
            if (context.json)
                rows.append(historyJson(entry));
            else
                text += historyLine(entry);
        }
        print(text);
        count += page.size();
        if (page.size() < kPage)
            break;
        last = page.last().id;
    }
    if (context.json)
        printJson({{"history", rows}});
    else
        print(QStringLiteral("共 %1 条记录\n").arg(count));
    return 0;
}

int runBin(const CommandContext& context, const QStringList& arguments,
           const std::optional<QString>& into) {
    const QString verb = arguments.value(0);
    if (verb == QLatin1String("list") && arguments.size() == 1) {
        const QList<BinItem> items = readBin(context.db);
        if (context.json) {
            QJsonArray rows;
            for (const BinItem& item : items)
                rows.append(QJsonObject{{"id", item.id},
                                        {"deletedAt", item.deletedAt.toUTC().toString(Qt::ISODate)},
                                        {"user", item.user},
                                        {"host", item.host},
                                        {"classCode", item.classCode},
                                        {"docId", item.docId},
                                        {"name", item.name},
                                        {"classes", item.classes},
                                        {"templates", item.templates}});
            printJson({{"items", rows}});
            return 0;
        }
        QString text;
        for (const BinItem& item : items)
            text += QStringLiteral("%1  %2  %3@%4  %5 “%6”（分类 %7 个，模板 %8 个）\n")
                        .arg(QString::number(item.id),
                             item.deletedAt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                             item.user, item.host,
                             item.docId != 0 ? QStringLiteral("模板 %1").arg(item.docId)
                                             : QStringLiteral("分类 %1").arg(item.classCode),
                             item.name)
                        .arg(item.classes)
                        .arg(item.templates);
        print(text + QStringLiteral("回收站中共 %1 项\n").arg(items.size()));
        return 0;
    }
    if (verb == QLatin1String("restore") && arguments.size() == 2) {
        bool ok = false;
        const qint64 item = arguments[1].toLongLong(&ok);
        if (!ok)
            throw Error(QStringLiteral("回收站项目编号“%1”无效").arg(arguments[1]));
        print(restoreFromBin(context.db, item, into).summary() + QLatin1Char('\n'));
        return 0;
    }
    if (verb == QLatin1String("empty") && arguments.size() == 1) {
        const qsizetype count = readBin(context.db).size();
        if (count == 0) {
            print(QStringLiteral("回收站是空的。\n"));
            return 0;
        }
        if (context.yes || confirm(QStringLiteral("永久删除回收站中的 %1 项及其文件？").arg(count)))
            print(QStringLiteral("已永久删除 %1 项。\n").arg(emptyBin(context.db)));
        return 0;
    }
    throw Error(
        QStringLiteral("bin 后面应为 list、restore 项目编号 [--class 分类编码] 或 empty [--yes]"));
}

namespace {

qint64 templateId(const QString& text) {
    bool ok = false;
    const qint64 docId = text.toLongLong(&ok);
    if (!ok || docId <= 0)
        throw Error(QStringLiteral("模板编号“%1”无效").arg(text));
    return docId;
}

} // namespace

int runVersions(const CommandContext& context, const QStringList& arguments) {
    if (arguments.size() == 1) {
        const QList<TemplateVersion> versions = readVersions(context.db, templateId(arguments[0]));
        if (context.json) {
            QJsonArray rows;
            for (const TemplateVersion& v : versions)
                rows.append(QJsonObject{{"id", v.id},
                                        {"fileName", v.fileName},
                                        {"sha256", v.sha256},
                                        {"size", v.size},
                                        {"replacedAt", v.replacedAt.toUTC().toString(Qt::ISODate)},
                                        {"user", v.user},
                                        {"host", v.host},
                                        {"hasBytes", v.hasBytes}});
            printJson({{"versions", rows}});
            return 0;
        }
        QString text;
        for (const TemplateVersion& v : versions)
            text += QStringLiteral("%1  %2@%3  %4 字节  %5%6\n")
                        .arg(v.replacedAt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), v.user,
                             v.host, QString::number(v.size), v.sha256,
                             v.hasBytes ? QString() : QStringLiteral("（内容已不在）"));
        print(text + QStringLiteral("共 %1 个历史版本\n").arg(versions.size()));
        return 0;
    }
    if (arguments.size() == 3 && arguments[0] == QLatin1String("restore")) {
        const qint64 docId = templateId(arguments[1]);
        QSet<QString> matching;
        for (const TemplateVersion& v : readVersions(context.db, docId))
            if (v.sha256.startsWith(arguments[2].toLower()))
                matching.insert(v.sha256);
        if (matching.size() != 1)
            throw Error(
                QStringLiteral("模板 %1 没有一个以“%2”开头的版本").arg(docId).arg(arguments[2]));
        print(restoreVersion(context.db, docId, *matching.cbegin())
                  ? QStringLiteral("模板文件已恢复。\n")
                  : QStringLiteral("模板文件的内容与该版本相同，无需恢复。\n"));
        return 0;
    }
    throw Error(QStringLiteral("versions 后面应为 模板编号 或 restore 模板编号 哈希"));
}

int runList(const CommandContext& context, const std::optional<QString>& classCode) {
    return classCode ? listClassTemplates(context, *classCode) : listClassTree(context);
}

int runCheck(const CommandContext& context, bool hashKeptFiles) {
    const QList<CatalogueFinding> findings =
        checkCatalogue(context.db, templateStorePath(), hashKeptFiles);
    const qsizetype errors =
        std::count_if(findings.begin(), findings.end(),
                      [](const CatalogueFinding& f) { return !f.isInformation(); });
    if (context.json) {
        QJsonArray rows;
        for (const CatalogueFinding& finding : findings)
            rows.append(findingJson(finding));
        printJson({{"clean", errors == 0}, {"findings", rows}});
    } else {
        QString text;
        for (const CatalogueFinding& finding : findings)
            text +=
                QStringLiteral("%1 %2：%3\n")
                    .arg(finding.isInformation() ? QStringLiteral("提示") : QStringLiteral("问题"),
                         finding.key(), finding.message());
        text += errors == 0 ? QStringLiteral("检查完毕，没有发现问题")
                            : QStringLiteral("发现 %1 个问题").arg(errors);
        if (findings.size() > errors)
            text += QStringLiteral("，另有 %1 条提示").arg(findings.size() - errors);
        text += QStringLiteral("（模板库 %1）\n").arg(templateStorePath());
        print(text);
    }
    return errors == 0 ? 0 : 1;
}

int runRepair(const CommandContext& context) {
    const QString store = templateStorePath();
    const QList<CatalogueFinding> findings = checkCatalogue(context.db, store);
    QStringList unnamed;
    QString homeless;
    qsizetype left = 0;
    for (const CatalogueFinding& finding : findings) {
        if (finding.kind == CatalogueFinding::Kind::UnnamedFile)
            unnamed.append(finding.fileName);
        else if (finding.kind == CatalogueFinding::Kind::MissingClass)
            homeless += QStringLiteral("  ") + finding.message() + QLatin1Char('\n');
        else if (!finding.isInformation())
            ++left;
    }
    // Files of templates whose bytes the catalogue lacks: put into the store behind its back,
    // which opening the manager no longer looks for.
    const int sent = uploadMissingFiles(context.db, store);
    if (sent > 0)
        print(QStringLiteral("已把模板库中模板目录缺少的 %1 个文件存入模板目录。\n").arg(sent));
    // Keys of templates that programs without them added or renamed.
    const bool kept = searchKeysKept(context.db);
    const QString indexProblem = ensureSearchKeys(context.db);
    const int keyed = kept ? refreshSearchKeys(context.db) : 0;
    if (!kept)
        print(QStringLiteral("已为所有模板建立查找键。\n"));
    else if (keyed > 0)
        print(QStringLiteral("已为 %1 个缺少查找键或已改名的模板建立查找键。\n").arg(keyed));
    if (!indexProblem.isEmpty())
        print(indexProblem + QLatin1Char('\n'));
    if (unnamed.isEmpty() && homeless.isEmpty() && sent == 0 && kept && keyed == 0)
        print(QStringLiteral("没有需要修复的问题。\n"));

    if (!unnamed.isEmpty()) {
        print(QStringLiteral("模板库 %2 中有 %1 个文件没有模板使用，将删除：\n  %3\n")
                  .arg(unnamed.size())
                  .arg(store, unnamed.join(QStringLiteral("\n  "))));
        if (context.yes || confirm(QStringLiteral("删除这些文件？"))) {
            const QStringList removed = removeUnnamedStoreFiles(context.db, store, unnamed);
            print(QStringLiteral("已删除 %1 个文件。\n").arg(removed.size()));
        }
    }
    if (!homeless.isEmpty()) {
        print(
            QStringLiteral("以下模板将归入分类“%1”：\n%2").arg(unclassifiedClassName(), homeless));
        if (context.yes || confirm(QStringLiteral("移动这些模板？")))
            print(QStringLiteral("已移动 %1 个模板。\n")
                      .arg(fileTemplatesOfMissingClasses(context.db)));
    }
    if (left > 0)
        print(QStringLiteral("另有 %1 个问题需要人工处理，详见 zqcatalogue check。\n").arg(left));
    return 0;
}

int runExport(const CommandContext& context, const QString& packagePath,
              const QStringList& classCodes) {
    QList<SelectionNode> tree = fillSelectionTree(context.db);
    SelectionNode& root = tree.first();
    if (classCodes.isEmpty())
        setChecked(root, Qt::Checked);
    for (const QString& code : classCodes) {
        SelectionNode* node = findClassNode(root, code);
        if (!node)
            throw Error(QStringLiteral("没有编码为“%1”的分类").arg(code));
        setChecked(*node, Qt::Checked);
    }

    const PackageResult result =
        withProgress(QStringLiteral("正在导出模板"), [&](const PackageProgress& progress) {
            return writePackage(context.db, root, packagePath, progress);
        });
    print(QStringLiteral("已把 %1 个模板写入 %2\n").arg(result.templates).arg(packagePath) +
          listed(QStringLiteral("未导出"), result.leftOut) +
          listed(QStringLiteral("控制字符已换成空格"), result.altered));
    return result.leftOut.isEmpty() && result.altered.isEmpty() ? 0 : 1;
}

int runImport(const CommandContext& context, const QString& packagePath, bool dryRun) {
    const ImportReport report =
        withProgress(QStringLiteral("正在登记模板"), [&](const PackageProgress& progress) {
            return importPackage(context.db, packagePath, progress,
                                 dryRun ? ImportMode::DryRun : ImportMode::Apply);
        });
    print((dryRun ? QStringLiteral("试运行，未做任何更改。") : QString()) + report.summary() +
          QLatin1Char('\n') +
          listed(dryRun ? QStringLiteral("将新增") : QStringLiteral("已新增"), report.added) +
          listed(dryRun ? QStringLiteral("将拒绝") : QStringLiteral("已拒绝"), report.refused));
    return report.refused.isEmpty() ? 0 : 1;
}

} // namespace zq::cli
