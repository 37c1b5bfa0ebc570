#pragma once
// Alerts: a message for the user with one or more buttons. Where they appear is up to the
// presenter installed by the program: a dialog box in a window system, the standard error
// stream of a command-line program (the default). Tests install a presenter to see them.
#include "kernel/SupportDefs.h"

#include <functional>
#include <string>

enum alert_type { B_EMPTY_ALERT = 0, B_INFO_ALERT, B_IDEA_ALERT, B_WARNING_ALERT, B_STOP_ALERT };

struct AlertRequest {
    std::string text;
    alert_type type = B_INFO_ALERT;
    std::string button = "OK";
};

// Returns the index of the button the user chose (0 for the first).
using AlertPresenter = std::function<int32(const AlertRequest&)>;

// Shows the alert through the installed presenter; safe from any thread.
int32 ShowAlert(const AlertRequest& alert);
// Installs a presenter and returns the previous one; an empty presenter restores the
// default, which writes the text on standard error.
AlertPresenter SetAlertPresenter(AlertPresenter presenter);
