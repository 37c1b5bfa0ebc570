#pragma once
// JackService: this process's one JACK client and its period clock.
//
// Everything in the platform that talks to a JACK server goes through one JackService:
// the MIDI system ports (their ports, and pacing by periods), the media time source,
// the audio ports of the media host and of the JACK audio device nodes. There is one
// client per process, named by its first user, and one period counter that every user
// reads, so MIDI, audio and time agree on what "this period" is.
//
// Lifetime: Acquire() opens the client on first use (lazily) and counts users; each
// Acquire() is matched by one Release(); the last Release() closes the client. When the
// server goes away (shut down, or it threw us out), the service stays a valid object
// for its holders, IsRunning() turns false, its waits fail with B_ERROR; the next
// Acquire() then opens a new client (possibly on a new server) for the callers after it;
// the last Release() of a service whose server went away retires it (a little memory
// kept to the process's end), since libjack may still call into it.
// A port belongs to the service that registered it: remove the hooks that use it, then
// unregister it, before releasing (the last Release() unregisters what is left). A
// process hook must be removed before the memory its cookie points to goes.
// Ports: libjack walks its list of the client's ports on a thread of its own whenever
// the server asks for latencies (at any change of the graph, by any client), without a
// lock against jack_port_unregister(), which frees an entry of that list: a program
// that closed a port while another changed the graph crashed in libjack. So a port is
// unregistered for real only when the client closes; until then UnregisterPort()
// disconnects it, renames it to an unused name ("unused N"), keeps its output silent,
// and the next RegisterPort() of its type and direction takes it back under the name
// asked for. FindPorts() leaves unused ports out.
//
// Errors: Acquire() gives B_NO_INIT when no JACK server answers (the server named by
// JACK_DEFAULT_SERVER, else the default one; a server is never started) together with a
// sentence for the user, and libjack prints nothing on standard error meanwhile.
// Waits give B_TIMED_OUT at their time-out, B_ERROR once the server is gone. Port
// registration gives B_NAME_IN_USE for a name this client already has, B_BAD_VALUE for
// an empty or too long name, B_ERROR when the server refuses.
//
// Threads: Acquire, Release, ports, hooks, connections and waits are for ordinary
// threads: never call them from a process hook or a JACK notification (libjack forbids
// it and it would deadlock). From the process thread (a hook) only the accessors marked
// "real-time safe" below. Hooks are added and removed without any lock the process
// thread takes: the list the process thread walks is a fixed array swapped atomically;
// RemoveProcessHook() waits (off the process thread) until the process thread has left
// the old list, then frees it, so after it returns the hook is never called again.
//
// Typical use (an audio node with one input port):
//   std::string why;
//   JackService* jack = JackService::Acquire("My Program", &status, &why);  // null: why
//   jack_port_t* in = jack->RegisterPort("in_1", JackPortType::Audio,
//       JackPortDirection::Input, &status);
//   jack->AddProcessHook(&Node::Process, node);   // Process(frames, node) each period:
//                                                 // JackService::AudioBuffer(in, frames)
//   jack->Connect("system:capture_1", jack_port_name(in), 2000000);  // confirmed
//   ...
//   jack->RemoveProcessHook(&Node::Process, node);
//   jack->UnregisterPort(in);
//   jack->Release();
#include "kernel/SupportDefs.h"

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

typedef struct _jack_client jack_client_t;
typedef struct _jack_port jack_port_t;

enum class JackPortType { Audio, Midi };
enum class JackPortDirection { Input, Output };

// Called on JACK's process thread once per period (frames: the period's length). Must
// not allocate, lock, or do I/O.
typedef void (*JackProcessHook)(uint32 frames, void* cookie);
// Called once when the server goes away, on a thread of libjack's, after IsRunning()
// turned false. Must not call libjack, allocate or block (post a semaphore, set a flag).
typedef void (*JackShutdownHook)(void* cookie);

class JackService;

// Follows the process's service without holding it (the media clock does): told when a
// service opens (once it runs) and before the last Release() closes it, on the thread
// that opens or closes it, with the service table locked: the calls must not Acquire()
// or Release() a service. A service whose server went away is reported closing only
// when its last holder lets go; a new service may open before that.
class JackServiceWatcher {
public:
	virtual ~JackServiceWatcher() = default;
	virtual void ServiceOpened(JackService* service) = 0;
	virtual void ServiceClosing(JackService* service) = 0;
};

// One period as the process thread saw it at its start; all fields from the same period.
struct JackPeriod {
	uint64 period = 0;         // process calls since the client was activated, from 1
	// JACK frame time at the period's start, not wrapping; it also moves over periods the
	// server skipped for us (missed periods), which `period` does not count.
	uint64 frame = 0;
	bigtime_t startTime = 0;   // system_time() when the process thread started the period
	uint32 frames = 0;         // its length
	uint32 sampleRate = 0;     // frames per second
	// The period's start and length as JACK's clock filters them (steady, unlike
	// startTime, which carries the process thread's wake-up delay), in system_time()'s
	// microseconds; both 0 where libjack cannot say.
	bigtime_t filteredStart = 0;
	bigtime_t filteredLength = 0;
};

class JackService {
public:
	// Largest number of process hooks at a time (all users together).
	static constexpr int32 kMaxProcessHooks = 32;
	// Default time-out of connection confirmation: long enough for a loaded machine.
	static constexpr bigtime_t kConnectTimeout = 5000000;

	// The process's service, opened now when nobody holds it, with `clientName` (the
	// first user's name wins; libjack appends a number when a client of that name
	// exists). Null on failure, with *status set (B_NO_INIT: no server) and *message a
	// sentence for the user, when given.
	static JackService* Acquire(const char* clientName, status_t* status = nullptr,
		std::string* message = nullptr);
	void Release();
	// One more user of this very service, for a holder that passes it on (the new
	// holder calls Release()). Works also after the server went away.
	void AddReference();

	// Watchers of the service (at most 8); one added while a service runs hears of it at
	// once. Remove a watcher before it goes.
	static status_t AddWatcher(JackServiceWatcher* watcher);
	static void RemoveWatcher(JackServiceWatcher* watcher);

	JackService(const JackService&) = delete;
	JackService& operator=(const JackService&) = delete;

	// The client's name as the server knows it ("My Program", or "My Program-01").
	const char* ClientName() const { return fClientName.c_str(); }
	// For libjack calls this service does not wrap (port queries, latency). Never
	// close it, (de)activate it or set its callbacks.
	jack_client_t* Client() const { return fClient; }

	// The clock. All real-time safe.
	bool IsRunning() const { return !fGone.load(std::memory_order_acquire); }
	uint64 Periods() const { return fPeriods.load(std::memory_order_acquire); }
	JackPeriod CurrentPeriod() const;
	uint32 SampleRate() const { return fSampleRate.load(std::memory_order_relaxed); }
	uint32 BufferSize() const { return fBufferSize.load(std::memory_order_relaxed); }

	// Blocks until `count` more periods have started (B_OK), or the time-out
	// (B_TIMED_OUT), or the server is gone (B_ERROR). Never busy-waits.
	status_t WaitPeriods(uint32 count, bigtime_t timeout = kConnectTimeout);
	// Blocks until period number `period` has started.
	status_t WaitForPeriod(uint64 period, bigtime_t timeout = kConnectTimeout);

	// Ports of this client. `shortName` is the part after "client:". Null on failure
	// with *status set.
	jack_port_t* RegisterPort(const char* shortName, JackPortType type,
		JackPortDirection direction, status_t* status = nullptr);
	status_t UnregisterPort(jack_port_t* port);
	// "client:port" of any port; empty for null.
	static std::string PortName(const jack_port_t* port);
	// The period's sample buffer of an audio port: real-time safe, for process hooks.
	static float* AudioBuffer(jack_port_t* port, uint32 frames);

	// Full names of the server's ports of a type whose direction is `direction` (an
	// Output port sends), in the server's order; this client's own ports are left out
	// unless `includeOwn`.
	std::vector<std::string> FindPorts(JackPortType type, JackPortDirection direction,
		bool includeOwn = false) const;
	// Goes up whenever a port of any client appears, goes or is renamed.
	uint64 PortsGeneration() const { return fPortsGeneration.load(); }

	// Process hooks: run in the order added, after Periods() has moved to the period
	// they run in. Add: B_BAD_VALUE for a null hook, B_NO_MORE_PORTS when
	// kMaxProcessHooks are in, B_NAME_IN_USE for the same (hook, cookie) twice.
	// Remove: B_NAME_NOT_FOUND when not added; returns once the process thread can no
	// longer be inside the hook.
	status_t AddProcessHook(JackProcessHook hook, void* cookie);
	status_t RemoveProcessHook(JackProcessHook hook, void* cookie);

	// Shutdown hooks (at most 8): called when the server goes away, so that a waiter
	// learns of it at once instead of looking now and then. Add gives B_ERROR when the
	// server is gone already (the hook is then never called), B_NO_MORE_PORTS when full.
	// Remove returns once the hook cannot be running any more.
	status_t AddShutdownHook(JackShutdownHook hook, void* cookie);
	void RemoveShutdownHook(JackShutdownHook hook, void* cookie);

	// Connects source (an output port) to destination (an input port), full names, and
	// confirms it: returns B_OK once the server reports the two connected and then one
	// whole period has passed, so the next message or buffer sent travels the new
	// connection. Already connected counts as connected. B_NAME_NOT_FOUND when a port
	// does not exist, B_TIMED_OUT (nothing carried yet) after `timeout`, B_ERROR when
	// the server refuses or is gone.
	status_t Connect(const std::string& source, const std::string& destination,
		bigtime_t timeout = kConnectTimeout);
	status_t Disconnect(const std::string& source, const std::string& destination);
	// For a connection someone else makes: waits until `port` of this client is
	// connected (to `other`, a full name, when not empty), then one whole period.
	status_t WaitForConnection(jack_port_t* port, const std::string& other = std::string(),
		bigtime_t timeout = kConnectTimeout);

private:
	struct HookList;

	explicit JackService(jack_client_t* client);
	~JackService();
	void Close();
	void ProcessPeriod(uint32 frames);
	// Blocks until ready() (B_OK), the server goes (B_ERROR) or the time-out; wakes at
	// every period, connection and shutdown to ask again.
	template <typename Ready> status_t WaitUntil(Ready ready, bigtime_t timeout);
	status_t ConfirmConnection(const std::string& port, const std::string& other,
		bigtime_t timeout);
	void SwapHooks(HookList* next);
	void Wake();
	static int Process(uint32 frames, void* self);
	static int BufferSizeChanged(uint32 frames, void* self);
	static int SampleRateChanged(uint32 rate, void* self);
	static void Shutdown(void* self);
	static void PortRegistered(uint32 port, int registered, void* self);
	static void PortRenamed(uint32 port, const char* oldName, const char* newName, void* self);
	static void PortConnected(uint32 a, uint32 b, int connect, void* self);

	jack_client_t* fClient;
	std::string fClientName;
	int32 fUsers = 0;                            // guarded by the service table's lock

	std::atomic<bool> fGone{false};
	std::atomic<uint64> fPeriods{0};
	std::atomic<uint32> fSampleRate{0};
	std::atomic<uint32> fBufferSize{0};
	std::atomic<uint64> fPortsGeneration{0};
	// The period snapshot, written by the process thread under a sequence count.
	std::atomic<uint32> fSnapshotSequence{0};
	std::atomic<uint64> fSnapshotFrame{0};
	std::atomic<int64> fSnapshotStart{0};
	std::atomic<uint32> fSnapshotFrames{0};
	std::atomic<int64> fSnapshotFilteredStart{0};
	std::atomic<int64> fSnapshotFilteredLength{0};
	uint32 fLastFrameTime = 0;                   // process thread only
	uint64 fFrameBase = 0;                       // process thread only

	// Wakes waiters (futex word): moves each period, at shutdown and at connections.
	std::atomic<uint32> fTick{0};
	std::atomic<int32> fTickWaiters{0};

	// The hooks: the process thread reads fHooks; fInside is odd while it runs them.
	std::atomic<HookList*> fHooks{nullptr};
	std::atomic<uint64> fInside{0};
	std::mutex fHookLock;                        // adding and removing (never the RT thread)

	static constexpr int32 kMaxShutdownHooks = 8;
	std::mutex fShutdownLock;                    // guards the two below
	JackShutdownHook fShutdownHooks[kMaxShutdownHooks] = {};
	void* fShutdownCookies[kMaxShutdownHooks] = {};

	mutable std::mutex fPortLock;                // guards fPorts and the unused ports
	std::vector<jack_port_t*> fPorts;
	// Ports given back (UnregisterPort()), disconnected and renamed, kept for reuse.
	struct UnusedPort {
		jack_port_t* port;
		JackPortType type;
		JackPortDirection direction;
		std::string name;                        // its full name while unused
	};
	std::vector<UnusedPort> fUnused;
	uint32 fUnusedNames = 0;
	// Unused output ports the process thread silences each period, by type (an empty
	// slot is null; beyond kMaxSilenced of a type they are left as they were,
	// disconnected).
	static constexpr int32 kMaxSilenced = 16;
	std::atomic<jack_port_t*> fSilencedAudio[kMaxSilenced] = {};
	std::atomic<jack_port_t*> fSilencedMidi[kMaxSilenced] = {};
	jack_port_t* TakeUnusedPort(const char* shortName, JackPortType type,
		JackPortDirection direction);
	void Silence(jack_port_t* port, JackPortType type, bool silent);
};
