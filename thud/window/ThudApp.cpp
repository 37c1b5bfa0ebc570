#include "ThudApp.h"

#include "ThudWindow.h"
#include "app/Message.h"
#include "kernel/EntryRef.h"

#include <filesystem>
#include <system_error>

namespace thud {

namespace {

const BRect kUntitledFrame(50, 50, 560, 515);
const BRect kFileFrame(100, 100, 610, 565);
// Each further window from the same request moves this far, so none hides another.
constexpr float kCascade = 24;

}  // namespace

ThudApp::ThudApp(int argc, char** argv) : BApplication(kThudSignature, argc, argv)
{
}

void ThudApp::ReadyToRun()
{
    if (fOpenedFile)
        return;
    auto* window = new ThudWindow(kUntitledFrame);
    window->Show();
}

void ThudApp::RefsReceived(BMessage* message)
{
    entry_ref ref;
    for (int32 i = 0; message->FindRef("refs", i, &ref) == B_OK; i++) {
        fOpenedFile = true;
        float offset = kCascade * static_cast<float>(fOpenedCount++ % 10);
        BRect frame(kFileFrame.left + offset, kFileFrame.top + offset, kFileFrame.right + offset,
                    kFileFrame.bottom + offset);
        auto* window = new ThudWindow(frame);
        window->ReadPresetFromFile(ref.path);
        window->Show();
    }
}

bool WantsWindows(const std::vector<std::string>& args)
{
    for (const std::string& arg : args) {
        if (arg.empty() || arg[0] == '-' || arg == "render" || arg == "play" || arg == "preset"
            || arg == "help")
            return false;
        // A file, or a name a preset would have (a missing one gets the window's alert).
        std::error_code error;
        bool preset = arg.size() > 5 && arg.compare(arg.size() - 5, 5, ".thud") == 0;
        if (!preset && !std::filesystem::is_regular_file(arg, error))
            return false;
    }
    return true;
}

int RunThudApp(int argc, char** argv)
{
    ThudApp app(argc, argv);
    if (app.InitCheck() != B_OK)
        return 1;
    app.Run();
    return 0;
}

}  // namespace thud
