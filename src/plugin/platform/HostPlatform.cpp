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
    // Bound on first use, which the plug-in's load makes happen at once; freed when the plug-in
    // is unloaded or the process ends (the host's libraries stay open, see ~BoundHost).
    static BoundHost bound;
    return bound;
}

void setHostPlatform(HostPlatform* host) {
    g_override = host;
}

} // namespace zq
