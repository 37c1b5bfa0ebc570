// "Receive All" of a whole simulated Morpheus (400 patches) in this process: through the
// librarian window, until its list holds every patch of the shown bank, against the same
// receive without a window, the two in turns. During the window's receive, the longest
// handling of one message by the window is counted, and in a second run (loop_timer:1,
// whose timer adds wake-ups of its own) the longest the GUI thread's event loop stayed
// away (a 2 ms timer's largest lateness).
#include "app/Message.h"
#include "devices/morpheus/LbEmuMorpheusAddon.h"
#include "interface/Application.h"
#include "interface/tests/EventLoop.h"
#include "kernel/OS.h"
#include "librarian/LbBankSnapshotI.h"
#include "librarian/LbDataI.h"
#include "librarian/LbDeviceSnapshot.h"
#include "librarian/LbLibrarian.h"
#include "librarian/LbPatchI.h"
#include "librarian/window/LbDeviceManageWindow.h"
#include "librarian/window/LbDmwHostI.h"
#include "midi/LbDeviceAddons.h"
#include "midi/LbDeviceI.h"
#include "midi/LbMidiStudio.h"

#include "MorpheusSimulator.h"
#include "SimulatorEndpoints.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include <QElapsedTimer>
#include <QListWidget>
#include <QTimer>

namespace {

using Clock = std::chrono::steady_clock;

// The window, timing its own handling of each message.
class TimedWindow : public LbDeviceManageWindow {
public:
    using LbDeviceManageWindow::LbDeviceManageWindow;
    void MessageReceived(BMessage* message) override
    {
        Clock::time_point start = Clock::now();
        LbDeviceManageWindow::MessageReceived(message);
        double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        if (ms > longest) {
            longest = ms;
            longestCode = message->what;
        }
    }
    double longest = 0;
    uint32 longestCode = 0;
};

// One program around every run: the application, a Morpheus on the simulator.
struct Program : public LbDmwHostI {
    Program()
    {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        setenv("SUITE_MIDI_API", "none", 1);
        app = new BApplication("application/x-vnd.ORB-Patchora");
        addons.AddAddon(new LbEmuMorpheusAddon);
        simulator = new morpheus_sim::SimulatorEndpoints(
            std::make_shared<morpheus_sim::MorpheusSimulator>(0));
        studio = new LbMidiStudio(&addons);
        studio->SetCacheVariant("simulator");
        device = addons.AddonAt(0)->NewDevice();
        studio->AddDevice(device, morpheus_sim::SimulatorEndpoints::kDefaultName,
                          morpheus_sim::SimulatorEndpoints::kDefaultName);
        LbSetDmwHost(this);
    }
    LbMidiStudio* Studio() override { return studio; }
    LbDeviceAddons* Addons() override { return &addons; }
    void ShowStudioWindow() override { }

    // Kept until the process ends.
    BApplication* app;
    LbDeviceAddons addons;
    morpheus_sim::SimulatorEndpoints* simulator;
    LbMidiStudio* studio;
    LbDeviceI* device;
};

Program& TheProgram()
{
    static Program* program = new Program;
    return *program;
}

int CountFilledRows(QListWidget* list, LbBankSnapshotI* bank)
{
    int count = 0;
    for (int row = 0; row < list->count(); row++) {
        auto* patch = bank->PatchAt(list->item(row)->data(Qt::UserRole + 1).toInt());
        count += patch != nullptr && patch->Data()->Length() > 0 &&
            !list->item(row)->text().contains("<empty>");
    }
    return count;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    return n == 0 ? 0 : n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double Milliseconds(Clock::duration duration)
{
    return std::chrono::duration<double, std::milli>(duration).count();
}

// The same receive without a window: the librarian's worker alone.
bool ReceiveWithoutWindow(Program& program, double* ms)
{
    LbLibrarian librarian(program.studio, nullptr);
    librarian.SetDeviceSnapshot(new LbDeviceSnapshot(program.device));
    Clock::time_point start = Clock::now();
    bool ok = librarian.StartPatchWork(LB_PATCH_REQUEST, librarian.WorkForAll(LB_PATCH_REQUEST)) ==
            B_OK &&
        librarian.WaitForWorker() == B_OK;
    *ms = Milliseconds(Clock::now() - start);
    return ok;
}

// Each iteration times a receive without a window and one through it, in turns, so that
// the machine's changing pace (minutes apart, a virtual machine's figures move by half)
// weighs on both alike; the ratio is that of their medians. The iteration's time is the
// receive through the window.
void BM_ReceiveAllThroughWindow(benchmark::State& state)
{
    Program& program = TheProgram();
    auto* window = new TimedWindow(BRect(120, 80, 440, 340));
    window->Show();
    auto* list = window->Widget()->findChild<QListWidget*>("PatchList");
    // The event loop's lateness: a 2 ms timer that notes how late each tick came.
    double loopGap = 0;
    QElapsedTimer sinceTick;
    QTimer ticker;
    ticker.setInterval(2);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        loopGap = std::max(loopGap, double(sinceTick.nsecsElapsed()) / 1e6 - 2.0);
        sinceTick.restart();
    });
    double longest = 0, longestGap = 0;
    uint32 longestCode = 0;
    std::vector<double> withoutMs, throughMs;
    for (auto _ : state) {
        double without = 0;
        bool withoutFirst = throughMs.size() % 2 == 0;
        if (withoutFirst && !ReceiveWithoutWindow(program, &without))
            state.SkipWithError("the receive without a window failed");
        // Showing the device's empty lists is not part of the receive.
        BMessage show(LB_MSG_POPULATE);
        show.AddPointer("LbDeviceSnapshotI",
                        static_cast<LbDeviceSnapshotI*>(new LbDeviceSnapshot(program.device)));
        window->PostMessage(&show);
        RunPendingEvents();
        LbBankSnapshotI* bank = window->DeviceSnapshot()->Snapshots()[0];
        window->longest = 0;
        loopGap = 0;
        sinceTick.start();
        // The timer wakes the event loop itself: only the run that measures it has one.
        if (state.range(0) == 1) ticker.start();
        Clock::time_point start = Clock::now();
        // Handled at once, as its menu item's message would be: the worker runs from here.
        BMessage receive(LB_DMW_RECEIVE_ALL);
        window->MessageReceived(&receive);
        if (!window->IsRunning()) state.SkipWithError("the receive did not start");
        // The worker's end reaches the window after the last patch's 'dPtA'.
        bool done = RunEventsUntil([&] { return !window->IsRunning(); }, 120);
        double through = Milliseconds(Clock::now() - start);
        ticker.stop();
        if (!done || list->count() != 128 || CountFilledRows(list, bank) != 128)
            state.SkipWithError("the list did not fill");
        if (!withoutFirst && !ReceiveWithoutWindow(program, &without))
            state.SkipWithError("the receive without a window failed");
        state.SetIterationTime(through / 1000);
        withoutMs.push_back(without);
        throughMs.push_back(through);
        if (window->longest > longest) {
            longest = window->longest;
            longestCode = window->longestCode;
        }
        longestGap = std::max(longestGap, loopGap);
    }
    double medianWithout = Median(withoutMs), medianThrough = Median(throughMs);
    state.counters["without_window_ms"] = medianWithout;
    state.counters["through_window_ms"] = medianThrough;
    state.counters["ratio"] = medianWithout > 0 ? medianThrough / medianWithout : 0;
    state.counters["longest_handler_ms"] = longest;
    if (state.range(0) == 1) state.counters["longest_loop_gap_ms"] = longestGap;
    char code[5] = {char(longestCode >> 24), char(longestCode >> 16), char(longestCode >> 8),
                    char(longestCode), 0};
    state.SetLabel(std::string("longest: '") + code + "'");
    window->Lock();
    window->Quit();
    RunPendingEvents();
}
BENCHMARK(BM_ReceiveAllThroughWindow)
    ->ArgName("loop_timer")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(30);

} // namespace
