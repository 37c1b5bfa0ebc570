#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "kernel/Locker.h"
#include "kernel/OS.h"

TEST(Semaphores, CountsTimeOutsAndDeletion)
{
	sem_id sem = create_sem(2, "pool");
	ASSERT_GT(sem, 0);
	int32 count = -1;
	EXPECT_EQ(acquire_sem(sem), B_OK);
	EXPECT_EQ(acquire_sem_etc(sem, 1, B_RELATIVE_TIMEOUT, 0), B_OK);
	EXPECT_EQ(acquire_sem_etc(sem, 1, B_RELATIVE_TIMEOUT, 0), B_WOULD_BLOCK);
	EXPECT_EQ(acquire_sem_etc(sem, 1, B_RELATIVE_TIMEOUT, 1000), B_TIMED_OUT);
	EXPECT_EQ(acquire_sem_etc(sem, 1, B_ABSOLUTE_TIMEOUT, system_time() + 1000), B_TIMED_OUT);
	EXPECT_EQ(release_sem_etc(sem, 3, 0), B_OK);
	EXPECT_EQ(get_sem_count(sem, &count), B_OK);
	EXPECT_EQ(count, 3);
	EXPECT_EQ(acquire_sem_etc(sem, 3, B_RELATIVE_TIMEOUT, 0), B_OK);
	EXPECT_EQ(acquire_sem_etc(sem, 0, 0, 0), B_BAD_VALUE);

	// A blocked acquirer is woken by a release on another thread.
	std::atomic<status_t> got{1};
	std::thread waiter([&] { got = acquire_sem(sem); });
	snooze(5000);
	EXPECT_EQ(release_sem(sem), B_OK);
	waiter.join();
	EXPECT_EQ(got.load(), B_OK);

	// Deleting the semaphore wakes its waiters with B_BAD_SEM_ID.
	std::thread deleted([&] { got = acquire_sem(sem); });
	snooze(5000);
	EXPECT_EQ(delete_sem(sem), B_OK);
	deleted.join();
	EXPECT_EQ(got.load(), B_BAD_SEM_ID);
	EXPECT_EQ(release_sem(sem), B_BAD_SEM_ID);
	EXPECT_EQ(delete_sem(sem), B_BAD_SEM_ID);
	EXPECT_EQ(create_sem(-1, "bad"), B_BAD_VALUE);
}

TEST(Semaphores, ManyThreadsNeverOverTake)
{
	sem_id sem = create_sem(0, "handoff");
	std::atomic<int> taken{0};
	std::vector<std::thread> threads;
	for (int i = 0; i < 4; i++)
		threads.emplace_back([&] {
			for (int k = 0; k < 250; k++)
				if (acquire_sem(sem) == B_OK)
					taken++;
		});
	for (int k = 0; k < 1000; k++)
		release_sem(sem);
	for (auto& t : threads)
		t.join();
	EXPECT_EQ(taken.load(), 1000);
	int32 count = -1;
	get_sem_count(sem, &count);
	EXPECT_EQ(count, 0);
	delete_sem(sem);
}

TEST(Ports, FifoCapacityTruncationAndClosing)
{
	port_id port = create_port(2, "control");
	ASSERT_GT(port, 0);
	EXPECT_EQ(find_port("control"), port);
	const char first[] = "first";
	EXPECT_EQ(write_port(port, 1, first, sizeof first), B_OK);
	EXPECT_EQ(write_port(port, 2, nullptr, 0), B_OK);
	EXPECT_EQ(write_port_etc(port, 3, "x", 1, B_RELATIVE_TIMEOUT, 0), B_WOULD_BLOCK);
	EXPECT_EQ(write_port_etc(port, 3, "x", 1, B_RELATIVE_TIMEOUT, 1000), B_TIMED_OUT);
	EXPECT_EQ(port_count(port), 2);
	EXPECT_EQ(port_buffer_size(port), ssize_t(sizeof first));

	// A short buffer gets the start of the message; the rest is gone with it.
	char buffer[3];
	int32 code = 0;
	EXPECT_EQ(read_port(port, &code, buffer, sizeof buffer), 3);
	EXPECT_EQ(code, 1);
	EXPECT_EQ(std::string(buffer, 3), "fir");
	EXPECT_EQ(read_port(port, &code, buffer, sizeof buffer), 0);
	EXPECT_EQ(code, 2);
	EXPECT_EQ(read_port_etc(port, &code, buffer, sizeof buffer, B_RELATIVE_TIMEOUT, 0), B_WOULD_BLOCK);
	EXPECT_EQ(read_port_etc(port, &code, buffer, sizeof buffer, B_RELATIVE_TIMEOUT, 1000), B_TIMED_OUT);

	// A writer blocked on a full port goes on when a reader makes room.
	write_port(port, 10, "a", 1);
	write_port(port, 11, "b", 1);
	std::atomic<status_t> wrote{1};
	std::thread writer([&] { wrote = write_port(port, 12, "c", 1); });
	snooze(5000);
	EXPECT_EQ(read_port(port, &code, buffer, 1), 1);
	writer.join();
	EXPECT_EQ(wrote.load(), B_OK);

	// Closed: no writes, the queue can still be read empty, then B_BAD_PORT_ID.
	EXPECT_EQ(close_port(port), B_OK);
	EXPECT_EQ(write_port(port, 13, "d", 1), B_BAD_PORT_ID);
	EXPECT_EQ(read_port(port, &code, buffer, 1), 1);
	EXPECT_EQ(code, 11);
	EXPECT_EQ(read_port(port, &code, buffer, 1), 1);
	EXPECT_EQ(code, 12);
	EXPECT_EQ(read_port(port, &code, buffer, 1), B_BAD_PORT_ID);
	EXPECT_EQ(delete_port(port), B_OK);
	EXPECT_EQ(port_count(port), B_BAD_PORT_ID);

	EXPECT_EQ(create_port(0, "none"), B_BAD_VALUE);
	EXPECT_EQ(create_port(B_MAX_PORT_CAPACITY + 1, "huge"), B_BAD_VALUE);
}

TEST(Ports, DeleteWakesReaderAndOversizeIsRefused)
{
	port_id port = create_port(4, "waiting");
	std::atomic<ssize_t> got{1};
	std::thread reader([&] {
		int32 code;
		char b[4];
		got = read_port(port, &code, b, sizeof b);
	});
	snooze(5000);
	EXPECT_EQ(delete_port(port), B_OK);
	reader.join();
	EXPECT_EQ(got.load(), B_BAD_PORT_ID);

	port = create_port(1, "big");
	std::vector<char> big(B_MAX_PORT_MESSAGE_SIZE + 1);
	EXPECT_EQ(write_port(port, 1, big.data(), big.size()), B_BAD_VALUE);
	EXPECT_EQ(write_port(port, 1, nullptr, 5), B_BAD_VALUE);
	delete_port(port);
}

TEST(Ports, KilledReaderIsInterrupted)
{
	static port_id port = create_port(1, "kill");
	thread_id t = spawn_thread(
		[](void*) -> status_t {
			int32 code;
			char b[1];
			return status_t(read_port(port, &code, b, 1));
		},
		"reader", 10, nullptr);
	resume_thread(t);
	snooze(5000);
	kill_thread(t);
	status_t result = 0;
	wait_for_thread(t, &result);
	EXPECT_EQ(result, B_INTERRUPTED);
	delete_port(port);
}

TEST(Locker, RecursiveOwnedAndTimed)
{
	BLocker lock("test");
	EXPECT_FALSE(lock.IsLocked());
	ASSERT_TRUE(lock.Lock());
	ASSERT_TRUE(lock.Lock());
	EXPECT_EQ(lock.CountLocks(), 2);
	EXPECT_EQ(lock.LockingThread(), find_thread(nullptr));

	std::atomic<status_t> other{1};
	std::thread t([&] {
		other = lock.LockWithTimeout(2000);
		lock.Unlock();   // not the owner: ignored
	});
	t.join();
	EXPECT_EQ(other.load(), B_TIMED_OUT);
	EXPECT_EQ(lock.CountLocks(), 2);

	lock.Unlock();
	EXPECT_TRUE(lock.IsLocked());
	lock.Unlock();
	EXPECT_FALSE(lock.IsLocked());
	std::thread t2([&] {
		other = lock.LockWithTimeout(0);
		if (other == B_OK)
			lock.Unlock();
	});
	t2.join();
	EXPECT_EQ(other.load(), B_OK);

	{
		BAutolock autolock(lock);
		EXPECT_TRUE(autolock.IsLocked());
		EXPECT_TRUE(lock.IsLocked());
	}
	EXPECT_FALSE(lock.IsLocked());
}
