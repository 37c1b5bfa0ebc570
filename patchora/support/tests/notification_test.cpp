#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "app/Handler.h"
#include "app/Looper.h"
#include "app/Message.h"
#include "app/Messenger.h"
#include "kernel/OS.h"
#include "support/OrbNotificationRegistry.h"

namespace {

class Dependent : public BHandler {
public:
    explicit Dependent(const char* name = "dependent") : BHandler(name) {}
    void MessageReceived(BMessage* message) override
    {
        std::lock_guard<std::mutex> guard(mMutex);
        codes.push_back(message->what);
        threads.push_back(find_thread(nullptr));
        lockedWhenCalled = lockedWhenCalled && Looper() != nullptr && Looper()->IsLocked();
        if (onReceive)
            onReceive(message);
    }
    std::vector<uint32> Codes()
    {
        std::lock_guard<std::mutex> guard(mMutex);
        return codes;
    }
    std::function<void(BMessage*)> onReceive;
    std::vector<uint32> codes;
    std::vector<thread_id> threads;
    bool lockedWhenCalled = true;

private:
    std::mutex mMutex;
};

// A running looper holding some dependents; quits on destruction.
class Window {
public:
    explicit Window(std::vector<BHandler*> handlers) : looper(new BLooper("window")), mHandlers(handlers)
    {
        for (BHandler* h : handlers)
            looper->AddHandler(h);
        looper->Run();
    }
    ~Window()
    {
        looper->Lock();
        for (BHandler* h : mHandlers)
            looper->RemoveHandler(h);
        looper->Quit();
    }
    BLooper* looper;

private:
    std::vector<BHandler*> mHandlers;
};

}  // namespace

TEST(NotificationRegistry, SubscriptionCounts)
{
    OrbNotificationRegistry registry;
    Dependent a, b;
    EXPECT_EQ(registry.AddDependent(&a), 0);   // no types yet
    registry.RegisterType(100);
    registry.RegisterType(101);
    EXPECT_EQ(registry.AddDependent(&a), 2);
    EXPECT_EQ(registry.AddDependent(&a), 0);   // already there
    EXPECT_EQ(registry.AddDependent(101, &b), 1);
    EXPECT_EQ(registry.AddDependent(102, &b), 0);
    EXPECT_EQ(registry.RemoveDependent(100, &a), 1);
    EXPECT_EQ(registry.RemoveDependent(100, &a), 0);
    EXPECT_EQ(registry.RemoveDependent(&b), 1);
    EXPECT_EQ(registry.RemoveDependent(&a), 1);
    EXPECT_EQ(registry.AddDependent(nullptr), 0);
}

TEST(NotificationRegistry, DeliversOnTheCallersThreadWithTheLooperLocked)
{
    OrbNotificationRegistry registry;
    registry.RegisterType(100);
    registry.RegisterType(101);
    registry.RegisterType(100);   // a second type of the same code
    Dependent a("a"), b("b"), loose("no looper");
    Window window({&a, &b});
    registry.AddDependent(100, &a);
    registry.AddDependent(101, &b);
    registry.AddDependent(&loose);

    BMessage message('dPtA');
    registry.NotifyDependents(100, &message, false);
    // Told once per type of that code, right now, on this thread.
    EXPECT_EQ(a.Codes(), (std::vector<uint32>{'dPtA', 'dPtA'}));
    EXPECT_EQ(a.threads[0], find_thread(nullptr));
    EXPECT_TRUE(a.lockedWhenCalled);
    EXPECT_TRUE(b.Codes().empty());
    EXPECT_TRUE(loose.Codes().empty());
    EXPECT_FALSE(window.looper->IsLocked());

    // A code nobody registered reaches nobody.
    BMessage other('nope');
    registry.NotifyDependents(555, &other, false);
    EXPECT_EQ(a.Codes().size(), 2u);
    EXPECT_TRUE(b.Codes().empty());
}

TEST(NotificationRegistry, OwnLooperIsLockedRecursively)
{
    OrbNotificationRegistry registry;
    registry.RegisterType(100);
    Dependent listener("listener"), notifier("notifier");
    sem_id done = create_sem(0, "done");
    notifier.onReceive = [&](BMessage* m) {
        if (m->what == 'go!!') {
            BMessage note('note');
            registry.NotifyDependents(100, &note, false);
            release_sem(done);
        }
    };
    Window window({&listener, &notifier});
    registry.AddDependent(100, &listener);
    BMessenger(&notifier).SendMessage('go!!');
    ASSERT_EQ(acquire_sem_etc(done, 1, B_RELATIVE_TIMEOUT, 10000000), B_OK);
    EXPECT_EQ(listener.Codes(), std::vector<uint32>{'note'});
    EXPECT_EQ(listener.threads[0], window.looper->Thread());
    delete_sem(done);
}

TEST(NotificationRegistry, UnsubscribedDuringNotificationIsNotTold)
{
    OrbNotificationRegistry registry;
    registry.RegisterType(101);
    Dependent first("first"), second("second");
    Window window({&first, &second});
    first.onReceive = [&](BMessage*) { registry.RemoveDependent(101, &second); };
    registry.AddDependent(101, &first);
    registry.AddDependent(101, &second);
    BMessage gone('dBsR');
    registry.NotifyDependents(101, &gone, false);
    EXPECT_EQ(first.Codes().size(), 1u);
    EXPECT_TRUE(second.Codes().empty());
}

namespace {

class QueueDriver : public BLooperDriver {
public:
    void MessageQueued(BLooper*) override { queued++; }
    std::atomic<int> queued{0};
};

}  // namespace

TEST(NotificationRegistry, WindowOnAnotherThreadGetsACopyPosted)
{
    OrbNotificationRegistry registry;
    registry.RegisterType(100);
    Dependent view("view");
    auto* gui = new BLooper("gui window");
    gui->AddHandler(&view);
    QueueDriver driver;
    ASSERT_EQ(gui->AttachDriver(&driver), B_OK);   // this thread plays the GUI thread
    registry.AddDependent(100, &view);

    std::thread midiInput([&] {
        BMessage message('dPtA');
        message.AddInt32("n", 5);
        registry.NotifyDependents(100, &message, false);
        message.ReplaceInt32("n", 6);   // the notifier reuses its message
    });
    midiInput.join();
    EXPECT_TRUE(view.Codes().empty());   // not called from the other thread
    EXPECT_EQ(driver.queued.load(), 1);
    int32 n = 0;
    view.onReceive = [&](BMessage* m) { m->FindInt32("n", &n); };
    EXPECT_EQ(gui->DispatchQueued(), 1);
    EXPECT_EQ(view.Codes(), std::vector<uint32>{'dPtA'});
    EXPECT_EQ(view.threads[0], find_thread(nullptr));
    EXPECT_EQ(n, 5);

    // On the GUI thread itself the call is direct.
    BMessage direct('drct');
    registry.NotifyDependents(100, &direct, false);
    EXPECT_EQ(view.Codes().size(), 2u);

    gui->Lock();
    gui->RemoveHandler(&view);
    gui->Quit();
}

TEST(NotificationRegistry, SubscribingWhileNotifyingFromAnotherThread)
{
    OrbNotificationRegistry registry;
    registry.RegisterType(100);
    std::vector<std::unique_ptr<Dependent>> owned;
    std::vector<BHandler*> handlers;
    for (int i = 0; i < 8; i++) {
        owned.push_back(std::make_unique<Dependent>("d"));
        handlers.push_back(owned.back().get());
    }
    Window window(handlers);   // quits before the dependents are freed
    std::atomic<bool> stop{false};
    std::thread churn([&] {
        for (int round = 0; !stop; round++) {
            Dependent* d = owned[size_t(round) % owned.size()].get();
            if (round % 2)
                registry.AddDependent(100, d);
            else
                registry.RemoveDependent(100, d);
        }
    });
    BMessage message('tick');
    for (int i = 0; i < 2000; i++)
        registry.NotifyDependents(100, &message, false);
    stop = true;
    churn.join();
    size_t total = 0;
    for (auto& d : owned) {
        total += d->Codes().size();
        EXPECT_TRUE(d->lockedWhenCalled);
    }
    EXPECT_LE(total, size_t(2000 * 8));
}

namespace {

// Notifies from a thread of its own (the MIDI input's) and tells whether that ended
// within half a minute while this thread holds `held` locked; the lock is let go either
// way, so a notifier stuck on it ends before the test does.
bool NotifierEndsWhileLocked(OrbNotificationRegistry& registry, BLooper* held, uint32 code)
{
    EXPECT_TRUE(held->Lock());
    std::promise<void> ended;
    std::future<void> done = ended.get_future();
    std::thread midiInput([&] {
        BMessage message(code);
        registry.NotifyDependents(100, &message, false);
        ended.set_value();
    });
    bool inTime = done.wait_for(std::chrono::seconds(30)) == std::future_status::ready;
    held->Unlock();
    midiInput.join();
    return inTime;
}

}  // namespace

TEST(NotificationRegistry, WindowBusyOnItsOwnThreadNeverHoldsUpTheNotifier)
{
    // The GUI thread holds its window locked (handling a message that waits for a
    // request) while the MIDI input installs the reply and notifies the window.
    OrbNotificationRegistry registry;
    registry.RegisterType(100);
    Dependent view("view");
    auto* gui = new BLooper("gui window");
    gui->AddHandler(&view);
    QueueDriver driver;
    ASSERT_EQ(gui->AttachDriver(&driver), B_OK);   // this thread plays the GUI thread
    registry.AddDependent(100, &view);

    EXPECT_TRUE(NotifierEndsWhileLocked(registry, gui, 'dPtA'))
        << "the notifier waited for the window's lock";
    EXPECT_TRUE(view.Codes().empty());
    EXPECT_EQ(gui->DispatchQueued(), 1);
    EXPECT_EQ(view.Codes(), std::vector<uint32>{'dPtA'});

    gui->Lock();
    gui->RemoveHandler(&view);
    gui->Quit();
}

TEST(NotificationRegistry, LooperHeldTooLongGetsACopyPosted)
{
    OrbNotificationRegistry registry;
    registry.RegisterType(100);
    Dependent worker("worker");
    Window window({&worker});
    registry.AddDependent(100, &worker);

    EXPECT_TRUE(NotifierEndsWhileLocked(registry, window.looper, 'late'))
        << "the notifier waited for the looper's lock without a bound";
    // The copy is handled by the looper's own thread once it is free again.
    for (int i = 0; i < 3000 && worker.Codes().empty(); i++)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(worker.Codes(), std::vector<uint32>{'late'});
    EXPECT_TRUE(worker.lockedWhenCalled);
}
