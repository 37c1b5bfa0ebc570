#include "midi/MidiConsumer.h"

#include "kernel/OS.h"

#include "midi/MidiClock.h"
#include "midi/MidiParser.h"
#include "midi/SystemPorts.h"


#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

using namespace midi_internal;

namespace {

// Messages from system ports a consumer may have waiting before more are dropped.
constexpr size_t kMaxQueuedFromSystem = 8192;

}  // namespace

BMidiConsumer::BMidiConsumer(const char* name, bool isLocal)
	: BMidiEndpoint(name, false, isLocal)
{
}

BMidiConsumer::~BMidiConsumer() = default;

// The queue and thread of one local consumer. The thread shares the state, so a
// consumer released from its own handler can be deleted by that thread afterwards.
class BMidiLocalConsumer::Delivery {
public:
	struct State {
		std::mutex lock;
		std::condition_variable wake;
		// Ordered by time, then by arrival.
		std::map<std::pair<bigtime_t, uint64_t>, std::vector<uint8_t>> queue;
		uint64_t arrivals = 0;
		size_t fromSystem = 0;     // queued messages that came from a system port
		uint64_t dropped = 0;      // from a system port while kMaxQueuedFromSystem were
		bool stopping = false;
		bool deleteOwner = false;
		BMidiLocalConsumer* owner = nullptr;
	};

	explicit Delivery(BMidiLocalConsumer* owner)
		: fState(std::make_shared<State>())
	{
		fState->owner = owner;
	}

	// Messages from system ports are bounded: a flood from outside is dropped and
	// counted instead of eating the memory. Local producers' events are not.
	status_t Enqueue(const uint8* bytes, size_t length, bigtime_t time, bool fromSystem)
	{
		std::lock_guard lock(fState->lock);
		if (fState->stopping)
			return B_ERROR;
		if (fromSystem && fState->fromSystem >= kMaxQueuedFromSystem) {
			fState->dropped++;
			return B_WOULD_BLOCK;
		}
		// The tag rides in the key's order: arrivals stay unique.
		fState->queue.emplace(std::make_pair(time, fState->arrivals++ * 2 + fromSystem),
			std::vector<uint8_t>(bytes, bytes + length));
		if (fromSystem)
			fState->fromSystem++;
		if (!fThread.joinable())
			fThread = std::thread(Run, fState);
		fState->wake.notify_one();
		return B_OK;
	}

	// Stops the thread; false when called from the thread itself, which then deletes
	// the owner once its handler has returned.
	bool Stop()
	{
		std::unique_lock lock(fState->lock);
		fState->stopping = true;
		fState->queue.clear();
		fState->fromSystem = 0;
		if (fThread.joinable() && fThread.get_id() == std::this_thread::get_id()) {
			fState->deleteOwner = true;
			fThread.detach();
			return false;
		}
		lock.unlock();
		fState->wake.notify_all();
		if (fThread.joinable())
			fThread.join();
		return true;
	}

	uint64_t Dropped() const
	{
		std::lock_guard lock(fState->lock);
		return fState->dropped;
	}

private:
	static void Run(std::shared_ptr<State> state)
	{
		{
			std::string name = "midi ";
			name += state->owner->Name();
			name_this_thread(name.c_str());
		}
		std::unique_lock lock(state->lock);
		while (!state->stopping) {
			if (state->queue.empty()) {
				state->wake.wait(lock);
				continue;
			}
			auto first = state->queue.begin();
			bigtime_t time = first->first.first;
			bigtime_t now = MidiNow();
			if (time > now) {
				// Sleep until the event is due or something earlier arrives.
				bigtime_t wait = std::min<bigtime_t>(time - now, 3600LL * 1000000);
				state->wake.wait_for(lock, std::chrono::microseconds(wait));
				continue;
			}
			std::vector<uint8_t> message = std::move(first->second);
			if ((first->first.second & 1) != 0)
				state->fromSystem--;
			state->queue.erase(first);
			BMidiLocalConsumer* owner = state->owner;
			lock.unlock();
			owner->Data(message.data(), message.size(), true, time);
			lock.lock();
			if (state->deleteOwner) {
				lock.unlock();
				delete owner;
				return;
			}
		}
	}

	std::shared_ptr<State> fState;
	std::thread fThread;
};

BMidiLocalConsumer::BMidiLocalConsumer(const char* name)
	:
	BMidiConsumer(name, true),
	fDelivery(std::make_unique<Delivery>(this))
{
}

BMidiLocalConsumer::~BMidiLocalConsumer() = default;

status_t BMidiLocalConsumer::Enqueue(const uint8* bytes, size_t length, bigtime_t time)
{
	if (bytes == nullptr || length == 0)
		return B_BAD_VALUE;
	return fDelivery->Enqueue(bytes, length, time, true);
}

status_t BMidiLocalConsumer::DeliverMessage(const uint8* bytes, size_t length,
	bigtime_t time)
{
	if (bytes == nullptr || length == 0)
		return B_BAD_VALUE;
	return fDelivery->Enqueue(bytes, length, time, false);
}

uint64 BMidiLocalConsumer::DroppedMessages() const
{
	return fDelivery->Dropped();
}

bool BMidiLocalConsumer::RetireEndpoint()
{
	PublishEndpoint(false);
	return fDelivery->Stop();
}

void BMidiLocalConsumer::PublishEndpoint(bool publish)
{
	std::unique_ptr<PublishedPort> old;
	std::lock_guard lock(fPublishLock);
	if (publish && fPublished == nullptr)
		fPublished = PublishedPort::ForConsumer(Name(), this);
	else if (!publish)
		old = std::move(fPublished);
	// `old` closes after the lock is given up; its input stops before it goes
}

void BMidiLocalConsumer::Data(uchar* data, size_t length, bool atomic, bigtime_t time)
{
	if (data == nullptr || length == 0)
		return;
	uchar status = data[0];
	if (status == 0xF0) {
		size_t payload = length - 1;
		if (payload > 0 && data[length - 1] == 0xF7)
			--payload;
		SystemExclusive(data + 1, payload, time);
		return;
	}
	if (status >= 0xF8) {
		SystemRealTime(status, time);
		return;
	}
	size_t needed = MidiMessageLength(status);
	if (needed == 0 || length < needed)
		return;
	uchar data1 = length > 1 ? data[1] : 0;
	uchar data2 = length > 2 ? data[2] : 0;
	if (status >= 0xF0) {
		SystemCommon(status, data1, data2, time);
		return;
	}
	uchar channel = status & 0x0F;
	switch (status & 0xF0) {
		case 0x80: NoteOff(channel, data1, data2, time); break;
		case 0x90: NoteOn(channel, data1, data2, time); break;
		case 0xA0: KeyPressure(channel, data1, data2, time); break;
		case 0xB0: ControlChange(channel, data1, data2, time); break;
		case 0xC0: ProgramChange(channel, data1, time); break;
		case 0xD0: ChannelPressure(channel, data1, time); break;
		case 0xE0: PitchBend(channel, data1, data2, time); break;
	}
}
