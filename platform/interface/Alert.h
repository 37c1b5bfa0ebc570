#pragma once
// Alerts: a message for the user with one to three buttons. Where they appear is up to
// the presenter installed by the program: a dialog box while a BApplication exists (see
// interface/Application.h), the standard error stream of a command-line program (the
// default). Tests install a presenter to see them and to choose a button.
//
// BAlert: the alert as a window Part uses it. Construct it with new; Go() shows it and
// deletes it. Go() without an invoker waits for the answer and returns the button's index
// (on the GUI thread in a nested event loop, so the windows go on; from another thread
// the caller sleeps). Go(invoker) returns at once; the answer arrives as a copy of the
// invoker's message with the int32 "which" at the invoker's target.
// Threads: every function may be called from any thread.
#include "kernel/SupportDefs.h"

#include <functional>
#include <string>

class BInvoker;

enum alert_type { B_EMPTY_ALERT = 0, B_INFO_ALERT, B_IDEA_ALERT, B_WARNING_ALERT, B_STOP_ALERT };
enum button_width { B_WIDTH_AS_USUAL, B_WIDTH_FROM_WIDEST, B_WIDTH_FROM_LABEL };
constexpr char B_ESCAPE = 0x1b;
constexpr char B_ENTER = 0x0a;

struct AlertRequest {
    std::string text;
    alert_type type = B_INFO_ALERT;
    std::string button = "OK";  // the first button (index 0)
    std::string secondButton;   // empty: none
    std::string thirdButton;    // empty: none
    std::string title;
    // The button Escape chooses; -1 for none (a single button always takes Escape).
    int32 escapeButton = -1;

    int32 CountButtons() const { return thirdButton.empty() ? (secondButton.empty() ? 1 : 2) : 3; }
    const std::string& Button(int32 index) const
    {
        return index == 2 ? thirdButton : index == 1 ? secondButton : button;
    }
};

// Returns the index of the button the user chose (0 for the first).
using AlertPresenter = std::function<int32(const AlertRequest&)>;

// Shows the alert through the installed presenter; safe from any thread.
int32 ShowAlert(const AlertRequest& alert);
// Installs a presenter and returns the previous one; an empty presenter restores the
// default, which writes the text on standard error.
AlertPresenter SetAlertPresenter(AlertPresenter presenter);
// The presenter of a running application: a dialog box on the GUI thread.
int32 PresentAlertInDialog(const AlertRequest& alert);

class BAlert {
public:
    BAlert(const char* title, const char* text, const char* button0, const char* button1 = nullptr,
           const char* button2 = nullptr, button_width width = B_WIDTH_AS_USUAL,
           alert_type type = B_INFO_ALERT);
    BAlert(const BAlert&) = delete;
    BAlert& operator=(const BAlert&) = delete;

    // Makes a key choose a button; only B_ESCAPE is kept (Enter chooses the last button).
    void SetShortcut(int32 index, char key);
    const AlertRequest& Request() const { return fRequest; }

    // Shows the alert, deletes it and returns the chosen index.
    int32 Go();
    // Shows the alert later and returns at once; takes ownership of invoker (may be null)
    // and deletes the alert.
    status_t Go(BInvoker* invoker);

private:
    ~BAlert() = default;
    AlertRequest fRequest;
};
