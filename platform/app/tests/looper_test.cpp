#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "app/AppDefs.h"
#include "app/Handler.h"
#include "app/Looper.h"
#include "app/Message.h"
#include "app/Messenger.h"
#include "kernel/OS.h"

namespace {

// Records what it receives; releases a semaphore for each message.
class Recorder : public BHandler {
public:
	explicit Recorder(const char* name = "recorder") : BHandler(name), received(create_sem(0, "received")) {}
	~Recorder() override { delete_sem(received); }

	void MessageReceived(BMessage* message) override
	{
		{
			std::lock_guard<std::mutex> guard(mutex);
			codes.push_back(message->what);
			lockedDuringDispatch = lockedDuringDispatch && Looper()->IsLocked();
			onLooperThread = onLooperThread && find_thread(nullptr) == Looper()->Thread();
		}
		if (message->what == 'echo') {
			BMessage reply('ecko');
			int32 v = 0;
			message->FindInt32("v", &v);
			reply.AddInt32("v", v + 1);
			message->SendReply(&reply);
		}
		if (message->what == 'wait')
			acquire_sem(gate);
		release_sem(received);
	}

	bool WaitFor(int count)
	{
		return acquire_sem_etc(received, count, B_RELATIVE_TIMEOUT, 10 * 1000000) == B_OK;
	}
	std::vector<uint32> Codes()
	{
		std::lock_guard<std::mutex> guard(mutex);
		return codes;
	}

	sem_id received;
	sem_id gate = -1;
	std::mutex mutex;
	std::vector<uint32> codes;
	bool lockedDuringDispatch = true;
	bool onLooperThread = true;
};

class TestLooper : public BLooper {
public:
	TestLooper(std::atomic<bool>* destroyed, int32 capacity = B_LOOPER_PORT_DEFAULT_CAPACITY)
		: BLooper("test looper", B_NORMAL_PRIORITY, capacity), fDestroyed(destroyed)
	{
	}
	~TestLooper() override
	{
		if (fDestroyed)
			*fDestroyed = true;
	}
	bool QuitRequested() override { return allowQuit; }
	std::atomic<bool> allowQuit{true};

private:
	std::atomic<bool>* fDestroyed;
};

void QuitFromOutside(BLooper* looper)
{
	ASSERT_TRUE(looper->Lock());
	looper->Quit();
}

}  // namespace

TEST(Looper, DeliversInOrderLockedOnItsThread)
{
	std::atomic<bool> destroyed{false};
	auto* looper = new TestLooper(&destroyed);
	Recorder recorder;
	looper->Lock();
	looper->AddHandler(&recorder);
	looper->SetPreferredHandler(&recorder);
	looper->Unlock();
	thread_id thread = looper->Run();
	ASSERT_GT(thread, 0);
	EXPECT_EQ(looper->Run(), B_ALREADY_RUNNING);
	thread_info info;
	ASSERT_EQ(get_thread_info(thread, &info), B_OK);
	EXPECT_STREQ(info.name, "test looper");

	for (uint32 code = 1; code <= 50; code++)
		ASSERT_EQ(looper->PostMessage(code, nullptr), B_OK);
	ASSERT_TRUE(recorder.WaitFor(50));
	std::vector<uint32> codes = recorder.Codes();
	ASSERT_EQ(codes.size(), 50u);
	for (uint32 i = 0; i < 50; i++)
		EXPECT_EQ(codes[i], i + 1);
	EXPECT_TRUE(recorder.lockedDuringDispatch);
	EXPECT_TRUE(recorder.onLooperThread);

	// Without a handler argument the looper itself is the target, not the preferred one.
	ASSERT_EQ(looper->PostMessage('loop'), B_OK);
	ASSERT_EQ(looper->PostMessage('pref', nullptr), B_OK);
	ASSERT_TRUE(recorder.WaitFor(1));
	EXPECT_EQ(recorder.Codes().back(), uint32('pref'));
	EXPECT_EQ(recorder.Codes().size(), 51u);

	BMessenger messenger(nullptr, looper);
	EXPECT_TRUE(messenger.IsValid());
	looper->Lock();
	looper->RemoveHandler(&recorder);
	QuitFromOutside(looper);
	EXPECT_TRUE(destroyed.load());
	EXPECT_FALSE(messenger.IsValid());
	EXPECT_EQ(messenger.SendMessage('late'), B_BAD_PORT_ID);
	EXPECT_FALSE(messenger.LockTarget());
	BLooper* target = reinterpret_cast<BLooper*>(1);
	EXPECT_EQ(messenger.Target(&target), nullptr);
	EXPECT_EQ(target, nullptr);
}

TEST(Looper, TargetsHandlersAndDropsForRemovedOnes)
{
	auto* looper = new BLooper("targets");
	Recorder a("a"), b("b"), stranger("stranger");
	looper->AddHandler(&a);
	looper->AddHandler(&b);
	looper->Run();

	BMessenger toB(&b);
	EXPECT_EQ(toB.SendMessage('toB'), B_OK);
	ASSERT_TRUE(b.WaitFor(1));
	BLooper* owner = nullptr;
	EXPECT_EQ(toB.Target(&owner), &b);
	EXPECT_EQ(owner, looper);
	EXPECT_EQ(looper->PostMessage('toA', &a), B_OK);
	ASSERT_TRUE(a.WaitFor(1));
	EXPECT_EQ(looper->PostMessage('nope', &stranger), B_MISMATCHED_VALUES);
	status_t result = B_OK;
	BMessenger invalid(&stranger, nullptr, &result);
	EXPECT_EQ(result, B_BAD_HANDLER);
	EXPECT_FALSE(invalid.IsValid());

	// The next handler takes what a handler passes on.
	looper->Lock();
	a.SetNextHandler(&b);
	looper->Unlock();

	// A message for a handler that has left is dropped; the looper goes on.
	looper->Lock();
	looper->RemoveHandler(&b);
	EXPECT_EQ(b.Looper(), nullptr);
	EXPECT_EQ(toB.SendMessage('lost'), B_OK);
	looper->Unlock();
	EXPECT_EQ(looper->PostMessage('toA', &a), B_OK);
	ASSERT_TRUE(a.WaitFor(1));
	EXPECT_EQ(b.Codes(), std::vector<uint32>{'toB'});

	looper->Lock();
	looper->RemoveHandler(&a);
	looper->Quit();
}

TEST(Looper, SynchronousRepliesAndNoReply)
{
	auto* looper = new BLooper("replies");
	Recorder r;
	looper->AddHandler(&r);
	looper->Run();
	BMessenger messenger(&r);

	BMessage request('echo');
	request.AddInt32("v", 41);
	BMessage reply;
	ASSERT_EQ(messenger.SendMessage(&request, &reply), B_OK);
	EXPECT_EQ(reply.what, uint32('ecko'));
	EXPECT_TRUE(reply.IsReply());
	int32 v = 0;
	reply.FindInt32("v", &v);
	EXPECT_EQ(v, 42);

	// A handler that does not answer: the sender hears B_NO_REPLY instead of waiting forever.
	ASSERT_EQ(messenger.SendMessage('mute', &reply), B_OK);
	EXPECT_EQ(reply.what, uint32(B_NO_REPLY));

	// The base handler answers what it does not understand.
	BHandler plain("plain");
	looper->Lock();
	looper->AddHandler(&plain);
	looper->Unlock();
	ASSERT_EQ(BMessenger(&plain).SendMessage('huh?', &reply), B_OK);
	EXPECT_EQ(reply.what, uint32(B_MESSAGE_NOT_UNDERSTOOD));

	// Replies to a handler in another looper arrive there as replies.
	auto* other = new BLooper("reply target");
	class ReplyCatcher : public BHandler {
	public:
		void MessageReceived(BMessage* m) override
		{
			isReply = m->IsReply();
			m->FindInt32("v", &value);
			release_sem(done);
		}
		sem_id done = create_sem(0, "done");
		bool isReply = false;
		int32 value = 0;
	} catcher;
	other->AddHandler(&catcher);
	other->Run();
	request.ReplaceInt32("v", 9);
	ASSERT_EQ(messenger.SendMessage(&request, &catcher), B_OK);
	ASSERT_EQ(acquire_sem_etc(catcher.done, 1, B_RELATIVE_TIMEOUT, 10000000), B_OK);
	EXPECT_TRUE(catcher.isReply);
	EXPECT_EQ(catcher.value, 10);
	delete_sem(catcher.done);

	// A reply that comes too late times out on the sender's side.
	r.gate = create_sem(0, "gate");
	BMessage waitRequest('wait');
	EXPECT_EQ(messenger.SendMessage(&waitRequest, &reply, B_INFINITE_TIMEOUT, 1000), B_TIMED_OUT);
	release_sem(r.gate);

	looper->Lock();
	looper->RemoveHandler(&r);
	looper->RemoveHandler(&plain);
	looper->Quit();
	other->Lock();
	other->RemoveHandler(&catcher);
	other->Quit();
	delete_sem(r.gate);
}

TEST(Looper, MessageToSelfIsRefusedAndQueueIsBounded)
{
	auto* looper = new BLooper("bounded", B_NORMAL_PRIORITY, 2);
	class SelfSender : public BHandler {
	public:
		void MessageReceived(BMessage* m) override
		{
			if (m->what == 'self') {
				BMessage reply;
				status = BMessenger(this).SendMessage('x', &reply);
			}
			if (m->what == 'wait')
				acquire_sem(gate);
			release_sem(done);
		}
		status_t status = B_OK;
		sem_id gate = create_sem(0, "gate");
		sem_id done = create_sem(0, "done");
	} handler;
	looper->AddHandler(&handler);
	looper->SetPreferredHandler(&handler);
	looper->Run();
	looper->PostMessage('self', nullptr);
	ASSERT_EQ(acquire_sem_etc(handler.done, 1, B_RELATIVE_TIMEOUT, 10000000), B_OK);
	EXPECT_EQ(handler.status, B_MESSAGE_TO_SELF);

	// The loop is held in 'wait'; two more fit in the queue, the next does not.
	ASSERT_EQ(looper->PostMessage('wait', nullptr), B_OK);
	while (looper->CountQueuedMessages() > 0)
		snooze(1000);
	EXPECT_EQ(looper->PostMessage('one', nullptr), B_OK);
	EXPECT_EQ(looper->PostMessage('two', nullptr), B_OK);
	EXPECT_EQ(looper->PostMessage('full', nullptr), B_WOULD_BLOCK);
	BMessenger messenger(nullptr, looper);
	BMessage m('tmo');
	EXPECT_EQ(messenger.SendMessage(&m, static_cast<BHandler*>(nullptr), 1000), B_TIMED_OUT);
	// A sender willing to wait gets in once the loop moves on.
	std::atomic<status_t> late{1};
	std::thread sender([&] { late = messenger.SendMessage(&m); });
	release_sem(handler.gate);
	sender.join();
	EXPECT_EQ(late.load(), B_OK);
	ASSERT_EQ(acquire_sem_etc(handler.done, 4, B_RELATIVE_TIMEOUT, 10000000), B_OK);

	looper->Lock();
	looper->RemoveHandler(&handler);
	looper->Quit();
	delete_sem(handler.gate);
	delete_sem(handler.done);
}

TEST(Looper, LockingFromOutsideHoldsTheLoop)
{
	auto* looper = new BLooper("locked");
	Recorder r;
	looper->AddHandler(&r);
	looper->SetPreferredHandler(&r);
	looper->Run();
	ASSERT_TRUE(r.LockLooper());
	EXPECT_TRUE(looper->IsLocked());
	EXPECT_TRUE(looper->Lock());   // recursive
	EXPECT_EQ(looper->CountLocks(), 2);
	looper->PostMessage('held', nullptr);
	EXPECT_EQ(acquire_sem_etc(r.received, 1, B_RELATIVE_TIMEOUT, 20000), B_TIMED_OUT);
	std::atomic<status_t> other{1};
	std::thread t([&] { other = looper->LockWithTimeout(1000); });
	t.join();
	EXPECT_EQ(other.load(), B_TIMED_OUT);
	looper->Unlock();
	r.UnlockLooper();
	ASSERT_TRUE(r.WaitFor(1));
	looper->Lock();
	looper->RemoveHandler(&r);
	EXPECT_FALSE(r.LockLooper());
	looper->Quit();
}

TEST(Looper, QuitRequestedAndQuitOnItsOwnThread)
{
	std::atomic<bool> destroyed{false};
	auto* looper = new TestLooper(&destroyed);
	looper->Run();
	BMessenger messenger(nullptr, looper);
	looper->allowQuit = false;
	BMessage reply;
	ASSERT_EQ(messenger.SendMessage(B_QUIT_REQUESTED, &reply), B_OK);   // handled, unanswered
	EXPECT_FALSE(destroyed.load());
	EXPECT_TRUE(messenger.IsValid());
	looper->allowQuit = true;
	ASSERT_EQ(messenger.SendMessage(B_QUIT_REQUESTED), B_OK);
	for (int i = 0; i < 10000 && !destroyed.load(); i++)
		snooze(1000);
	EXPECT_TRUE(destroyed.load());
	EXPECT_FALSE(messenger.IsValid());

	// A looper that never ran is deleted by Quit at once.
	destroyed = false;
	looper = new TestLooper(&destroyed);
	looper->Lock();
	looper->Quit();
	EXPECT_TRUE(destroyed.load());
}

TEST(Looper, MessagesLeftInTheQueueAnswerWaitingSenders)
{
	auto* looper = new BLooper("never dispatches");
	BMessenger messenger(nullptr, looper);
	std::atomic<uint32> answer{0};
	std::thread sender([&] {
		BMessage reply;
		if (messenger.SendMessage('ask', &reply) == B_OK)
			answer = reply.what;
	});
	while (looper->CountQueuedMessages() == 0)
		snooze(1000);
	looper->Lock();
	looper->Quit();   // never ran: deleted with the message still queued
	sender.join();
	EXPECT_EQ(answer.load(), uint32(B_NO_REPLY));
}

namespace {

class CountingDriver : public BLooperDriver {
public:
	void MessageQueued(BLooper*) override { calls++; }
	std::atomic<int> calls{0};
};

}  // namespace

TEST(Looper, ExternalDriverDispatchesOnItsThread)
{
	std::atomic<bool> destroyed{false};
	auto* looper = new TestLooper(&destroyed);
	Recorder r;
	looper->AddHandler(&r);
	looper->SetPreferredHandler(&r);
	CountingDriver driver;
	looper->PostMessage('earl', nullptr);   // queued before the driver came
	ASSERT_EQ(looper->AttachDriver(&driver), B_OK);
	EXPECT_EQ(driver.calls.load(), 1);
	EXPECT_TRUE(looper->IsDrivenExternally());
	EXPECT_EQ(looper->Thread(), find_thread(nullptr));
	EXPECT_EQ(looper->Run(), B_ALREADY_RUNNING);

	std::thread poster([&] { BMessenger(nullptr, looper).SendMessage('othr'); });
	poster.join();
	// Part of the drain already asked for: the driver is not woken again.
	EXPECT_EQ(driver.calls.load(), 1);
	int32 fromOtherThread = -1;
	std::thread wrong([&] { fromOtherThread = looper->DispatchQueued(); });
	wrong.join();
	EXPECT_EQ(fromOtherThread, B_BAD_VALUE);

	bool quitted = true;
	EXPECT_EQ(looper->DispatchQueued(1, &quitted), 1);
	EXPECT_FALSE(quitted);
	// The bounded drain left a message: it asked the driver to come back.
	EXPECT_EQ(driver.calls.load(), 2);
	EXPECT_EQ(looper->DispatchQueued(-1, &quitted), 1);
	EXPECT_EQ(r.Codes(), (std::vector<uint32>{'earl', 'othr'}));
	EXPECT_TRUE(r.onLooperThread);
	EXPECT_TRUE(r.lockedDuringDispatch);

	// A synchronous request from another thread is answered once the driver dispatches.
	std::atomic<uint32> answer{0};
	std::thread asker([&] {
		BMessage request('echo'), reply;
		if (BMessenger(&r).SendMessage(&request, &reply) == B_OK)
			answer = reply.what;
	});
	while (looper->CountQueuedMessages() == 0)
		snooze(1000);
	EXPECT_EQ(looper->DispatchQueued(), 1);
	asker.join();
	EXPECT_EQ(answer.load(), uint32('ecko'));
	EXPECT_EQ(driver.calls.load(), 3);

	looper->Lock();
	looper->RemoveHandler(&r);
	looper->Unlock();
	looper->PostMessage(B_QUIT_REQUESTED);
	EXPECT_EQ(looper->DispatchQueued(-1, &quitted), 1);
	EXPECT_TRUE(quitted);
	EXPECT_TRUE(destroyed.load());
}

TEST(Looper, QuitFromOtherThreadWhileDrivenIsPostedToTheDriver)
{
	std::atomic<bool> destroyed{false};
	auto* looper = new TestLooper(&destroyed);
	CountingDriver driver;
	std::atomic<bool> attached{false}, stop{false};
	std::atomic<bool> quittedOnDriverThread{false};
	std::thread gui([&] {
		looper->AttachDriver(&driver);
		attached = true;
		bool quitted = false;
		while (!quitted && !stop) {
			looper->DispatchQueued(-1, &quitted);
			snooze(1000);
		}
		quittedOnDriverThread = quitted;
	});
	while (!attached)
		snooze(1000);
	BMessenger messenger(nullptr, looper);
	QuitFromOutside(looper);   // returns without waiting for the driver
	EXPECT_FALSE(messenger.IsValid());
	for (int i = 0; i < 10000 && !destroyed.load(); i++)
		snooze(1000);
	EXPECT_TRUE(destroyed.load());
	stop = true;
	gui.join();
	EXPECT_TRUE(quittedOnDriverThread.load());
}
