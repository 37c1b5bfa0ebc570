#include "interface/Alert.h"

#include "GuiThread.h"
#include "app/Invoker.h"
#include "app/Message.h"

#include <cstdio>
#include <memory>
#include <mutex>

namespace {

std::mutex gPresenterLock;
AlertPresenter gPresenter;

int32 WriteToStandardError(const AlertRequest& alert)
{
    const char* kind = alert.type == B_WARNING_ALERT ? "warning" : alert.type == B_STOP_ALERT ? "error" : "note";
    fprintf(stderr, "%s: %s\n", kind, alert.text.c_str());
    fflush(stderr);
    return 0;
}

} // namespace

int32 ShowAlert(const AlertRequest& alert)
{
    AlertPresenter presenter;
    {
        std::lock_guard<std::mutex> lock(gPresenterLock);
        presenter = gPresenter;
    }
    return presenter ? presenter(alert) : WriteToStandardError(alert);
}

AlertPresenter SetAlertPresenter(AlertPresenter presenter)
{
    std::lock_guard<std::mutex> lock(gPresenterLock);
    AlertPresenter previous = std::move(gPresenter);
    gPresenter = std::move(presenter);
    return previous;
}

BAlert::BAlert(const char* title, const char* text, const char* button0, const char* button1,
               const char* button2, button_width, alert_type type)
{
    fRequest.title = title ? title : "";
    fRequest.text = text ? text : "";
    fRequest.type = type;
    fRequest.button = button0 ? button0 : "OK";
    fRequest.secondButton = button1 ? button1 : "";
    fRequest.thirdButton = button1 && button2 ? button2 : "";
}

void BAlert::SetShortcut(int32 index, char key)
{
    if (key == B_ESCAPE && index >= 0 && index < fRequest.CountButtons())
        fRequest.escapeButton = index;
}

int32 BAlert::Go()
{
    AlertRequest request = fRequest;
    delete this;
    return ShowAlert(request);
}

status_t BAlert::Go(BInvoker* invoker)
{
    AlertRequest request = fRequest;
    delete this;
    std::shared_ptr<BInvoker> owned(invoker);
    // Shown from the GUI thread's event loop once the caller's work is done.
    auto show = [request, owned] {
        int32 which = ShowAlert(request);
        if (owned && owned->Message() != nullptr) {
            BMessage answer(*owned->Message());
            answer.AddInt32("which", which);
            owned->Invoke(&answer);
        }
    };
    gui::Post(show);
    return B_OK;
}
