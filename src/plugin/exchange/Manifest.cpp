#include "exchange/Manifest.h"

#include "catalogue/TemplateStore.h"
#include "util/Error.h"
#include "util/Gb18030.h"

#include <QCryptographicHash>
#include <QFile>
#include <QRegularExpression>
#include <QStringDecoder>
#include <libxml/tree.h>
#include <libxml/xmlreader.h>
#include <libxml/xmlwriter.h>
#include <memory>
#include <optional>

namespace zq {

namespace {

const char* const kRootElement = "模板文件数据包";
const QString kClassElement = QStringLiteral("模板分类");
const QString kTemplateElement = QStringLiteral("模板文件");

// Attribute names in the order they are written.
const char* const kClassAttributes[] = {"模板分类编码", "模板分类名称", "模板分类说明"};
const char* const kTemplateAttributes[] = {"模板文件名称",     "模板文件",     "模板文件说明",
                                           "模板文件分类编码", "模板文件类型", "模板文件关键字"};

const xmlChar* xml(const char* utf8) {
    return reinterpret_cast<const xmlChar*>(utf8);
}

QString lastXmlError() {
    const xmlError* error = xmlGetLastError();
    return error && error->message ? QString::fromUtf8(error->message).trimmed()
                                   : QStringLiteral("未知错误");
}

QStringList attributeValues(const ManifestEntry& entry) {
    const TemplateRecord& r = entry.record;
    if (entry.kind == ManifestEntry::Kind::Class)
        return {r.classCode, r.caption, r.memo};
    return {r.caption, r.fileName, r.memo, r.classCode, r.typeName, r.keyWord};
}

int lastXmlLine() {
    const xmlError* error = xmlGetLastError();
    return error ? error->line : 0;
}

struct ReaderDeleter {
    void operator()(xmlTextReader* reader) const { xmlFreeTextReader(reader); }
};

// An attribute of the reader's element; present tells whether the element has it at all.
QString attribute(xmlTextReader* reader, const char* name, bool* present = nullptr) {
    xmlChar* value = xmlTextReaderGetAttribute(reader, xml(name));
    if (present)
        *present = value != nullptr;
    if (!value)
        return {};
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(value));
    xmlFree(value);
    return text;
}

// The element the reader stands on as an entry, or a reason to leave it out.
std::optional<ManifestEntry> readEntry(xmlTextReader* reader, const QString& name,
                                       QString& reason) {
    bool present = false;
    if (name == kClassElement) {
        ManifestEntry entry{ManifestEntry::Kind::Class, {}};
        entry.record.classCode = attribute(reader, kClassAttributes[0], &present);
        entry.record.caption = attribute(reader, kClassAttributes[1]);
        entry.record.memo = attribute(reader, kClassAttributes[2]);
        if (present)
            return entry;
        reason = QStringLiteral("模板分类缺少属性“%1”").arg(QString::fromUtf8(kClassAttributes[0]));
        return std::nullopt;
    }
    ManifestEntry entry{ManifestEntry::Kind::Template, {}};
    TemplateRecord& r = entry.record;
    r.caption = attribute(reader, kTemplateAttributes[0]);
    r.fileName = attribute(reader, kTemplateAttributes[1], &present);
    r.memo = attribute(reader, kTemplateAttributes[2]);
    r.classCode = attribute(reader, kTemplateAttributes[3]);
    r.typeName = attribute(reader, kTemplateAttributes[4]);
    r.keyWord = attribute(reader, kTemplateAttributes[5]);
    if (present)
        return entry;
    reason = QStringLiteral("模板文件“%1”缺少属性“%2”")
                 .arg(r.caption, QString::fromUtf8(kTemplateAttributes[1]));
    return std::nullopt;
}

QString decodeManifest(const QByteArray& bytes) {
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(bytes.mid(3));
    static const QRegularExpression encoding(
        QStringLiteral("^\\s*<\\?xml[^?]*encoding\\s*=\\s*[\"']([^\"']*)[\"']"));
    const QString head = QString::fromLatin1(bytes.left(200));
    const QRegularExpressionMatch declared = encoding.match(head);
    const bool saysUtf8 =
        declared.hasMatch()
            ? declared.captured(1).compare(QStringLiteral("utf-8"), Qt::CaseInsensitive) == 0
            : true;
    if (saysUtf8) {
        QStringDecoder utf8(QStringDecoder::Utf8);
        const QString text = utf8.decode(bytes);
        if (!utf8.hasError())
            return text;
    }
    return fromGb18030(bytes);
}

} // namespace

QString manifestFileName() {
    return QStringLiteral("模板文件信息.xml");
}

bool isPackageFileName(const QString& fileName) {
    return isBareName(fileName) && fileName != manifestFileName();
}

QString templateLabel(const TemplateRecord& record) {
    return QStringLiteral("模板文件“%1”（%2）").arg(record.caption, record.fileName);
}

QString classLabel(const TemplateRecord& record) {
    return QStringLiteral("模板分类“%1”（%2）").arg(record.caption, record.classCode);
}

namespace {

// What an entry says, for comparing what was written with what is read back.
QByteArray digestOf(const ManifestEntry& entry) {
    QByteArray digest(1, entry.kind == ManifestEntry::Kind::Class ? 'c' : 't');
    for (const QString& value : attributeValues(entry)) {
        const QByteArray bytes = value.toUtf8();
        digest += QByteArray::number(bytes.size()) + ':' + bytes;
    }
    return digest;
}

} // namespace

ManifestWriter::ManifestWriter(const QString& path)
    : m_path(path)
    , m_writer(nullptr, xmlFreeTextWriter) {
    xmlInitParser();
    m_writer.reset(xmlNewTextWriterFilename(QFile::encodeName(path).constData(), 0));
    check(m_writer ? 0 : -1);
    // libxml2 writes what gb2312 lacks as character references.
    check(xmlTextWriterSetIndent(m_writer.get(), 1));
    check(xmlTextWriterSetIndentString(m_writer.get(), xml("  ")));
    check(xmlTextWriterStartDocument(m_writer.get(), "1.0", "gb2312", nullptr));
    check(xmlTextWriterStartElement(m_writer.get(), xml(kRootElement)));
}

void ManifestWriter::add(const ManifestEntry& entry) {
    const bool isClass = entry.kind == ManifestEntry::Kind::Class;
    check(xmlTextWriterStartElement(
        m_writer.get(), xml((isClass ? kClassElement : kTemplateElement).toUtf8().constData())));
    const QStringList values = attributeValues(entry);
    for (qsizetype i = 0; i < values.size(); ++i)
        check(xmlTextWriterWriteAttribute(
            m_writer.get(), xml(isClass ? kClassAttributes[i] : kTemplateAttributes[i]),
            xml(values[i].toUtf8().constData())));
    check(xmlTextWriterEndElement(m_writer.get()));
    m_written.addData(digestOf(entry));
    ++m_count;
}

void ManifestWriter::finish() {
    check(xmlTextWriterEndDocument(m_writer.get()));
    check(xmlTextWriterFlush(m_writer.get()));
    m_writer.reset();

    // A manifest its own reader does not read back as written makes the whole package
    // unimportable (a character XML cannot hold, a bound passed).
    QString details = QStringLiteral("读回的条目与写出的不一致。");
    try {
        const Manifest back = readManifest(m_path);
        QCryptographicHash read(QCryptographicHash::Sha256);
        for (const ManifestEntry& entry : back.entries)
            read.addData(digestOf(entry));
        if (back.skipped.isEmpty() && back.entries.size() == m_count &&
            read.result() == m_written.result())
            return;
    } catch (const Error& e) {
        details = e.message() + QLatin1Char(' ') + e.details();
    }
    throw Error(QStringLiteral("模板文件信息写出后无法原样读回，没有使用。"), details.trimmed());
}

void ManifestWriter::check(int status) const {
    if (status < 0)
        throw Error(QStringLiteral("无法保存模板文件信息“%1”。").arg(m_path));
}

void writeManifest(const QString& path, const QList<ManifestEntry>& entries) {
    ManifestWriter writer(path);
    for (const ManifestEntry& entry : entries)
        writer.add(entry);
    writer.finish();
}

namespace {

// The manifest's text as UTF-8 with a declaration that names no encoding.
QByteArray manifestUtf8(const QString& path, const ManifestLimits& limits) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Error(QStringLiteral("无法读取模板文件信息“%1”：%2").arg(path, file.errorString()));
    const QByteArray bytes = file.read(limits.bytes + 1);
    if (bytes.size() > limits.bytes)
        throw Error(QStringLiteral("模板文件信息超过 %1 字节，不予读取。").arg(limits.bytes));

    // Windows writes code page 936 under the gb2312 label: decode as GB18030 unless a byte order
    // mark, or a declaration of UTF-8 (or none, as XML reads it) over valid UTF-8, says UTF-8.
    // libxml2 gets UTF-8 with the declared encoding taken out: it ignores any declared encoding
    // as well, since behind a byte order mark the declaration escapes the replacement.
    QString text = decodeManifest(bytes);
    static const QRegularExpression declaration(QStringLiteral("^\\s*<\\?xml[^?]*\\?>"));
    text.replace(declaration, QStringLiteral("<?xml version=\"1.0\"?>"));
    return text.toUtf8();
}

// Refuses an element no manifest holds where it stands.
void checkElementPlace(const QString& name, int depth, const ManifestLimits& limits) {
    // Anything else read as a manifest would import nothing and call it a success.
    if (depth == 0 && name != QString::fromUtf8(kRootElement))
        throw Error(
            QStringLiteral("模板文件信息不是模板文件数据包（根元素为“%1”），不予读取。").arg(name));
    if (depth > limits.depth)
        throw Error(QStringLiteral("模板文件信息的嵌套超过 %1 层，不予读取。").arg(limits.depth));
}

} // namespace

Manifest readManifest(const QString& path, const ManifestLimits& limits) {
    const QByteArray utf8 = manifestUtf8(path, limits);
    xmlInitParser();
    const std::unique_ptr<xmlTextReader, ReaderDeleter> reader(xmlReaderForMemory(
        utf8.constData(), int(utf8.size()), nullptr, "UTF-8",
        XML_PARSE_NONET | XML_PARSE_IGNORE_ENC | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
    if (!reader)
        throw Error(QStringLiteral("无法读取模板文件信息“%1”。").arg(path));

    Manifest manifest;
    int entries = 0;
    int status;
    while ((status = xmlTextReaderRead(reader.get())) == 1) {
        const int type = xmlTextReaderNodeType(reader.get());
        if (type == XML_READER_TYPE_DOCUMENT_TYPE)
            throw Error(QStringLiteral("模板文件信息含有文档类型定义，不予读取。"));
        if (type != XML_READER_TYPE_ELEMENT)
            continue;
        const int depth = xmlTextReaderDepth(reader.get());
        const QString name =
            QString::fromUtf8(reinterpret_cast<const char*>(xmlTextReaderConstName(reader.get())));
        checkElementPlace(name, depth, limits);
        if (depth != 1)
            continue;
        if (++entries > limits.entries)
            throw Error(
                QStringLiteral("模板文件信息的条目超过 %1 个，不予读取。").arg(limits.entries));
        if (name != kClassElement && name != kTemplateElement)
            continue;
        QString reason;
        if (std::optional<ManifestEntry> entry = readEntry(reader.get(), name, reason))
            manifest.entries.append(*entry);
        else
            manifest.skipped.append(reason);
    }
    if (status < 0)
        throw Error(
            QStringLiteral("模板文件信息格式有误（第 %1 行），无法解析。").arg(lastXmlLine()),
            lastXmlError());
    return manifest;
}

} // namespace zq
