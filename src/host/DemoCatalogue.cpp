#include "DemoCatalogue.h"

#include "HostDatabase.h"

#include <QDir>
#include <QFile>
#include <stdexcept>

namespace corvane {

namespace {

struct DemoClass {
    const char* code;
    const char* name;
    const char* memo;
};

struct DemoTemplate {
    const char* caption;
    const char* fileName;
    const char* classCode;
    const char* typeName;
    const char* keyword;
    const char* memo;
    const char* content;
};

const DemoClass kClasses[] = {
    {"0001", "审计计划", "计划阶段使用的文书"},
    {"00010001", "审计通知", "通知被审计单位的文书"},
    {"00010002", "风险评估", "了解被审计单位及其环境"},
    {"0002", "审计实施", "实施阶段的工作底稿"},
    {"00020001", "工作底稿", "通用工作底稿格式"},
    {"0003", "审计报告", "报告阶段的文书"},
};

const DemoTemplate kTemplates[] = {
    {"审计通知书", "审计通知书.txt", "00010001", "TEXT", "审计 通知书", "通知被审计单位的标准格式",
     "审计通知书\n\n××单位：\n根据年度审计计划，我们将对你单位进行审计，请予配合。\n"},
    {"工作底稿索引", "工作底稿索引.csv", "00020001", "OTHER", "工作底稿 索引",
     "工作底稿的编号与名称", "索引号,底稿名称,编制人\nA1,货币资金,\nA2,应收账款,\n"},
};

} // namespace

void seedDemoCatalogue(const QSqlDatabase& db, const QString& storeFolder) {
    QSqlDatabase writable = db;
    if (!writable.transaction())
        throw std::runtime_error("cannot start the sample catalogue");
    try {
        for (const DemoClass& c : kClasses)
            runQuery(
                db,
                QStringLiteral("insert into ZQ_DocInfoMaster(DocSortID, DocSortName, "
                               "DocSortMemo) values(?, ?, ?)"),
                {QString::fromUtf8(c.code), QString::fromUtf8(c.name), QString::fromUtf8(c.memo)});
        if (!QDir().mkpath(storeFolder))
            throw std::runtime_error("cannot make the template store " + storeFolder.toStdString());
        for (const DemoTemplate& t : kTemplates) {
            runQuery(
                db,
                QStringLiteral("insert into ZQ_DocTempDetail(DocCaption, DocFileName, DocMemo, "
                               "DocSortID, DocTypeName, DocKeyWord) values(?, ?, ?, ?, ?, ?)"),
                {QString::fromUtf8(t.caption), QString::fromUtf8(t.fileName),
                 QString::fromUtf8(t.memo), QString::fromUtf8(t.classCode),
                 QString::fromUtf8(t.typeName), QString::fromUtf8(t.keyword)});
            QFile file(storeFolder + QString::fromUtf8(t.fileName));
            if (!file.exists() && file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
                file.write(t.content);
        }
        if (!writable.commit())
            throw std::runtime_error("cannot store the sample catalogue");
    } catch (...) {
        writable.rollback();
        throw;
    }
}

} // namespace corvane
