#pragma once

// The host's project store: resources announced by ZQGetCurUUID and the data items registered
// from them in the open project, each with its own copy of the file below the data folder.

#include <QList>
#include <QString>

namespace corvane {

struct DataItem {
    int id = 0;
    QString title;
    QString type;
    QString memo;
    QString filePath;
};

struct ResourceRequest {
    QString memo, keywords, origin, reserved, fullPath, module;
    int parentId = -1, kind = 0, flag = 0;
};

// Records a resource and gives its new identifier.
QString addResource(const ResourceRequest& request);

// Registers the resource's file as a data item of the open project and gives the item's
// identifier; negative when no usable project is open, the resource is unknown or its file
// is missing. An empty title takes the file's base name, an empty description the
// resource's.
int registerItem(const QString& type, const QString& title, const QString& memo,
                 const QString& uuid, const QString& resText);

// Fields joined by "@&@": identifier, title, type, description, resource; empty when the open
// project has no such item.
QString dataInfo(int itemId);
// The full path of the item's own copy; empty when the open project has no such item.
QString dataFileName(int itemId);
// The items of the open project, newest last.
QList<DataItem> projectItems();

// ZQDoResTypeProc: accepts an existing file for the open project and describes its type.
int describeResource(const QString& typeName, const QString& fullPath, QString& resText);
// The data type of a file, from its extension or its first bytes: WORD, EXCEL, PDF, TEXT or
// OTHER.
QString dataTypeOf(const QString& path);
// Keywords of a new resource: the words of its name and the class it is filed under.
QString keywordsOf(const QString& name, const QString& classPath);

} // namespace corvane
