// Threads with names and priorities on std::thread, kept in one process-wide table.

#include <pthread.h>

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
	status_t exitValue = B_OK;
	std::atomic<bool> killed{false};
	// The object the thread currently waits on, for kill_thread to wake it.
	std::mutex waitMutex;
	std::shared_ptr<Waitable> waitingOn;
	// Joiners wait here (guarded by the table mutex).
	std::condition_variable finished;
};

constexpr size_t kKeptFinishedThreads = 1024;

struct ThreadTable {
	std::mutex mutex;
	std::map<thread_id, std::shared_ptr<ThreadRecord>> threads;
	std::deque<thread_id> finishedOrder;
	thread_id nextId = 1;

	thread_id NewId()
	{
		thread_id id = nextId;
		nextId = nextId == INT32_MAX ? 1 : nextId + 1;
		return id;
	}
};

ThreadTable& Table()
{
	static ThreadTable* table = new ThreadTable;  // outlives every thread
	return *table;
}

// Record of the calling thread; foreign threads get one on first use, dropped at exit.
struct CurrentThread {
	std::shared_ptr<ThreadRecord> record;
	bool foreign = false;
	~CurrentThread()
	{
		if (foreign && record) {
			ThreadTable& table = Table();
			std::lock_guard<std::mutex> guard(table.mutex);
			table.threads.erase(record->id);
		}
	}
};

thread_local CurrentThread tCurrent;

std::shared_ptr<ThreadRecord> Self()
{
	if (!tCurrent.record) {
		auto record = std::make_shared<ThreadRecord>();
		record->name = "thread";
		record->started = true;
		ThreadTable& table = Table();
		std::lock_guard<std::mutex> guard(table.mutex);
		record->id = table.NewId();
		table.threads[record->id] = record;
		tCurrent.record = record;
		tCurrent.foreign = true;
	}
	return tCurrent.record;
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
	tCurrent.record = record;
	SetSystemName(pthread_self(), record->name);
	status_t result = record->func(record->data);
	ThreadTable& table = Table();
	std::lock_guard<std::mutex> guard(table.mutex);
	record->exitValue = result;
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
	auto& self = tCurrent.record;
	std::lock_guard<std::mutex> guard(self->waitMutex);
	self->waitingOn.reset();
}

bool WaitRegistration::Killed() const
{
	return tCurrent.record->killed.load();
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
	return Self()->killed.load();
}

thread_id find_thread(const char* name)
{
	if (name == nullptr)
		return Self()->id;
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
	if (thread == tCurrent.record->id)
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
	int32 old = it->second->priority;
	it->second->priority = newPriority;
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
