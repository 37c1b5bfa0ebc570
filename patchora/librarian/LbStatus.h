#pragma once
// The program's own status codes, just above the platform's last error code, and the one
// place that turns them into an alert for the user.
#include "kernel/SupportDefs.h"

constexpr status_t LB_BUSY = static_cast<status_t>(0x80010000u);            // a reply is still awaited
constexpr status_t LB_NO_RESPONSE = static_cast<status_t>(0x80010001u);     // no reply within the time-out
constexpr status_t LB_NOT_INITIALIZED = static_cast<status_t>(0x80010002u); // the device is not ready
constexpr status_t LB_UNSUPPORTED = static_cast<status_t>(0x80010003u);     // not available for this object

class LbDeviceI;

// Shows the alert that belongs to `status` ("<add-on name> did not respond", ...) for
// LB_NO_RESPONSE, LB_BUSY and LB_NOT_INITIALIZED; any other status shows nothing.
void NotifyUserOfError(status_t status, LbDeviceI* device);
