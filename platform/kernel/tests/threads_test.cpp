#include <gtest/gtest.h>

#include <atomic>
#include <pthread.h>
#include <string>
#include <thread>
#include <cstring>

#include "kernel/OS.h"

namespace {

status_t ReturnArgument(void* data)
{
	return status_t(reinterpret_cast<intptr_t>(data));
}

status_t SnoozeLong(void*)
{
	return snooze(30 * 1000000);
}

status_t AcquireForever(void* data)
{
	sem_id sem = sem_id(reinterpret_cast<intptr_t>(data));
	status_t first = acquire_sem(sem);
	// Once killed, every later wait ends at once as well.
	status_t second = snooze(30 * 1000000);
	return first == B_INTERRUPTED && second == B_INTERRUPTED && thread_killed() ? 1 : -1;
}

}  // namespace

TEST(Threads, SpawnResumeWaitAndExitValue)
{
	static sem_id gate = create_sem(0, "gate");
	thread_id t = spawn_thread(
		[](void*) -> status_t { return acquire_sem(gate) == B_OK ? 1234 : -1; }, "worker",
		B_NORMAL_PRIORITY, nullptr);
	ASSERT_GT(t, 0);
	ASSERT_EQ(resume_thread(t), B_OK);
	EXPECT_EQ(resume_thread(t), B_BAD_THREAD_STATE);
	release_sem(gate);
	status_t exitValue = 0;
	ASSERT_EQ(wait_for_thread(t, &exitValue), B_OK);
	EXPECT_EQ(exitValue, 1234);
	delete_sem(gate);
	// Gone once waited for.
	EXPECT_EQ(wait_for_thread(t, &exitValue), B_BAD_THREAD_ID);
	EXPECT_EQ(resume_thread(t), B_BAD_THREAD_ID);

	// Waiting for a thread that was never resumed starts it.
	t = spawn_thread(ReturnArgument, "lazy", B_LOW_PRIORITY, reinterpret_cast<void*>(-5));
	ASSERT_EQ(wait_for_thread(t, &exitValue), B_OK);
	EXPECT_EQ(exitValue, -5);

	EXPECT_EQ(spawn_thread(nullptr, "x", 10, nullptr), B_BAD_VALUE);
	EXPECT_EQ(wait_for_thread(find_thread(nullptr), &exitValue), B_NOT_ALLOWED);
}

TEST(Threads, NamesAndPriorities)
{
	thread_id t = spawn_thread(SnoozeLong, "ORB\xE2\x84\xA2 Play Loop", B_REAL_TIME_PRIORITY, nullptr);
	ASSERT_GT(t, 0);
	thread_info info;
	ASSERT_EQ(get_thread_info(t, &info), B_OK);
	EXPECT_STREQ(info.name, "ORB\xE2\x84\xA2 Play Loop");
	EXPECT_EQ(info.priority, B_REAL_TIME_PRIORITY);
	EXPECT_EQ(find_thread("ORB\xE2\x84\xA2 Play Loop"), t);
	EXPECT_EQ(find_thread("no such thread"), B_NAME_NOT_FOUND);
	EXPECT_EQ(set_thread_priority(t, 5), B_REAL_TIME_PRIORITY);
	ASSERT_EQ(rename_thread(t, "renamed"), B_OK);
	ASSERT_EQ(get_thread_info(t, &info), B_OK);
	EXPECT_STREQ(info.name, "renamed");
	EXPECT_EQ(info.priority, 5);
	EXPECT_EQ(set_thread_priority(t, 0), B_BAD_VALUE);

	// Long names are cut to fit the record.
	std::string longName(100, 'n');
	thread_id other = spawn_thread(ReturnArgument, longName.c_str(), 10, nullptr);
	ASSERT_EQ(get_thread_info(other, &info), B_OK);
	EXPECT_EQ(std::strlen(info.name), size_t(B_OS_NAME_LENGTH - 1));
	EXPECT_EQ(wait_for_thread(other, nullptr), B_OK);

	EXPECT_EQ(resume_thread(t), B_OK);
	EXPECT_EQ(kill_thread(t), B_OK);
	status_t exitValue = 0;
	EXPECT_EQ(wait_for_thread(t, &exitValue), B_OK);
	EXPECT_EQ(exitValue, B_INTERRUPTED);

	// The calling thread has an id too, the same each time.
	EXPECT_GT(find_thread(nullptr), 0);
	EXPECT_EQ(find_thread(nullptr), find_thread(nullptr));
}

TEST(Threads, KillInterruptsWaitsAndLaterWaits)
{
	sem_id sem = create_sem(0, "never released");
	thread_id t = spawn_thread(AcquireForever, "victim", 10, reinterpret_cast<void*>(intptr_t(sem)));
	ASSERT_EQ(resume_thread(t), B_OK);
	snooze(20000);   // let it reach the wait (the outcome is the same if it has not)
	EXPECT_EQ(kill_thread(t), B_OK);
	status_t exitValue = 0;
	ASSERT_EQ(wait_for_thread(t, &exitValue), B_OK);
	EXPECT_EQ(exitValue, 1);
	EXPECT_EQ(kill_thread(t), B_BAD_THREAD_ID);
	delete_sem(sem);

	// A thread killed before it ran never runs.
	std::atomic<bool> ran{false};
	t = spawn_thread([](void* p) -> status_t { static_cast<std::atomic<bool>*>(p)->store(true); return 0; },
		"never", 10, &ran);
	EXPECT_EQ(kill_thread(t), B_OK);
	EXPECT_EQ(wait_for_thread(t, &exitValue), B_OK);
	EXPECT_EQ(exitValue, B_INTERRUPTED);
	EXPECT_FALSE(ran.load());
}

TEST(Time, ClockIsMonotonicAndSnoozeSleeps)
{
	bigtime_t before = system_time();
	EXPECT_EQ(snooze(2000), B_OK);
	bigtime_t after = system_time();
	EXPECT_GE(after - before, 2000);
	EXPECT_EQ(snooze_until(system_time() + 1000, B_SYSTEM_TIMEBASE), B_OK);
	EXPECT_GE(system_time() - after, 1000);
	EXPECT_EQ(snooze_until(0, 99), B_BAD_VALUE);
	EXPECT_STREQ(strerror_status(B_TIMED_OUT), "Operation timed out");
	EXPECT_STREQ(strerror_status(12345), "Unknown error");
}

TEST(ThreadNames, AnyThreadCanNameItselfWithinTheSystemsLimit)
{
    std::string seen;
    std::thread worker([&] {
        name_this_thread("ORB\u2122 Play Loop");   // 17 bytes: too long for the system
        char name[32] = {};
        pthread_getname_np(pthread_self(), name, sizeof name);
        seen = name;
    });
    worker.join();
    // Cut to 15 bytes or less, never inside the three bytes of the trade-mark sign.
    EXPECT_EQ("ORB\u2122 Play Loo", seen);
}
