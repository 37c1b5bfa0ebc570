#include "app/window/LbApplication.h"

#include "app/AppDefs.h"
#include "app/LbSettingsFile.h"
#include "app/LbXmlStream.h"
#include "app/Message.h"
#include "app/SingleLaunch.h"
#include "app/window/LbDesktopAlerts.h"
#include "app/window/LbDesktopArgs.h"
#include "app/window/LbGlobals.h"
#include "app/window/LbImageManager.h"
#include "app/window/LbPreferences.h"
#include "app/window/LbSplashWindow.h"
#include "app/window/LbWindowState.h"
#include "devices/morpheus/LbEmuMorpheus.h"
#include "devices/morpheus/LbEmuMorpheusAddon.h"
#include "interface/Window.h"
#include "kernel/EntryRef.h"
#include "librarian/LbLibrarian.h"
#include "librarian/LbStatus.h"
#include "librarian/window/LbDeviceManageWindow.h"
#include "midi/LbDeviceAddonI.h"
#include "midi/LbDeviceAddons.h"
#include "midi/LbDeviceI.h"
#include "midi/LbMidiStudio.h"
#include "midi/window/LbStudioWindow.h"
#include "storage/BufferIO.h"
#include "storage/DataIO.h"
#include "storage/SettingsFile.h"
#include "support/OrbLookPreferences.h"
#include "support/window/OrbAboutWindow.h"

#include "MorpheusSimulator.h"
#include "SimulatorEndpoints.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include <QApplication>
#include <QPalette>

namespace {

constexpr char kStudioFile[] = "studio";
constexpr char kStudioBackup[] = "studio.old";
constexpr char kStateFile[] = "state";
constexpr char kSettingsType[] = "text/plain";
constexpr char kStateTag[] = "State";
constexpr char kWindowTag[] = "Window";
constexpr BRect kStudioFrame(80, 80, 280, 380);

// The studio as its document would have it now.
std::string RenderStudio(LbMidiStudio* studio)
{
    BMallocIO memory;
    {
        LbXmlStream stream(&memory);
        studio->WriteTo(&stream);
    }
    return std::string(static_cast<const char*>(memory.Buffer()), memory.BufferLength());
}

bool WriteSettingsFile(const char* name, const std::string& bytes)
{
    std::unique_ptr<AtomicFileWriter> file(SettingsFileWriter(name, kSettingsType));
    if (!file || file->InitCheck() != B_OK) return false;
    if (!bytes.empty() && file->Write(bytes.data(), bytes.size()) != ssize_t(bytes.size()))
        return false;
    return file->Commit() == B_OK;
}

} // namespace

LbApplication* LbApp()
{
    return dynamic_cast<LbApplication*>(be_app);
}

LbApplication::LbApplication(int argc, char** argv, const LbApplicationOptions& options)
    : BApplication(kLbSignature, argc, argv)
{
    if (InitCheck() != B_OK) return;
    // The members, in order; the studio knows the add-on registry from the start.
    mAddons = std::make_unique<LbDeviceAddons>();
    mStudio = std::make_unique<LbMidiStudio>(mAddons.get());
    mImages = std::make_unique<LbImageManager>();
    QPalette palette = QApplication::palette();
    QColor panel = palette.color(QPalette::Window), menu = palette.color(QPalette::Base);
    OrbLookPreferences::SetSystemColors(
        rgb_color {uint8(panel.red()), uint8(panel.green()), uint8(panel.blue()), 255},
        rgb_color {uint8(menu.red()), uint8(menu.green()), uint8(menu.blue()), 255});
    mPrefs = std::make_unique<LbPreferences>(mImages.get());
    mGlobals = std::make_unique<LbGlobals>();
    LbSetProgramServices(mGlobals.get(), mPrefs.get(), mImages.get());
    LbSetDmwHost(this);
    LbInstallDesktopAlerts();   // the model's alerts become alert boxes
    // A device removed from the studio: every window hears of it, by post (from whatever
    // thread removed it: the application passes it on from its own).
    mStudio->SetWindowBroadcast([this](BMessage* message) { PostMessage(message); });

    LbInstallFileTypes();
    auto* splash = new LbSplashWindow(mStudio.get());
    mAddons->AddAddon(new LbEmuMorpheusAddon);
    if (options.simulate) StartSimulator();
    ReadStudio();
    if (options.simulate && mStudio->CountDevices() == 0) {
        LbDeviceI* device = mAddons->AddonAt(0)->NewDevice();
        mStudio->AddTransientDevice(device, morpheus_sim::SimulatorEndpoints::kDefaultName,
                                    morpheus_sim::SimulatorEndpoints::kDefaultName, "simulator");
        mSimulatedDevice = device;
    }
    splash->Lock();
    splash->Quit();
    ReadState();
    if (CountWindows() == 0) ShowStudioWindow();
}

LbApplication::~LbApplication()
{
    if (!mStudio) return;
    // Windows still open (a test, a window that never closed) go before what they show.
    CloseAllWindows();
    WriteStudio();
    mStudio->PreDelete();
    // The model's value tables, learned from the instruments, go with the last device.
    LbEmuMorpheus::DeleteMaps();
    LbSetProgramServices(nullptr, nullptr, nullptr);
    LbSetDmwHost(nullptr);
    LbSetAlertSink(nullptr);
    mGlobals.reset();
    mPrefs.reset();
    mImages.reset();
    mAddons.reset();
    mSimulator.reset();
    mAboutWindow = BMessenger();
    mStudioWindow = BMessenger();
    mStudio.reset();
}

void LbApplication::StartSimulator()
{
    auto simulator = std::make_shared<morpheus_sim::MorpheusSimulator>(uint8_t(0));
    mSimulator = std::make_unique<morpheus_sim::SimulatorEndpoints>(simulator);
}

void LbApplication::ReadStudio()
{
    mStudioAsRead = RenderStudio(mStudio.get());
    BPath path;
    if (settings_file_path(kLbSettingsDirectory, kStudioFile, &path, false) != B_OK) return;
    std::error_code error;
    if (!std::filesystem::exists(path.Path(), error)) return;
    std::unique_ptr<BFile> file(SettingsFile(B_READ_ONLY, kStudioFile, kSettingsType));
    std::string bytes;
    off_t size = 0;
    if (!file || file->GetSize(&size) != B_OK || size < 0) {
        printf("patchora: cannot read the studio settings %s\n", path.Path());
        return;
    }
    bytes.resize(size_t(size));
    if (size > 0 && file->ReadAt(0, bytes.data(), bytes.size()) != ssize_t(bytes.size())) {
        printf("patchora: cannot read the studio settings %s\n", path.Path());
        return;
    }
    BMemoryIO memory(bytes.data(), bytes.size());
    LbXmlStream stream(&memory);
    status_t status = mStudio->ReadFrom(&stream);
    // Whole: a studio, nothing wrong in it, nothing left after it.
    char* rest = status == B_OK ? stream.ReadNextTag() : nullptr;
    bool whole = status == B_OK && stream.ProblemCount() == 0 && rest == nullptr;
    free(rest);
    if (!whole) {
        printf("patchora: the studio settings %s could not be read whole; they are kept as %s "
               "when the studio is next saved\n",
               path.Path(), kStudioBackup);
        mUnreadStudio = bytes;
    }
    mStudioAsRead = RenderStudio(mStudio.get());
}

bool LbApplication::WriteStudio()
{
    std::string now = RenderStudio(mStudio.get());
    if (now == mStudioAsRead) return true; // nothing changed: the document stays as it is
    if (!mUnreadStudio.empty()) {
        if (!WriteSettingsFile(kStudioBackup, mUnreadStudio)) {
            printf("patchora: cannot keep the old studio settings as %s; they stay as they are\n",
                   kStudioBackup);
            return false;
        }
        mUnreadStudio.clear();
    }
    if (!WriteSettingsFile(kStudioFile, now)) {
        printf("patchora: cannot write the studio settings; the old ones are kept\n");
        return false;
    }
    mStudioAsRead = now;
    return true;
}

bool LbApplication::WriteState()
{
    std::unique_ptr<AtomicFileWriter> file(SettingsFileWriter(kStateFile, kSettingsType));
    if (!file || file->InitCheck() != B_OK) return false;
    {
        LbXmlStream stream(file.get());
        LbXmlStreamI::ConstStringList keys {"version"}, values {"1.0"};
        if (stream.WriteStartTag(kStateTag, &keys, &values) < 1 || stream.WriteCR() < 1)
            return false;
        stream.PushTab();
        for (int32 i = 0; i < CountWindows(); i++) {
            BMessage write(LB_MSG_WRITE_STATE);
            write.AddPointer("LbXmlStreamI", static_cast<LbXmlStreamI*>(&stream));
            LbHandToWindow(WindowAt(i), &write);
        }
        stream.PopTab();
        if (stream.WriteEndTag(kStateTag) < 1) return false;
    }
    return file->Commit() == B_OK;
}

bool LbApplication::ReadState()
{
    std::unique_ptr<BFile> file(SettingsFile(B_READ_ONLY, kStateFile, kSettingsType));
    if (!file) return false;
    BBufferIO buffered(file.get(), 65536, false);
    LbXmlStream stream(&buffered);
    LbXmlStreamI::StringList keys, values;
    while (char* tag = stream.ReadNextTag(&keys, &values)) {
        bool isWindow = strcmp(tag, kWindowTag) == 0;
        free(tag);
        const char* typeValue = isWindow ? LbAttribute(keys, values, "type") : nullptr;
        std::string type = typeValue != nullptr ? typeValue : "";
        LbFreeStrings(keys);
        LbFreeStrings(values);
        BWindow* window = nullptr;
        if (type == kLbStudioWindowType) {
            // One studio window: a second element only moves the first.
            window = StudioWindow();
            if (window == nullptr) {
                window = new LbStudioWindow(kStudioFrame, mStudio.get(), mAddons.get());
                mStudioWindow = BMessenger(nullptr, window);
            }
        } else if (type == kLbManageWindowType) {
            window = new LbDeviceManageWindow(kLbManageFrame);
        }
        if (window == nullptr) continue;
        BMessage read(LB_MSG_READ_STATE);
        read.AddPointer("LbXmlStreamI", static_cast<LbXmlStreamI*>(&stream));
        read.AddString("tag", kWindowTag);
        read.AddString("type", type.c_str());
        LbHandToWindow(window, &read);
        window->Show();
    }
    return true;
}

void LbApplication::ShowStudioWindow()
{
    if (BWindow* window = StudioWindow()) {
        window->Activate();
        return;
    }
    auto* window = new LbStudioWindow(kStudioFrame, mStudio.get(), mAddons.get());
    mStudioWindow = BMessenger(nullptr, window);
    window->Show();
}

void LbApplication::ShowAboutWindow()
{
    if (AboutWindow() != nullptr) return;
    OrbAboutInfo info;
    info.name = "Patchora";
    std::string built = __DATE__; // "Dec  8 2026": one space between the parts
    if (size_t twice = built.find("  "); twice != std::string::npos) built.erase(twice, 1);
    info.version = OrbVersionText(0, 1, 0, 5, 0) + "  (built " + built + ")";
    info.text = "A MIDI System Exclusive librarian and editor.\n"
                "Fetches, keeps and sends the patches of your instruments;\n"
                "E-mu Morpheus built in.";
    auto* window = new OrbAboutWindow(nullptr, "About Patchora", info);
    mAboutWindow = BMessenger(nullptr, window);
    window->Show();
}

BWindow* LbApplication::StudioWindow() const
{
    return LbWindowOf(mStudioWindow);
}

BWindow* LbApplication::AboutWindow() const
{
    return LbWindowOf(mAboutWindow);
}

void LbApplication::MessageReceived(BMessage* message)
{
    switch (message->what) {
    case LB_MSG_NEW_DEVICE: {
        LbDeviceI* device = nullptr;
        const char* in = nullptr;
        const char* out = nullptr;
        if (message->FindPointer("LbDeviceI", &device) != B_OK || device == nullptr) break;
        message->FindString("midi_in", &in);
        message->FindString("midi_out", &out);
        mStudio->AddDevice(device, out, in);
        break;
    }
    case LB_MSG_OPEN_STUDIO:
    case B_SILENT_RELAUNCH:
        ShowStudioWindow();
        break;
    case ORB_LOOK_CHANGED:
    case LB_MSG_DEVICE_REMOVED:
        BroadcastToWindows(message);
        break;
    default:
        BApplication::MessageReceived(message);
    }
}

void LbApplication::AboutRequested()
{
    ShowAboutWindow();
}

void LbApplication::RefsReceived(BMessage* message)
{
    std::vector<entry_ref> refs;
    entry_ref ref;
    for (int32 i = 0; message->FindRef("refs", i, &ref) == B_OK; i++) refs.push_back(ref);
    for (auto it = refs.rbegin(); it != refs.rend(); ++it) {
        std::error_code error;
        if (!std::filesystem::is_regular_file(it->path, error)) {
            printf("patchora: %s is not a file\n", it->path.c_str());
            continue;
        }
        auto* window = new LbDeviceManageWindow(kLbManageFrame);
        window->Show();
        BMessage open(B_REFS_RECEIVED);
        open.AddRef("refs", &*it);
        window->PostMessage(&open);
    }
}

bool LbApplication::QuitRequested()
{
    mGlobals->SetQuitting(true);
    WriteState();
    if (!BApplication::QuitRequested()) {
        mGlobals->SetQuitting(false);
        return false;
    }
    for (BWindow* window : {AboutWindow(), StudioWindow()}) {
        if (window != nullptr && window->Lock()) window->Quit();
    }
    return true;
}

void LbApplication::BroadcastToWindows(BMessage* message)
{
    for (int32 i = 0; i < CountWindows(); i++) WindowAt(i)->PostMessage(message);
}

void LbApplication::CloseAllWindows()
{
    while (CountWindows() > 0) {
        BWindow* window = WindowAt(CountWindows() - 1);
        window->Lock();
        window->Quit();
    }
}

void LbApplication::OpenWindow(const std::string& name)
{
    if (name == "about") {
        ShowAboutWindow();
        return;
    }
    ShowStudioWindow();
    if (name == "add-device") StudioWindow()->PostMessage(LB_MSG_SHOW_ADD_DEVICE);
}

std::string LbSingleLaunchName()
{
    // The folder as the file system sees it: two spellings of one folder are one name.
    BPath settings;
    settings_file_path(kLbSettingsDirectory, "state", &settings, false);
    std::error_code error;
    std::filesystem::path folder = std::filesystem::weakly_canonical(
        std::filesystem::path(settings.Path() ? settings.Path() : "").parent_path(), error);
    return std::string(kLbSignature) + "\n" + folder.string();
}

namespace {

// What a later start hands over: its documents (absolute paths), or B_SILENT_RELAUNCH.
BMessage HandOffMessage(const std::vector<std::string>& files)
{
    if (files.empty()) return BMessage(B_SILENT_RELAUNCH);
    BMessage refs(B_REFS_RECEIVED);
    for (const std::string& file : files) {
        std::error_code error;
        std::filesystem::path path = std::filesystem::absolute(file, error);
        entry_ref ref(error ? file.c_str() : path.c_str());
        refs.AddRef("refs", &ref);
    }
    return refs;
}

} // namespace

status_t LbServeLaterStarts(SingleLaunch* launch)
{
    return launch->Serve(be_app_messenger, {B_REFS_RECEIVED, B_SILENT_RELAUNCH});
}

int LbRunDesktop(const char* program, const LbDesktopArgs& args)
{
    // A later start waits this long for the running copy, which answers once it has
    // started (its devices may take a while) or gone (its name is then free).
    constexpr bigtime_t kHandOffTimeout = 30000000;
    SingleLaunch launch(LbSingleLaunchName());
    status_t claim = launch.Claim(HandOffMessage(args.files), kHandOffTimeout);
    if (claim == B_ALREADY_RUNNING) {
        printf("patchora: already running; %s\n",
               args.files.empty() ? "its studio window comes forward"
                                  : "the documents open in it");
        if (args.simulate || !args.open.empty())
            fprintf(stderr, "patchora: --simulate and --open apply to a new start only\n");
        return 0;
    }
    if (claim == B_TIMED_OUT || claim == B_NOT_ALLOWED) {
        fprintf(stderr,
                "patchora: another patchora with these settings is running but %s; quit it "
                "first\n",
                claim == B_TIMED_OUT ? "does not answer" : "refused the documents");
        return 1;
    }
    if (claim == B_BAD_VALUE) {
        fprintf(stderr, "patchora: too many documents to hand to the running patchora; "
                        "open fewer at a time\n");
        return 2;
    }
    if (claim != B_OK)
        fprintf(stderr, "patchora: cannot tell whether patchora runs already (%s); starting\n",
                strerror_status(claim));
    // The application sees the documents only: they arrive as refs.
    std::vector<char*> argv {const_cast<char*>(program)};
    for (const std::string& file : args.files) argv.push_back(const_cast<char*>(file.c_str()));
    argv.push_back(nullptr);
    LbApplicationOptions options;
    options.simulate = args.simulate;
    auto* app = new LbApplication(int(argv.size() - 1), argv.data(), options);
    if (app->InitCheck() == B_OK) {
        for (const std::string& name : args.open) app->OpenWindow(name);
    }
    if (app->InitCheck() != B_OK) {
        fprintf(stderr, "patchora: cannot start the desktop application\n");
        delete app;
        return 1;
    }
    if (launch.Claimed()) LbServeLaterStarts(&launch);
    app->Run();
    delete app;
    return 0;
}
