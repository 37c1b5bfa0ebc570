#include <gtest/gtest.h>

#include <atomic>

#include "app/Handler.h"
#include "app/Looper.h"
#include "app/Message.h"
#include "app/MessageRunner.h"
#include "app/Messenger.h"
#include "kernel/OS.h"

namespace {

class Counter : public BHandler {
public:
	Counter() : BHandler("counter") {}
	~Counter() override { delete_sem(arrived); }
	void MessageReceived(BMessage* message) override
	{
		int32 tag = 0;
		if (message->what == 'tick' && message->FindInt32("tag", &tag) == B_OK && tag == 77)
			count++;
		release_sem(arrived);
	}
	bool WaitFor(int32 n) { return acquire_sem_etc(arrived, n, B_RELATIVE_TIMEOUT, 10000000) == B_OK; }
	std::atomic<int32> count{0};
	sem_id arrived = create_sem(0, "arrived");
};

struct LooperWithCounter {
	LooperWithCounter() : looper(new BLooper("runner target"))
	{
		looper->AddHandler(&counter);
		looper->Run();
	}
	~LooperWithCounter()
	{
		looper->Lock();
		looper->RemoveHandler(&counter);
		looper->Quit();
	}
	Counter counter;
	BLooper* looper;
};

}  // namespace

TEST(MessageRunner, SendsCountCopiesThenStops)
{
	LooperWithCounter t;
	BMessage tick('tick');
	tick.AddInt32("tag", 77);
	BMessageRunner runner(BMessenger(&t.counter), &tick, 2000, 3);
	ASSERT_EQ(runner.InitCheck(), B_OK);
	ASSERT_TRUE(t.counter.WaitFor(3));
	snooze(20000);
	EXPECT_EQ(t.counter.count.load(), 3);
	bigtime_t interval;
	int32 count;
	EXPECT_EQ(runner.GetInfo(&interval, &count), B_BAD_VALUE);
	EXPECT_EQ(runner.SetCount(2), B_BAD_VALUE);
}

TEST(MessageRunner, UnlimitedUntilDeletedAndSettingsRestart)
{
	LooperWithCounter t;
	BMessage tick('tick');
	tick.AddInt32("tag", 77);
	auto* runner = new BMessageRunner(BMessenger(&t.counter), &tick, 1000);
	bigtime_t interval = 0;
	int32 count = 0;
	ASSERT_EQ(runner->GetInfo(&interval, &count), B_OK);
	EXPECT_EQ(interval, 1000);
	EXPECT_EQ(count, -1);
	ASSERT_TRUE(t.counter.WaitFor(5));
	ASSERT_EQ(runner->SetInterval(3000), B_OK);
	ASSERT_EQ(runner->SetCount(2), B_OK);
	ASSERT_EQ(runner->GetInfo(&interval, &count), B_OK);
	EXPECT_EQ(interval, 3000);
	EXPECT_EQ(count, 2);
	ASSERT_TRUE(t.counter.WaitFor(2));
	snooze(20000);
	int32 after = t.counter.count.load();
	EXPECT_GE(after, 7);
	EXPECT_EQ(runner->GetInfo(&interval, &count), B_BAD_VALUE);
	delete runner;

	// Deleting a running runner stops it for good.
	runner = new BMessageRunner(BMessenger(&t.counter), &tick, 1000);
	ASSERT_TRUE(t.counter.WaitFor(2));
	delete runner;
	// A round trip behind whatever copy was queued before the delete.
	BMessage sync('sync'), reply;
	ASSERT_EQ(BMessenger(&t.counter).SendMessage(&sync, &reply), B_OK);
	int32 settled = t.counter.count.load();
	snooze(20000);
	EXPECT_EQ(t.counter.count.load(), settled);
}

TEST(MessageRunner, RefusesBadSettingsAndStopsForAGoneTarget)
{
	BMessage tick('tick');
	auto* looper = new BLooper("short lived");
	looper->Run();
	BMessenger target(nullptr, looper);
	EXPECT_EQ(BMessageRunner(target, nullptr, 1000).InitCheck(), B_BAD_VALUE);
	EXPECT_EQ(BMessageRunner(target, &tick, 0).InitCheck(), B_BAD_VALUE);
	EXPECT_EQ(BMessageRunner(target, &tick, 1000, 0).InitCheck(), B_BAD_VALUE);
	EXPECT_EQ(BMessageRunner(target, &tick, 1000, -2).InitCheck(), B_BAD_VALUE);
	EXPECT_EQ(BMessageRunner(BMessenger(), &tick, 1000).InitCheck(), B_BAD_VALUE);
	BMessageRunner invalid(BMessenger(), &tick, 1000);
	EXPECT_EQ(invalid.SetInterval(10), B_BAD_VALUE);

	BMessageRunner runner(target, &tick, 1000);
	ASSERT_EQ(runner.InitCheck(), B_OK);
	EXPECT_EQ(runner.SetInterval(-5), B_BAD_VALUE);
	looper->Lock();
	looper->Quit();
	bigtime_t interval;
	int32 count;
	status_t status = B_OK;
	for (int i = 0; i < 1000 && status == B_OK; i++) {
		snooze(2000);
		status = runner.GetInfo(&interval, &count);
	}
	EXPECT_EQ(status, B_BAD_VALUE);
}
