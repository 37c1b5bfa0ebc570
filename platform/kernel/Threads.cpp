// Threads with names and priorities on std::thread, kept in one process-wide table.
//
// Priorities are applied: real-time ones (B_REAL_TIME_DISPLAY_PRIORITY and above) ask
// for SCHED_FIFO, the others for the normal policy with a nice value; where the system
// refuses, the thread runs on as it was and only the recorded priority changes.
// A thread the kernel did not start (an audio callback's, JACK's process thread) gets
// its id without allocating; its record is made only when it first waits on a kernel
// object or asks about itself.

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <deque>
#include <map>
#include <string>
#include <system_error>
#include <thread>

#include "KernelWait.h"
#include "kernel/OS.h"

using namespace kernel_internal;

namespace {

struct ThreadRecord {
	thread_id id = -1;
	std::string name;
	int32 priority = B_NORMAL_PRIORITY;
	thread_func func = nullptr;
	void* data = nullptr;
	bool spawned = false;   // made by spawn_thread (else a thread we merely met)
	bool started = false;
	bool done = false;
	bool running = false;     // handle and tid are set (guarded by the table mutex)
	pthread_t handle{};
	pid_t tid = 0;
	status_t exitValue = B_OK;
	std::atomic<bool> killed{false};
	// The object the thread currently waits on, for kill_thread to wake it.
	std::mutex waitMutex;
	std::shared_ptr<Waitable> waitingOn;
	// Joiners wait here (guarded by the table mutex).
	std::condition_variable finished;
};

constexpr size_t kKeptFinishedThreads = 1024;

void ForgetForeignThread(void* record);

struct ThreadTable {
	std::mutex mutex;
	std::map<thread_id, std::shared_ptr<ThreadRecord>> threads;
	std::deque<thread_id> finishedOrder;
	std::atomic<thread_id> nextId{1};
	pthread_key_t foreignKey;   // drops a foreign thread's record when it ends

	ThreadTable() { pthread_key_create(&foreignKey, ForgetForeignThread); }

	// Lock-free: a foreign thread asks for its id from any context.
	thread_id NewId()
	{
		thread_id id = nextId.load();
		while (!nextId.compare_exchange_weak(id, id == INT32_MAX ? 1 : id + 1)) {
		}
		return id;
	}
};

ThreadTable& Table()
{
	static ThreadTable* table = new ThreadTable;  // outlives every thread
	return *table;
}

// Made while the program loads, so that a foreign thread's first question never makes it.
[[maybe_unused]] ThreadTable& gEagerTable = Table();

// The calling thread's record (owned by the table, or by RunThread's stack for spawned
// threads), and a foreign thread's id before it has a record. Plain values: a
// thread_local with a destructor would allocate on a foreign thread's first use.
thread_local ThreadRecord* tRecord = nullptr;
thread_local thread_id tForeignId = 0;

thread_id CurrentId()
{
	if (tRecord != nullptr)
		return tRecord->id;
	if (tForeignId == 0)
		tForeignId = Table().NewId();
	return tForeignId;
}

void ForgetForeignThread(void* record)
{
	auto* self = static_cast<ThreadRecord*>(record);
	ThreadTable& table = Table();
	std::lock_guard<std::mutex> guard(table.mutex);
	table.threads.erase(self->id);  // may free *self
	tRecord = nullptr;
}

// The calling thread's record, made now for a foreign thread.
ThreadRecord* Self()
{
	if (tRecord == nullptr) {
		auto record = std::make_shared<ThreadRecord>();
		record->name = "thread";
		record->started = true;
		record->running = true;
		record->handle = pthread_self();
		record->tid = gettid();
		record->id = CurrentId();
		ThreadTable& table = Table();
		std::lock_guard<std::mutex> guard(table.mutex);
		table.threads[record->id] = record;
		tRecord = record.get();
		pthread_setspecific(table.foreignKey, tRecord);
	}
	return tRecord;
}

// Real-time priorities ask for SCHED_FIFO; the others run under the normal policy with
// a nice value (B_NORMAL_PRIORITY is nice 0). What the system refuses is left as it was.
void ApplyPriority(pthread_t handle, pid_t tid, int32 priority)
{
	sched_param param{};
	if (priority >= B_REAL_TIME_DISPLAY_PRIORITY) {
		param.sched_priority = priority - 90;  // 10 to 30: below JACK's own threads
		pthread_setschedparam(handle, SCHED_FIFO, &param);
		return;
	}
	pthread_setschedparam(handle, SCHED_OTHER, &param);
	int nice = B_NORMAL_PRIORITY - priority;
	setpriority(PRIO_PROCESS, id_t(tid), nice < -10 ? -10 : nice);
}

std::shared_ptr<ThreadRecord> Lookup(thread_id id)
{
	ThreadTable& table = Table();
	std::lock_guard<std::mutex> guard(table.mutex);
	auto it = table.threads.find(id);
	return it == table.threads.end() ? nullptr : it->second;
}

void CopyName(std::string& to, const char* name)
{
	to = name ? name : "";
	if (to.size() >= B_OS_NAME_LENGTH)
		to.resize(B_OS_NAME_LENGTH - 1);
}

// Linux shows at most 15 bytes of a thread's name; cut on a UTF-8 character boundary.
void SetSystemName(pthread_t handle, const std::string& name)
{
	size_t n = name.size() < 15 ? name.size() : 15;
	while (n > 0 && n < name.size() && (uint8(name[n]) & 0xC0) == 0x80)
		--n;
	pthread_setname_np(handle, name.substr(0, n).c_str());
}

void RunThread(std::shared_ptr<ThreadRecord> record)
{
	tRecord = record.get();
	SetSystemName(pthread_self(), record->name);
	{
		ThreadTable& table = Table();
		std::lock_guard<std::mutex> guard(table.mutex);
		record->handle = pthread_self();
		record->tid = gettid();
		record->running = true;
		ApplyPriority(record->handle, record->tid, record->priority);
	}
	status_t result = record->func(record->data);
	ThreadTable& table = Table();
	std::lock_guard<std::mutex> guard(table.mutex);
	record->exitValue = result;
	record->running = false;
	record->done = true;
	record->finished.notify_all();
	table.finishedOrder.push_back(record->id);
	while (table.finishedOrder.size() > kKeptFinishedThreads) {
		auto it = table.threads.find(table.finishedOrder.front());
		if (it != table.threads.end() && it->second->done)
			table.threads.erase(it);
		table.finishedOrder.pop_front();
	}
}

// With the table mutex held: start the thread if it waits for resume_thread.
status_t StartLocked(const std::shared_ptr<ThreadRecord>& record)
{
	if (record->started)
		return B_BAD_THREAD_STATE;
	try {
		std::thread(RunThread, record).detach();
	} catch (const std::system_error&) {
		return B_NO_MORE_THREADS;
	}
	record->started = true;
	return B_OK;
}

}  // namespace

namespace kernel_internal {

WaitRegistration::WaitRegistration(const std::shared_ptr<Waitable>& w)
{
	auto self = Self();
	std::lock_guard<std::mutex> guard(self->waitMutex);
	self->waitingOn = w;
}

WaitRegistration::~WaitRegistration()
{
	ThreadRecord* self = tRecord;
	std::lock_guard<std::mutex> guard(self->waitMutex);
	self->waitingOn.reset();
}

bool WaitRegistration::Killed() const
{
	return tRecord->killed.load();
}

}  // namespace kernel_internal

thread_id spawn_thread(thread_func func, const char* name, int32 priority, void* data)
{
	if (func == nullptr)
		return B_BAD_VALUE;
	auto record = std::make_shared<ThreadRecord>();
	CopyName(record->name, name ? name : "unnamed thread");
	record->priority = priority;
	record->func = func;
	record->data = data;
	record->spawned = true;
	ThreadTable& table = Table();
	std::lock_guard<std::mutex> guard(table.mutex);
	record->id = table.NewId();
	table.threads[record->id] = record;
	return record->id;
}

status_t resume_thread(thread_id thread)
{
	ThreadTable& table = Table();
	std::lock_guard<std::mutex> guard(table.mutex);
	auto it = table.threads.find(thread);
	if (it == table.threads.end() || it->second->done)
		return B_BAD_THREAD_ID;
	return StartLocked(it->second);
}

status_t wait_for_thread(thread_id thread, status_t* exitValue)
{
	if (thread == find_thread(nullptr))
		return B_NOT_ALLOWED;
	ThreadTable& table = Table();
	std::unique_lock<std::mutex> lock(table.mutex);
	auto it = table.threads.find(thread);
	if (it == table.threads.end() || !it->second->spawned)
		return B_BAD_THREAD_ID;
	std::shared_ptr<ThreadRecord> record = it->second;
	if (!record->started) {
		status_t status = StartLocked(record);
		if (status != B_OK)
			return status;
	}
	record->finished.wait(lock, [&] { return record->done; });
	if (exitValue)
		*exitValue = record->exitValue;
	table.threads.erase(thread);
	return B_OK;
}

status_t kill_thread(thread_id thread)
{
	auto record = Lookup(thread);
	if (!record || record->done)
		return B_BAD_THREAD_ID;
	record->killed = true;
	std::shared_ptr<Waitable> waitingOn;
	{
		std::lock_guard<std::mutex> guard(record->waitMutex);
		waitingOn = record->waitingOn;
	}
	if (waitingOn) {
		std::lock_guard<std::mutex> guard(waitingOn->mutex);
		waitingOn->cv.notify_all();
	}
	// A thread killed before it ran never runs its function.
	ThreadTable& table = Table();
	std::lock_guard<std::mutex> guard(table.mutex);
	if (!record->started && !record->done) {
		record->started = true;
		record->done = true;
		record->exitValue = B_INTERRUPTED;
		record->finished.notify_all();
		table.finishedOrder.push_back(record->id);
	}
	return B_OK;
}

bool thread_killed()
{
	// A foreign thread without a record was never named to kill_thread.
	return tRecord != nullptr && tRecord->killed.load();
}

thread_id find_thread(const char* name)
{
	if (name == nullptr)
		return CurrentId();
	ThreadTable& table = Table();
	std::lock_guard<std::mutex> guard(table.mutex);
	for (auto& [id, record] : table.threads) {
		if (!record->done && record->name == name)
			return id;
	}
	return B_NAME_NOT_FOUND;
}

status_t rename_thread(thread_id thread, const char* newName)
{
	if (newName == nullptr)
		return B_BAD_VALUE;
	ThreadTable& table = Table();
	std::lock_guard<std::mutex> guard(table.mutex);
	auto it = table.threads.find(thread);
	if (it == table.threads.end() || it->second->done)
		return B_BAD_THREAD_ID;
	CopyName(it->second->name, newName);
	if (tRecord != nullptr && thread == tRecord->id)
		SetSystemName(pthread_self(), it->second->name);
	return B_OK;
}

void name_this_thread(const char* name)
{
	SetSystemName(pthread_self(), name ? name : "");
}

status_t set_thread_priority(thread_id thread, int32 newPriority)
{
	if (newPriority < 1 || newPriority > B_REAL_TIME_PRIORITY)
		return B_BAD_VALUE;
	Self();
	ThreadTable& table = Table();
	std::lock_guard<std::mutex> guard(table.mutex);
	auto it = table.threads.find(thread);
	if (it == table.threads.end() || it->second->done)
		return B_BAD_THREAD_ID;
	ThreadRecord& record = *it->second;
	int32 old = record.priority;
	record.priority = newPriority;
	if (record.running)
		ApplyPriority(record.handle, record.tid, newPriority);
	return old;
}

status_t get_thread_info(thread_id thread, thread_info* info)
{
	if (info == nullptr)
		return B_BAD_VALUE;
	Self();
	ThreadTable& table = Table();
	std::lock_guard<std::mutex> guard(table.mutex);
	auto it = table.threads.find(thread);
	if (it == table.threads.end() || it->second->done)
		return B_BAD_THREAD_ID;
	info->thread = thread;
	std::memset(info->name, 0, sizeof(info->name));
	std::memcpy(info->name, it->second->name.data(), it->second->name.size());
	info->priority = it->second->priority;
	return B_OK;
}
