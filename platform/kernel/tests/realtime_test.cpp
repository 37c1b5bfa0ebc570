// What real-time threads rely on: ports, semaphores, locks and thread ids that allocate
// nothing, priorities that reach the scheduler, priority inheritance, and the rings.
#include <gtest/gtest.h>

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "kernel/Locker.h"
#include "kernel/OS.h"
#include "kernel/SpscRing.h"
#include "testing/AllocationCounter.h"

namespace {

// Runs `body` on a thread the kernel did not start (as libjack or RtAudio would) and
// returns how many allocations it made there.
template <typename Body>
long AllocationsOnForeignThread(Body body)
{
	long count = -1;
	std::thread foreign([&] {
		AllocationCounter counter;
		body();
		count = counter.Count();
	});
	foreign.join();
	return count;
}

// Whether this process may ask for SCHED_FIFO (root in a container may or may not).
bool FifoAllowed()
{
	bool allowed = false;
	std::thread probe([&] {
		sched_param param{};
		param.sched_priority = 1;
		allowed = pthread_setschedparam(pthread_self(), SCHED_FIFO, &param) == 0;
	});
	probe.join();
	return allowed;
}

// The kernel's "priority" field of a thread of ours (/proc/self/task/TID/stat): -1 - the
// FIFO priority for a real-time thread, 20 + nice otherwise.
long KernelPriority(pid_t tid)
{
	std::ifstream file("/proc/self/task/" + std::to_string(tid) + "/stat");
	std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
	size_t end = text.rfind(')');
	if (end == std::string::npos)
		return 0;
	std::istringstream fields(text.substr(end + 2));
	std::string field;
	// Fields after the name start at 3 (state); priority is field 18.
	for (int i = 3; i <= 18 && fields >> field; i++) {
	}
	return std::stol(field);
}

struct SchedulingSeen {
	int policy = -1;
	int priority = -1;
	int nice = 0;
	pid_t tid = 0;
};

void LookAtMyself(SchedulingSeen& seen)
{
	sched_param param{};
	pthread_getschedparam(pthread_self(), &seen.policy, &param);
	seen.priority = param.sched_priority;
	seen.tid = gettid();
	errno = 0;
	seen.nice = getpriority(PRIO_PROCESS, id_t(seen.tid));
}

}  // namespace

TEST(RealTimeKernel, SmallPortMessagesSemaphoresAndLocksAllocateNothing)
{
	port_id port = create_port(8, "control");
	ASSERT_GT(port, 0);
	sem_id sem = create_sem(0, "ready");
	BLocker lock("state");
	uint8 big[1000];
	std::memset(big, 0x5a, sizeof big);

	long allocations = AllocationsOnForeignThread([&] {
		thread_id self = find_thread(nullptr);
		EXPECT_GT(self, 0);
		EXPECT_EQ(find_thread(nullptr), self);
		for (int round = 0; round < 100; round++) {
			uint8 message[256];
			std::memset(message, round, sizeof message);
			EXPECT_EQ(write_port(port, round, message, sizeof message), B_OK);
			EXPECT_EQ(write_port_etc(port, -round, message, 3, B_RELATIVE_TIMEOUT, 0), B_OK);
			int32 code = 0;
			uint8 back[256] = {};
			EXPECT_EQ(read_port(port, &code, back, sizeof back), 256);
			EXPECT_EQ(code, round);
			EXPECT_EQ(back[255], uint8(round));
			EXPECT_EQ(read_port_etc(port, &code, back, sizeof back, B_RELATIVE_TIMEOUT, 0), 3);
			EXPECT_EQ(code, -round);
			EXPECT_EQ(release_sem(sem), B_OK);
			EXPECT_EQ(acquire_sem_etc(sem, 1, B_RELATIVE_TIMEOUT, 0), B_OK);
			EXPECT_TRUE(lock.Lock());
			EXPECT_TRUE(lock.IsLocked());
			EXPECT_EQ(lock.LockingThread(), self);
			lock.Unlock();
		}
		EXPECT_FALSE(thread_killed());
	});
	EXPECT_EQ(allocations, 0);

	// A message beyond a slot still travels whole (it gets a block of its own).
	EXPECT_EQ(write_port(port, 7, big, sizeof big), B_OK);
	uint8 back[1000] = {};
	int32 code = 0;
	EXPECT_EQ(read_port(port, &code, back, sizeof back), 1000);
	EXPECT_EQ(std::memcmp(back, big, sizeof big), 0);
	// Deleting a port with big messages queued frees them (the leak check sees it).
	EXPECT_EQ(write_port(port, 8, big, sizeof big), B_OK);
	EXPECT_EQ(delete_port(port), B_OK);
	delete_sem(sem);
}

TEST(RealTimeKernel, IdsOfDeletedPortsAndSemaphoresStayDeadWhenTheirSlotIsReused)
{
	port_id old = create_port(1, "old");
	ASSERT_GT(old, 0);
	ASSERT_EQ(delete_port(old), B_OK);
	// More ports than the table has slots come and go: the old slot is reused.
	port_id last = -1;
	for (int i = 0; i < 16384 + 2; i++) {
		last = create_port(1, "churn");
		ASSERT_GT(last, 0);
		ASSERT_NE(last, old);
		ASSERT_EQ(delete_port(last), B_OK);
	}
	EXPECT_EQ(write_port(old, 1, "x", 1), B_BAD_PORT_ID);
	EXPECT_EQ(port_count(old), B_BAD_PORT_ID);
	EXPECT_EQ(find_port("churn"), B_NAME_NOT_FOUND);

	sem_id oldSem = create_sem(0, "old");
	ASSERT_EQ(delete_sem(oldSem), B_OK);
	sem_id fresh = create_sem(1, "fresh");
	EXPECT_NE(fresh, oldSem);
	EXPECT_EQ(release_sem(oldSem), B_BAD_SEM_ID);
	int32 count = -1;
	EXPECT_EQ(get_sem_count(fresh, &count), B_OK);
	EXPECT_EQ(count, 1);
	delete_sem(fresh);
}

TEST(RealTimeKernel, ForeignThreadsHaveTheirOwnIdsAndCanAskAboutThemselves)
{
	thread_id a = -1, b = -1;
	thread_info info{};
	status_t infoStatus = B_ERROR;
	std::thread first([&] {
		a = find_thread(nullptr);
		infoStatus = get_thread_info(a, &info);
		EXPECT_EQ(find_thread(nullptr), a);   // the record made meanwhile keeps the id
	});
	first.join();
	std::thread second([&] { b = find_thread(nullptr); });
	second.join();
	EXPECT_GT(a, 0);
	EXPECT_GT(b, 0);
	EXPECT_NE(a, b);
	EXPECT_NE(a, find_thread(nullptr));
	EXPECT_EQ(infoStatus, B_OK);
	EXPECT_EQ(info.thread, a);
	// Gone with its thread.
	EXPECT_EQ(get_thread_info(a, &info), B_BAD_THREAD_ID);
}

TEST(RealTimeKernel, PrioritiesReachTheScheduler)
{
	bool fifo = FifoAllowed();
	static SchedulingSeen seen;
	static sem_id go;
	go = create_sem(0, "go");
	thread_id t = spawn_thread(
		[](void*) -> status_t {
			LookAtMyself(seen);
			acquire_sem(go);
			LookAtMyself(seen);
			acquire_sem(go);
			LookAtMyself(seen);
			return B_OK;
		},
		"audio", B_REAL_TIME_PRIORITY, nullptr);
	ASSERT_GT(t, 0);
	ASSERT_EQ(resume_thread(t), B_OK);
	while (seen.tid == 0)
		snooze(1000);
	if (fifo) {
		EXPECT_EQ(seen.policy, SCHED_FIFO);
		EXPECT_EQ(seen.priority, 30);
	} else {
		EXPECT_EQ(seen.policy, SCHED_OTHER) << "refused: runs on as before";
	}

	// Changed while it runs: back to the normal policy, then a lower one (nice 5).
	EXPECT_EQ(set_thread_priority(t, B_NORMAL_PRIORITY), B_REAL_TIME_PRIORITY);
	release_sem(go);
	snooze(20000);
	EXPECT_EQ(seen.policy, SCHED_OTHER);
	EXPECT_EQ(set_thread_priority(t, B_LOW_PRIORITY), B_NORMAL_PRIORITY);
	release_sem(go);
	status_t result;
	EXPECT_EQ(wait_for_thread(t, &result), B_OK);
	EXPECT_EQ(seen.policy, SCHED_OTHER);
	EXPECT_EQ(seen.nice, 5);
	delete_sem(go);
	if (!fifo)
		GTEST_SKIP() << "SCHED_FIFO refused here; the fallback was checked";
}

TEST(RealTimeKernel, AWaitingRealTimeThreadLendsItsPriorityToTheLockHolder)
{
	if (!FifoAllowed())
		GTEST_SKIP() << "SCHED_FIFO refused here";
	static BLocker lock("shared");
	static std::atomic<pid_t> holderTid{0};
	static sem_id release;
	release = create_sem(0, "release");
	thread_id holder = spawn_thread(
		[](void*) -> status_t {
			lock.Lock();
			holderTid = gettid();
			acquire_sem(release);
			lock.Unlock();
			return B_OK;
		},
		"holder", B_NORMAL_PRIORITY, nullptr);
	resume_thread(holder);
	while (holderTid.load() == 0)
		snooze(1000);
	long normal = KernelPriority(holderTid);
	EXPECT_GE(normal, 0);

	thread_id waiter = spawn_thread(
		[](void*) -> status_t {
			lock.Lock();
			lock.Unlock();
			return B_OK;
		},
		"waiter", B_REAL_TIME_PRIORITY, nullptr);
	resume_thread(waiter);
	long boosted = normal;
	for (int i = 0; i < 2000 && boosted != -31; i++) {
		snooze(1000);
		boosted = KernelPriority(holderTid);
	}
	EXPECT_EQ(boosted, -31) << "holder runs at FIFO 30 while the waiter waits";
	release_sem(release);
	status_t result;
	wait_for_thread(waiter, &result);
	wait_for_thread(holder, &result);
	delete_sem(release);
}

TEST(SpscRing, CarriesEveryItemInOrderBetweenTwoThreads)
{
	SpscRing<uint64> ring(100);
	EXPECT_EQ(ring.Capacity(), 128u);
	for (uint64 i = 0; i < 128; i++)
		ASSERT_TRUE(ring.Push(i));
	EXPECT_FALSE(ring.Push(999));   // full: refused, nothing overwritten
	uint64 value;
	for (uint64 i = 0; i < 128; i++) {
		ASSERT_TRUE(ring.Pop(value));
		ASSERT_EQ(value, i);
	}
	EXPECT_FALSE(ring.Pop(value));

	constexpr uint64 kItems = 500000;
	std::atomic<uint64> refused{0};
	std::thread producer([&] {
		for (uint64 i = 0; i < kItems;) {
			if (ring.Push(i))
				i++;
			else
				refused++, std::this_thread::yield();
		}
	});
	uint64 expected = 0;
	bool inOrder = true;
	while (expected < kItems) {
		if (ring.Pop(value)) {
			inOrder = inOrder && value == expected;
			expected++;
		} else {
			std::this_thread::yield();
		}
	}
	producer.join();
	EXPECT_TRUE(inOrder);
	EXPECT_EQ(ring.Count(), 0u);
}

TEST(SpscRing, ByteRecordsWrapTruncateAndRefuseWhatDoesNotFit)
{
	SpscByteRing ring(64);
	EXPECT_EQ(ring.Capacity(), 64u);
	EXPECT_EQ(ring.Read(nullptr, 0), -1);
	uint8 scratch[64];
	// Records of 1 to 20 bytes, many times round the ring; the header and the second
	// part cross the end of the storage at every offset.
	for (int round = 0; round < 300; round++) {
		uint8 stamp = uint8(round);
		uint8 payload[20];
		size_t length = size_t(round % 20);
		for (size_t i = 0; i < length; i++)
			payload[i] = uint8(round + i);
		ASSERT_TRUE(ring.Write(&stamp, 1, payload, length));
		ASSERT_EQ(ring.NextLength(), ssize_t(length + 1));
		ASSERT_EQ(ring.Read(scratch, sizeof scratch), ssize_t(length + 1));
		ASSERT_EQ(scratch[0], stamp);
		for (size_t i = 0; i < length; i++)
			ASSERT_EQ(scratch[i + 1], uint8(round + i)) << "round " << round;
	}
	EXPECT_TRUE(ring.Empty());

	uint8 block[60] = {};
	EXPECT_TRUE(ring.Write(block, 60));       // 64 bytes with its header: exactly full
	EXPECT_FALSE(ring.Write(block, 0));       // not even an empty record fits now
	uint8 head[4];
	EXPECT_EQ(ring.Read(head, sizeof head), 60);   // cut to the buffer; the rest goes
	EXPECT_TRUE(ring.Empty());
	EXPECT_FALSE(ring.Write(block, 61));      // larger than the ring: never fits
}
