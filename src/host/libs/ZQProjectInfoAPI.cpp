// libZQProjectInfoAPI.so: the project open in the host.

#include "HostCore.h"
#include "HostServices.h"

CORVANE_SERVICE char* ZQGetCurPrjSerial() {
    return corvane::serveText("ZQGetCurPrjSerial",
                              [](QJsonArray&) { return corvane::projectSerial(); });
}
