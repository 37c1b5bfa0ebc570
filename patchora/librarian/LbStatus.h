#pragma once
// The program's own status codes, just above the platform's last error code, and the one
// place that turns them into an alert for the user.
#include "kernel/SupportDefs.h"

#include <functional>
#include <string>

constexpr status_t LB_BUSY = static_cast<status_t>(0x80010000u);            // a reply is still awaited
constexpr status_t LB_NO_RESPONSE = static_cast<status_t>(0x80010001u);     // no reply within the time-out
constexpr status_t LB_NOT_INITIALIZED = static_cast<status_t>(0x80010002u); // the device is not ready
constexpr status_t LB_UNSUPPORTED = static_cast<status_t>(0x80010003u);     // not available for this object

class LbDeviceI;

// How urgent an alert for the user is.
enum class LbAlertKind { Info, Warning };

// Where the model's alerts go. The model has no windows: the desktop program installs a
// sink that shows an alert box (LbInstallDesktopAlerts, app/window/LbDesktopAlerts.h); with
// none the text goes to standard error as "warning: <text>" or "note: <text>", as on the
// command line. Tests install one to see the alerts.
// Threads: the sink is called on the thread that reports the error, with no lock held;
// installing one is safe from any thread.
using LbAlertSink = std::function<void(const std::string& text, LbAlertKind kind)>;
// Installs `sink` (empty: standard error again) and returns the previous one.
LbAlertSink LbSetAlertSink(LbAlertSink sink);
// Hands an alert to the installed sink.
void LbShowAlert(const std::string& text, LbAlertKind kind);

// Shows the alert that belongs to `status` ("<add-on name> did not respond", ...) for
// LB_NO_RESPONSE, LB_BUSY and LB_NOT_INITIALIZED; any other status shows nothing.
void NotifyUserOfError(status_t status, LbDeviceI* device);
