#pragma once
// SoundConsumer: a media node with one raw-audio input that hands every buffer it receives
// to a record hook and tells a notify hook what happens to it.
//
// Hooks: the record hook gets each buffer's data as it came (cookie, the buffer's time
// on the media time line, data, bytes used, the connected raw-audio format); it may change
// the data in place and must not keep it, allocate, wait or do I/O. The notify hook gets
// a code (the k* constants below) and, after it, the values each code names.
// Threads: the node serves its control port on a thread of its own, "<name> Service"
// (name cut to 20 bytes), from registration on; every hook of the node and both hooks of
// the caller run there. SetHooks may be called from any thread.
// Time-outs: a second without a message calls the notify hook with kTimedOut; each
// further silence waits twice as long as the one before.
// Lifetime: a media node: Release() it (or BMediaRoster::ReleaseNode), never delete. The
// last release stops the service thread before the node goes.
#include "media/BufferConsumer.h"

#include <atomic>
#include <memory>

typedef void (*SoundRecordHook)(void* cookie, bigtime_t timestamp, void* data, size_t size,
	const media_raw_audio_format& format);
typedef void (*SoundNotifyHook)(void* cookie, int32 code, ...);

class SoundConsumer : public BBufferConsumer {
public:
	// Notify codes, with the values that follow each.
	enum {
		kWillStart = 1,          // bigtime_t performance time
		kWillStop = 2,           // bigtime_t performance time, int immediate
		kWillSeek = 3,           // bigtime_t media time, bigtime_t performance time
		kWillTimeWarp = 4,       // bigtime_t real time, bigtime_t performance time
		kConnectionMade = 5,     // const char* input name
		kConnectionBroken = 6,
		kFormatChanged = 7,      // const media_raw_audio_format* new format
		kNodeDies = 8,
		kHooksChanged = 9,
		kTimedOut = 10,          // bigtime_t the time-out that expired
		kProducerDataStatus = 11 // int32 status, bigtime_t performance time
	};

	// Control-port messages of the node itself.
	enum : int32 {
		kQuitMessage = 0x60000000,
		kSetHooksMessage = 0x60000001,   // HookChange
	};

	static constexpr bigtime_t kFirstTimeout = 1000000;
	static constexpr bigtime_t kProcessingLatency = 500;
	static constexpr bigtime_t kSetHooksTimeout = 6000000;
	static constexpr size_t kMessageBufferSize = 16384;

	// name: "SoundConsumer" when null.
	explicit SoundConsumer(const char* name = nullptr, SoundRecordHook recordHook = nullptr,
		SoundNotifyHook notifyHook = nullptr, void* cookie = nullptr);

	// Replaces the hooks; the old ones get kHooksChanged first, and neither is called
	// after this returns B_OK. From another thread this waits for the service thread (up
	// to kSetHooksTimeout): the write or wait error, else B_OK.
	status_t SetHooks(SoundRecordHook recordHook, SoundNotifyHook notifyHook, void* cookie);

	// The service thread, or a negative status before registration.
	thread_id ServiceThread() const { return fServiceThread.load(); }

	// BMediaNode
	void Start(bigtime_t performanceTime) override;
	void Stop(bigtime_t performanceTime, bool immediate) override;
	void Seek(bigtime_t mediaTime, bigtime_t performanceTime) override;
	void SetRunMode(run_mode mode) override;
	void TimeWarp(bigtime_t atRealTime, bigtime_t toPerformanceTime) override;
	void NodeRegistered() override;
	status_t HandleMessage(int32 code, const void* data, size_t size) override;

	// BBufferConsumer
	status_t AcceptFormat(const media_destination& destination, media_format* format) override;
	status_t GetNextInput(int32* cookie, media_input* outInput) override;
	void BufferReceived(BBuffer* buffer) override;
	void ProducerDataStatus(const media_destination& forWhom, int32 status,
		bigtime_t atPerformanceTime) override;
	status_t GetLatencyFor(const media_destination& forWhom, bigtime_t* outLatency,
		media_node_id* outTimeSource) override;
	status_t Connected(const media_source& producer, const media_destination& where,
		const media_format& withFormat, media_input* outInput) override;
	void Disconnected(const media_source& producer, const media_destination& where) override;
	status_t FormatChanged(const media_source& producer, const media_destination& consumer,
		int32 changeTag, const media_format& format) override;

protected:
	~SoundConsumer() override;

private:
	struct HookChange {
		port_id replyPort;
		void* cookie;
		SoundRecordHook recordHook;
		SoundNotifyHook notifyHook;
	};

	static status_t ServiceEntry(void* data);
	void ServiceLoop();
	void ApplyHookChange(const HookChange& change);
	void SetServicePriority();
	template <class... Args>
	void Notify(int32 code, Args... args)
	{
		if (fNotifyHook != nullptr)
			fNotifyHook(fCookie, code, args...);
	}

	// Service thread only (or the registering thread before it runs).
	SoundRecordHook fRecordHook;
	SoundNotifyHook fNotifyHook;
	void* fCookie;
	media_input fInput;
	std::unique_ptr<char[]> fMessage;     // kMessageBufferSize bytes
	bigtime_t fTimeout = kFirstTimeout;
	bigtime_t fSeekPerformanceTime = 0;
	bigtime_t fSeekMediaTime = 0;
	bigtime_t fDelta = 0;
	bool fSeekPending = false;
	std::atomic<thread_id> fServiceThread{B_NO_INIT};
};
