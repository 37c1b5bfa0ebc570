// Loopers driven by one thread, as windows are by the GUI thread: nested dispatch (modal
// dialogs), quits from other threads, locks held elsewhere, bounded drains and
// synchronous sends between loopers of the same thread.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>
#include <vector>

#include "app/AppDefs.h"
#include "app/Handler.h"
#include "app/Looper.h"
#include "app/Message.h"
#include "app/tests/LockHolder.h"
#include "app/Messenger.h"
#include "kernel/OS.h"

namespace {

class Driver : public BLooperDriver {
public:
	~Driver() override { DetachAll(); }
	void MessageQueued(BLooper*) override { queued++; }
	void RetryLater(BLooper*) override { retries++; }
	std::atomic<int> queued{0};
	std::atomic<int> retries{0};
};

// A looper whose messages run a function given by the test.
class Window : public BLooper {
public:
	explicit Window(const char* name, std::atomic<bool>* destroyed = nullptr)
		: BLooper(name), fDestroyed(destroyed)
	{
	}
	~Window() override
	{
		deletedOn = find_thread(nullptr);
		if (fDestroyed)
			*fDestroyed = true;
		if (deletedOnOut)
			*deletedOnOut = deletedOn;
	}
	void MessageReceived(BMessage* message) override
	{
		codes.push_back(message->what);
		if (onMessage)
			onMessage(message);
	}
	std::function<void(BMessage*)> onMessage;
	std::vector<uint32> codes;
	thread_id deletedOn = -1;
	thread_id* deletedOnOut = nullptr;

private:
	std::atomic<bool>* fDestroyed;
};

}  // namespace

TEST(DrivenLooper, NestedDispatchKeepsTheOuterMessageAndDefersTheQuit)
{
	std::atomic<bool> destroyed{false};
	auto* window = new Window("modal", &destroyed);
	Driver driver;
	ASSERT_EQ(window->AttachDriver(&driver), B_OK);

	uint32 currentInside = 0, currentAfter = 0;
	bool aliveAfterInnerQuit = false;
	window->onMessage = [&](BMessage* message) {
		if (message->what == 'outr') {
			// A modal dialog's event loop runs the window's messages meanwhile.
			window->PostMessage('innr');
			window->DispatchQueued();
			currentAfter = window->CurrentMessage() ? window->CurrentMessage()->what : 0;
			aliveAfterInnerQuit = !destroyed.load();
			// Left unanswered: its sender must hear B_NO_REPLY, not wait forever.
		} else if (message->what == 'innr') {
			currentInside = window->CurrentMessage()->what;
			window->Quit();   // e.g. the dialog's button closed the window
		}
	};

	std::atomic<uint32> outerAnswer{0};
	BMessenger messenger(nullptr, window);
	std::thread asker([&] {
		BMessage request('outr'), reply;
		if (messenger.SendMessage(&request, &reply) == B_OK)
			outerAnswer = reply.what;
	});
	while (window->CountQueuedMessages() == 0)
		snooze(1000);
	bool quitted = false;
	EXPECT_EQ(window->DispatchQueued(-1, &quitted), 1);
	asker.join();
	EXPECT_TRUE(quitted);
	EXPECT_TRUE(destroyed.load());
	EXPECT_EQ(currentInside, uint32('innr'));
	EXPECT_EQ(currentAfter, uint32('outr'));
	EXPECT_TRUE(aliveAfterInnerQuit);
	EXPECT_EQ(outerAnswer.load(), uint32(B_NO_REPLY));
	EXPECT_FALSE(messenger.IsValid());
}

TEST(DrivenLooper, AQuitFromAnotherThreadIsCarriedOutOnTheDriverThread)
{
	std::atomic<bool> destroyed{false};
	thread_id deletedOn = -1;
	auto* window = new Window("quit elsewhere", &destroyed);
	window->deletedOnOut = &deletedOn;
	Driver driver;
	ASSERT_EQ(window->AttachDriver(&driver), B_OK);
	BMessenger messenger(nullptr, window);

	// The driver's loop has stopped (detached): a worker's Quit still returns at once.
	EXPECT_FALSE(window->DetachDriver());
	std::thread worker([&] {
		ASSERT_TRUE(window->Lock());
		window->Quit();
	});
	worker.join();
	EXPECT_FALSE(destroyed.load());
	EXPECT_FALSE(messenger.IsValid());
	EXPECT_EQ(messenger.SendMessage('late'), B_BAD_PORT_ID);

	// Nor does the driver's thread wait for a lock someone else holds to carry it out.
	LockHolder holder(window);
	bool quitted = false;
	EXPECT_EQ(window->DispatchQueued(-1, &quitted), 0);
	EXPECT_FALSE(quitted);
	EXPECT_FALSE(destroyed.load());
	holder.Release();

	EXPECT_EQ(window->DispatchQueued(-1, &quitted), 0);
	EXPECT_TRUE(quitted);
	EXPECT_TRUE(destroyed.load());
	EXPECT_EQ(deletedOn, find_thread(nullptr));
}

TEST(DrivenLooper, DispatchNeverWaitsForALockAndDrainsOnlyWhatWasQueued)
{
	auto* window = new Window("busy");
	Driver driver;
	ASSERT_EQ(window->AttachDriver(&driver), B_OK);
	// Each message queues another: a drain that took those too would never end.
	window->onMessage = [&](BMessage* message) { window->PostMessage(message->what + 1); };

	LockHolder holder(window);
	window->PostMessage('a');
	EXPECT_EQ(window->DispatchQueued(), 0);
	EXPECT_EQ(driver.retries.load(), 1);
	EXPECT_EQ(window->CountQueuedMessages(), 1);
	holder.Release();

	EXPECT_EQ(window->DispatchQueued(), 1);
	EXPECT_EQ(window->DispatchQueued(), 1);
	EXPECT_EQ(window->codes, (std::vector<uint32>{'a', 'a' + 1}));
	EXPECT_EQ(window->CountQueuedMessages(), 1);
	window->Lock();
	window->Quit();
}

TEST(DrivenLooper, LoopersOfOneThreadAnswerEachOtherSynchronously)
{
	std::atomic<bool> destroyedA{false}, destroyedB{false};
	auto* a = new Window("a", &destroyedA);
	auto* b = new Window("b", &destroyedB);
	Driver driver;
	ASSERT_EQ(a->AttachDriver(&driver), B_OK);
	ASSERT_EQ(b->AttachDriver(&driver), B_OK);

	b->onMessage = [&](BMessage* message) {
		EXPECT_TRUE(b->IsLocked());
		if (message->what == 'echo') {
			BMessage reply('ecko');
			message->SendReply(&reply);
		} else if (message->what == 'self') {
			BMessage reply;
			BMessage again('echo');
			EXPECT_EQ(BMessenger(nullptr, b).SendMessage(&again, &reply), B_MESSAGE_TO_SELF);
		} else if (message->what == 'bye ') {
			b->Quit();
		}
	};
	status_t fromA = B_ERROR;
	uint32 answerToA = 0;
	a->onMessage = [&](BMessage* message) {
		BMessage request(message->what == 'ask ' ? 'echo' : 'bye '), reply;
		fromA = BMessenger(nullptr, b).SendMessage(&request, &reply);
		answerToA = reply.what;
		// A's own message is current again after B's nested dispatch.
		EXPECT_EQ(a->CurrentMessage(), message);
	};

	a->PostMessage('ask ');
	EXPECT_EQ(a->DispatchQueued(), 1);
	EXPECT_EQ(fromA, B_OK);
	EXPECT_EQ(answerToA, uint32('ecko'));
	EXPECT_EQ(b->codes, std::vector<uint32>{'echo'});

	// From the thread outside any dispatch (a direct call of the application), too.
	BMessage request('echo'), reply;
	EXPECT_EQ(BMessenger(nullptr, b).SendMessage(&request, &reply), B_OK);
	EXPECT_EQ(reply.what, uint32('ecko'));
	b->PostMessage('self');
	EXPECT_EQ(b->DispatchQueued(), 1);

	// A thread holding B's lock cannot wait for B's answer.
	status_t whileHolding = B_OK;
	std::thread holder([&] {
		b->Lock();
		BMessage ask('echo'), answer;
		whileHolding = BMessenger(nullptr, b).SendMessage(&ask, &answer);
		b->Unlock();
	});
	holder.join();
	EXPECT_EQ(whileHolding, B_NOT_ALLOWED);
	// Nothing was queued by the refused send.
	EXPECT_EQ(b->CountQueuedMessages(), 0);

	// B quits inside A's synchronous send: deleted once that nested dispatch is over.
	a->PostMessage('quit');
	EXPECT_EQ(a->DispatchQueued(), 1);
	EXPECT_EQ(answerToA, uint32(B_NO_REPLY));
	EXPECT_TRUE(destroyedB.load());
	EXPECT_FALSE(destroyedA.load());
	a->Lock();
	a->Quit();
	EXPECT_TRUE(destroyedA.load());
}

TEST(DrivenLooper, ADriverThatGoesAwayDetachesItsLoopers)
{
	auto* window = new Window("orphan");
	auto* driver = new Driver;
	ASSERT_EQ(window->AttachDriver(driver), B_OK);
	EXPECT_TRUE(window->IsDrivenExternally());
	delete driver;
	EXPECT_FALSE(window->IsDrivenExternally());
	// Posting no longer reaches the deleted driver (AddressSanitizer would see it).
	std::thread poster([&] { BMessenger(nullptr, window).SendMessage('post'); });
	poster.join();
	EXPECT_EQ(window->CountQueuedMessages(), 1);
	Driver next;
	ASSERT_EQ(window->AttachDriver(&next), B_OK);
	EXPECT_EQ(next.queued.load(), 1);
	EXPECT_EQ(window->DispatchQueued(), 1);
	window->Lock();
	window->Quit();
}

TEST(DrivenLooper, ABurstOfPostsWakesTheDriverOnceAndNothingIsLeftBehind)
{
	auto* window = new Window("burst");
	Driver driver;
	ASSERT_EQ(window->AttachDriver(&driver), B_OK);
	std::thread poster([&] {
		for (int i = 0; i < 100; i++)
			BMessenger(nullptr, window).SendMessage('brst');
	});
	poster.join();
	EXPECT_EQ(driver.queued.load(), 1);

	// A message posted while the drain runs was not part of it: the driver is asked again.
	window->onMessage = [&](BMessage* message) {
		if (message->what == 'brst' && window->codes.size() == 1) {
			std::thread late([&] { BMessenger(nullptr, window).SendMessage('late'); });
			late.join();
		}
	};
	EXPECT_EQ(window->DispatchQueued(), 100);
	EXPECT_EQ(driver.queued.load(), 2);
	EXPECT_EQ(window->DispatchQueued(), 1);
	EXPECT_EQ(window->codes.back(), uint32('late'));

	// A bounded drain that stops early asks for the rest.
	for (int i = 0; i < 3; i++)
		window->PostMessage('more');
	EXPECT_EQ(driver.queued.load(), 3);
	EXPECT_EQ(window->DispatchQueued(2), 2);
	EXPECT_EQ(driver.queued.load(), 4);
	EXPECT_EQ(window->DispatchQueued(), 1);
	window->Lock();
	window->Quit();
}
