#include "app/window/LbDesktopAlerts.h"

#include "interface/Alert.h"
#include "librarian/LbStatus.h"

#include <string>

void LbInstallDesktopAlerts()
{
    LbSetAlertSink([](const std::string& text, LbAlertKind kind) {
        alert_type type = kind == LbAlertKind::Warning ? B_WARNING_ALERT : B_INFO_ALERT;
        ShowAlert(AlertRequest{text, type, "OK"});
    });
}
