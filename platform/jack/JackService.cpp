#include "jack/JackService.h"

#include "kernel/OS.h"

#include <jack/jack.h>
#include <jack/midiport.h>

#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

struct JackService::HookList {
	int32 count = 0;
	JackProcessHook hooks[kMaxProcessHooks] = {};
	void* cookies[kMaxProcessHooks] = {};
};

namespace {

// The service new users get; null while nobody holds one. A service whose server went
// away is dropped from here and lives on until its own users release it.
std::mutex gTableLock;
JackService* gCurrent = nullptr;  // guarded by gTableLock
// Services whose server went away, kept to the process's end (Release()).
std::vector<JackService*>* gRetired = nullptr;  // guarded by gTableLock
constexpr int32 kMaxWatchers = 8;
JackServiceWatcher* gWatchers[kMaxWatchers] = {};  // guarded by gTableLock

void QuietJackMessage(const char*) {}

void PrintJackMessage(const char* message)
{
	std::fprintf(stderr, "%s\n", message);
}

uint32* FutexWord(std::atomic<uint32>& word)
{
	static_assert(sizeof(std::atomic<uint32>) == sizeof(uint32));
	return reinterpret_cast<uint32*>(&word);
}

void FutexWait(std::atomic<uint32>& word, uint32 seen, bigtime_t timeout)
{
	timespec relative;
	relative.tv_sec = timeout / 1000000;
	relative.tv_nsec = (timeout % 1000000) * 1000;
	syscall(SYS_futex, FutexWord(word), FUTEX_WAIT_PRIVATE, seen, &relative, nullptr, 0);
}

void FutexWakeAll(std::atomic<uint32>& word)
{
	syscall(SYS_futex, FutexWord(word), FUTEX_WAKE_PRIVATE, INT_MAX, nullptr, nullptr, 0);
}

const char* TypeName(JackPortType type)
{
	return type == JackPortType::Audio ? JACK_DEFAULT_AUDIO_TYPE : JACK_DEFAULT_MIDI_TYPE;
}

unsigned long PortFlags(JackPortDirection direction)
{
	return direction == JackPortDirection::Input ? JackPortIsInput : JackPortIsOutput;
}

std::string ServerName()
{
	const char* name = getenv("JACK_DEFAULT_SERVER");
	return name != nullptr && name[0] != '\0' ? name : "default";
}

}  // namespace

// #pragma mark - lifetime

JackService* JackService::Acquire(const char* clientName, status_t* status,
	std::string* message)
{
	status_t ignored;
	std::string ignoredText;
	status_t& result = status != nullptr ? *status : ignored;
	std::string& text = message != nullptr ? *message : ignoredText;

	std::lock_guard lock(gTableLock);
	if (gCurrent != nullptr && gCurrent->IsRunning()) {
		gCurrent->fUsers++;
		result = B_OK;
		return gCurrent;
	}
	gCurrent = nullptr;  // gone: its users still hold it and close it
	if (clientName == nullptr || clientName[0] == '\0')
		clientName = "suite";
	// libjack explains on standard error why it cannot connect; our message says it once.
	jack_set_error_function(QuietJackMessage);
	jack_status_t jackStatus;
	jack_client_t* client = jack_client_open(clientName, JackNoStartServer, &jackStatus);
	jack_set_error_function(PrintJackMessage);
	if (client == nullptr) {
		bool noServer = (jackStatus & JackServerFailed) != 0;
		result = noServer ? B_NO_INIT : B_ERROR;
		text = noServer ? "no JACK server '" + ServerName() + "' is running"
			: "the JACK server '" + ServerName() + "' refused a client named '"
				+ clientName + "'";
		return nullptr;
	}
	auto* service = new JackService(client);
	if (jack_activate(client) != 0) {
		service->fGone.store(true);
		jack_client_close(client);
		service->fClient = nullptr;
		delete service;
		result = B_ERROR;
		text = "the JACK server '" + ServerName() + "' did not start our client";
		return nullptr;
	}
	service->fUsers = 1;
	gCurrent = service;
	for (JackServiceWatcher* watcher : gWatchers) {
		if (watcher != nullptr)
			watcher->ServiceOpened(service);
	}
	result = B_OK;
	return service;
}

status_t JackService::AddWatcher(JackServiceWatcher* watcher)
{
	std::lock_guard lock(gTableLock);
	for (JackServiceWatcher*& slot : gWatchers) {
		if (slot == nullptr) {
			slot = watcher;
			if (gCurrent != nullptr && gCurrent->IsRunning())
				watcher->ServiceOpened(gCurrent);
			return B_OK;
		}
	}
	return B_NO_MORE_PORTS;
}

void JackService::RemoveWatcher(JackServiceWatcher* watcher)
{
	std::lock_guard lock(gTableLock);
	for (JackServiceWatcher*& slot : gWatchers) {
		if (slot == watcher)
			slot = nullptr;
	}
}

JackService::JackService(jack_client_t* client)
	:
	fClient(client),
	fClientName(jack_get_client_name(client)),
	fSampleRate(jack_get_sample_rate(client)),
	fBufferSize(jack_get_buffer_size(client)),
	fHooks(new HookList)
{
	jack_set_process_callback(client, Process, this);
	jack_set_buffer_size_callback(client, BufferSizeChanged, this);
	jack_set_sample_rate_callback(client, SampleRateChanged, this);
	jack_on_shutdown(client, Shutdown, this);
	jack_set_port_registration_callback(client, PortRegistered, this);
	jack_set_port_rename_callback(client, PortRenamed, this);
	jack_set_port_connect_callback(client, PortConnected, this);
}

JackService::~JackService()
{
	delete fHooks.load();
}

void JackService::AddReference()
{
	std::lock_guard lock(gTableLock);
	fUsers++;
}

void JackService::Release()
{
	// A client the server threw out stays open (Close()), and libjack's threads may still
	// call its callbacks with this service: it is retired, not freed.
	bool gone;
	{
		std::lock_guard lock(gTableLock);
		if (--fUsers > 0)
			return;
		if (gCurrent == this)
			gCurrent = nullptr;
		for (JackServiceWatcher* watcher : gWatchers) {
			if (watcher != nullptr)
				watcher->ServiceClosing(this);
		}
		gone = !IsRunning();
		if (gone) {
			if (gRetired == nullptr)
				gRetired = new std::vector<JackService*>;
			gRetired->push_back(this);
		}
	}
	Close();
	if (!gone)
		delete this;
}

void JackService::Close()
{
	if (fClient == nullptr)
		return;
	// A client the server has thrown out is left alone: closing it can crash libjack.
	// Closing stops libjack's notification thread before the server drops our ports.
	if (IsRunning()) {
		jack_deactivate(fClient);
		jack_client_close(fClient);
	}
	{
		std::lock_guard lock(fPortLock);
		fPorts.clear();
		fUnused.clear();
		for (int32 i = 0; i < kMaxSilenced; i++) {
			fSilencedAudio[i].store(nullptr);
			fSilencedMidi[i].store(nullptr);
		}
	}
	fClient = nullptr;
	fGone.store(true);
	Wake();
}

// #pragma mark - the process thread

int JackService::Process(uint32 frames, void* self)
{
	static_cast<JackService*>(self)->ProcessPeriod(frames);
	return 0;
}

void JackService::ProcessPeriod(uint32 frames)
{
	uint32 frameTime = jack_last_frame_time(fClient);
	uint64 period = fPeriods.load(std::memory_order_relaxed) + 1;
	fFrameBase = period == 1 ? frameTime : fFrameBase + uint32(frameTime - fLastFrameTime);
	fLastFrameTime = frameTime;

	// JACK's filtered estimate of the period, moved from its clock onto system_time()'s.
	bigtime_t now = system_time();
	jack_nframes_t cycleFrames;
	jack_time_t cycleStart, nextStart;
	float periodLength;
	bigtime_t filteredStart = 0, filteredLength = 0;
	if (jack_get_cycle_times(fClient, &cycleFrames, &cycleStart, &nextStart, &periodLength) == 0
		&& nextStart > cycleStart) {
		filteredStart = bigtime_t(cycleStart) + (now - bigtime_t(jack_get_time()));
		filteredLength = bigtime_t(nextStart - cycleStart);
	}

	fSnapshotSequence.fetch_add(1, std::memory_order_acq_rel);  // odd: writing
	fSnapshotFrame.store(fFrameBase, std::memory_order_relaxed);
	fSnapshotStart.store(now, std::memory_order_relaxed);
	fSnapshotFrames.store(frames, std::memory_order_relaxed);
	fSnapshotFilteredStart.store(filteredStart, std::memory_order_relaxed);
	fSnapshotFilteredLength.store(filteredLength, std::memory_order_relaxed);
	fSnapshotSequence.fetch_add(1, std::memory_order_release);
	fPeriods.store(period, std::memory_order_release);

	// Unused outputs stay silent (before the hooks: a port taken back is its new
	// owner's from its first hook on).
	for (int32 i = 0; i < kMaxSilenced; i++) {
		if (jack_port_t* port = fSilencedAudio[i].load(std::memory_order_acquire)) {
			std::memset(jack_port_get_buffer(port, frames), 0, frames * sizeof(float));
		}
		if (jack_port_t* port = fSilencedMidi[i].load(std::memory_order_acquire))
			jack_midi_clear_buffer(jack_port_get_buffer(port, frames));
	}

	// Odd while the hooks run; SwapHooks() reads it after publishing a new list
	// (sequentially consistent on both sides), so it knows whether we may hold the old one.
	fInside.fetch_add(1);
	const HookList* hooks = fHooks.load();
	for (int32 i = 0; i < hooks->count; i++)
		hooks->hooks[i](frames, hooks->cookies[i]);
	fInside.fetch_add(1);

	Wake();
}

void JackService::Wake()
{
	fTick.fetch_add(1);
	if (fTickWaiters.load() > 0)
		FutexWakeAll(fTick);
}

JackPeriod JackService::CurrentPeriod() const
{
	JackPeriod snapshot;
	while (true) {
		uint32 before = fSnapshotSequence.load(std::memory_order_acquire);
		snapshot.period = fPeriods.load(std::memory_order_acquire);
		snapshot.frame = fSnapshotFrame.load(std::memory_order_relaxed);
		snapshot.startTime = fSnapshotStart.load(std::memory_order_relaxed);
		snapshot.frames = fSnapshotFrames.load(std::memory_order_relaxed);
		snapshot.filteredStart = fSnapshotFilteredStart.load(std::memory_order_relaxed);
		snapshot.filteredLength = fSnapshotFilteredLength.load(std::memory_order_relaxed);
		std::atomic_thread_fence(std::memory_order_acquire);
		uint32 after = fSnapshotSequence.load(std::memory_order_relaxed);
		// The period count moves after the snapshot is written: re-read if it moved
		// in between.
		if (before == after && (before & 1) == 0
			&& snapshot.period == fPeriods.load(std::memory_order_acquire))
			break;
	}
	snapshot.sampleRate = SampleRate();
	return snapshot;
}

int JackService::BufferSizeChanged(uint32 frames, void* self)
{
	static_cast<JackService*>(self)->fBufferSize.store(frames);
	return 0;
}

int JackService::SampleRateChanged(uint32 rate, void* self)
{
	static_cast<JackService*>(self)->fSampleRate.store(rate);
	return 0;
}

void JackService::Shutdown(void* self)
{
	auto* service = static_cast<JackService*>(self);
	service->fGone.store(true, std::memory_order_release);
	service->Wake();
	std::lock_guard lock(service->fShutdownLock);
	for (int32 i = 0; i < kMaxShutdownHooks; i++) {
		if (service->fShutdownHooks[i] != nullptr)
			service->fShutdownHooks[i](service->fShutdownCookies[i]);
	}
}

status_t JackService::AddShutdownHook(JackShutdownHook hook, void* cookie)
{
	if (hook == nullptr)
		return B_BAD_VALUE;
	// Shutdown() marks the service gone before it takes the lock: either it finds the
	// hook, or the hook finds the service gone.
	std::lock_guard lock(fShutdownLock);
	if (!IsRunning())
		return B_ERROR;
	for (int32 i = 0; i < kMaxShutdownHooks; i++) {
		if (fShutdownHooks[i] == nullptr) {
			fShutdownHooks[i] = hook;
			fShutdownCookies[i] = cookie;
			return B_OK;
		}
	}
	return B_NO_MORE_PORTS;
}

void JackService::RemoveShutdownHook(JackShutdownHook hook, void* cookie)
{
	std::lock_guard lock(fShutdownLock);
	for (int32 i = 0; i < kMaxShutdownHooks; i++) {
		if (fShutdownHooks[i] == hook && fShutdownCookies[i] == cookie) {
			fShutdownHooks[i] = nullptr;
			fShutdownCookies[i] = nullptr;
			return;
		}
	}
}

void JackService::PortRegistered(uint32, int, void* self)
{
	static_cast<JackService*>(self)->fPortsGeneration.fetch_add(1);
}

void JackService::PortRenamed(uint32, const char*, const char*, void* self)
{
	static_cast<JackService*>(self)->fPortsGeneration.fetch_add(1);
}

void JackService::PortConnected(uint32, uint32, int, void* self)
{
	static_cast<JackService*>(self)->Wake();
}

// #pragma mark - waiting

template <typename Ready>
status_t JackService::WaitUntil(Ready ready, bigtime_t timeout)
{
	bigtime_t deadline = timeout >= B_INFINITE_TIMEOUT - system_time()
		? B_INFINITE_TIMEOUT : system_time() + timeout;
	status_t status = B_OK;
	fTickWaiters.fetch_add(1);
	while (true) {
		uint32 seen = fTick.load();
		if (ready())
			break;
		if (!IsRunning()) {
			status = B_ERROR;
			break;
		}
		bigtime_t left = deadline - system_time();
		if (left <= 0) {
			status = B_TIMED_OUT;
			break;
		}
		// Periods wake us; a second at most keeps a stopped server from hanging us.
		FutexWait(fTick, seen, left < 1000000 ? left : 1000000);
	}
	fTickWaiters.fetch_sub(1);
	return status;
}

status_t JackService::WaitForPeriod(uint64 period, bigtime_t timeout)
{
	return WaitUntil([&] { return Periods() >= period; }, timeout);
}

status_t JackService::WaitPeriods(uint32 count, bigtime_t timeout)
{
	return WaitForPeriod(Periods() + count, timeout);
}

// #pragma mark - ports

jack_port_t* JackService::RegisterPort(const char* shortName, JackPortType type,
	JackPortDirection direction, status_t* status)
{
	status_t ignored;
	status_t& result = status != nullptr ? *status : ignored;
	if (shortName == nullptr || shortName[0] == '\0'
		|| fClientName.size() + 1 + strlen(shortName) >= size_t(jack_port_name_size())) {
		result = B_BAD_VALUE;
		return nullptr;
	}
	if (!IsRunning()) {
		result = B_ERROR;
		return nullptr;
	}
	std::lock_guard lock(fPortLock);
	std::string fullName = fClientName + ":" + shortName;
	if (jack_port_by_name(fClient, fullName.c_str()) != nullptr) {
		result = B_NAME_IN_USE;
		return nullptr;
	}
	jack_port_t* port = TakeUnusedPort(shortName, type, direction);
	if (port == nullptr)
		port = jack_port_register(fClient, shortName, TypeName(type), PortFlags(direction), 0);
	if (port == nullptr) {
		result = B_ERROR;
		return nullptr;
	}
	fPorts.push_back(port);
	result = B_OK;
	return port;
}

status_t JackService::UnregisterPort(jack_port_t* port)
{
	std::lock_guard lock(fPortLock);
	auto it = std::find(fPorts.begin(), fPorts.end(), port);
	if (it == fPorts.end())
		return B_BAD_VALUE;
	fPorts.erase(it);
	if (!IsRunning())
		return B_OK;
	// Kept, not unregistered (see the header): disconnected, renamed, silent.
	jack_port_disconnect(fClient, port);
	JackPortType type = strcmp(jack_port_type(port), JACK_DEFAULT_MIDI_TYPE) == 0
		? JackPortType::Midi : JackPortType::Audio;
	JackPortDirection direction = (jack_port_flags(port) & JackPortIsInput) != 0
		? JackPortDirection::Input : JackPortDirection::Output;
	std::string name;
	do
		name = "unused " + std::to_string(++fUnusedNames);
	while (jack_port_by_name(fClient, (fClientName + ":" + name).c_str()) != nullptr);
	jack_port_rename(fClient, port, name.c_str());
	fUnused.push_back({port, type, direction, jack_port_name(port)});
	if (direction == JackPortDirection::Output)
		Silence(port, type, true);
	return B_OK;
}

// With fPortLock held: an unused port of this type and direction, renamed to
// `shortName`, or null when there is none.
jack_port_t* JackService::TakeUnusedPort(const char* shortName, JackPortType type,
	JackPortDirection direction)
{
	for (auto it = fUnused.begin(); it != fUnused.end(); ++it) {
		if (it->type != type || it->direction != direction)
			continue;
		if (jack_port_rename(fClient, it->port, shortName) != 0)
			return nullptr;
		jack_port_t* port = it->port;
		fUnused.erase(it);
		if (direction == JackPortDirection::Output)
			Silence(port, type, false);
		return port;
	}
	return nullptr;
}

// With fPortLock held: starts or stops silencing an unused output port each period.
void JackService::Silence(jack_port_t* port, JackPortType type, bool silent)
{
	std::atomic<jack_port_t*>* slots = type == JackPortType::Midi ? fSilencedMidi
		: fSilencedAudio;
	for (int32 i = 0; i < kMaxSilenced; i++) {
		jack_port_t* expected = silent ? nullptr : port;
		if (slots[i].compare_exchange_strong(expected, silent ? port : nullptr))
			return;
	}
}

std::string JackService::PortName(const jack_port_t* port)
{
	return port != nullptr ? jack_port_name(port) : std::string();
}

float* JackService::AudioBuffer(jack_port_t* port, uint32 frames)
{
	return static_cast<float*>(jack_port_get_buffer(port, frames));
}

std::vector<std::string> JackService::FindPorts(JackPortType type,
	JackPortDirection direction, bool includeOwn) const
{
	std::vector<std::string> names;
	if (!IsRunning())
		return names;
	const char** ports = jack_get_ports(fClient, nullptr, TypeName(type),
		PortFlags(direction));
	if (ports == nullptr)
		return names;
	std::string own = fClientName + ":";
	std::lock_guard lock(fPortLock);
	for (const char** name = ports; *name != nullptr; ++name) {
		if (strncmp(*name, own.c_str(), own.size()) != 0)
			names.emplace_back(*name);
		else if (includeOwn && std::none_of(fUnused.begin(), fUnused.end(),
				[&](const UnusedPort& unused) { return unused.name == *name; }))
			names.emplace_back(*name);
	}
	jack_free(ports);
	return names;
}

// #pragma mark - hooks

status_t JackService::AddProcessHook(JackProcessHook hook, void* cookie)
{
	if (hook == nullptr)
		return B_BAD_VALUE;
	std::lock_guard lock(fHookLock);
	const HookList* current = fHooks.load();
	for (int32 i = 0; i < current->count; i++) {
		if (current->hooks[i] == hook && current->cookies[i] == cookie)
			return B_NAME_IN_USE;
	}
	if (current->count == kMaxProcessHooks)
		return B_NO_MORE_PORTS;
	auto* next = new HookList(*current);
	next->hooks[next->count] = hook;
	next->cookies[next->count] = cookie;
	next->count++;
	SwapHooks(next);
	return B_OK;
}

status_t JackService::RemoveProcessHook(JackProcessHook hook, void* cookie)
{
	std::lock_guard lock(fHookLock);
	const HookList* current = fHooks.load();
	auto* next = new HookList;
	bool found = false;
	for (int32 i = 0; i < current->count; i++) {
		if (!found && current->hooks[i] == hook && current->cookies[i] == cookie) {
			found = true;
			continue;
		}
		next->hooks[next->count] = current->hooks[i];
		next->cookies[next->count] = current->cookies[i];
		next->count++;
	}
	if (!found) {
		delete next;
		return B_NAME_NOT_FOUND;
	}
	SwapHooks(next);
	return B_OK;
}

// With fHookLock held: publishes `next`, waits until the process thread cannot be
// walking the old list any more, and frees the old list here, off the process thread.
void JackService::SwapHooks(HookList* next)
{
	HookList* old = fHooks.exchange(next);
	uint64 inside = fInside.load();
	if ((inside & 1) != 0) {
		// Walking a list, maybe the old one: wait until it leaves that walk. A server
		// that is gone or a client that never ran again cannot be inside any more.
		WaitUntil([&] { return fInside.load() != inside; }, B_INFINITE_TIMEOUT);
	}
	delete old;
}

// #pragma mark - connections

status_t JackService::Connect(const std::string& source, const std::string& destination,
	bigtime_t timeout)
{
	if (!IsRunning())
		return B_ERROR;
	if (jack_port_by_name(fClient, source.c_str()) == nullptr
		|| jack_port_by_name(fClient, destination.c_str()) == nullptr)
		return B_NAME_NOT_FOUND;
	int result = jack_connect(fClient, source.c_str(), destination.c_str());
	if (result != 0 && result != EEXIST)
		return B_ERROR;
	return ConfirmConnection(source, destination, timeout);
}

status_t JackService::Disconnect(const std::string& source, const std::string& destination)
{
	if (!IsRunning())
		return B_ERROR;
	if (jack_port_by_name(fClient, source.c_str()) == nullptr
		|| jack_port_by_name(fClient, destination.c_str()) == nullptr)
		return B_NAME_NOT_FOUND;
	return jack_disconnect(fClient, source.c_str(), destination.c_str()) == 0 ? B_OK : B_ERROR;
}

status_t JackService::WaitForConnection(jack_port_t* port, const std::string& other,
	bigtime_t timeout)
{
	if (port == nullptr)
		return B_BAD_VALUE;
	return ConfirmConnection(PortName(port), other, timeout);
}

// Waits until the server lists `port` connected (to `other` when not empty), then until
// a whole period has run on the new graph.
status_t JackService::ConfirmConnection(const std::string& port, const std::string& other,
	bigtime_t timeout)
{
	bigtime_t deadline = system_time() + timeout;
	auto connected = [&] {
		jack_port_t* handle = jack_port_by_name(fClient, port.c_str());
		if (handle == nullptr)
			return false;
		const char** peers = jack_port_get_all_connections(fClient, handle);
		if (peers == nullptr)
			return false;
		bool found = other.empty();
		for (const char** peer = peers; !found && *peer != nullptr; ++peer)
			found = other == *peer;
		jack_free(peers);
		return found;
	};
	status_t status = WaitUntil(connected, timeout);
	if (status != B_OK)
		return status;
	// The period running now may have started on the old graph; the next one starts on
	// the new graph, and once the one after it starts, a whole period has carried it.
	uint64 next = Periods() + 2;
	bigtime_t left = deadline - system_time();
	return WaitForPeriod(next, left > 0 ? left : 0);
}
