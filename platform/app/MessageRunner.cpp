// One timer thread serves every BMessageRunner from a table of entries.

#include "app/MessageRunner.h"

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

#include "app/Message.h"
#include "kernel/OS.h"

namespace {

struct RunnerEntry {
	BMessenger target;
	BMessenger replyTo;
	BMessage message;
	bigtime_t interval = 0;
	int32 remaining = -1;   // -1: unlimited
	bigtime_t next = 0;     // system_time of the next copy
	uint32 generation = 0;  // changes with every SetInterval/SetCount
	bool done = false;
};

class RunnerTimer {
public:
	static RunnerTimer& Get()
	{
		static RunnerTimer* timer = new RunnerTimer;   // lives as long as the process
		return *timer;
	}

	int32 Add(RunnerEntry entry)
	{
		std::lock_guard<std::mutex> guard(fMutex);
		StartLocked();
		int32 token = fNextToken++;
		fEntries.emplace(token, std::move(entry));
		fChanged.notify_all();
		return token;
	}

	void Remove(int32 token)
	{
		std::unique_lock<std::mutex> lock(fMutex);
		// A copy being sent right now finishes first: none arrives after we return.
		fDeliveryDone.wait(lock, [&] { return fDelivering != token; });
		fEntries.erase(token);
	}

	template <class Change>
	status_t Update(int32 token, Change change)
	{
		std::lock_guard<std::mutex> guard(fMutex);
		auto it = fEntries.find(token);
		if (it == fEntries.end() || it->second.done)
			return B_BAD_VALUE;
		change(it->second);
		it->second.next = system_time() + it->second.interval;
		it->second.generation++;
		fChanged.notify_all();
		return B_OK;
	}

	status_t Info(int32 token, bigtime_t* interval, int32* count)
	{
		std::lock_guard<std::mutex> guard(fMutex);
		auto it = fEntries.find(token);
		if (it == fEntries.end() || it->second.done)
			return B_BAD_VALUE;
		if (interval)
			*interval = it->second.interval;
		if (count)
			*count = it->second.remaining;
		return B_OK;
	}

private:
	void StartLocked()
	{
		if (!fStarted) {
			std::thread([this] { Run(); }).detach();
			fStarted = true;
		}
	}

	void Run()
	{
		rename_thread(find_thread(nullptr), "message runner");
		std::unique_lock<std::mutex> lock(fMutex);
		for (;;) {
			bigtime_t now = system_time();
			bigtime_t earliest = B_INFINITE_TIMEOUT;
			int32 due = -1;
			for (auto& [token, entry] : fEntries) {
				if (entry.done)
					continue;
				if (entry.next <= now && due < 0)
					due = token;
				if (entry.next < earliest)
					earliest = entry.next;
			}
			if (due < 0) {
				if (earliest == B_INFINITE_TIMEOUT)
					fChanged.wait(lock);
				else
					fChanged.wait_for(lock, std::chrono::microseconds(earliest - now));
				continue;
			}
			RunnerEntry& entry = fEntries[due];
			BMessenger target = entry.target;
			BMessenger replyTo = entry.replyTo;
			BMessage copy(entry.message);
			uint32 generation = entry.generation;
			fDelivering = due;
			lock.unlock();
			status_t status = target.SendMessage(&copy, replyTo, 0);
			lock.lock();
			fDelivering = -1;
			fDeliveryDone.notify_all();
			auto it = fEntries.find(due);
			if (it == fEntries.end())
				continue;
			RunnerEntry& e = it->second;
			if (e.generation != generation)
				continue;   // restarted meanwhile: the new settings count from now
			if (status == B_BAD_PORT_ID) {
				e.done = true;   // the target has gone
				continue;
			}
			if (e.remaining > 0 && --e.remaining == 0) {
				e.done = true;
				continue;
			}
			// Keep the rhythm; after a stall, start again from now instead of catching up.
			e.next += e.interval;
			bigtime_t after = system_time();
			if (e.next <= after)
				e.next = after + e.interval;
		}
	}

	std::mutex fMutex;
	std::condition_variable fChanged;
	std::condition_variable fDeliveryDone;
	std::map<int32, RunnerEntry> fEntries;
	int32 fNextToken = 1;
	int32 fDelivering = -1;
	bool fStarted = false;
};

}  // namespace

BMessageRunner::BMessageRunner(BMessenger target, const BMessage* message, bigtime_t interval,
	int32 count)
	: BMessageRunner(target, message, interval, count, BMessenger())
{
}

BMessageRunner::BMessageRunner(BMessenger target, const BMessage* message, bigtime_t interval,
	int32 count, BMessenger replyTo)
	: fToken(-1), fInitStatus(B_OK)
{
	if (message == nullptr || interval <= 0 || count == 0 || count < -1 || !target.IsValid()) {
		fInitStatus = B_BAD_VALUE;
		return;
	}
	RunnerEntry entry;
	entry.target = target;
	entry.replyTo = replyTo;
	entry.message = *message;
	entry.interval = interval;
	entry.remaining = count;
	entry.next = system_time() + interval;
	fToken = RunnerTimer::Get().Add(std::move(entry));
}

BMessageRunner::~BMessageRunner()
{
	if (fToken >= 0)
		RunnerTimer::Get().Remove(fToken);
}

status_t BMessageRunner::InitCheck() const
{
	return fInitStatus;
}

status_t BMessageRunner::SetInterval(bigtime_t interval)
{
	if (fToken < 0 || interval <= 0)
		return B_BAD_VALUE;
	return RunnerTimer::Get().Update(fToken, [&](RunnerEntry& e) { e.interval = interval; });
}

status_t BMessageRunner::SetCount(int32 count)
{
	if (fToken < 0 || count == 0 || count < -1)
		return B_BAD_VALUE;
	return RunnerTimer::Get().Update(fToken, [&](RunnerEntry& e) { e.remaining = count; });
}

status_t BMessageRunner::GetInfo(bigtime_t* interval, int32* count) const
{
	if (fToken < 0)
		return B_BAD_VALUE;
	return RunnerTimer::Get().Info(fToken, interval, count);
}
