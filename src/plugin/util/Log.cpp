#include "util/Log.h"

#include <cstring>

namespace zq {

Q_LOGGING_CATEGORY(catalogueLog, "zq.catalogue", QtWarningMsg)

namespace {

QtMessageHandler g_previous = nullptr;

void route(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    const bool uncategorised = !context.category || std::strcmp(context.category, "default") == 0;
    if (uncategorised && type != QtCriticalMsg && type != QtFatalMsg) {
        qCInfo(catalogueLog).noquote() << text;
        return;
    }
    g_previous(type, context, text);
}

} // namespace

void routeQtWarningsToLog() {
    if (!g_previous)
        g_previous = qInstallMessageHandler(route);
}

} // namespace zq
