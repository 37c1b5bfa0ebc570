#include "librarian/LbStatus.h"

#include "midi/LbDeviceAddonI.h"
#include "midi/LbDeviceI.h"

#include <cstdio>
#include <mutex>

namespace {

std::mutex gSinkLock;
LbAlertSink gSink;  // guarded by gSinkLock

} // namespace

LbAlertSink LbSetAlertSink(LbAlertSink sink)
{
    std::lock_guard<std::mutex> lock(gSinkLock);
    LbAlertSink previous = std::move(gSink);
    gSink = std::move(sink);
    return previous;
}

void LbShowAlert(const std::string& text, LbAlertKind kind)
{
    LbAlertSink sink;
    {
        std::lock_guard<std::mutex> lock(gSinkLock);
        sink = gSink;
    }
    if (sink) {
        sink(text, kind);
        return;
    }
    fprintf(stderr, "%s: %s\n", kind == LbAlertKind::Warning ? "warning" : "note", text.c_str());
    fflush(stderr);
}

void NotifyUserOfError(status_t status, LbDeviceI* device)
{
    const char* format = nullptr;
    LbAlertKind kind = LbAlertKind::Info;
    switch (status) {
        case LB_NO_RESPONSE: format = "%s did not respond"; kind = LbAlertKind::Warning; break;
        case LB_BUSY: format = "%s is busy"; break;
        case LB_NOT_INITIALIZED: format = "%s is not properly initialized"; break;
        default: return;
    }
    LbDeviceAddonI* addon = device ? device->Addon() : nullptr;
    const char* name = addon ? addon->Name() : nullptr;
    char text[256];
    snprintf(text, sizeof text, format, name ? name : "The device");
    LbShowAlert(text, kind);
}
