#include "librarian/LbStatus.h"

#include "interface/Alert.h"
#include "midi/LbDeviceAddonI.h"
#include "midi/LbDeviceI.h"

#include <cstdio>

void NotifyUserOfError(status_t status, LbDeviceI* device)
{
    const char* format = nullptr;
    alert_type type = B_INFO_ALERT;
    switch (status) {
        case LB_NO_RESPONSE: format = "%s did not respond"; type = B_WARNING_ALERT; break;
        case LB_BUSY: format = "%s is busy"; break;
        case LB_NOT_INITIALIZED: format = "%s is not properly initialized"; break;
        default: return;
    }
    LbDeviceAddonI* addon = device ? device->Addon() : nullptr;
    const char* name = addon ? addon->Name() : nullptr;
    char text[256];
    snprintf(text, sizeof text, format, name ? name : "The device");
    ShowAlert(AlertRequest{text, type, "OK"});
}
