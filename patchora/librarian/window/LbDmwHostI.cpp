#include "librarian/window/LbDmwHostI.h"

#include <atomic>

namespace {
std::atomic<LbDmwHostI*> gHost {nullptr};
} // namespace

void LbSetDmwHost(LbDmwHostI* host)
{
    gHost.store(host);
}

LbDmwHostI* LbDmwHost()
{
    return gHost.load();
}
