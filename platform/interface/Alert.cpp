#include "interface/Alert.h"

#include <cstdio>
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
