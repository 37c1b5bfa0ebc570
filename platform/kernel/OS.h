// Kernel services: time, threads, counting semaphores and ports.
//
// Time: system_time() is microseconds on a monotonic clock; snooze() sleeps.
// Threads: spawn_thread() makes a suspended thread with a name and a priority;
//   resume_thread() starts it, wait_for_thread() joins it and gives its exit value
//   (it also starts a thread that was never resumed). Priorities are applied:
//   B_REAL_TIME_DISPLAY_PRIORITY and above ask for SCHED_FIFO (100 to 120 become FIFO
//   priorities 10 to 30), lower ones run under the normal policy with nice
//   10 - priority (at least -10); where the system refuses, the thread keeps its
//   scheduling and the recorded priority still changes. find_thread(NULL) never
//   allocates, also on a thread the kernel did not start (an audio callback).
//   kill_thread() is cooperative: it marks the thread killed and wakes it from any wait
//   in this header (snooze, acquire_sem, read_port, write_port), which then return
//   B_INTERRUPTED, as does every later wait of that thread. Code running on a thread that
//   may be killed leaves its loops when thread_killed() is true.
// Semaphores: counting, with optional time-outs; delete_sem() wakes every waiter with
//   B_BAD_SEM_ID.
// Ports: bounded queues of (code, bytes) messages, with their slots allocated by
//   create_port(): writing and reading a message of up to 256 bytes allocates nothing and
//   takes only the port's own short lock. Writers block while the port is full,
//   readers while it is empty, both with optional time-outs. A closed port takes no more
//   messages but can be read empty; a deleted port fails everything with B_BAD_PORT_ID.
// All functions are safe to call from any thread.
#pragma once

#include "kernel/SupportDefs.h"

#define B_OS_NAME_LENGTH 32
#define B_MAX_PORT_MESSAGE_SIZE (1024 * 1024)
#define B_MAX_PORT_CAPACITY 65536

// Thread priorities.
enum {
	B_LOW_PRIORITY = 5,
	B_NORMAL_PRIORITY = 10,
	B_DISPLAY_PRIORITY = 15,
	B_URGENT_DISPLAY_PRIORITY = 20,
	B_REAL_TIME_DISPLAY_PRIORITY = 100,
	B_URGENT_PRIORITY = 110,
	B_REAL_TIME_PRIORITY = 120,
};

// Flags of the *_etc calls: how the timeout argument is read.
enum {
	B_RELATIVE_TIMEOUT = 0x8,
	B_ABSOLUTE_TIMEOUT = 0x10,
	B_DO_NOT_RESCHEDULE = 0x2,
};

// Time bases of snooze_until.
enum { B_SYSTEM_TIMEBASE = 0 };

bigtime_t system_time();
status_t snooze(bigtime_t microseconds);
status_t snooze_until(bigtime_t when, int timebase);

// Threads.
typedef status_t (*thread_func)(void* data);

struct thread_info {
	thread_id thread;
	char name[B_OS_NAME_LENGTH];
	int32 priority;
};

thread_id spawn_thread(thread_func func, const char* name, int32 priority, void* data);
status_t resume_thread(thread_id thread);
status_t wait_for_thread(thread_id thread, status_t* exitValue);
status_t kill_thread(thread_id thread);
// The calling thread when name is null, else the first thread of that name.
thread_id find_thread(const char* name);
status_t rename_thread(thread_id thread, const char* newName);
// Names the calling thread for the system's tools (ps, gdb), whoever started it; the name
// is cut to what the system keeps (15 bytes, on a character boundary).
void name_this_thread(const char* name);
// Returns the old priority, or a negative status.
status_t set_thread_priority(thread_id thread, int32 newPriority);
status_t get_thread_info(thread_id thread, thread_info* info);
// True when kill_thread() has been called on the calling thread.
bool thread_killed();

// Counting semaphores.
sem_id create_sem(int32 count, const char* name);
status_t delete_sem(sem_id sem);
status_t acquire_sem(sem_id sem);
status_t acquire_sem_etc(sem_id sem, int32 count, uint32 flags, bigtime_t timeout);
status_t release_sem(sem_id sem);
status_t release_sem_etc(sem_id sem, int32 count, uint32 flags);
status_t get_sem_count(sem_id sem, int32* count);

// Ports.
port_id create_port(int32 capacity, const char* name);
port_id find_port(const char* name);
status_t close_port(port_id port);
status_t delete_port(port_id port);
status_t write_port(port_id port, int32 code, const void* buffer, size_t bufferSize);
status_t write_port_etc(port_id port, int32 code, const void* buffer, size_t bufferSize,
	uint32 flags, bigtime_t timeout);
// Copies at most bufferSize bytes of the next message; returns the bytes copied.
ssize_t read_port(port_id port, int32* code, void* buffer, size_t bufferSize);
ssize_t read_port_etc(port_id port, int32* code, void* buffer, size_t bufferSize,
	uint32 flags, bigtime_t timeout);
// Size of the next message, waiting for one as read_port would.
ssize_t port_buffer_size(port_id port);
ssize_t port_buffer_size_etc(port_id port, uint32 flags, bigtime_t timeout);
ssize_t port_count(port_id port);
