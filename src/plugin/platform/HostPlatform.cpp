#include "platform/HostPlatform.h"

#include "platform/BoundHost.h"

#include <memory>

namespace zq {

namespace {

HostPlatform* g_override = nullptr;

} // namespace

HostPlatform& hostPlatform() {
    if (g_override)
        return *g_override;
    // Bound on first use, which the plug-in's load makes happen at once. Never destroyed: closing
    // the host's libraries from an exit handler, while the host tears itself down, crashes it.
    static BoundHost* const bound = new BoundHost;
    return *bound;
}

void setHostPlatform(HostPlatform* host) {
    g_override = host;
}

} // namespace zq
