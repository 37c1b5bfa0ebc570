#include "VirtualPortHost.h"

#include "midi/JackCycleClock.h"
#include "midi/MidiParser.h"

#include <rtmidi/RtMidi.h>

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <thread>

namespace morpheus_sim {

namespace {

// Messages waiting for the worker; more are dropped (a flood must not eat the memory).
constexpr size_t kMaxQueued = 4096;
// Largest message taken in: far above any dump, list or edit.
constexpr size_t kMaxIncomingSystemExclusive = 64 * 1024;
// ALSA: a full output pool refuses a message; it is tried again after a pause.
constexpr int kAlsaSendAttempts = 50;
constexpr auto kAlsaRetryPause = std::chrono::milliseconds(2);

// With a callback set RtMidi reports its errors here instead of throwing.
struct ErrorSink {
	std::atomic<bool> failed{false};
	std::mutex lock;
	std::string text;

	static void Report(RtMidiError::Type type, const std::string& message, void* self)
	{
		if (type == RtMidiError::WARNING || type == RtMidiError::DEBUG_WARNING)
			return;
		auto* sink = static_cast<ErrorSink*>(self);
		std::lock_guard guard(sink->lock);
		sink->text = message;
		sink->failed.store(true);
	}
	std::string Text()
	{
		std::lock_guard guard(lock);
		return text;
	}
};

const char* CommandName(const Message& message)
{
	if (message.size() < 4)
		return "short message";
	switch (message[3]) {
		case kPresetRequest: return "preset request";
		case kPresetData: return "preset dump";
		case kParameterEdit: return "parameter edit";
		case kInstrumentListRequest: return "instrument list request";
		case kInstrumentList: return "instrument list";
		case kHyperpresetRequest: return "hyperpreset request";
		case kHyperpresetData: return "hyperpreset dump";
		case kMidimapRequest: return "midimap request";
		case kMidimapData: return "midimap dump";
		case kEffectListRequest: return "effect list request";
		case kEffectList: return "effect list";
		case kFilterListRequest: return "filter list request";
		case kFilterList: return "filter list";
		default: return "unknown command";
	}
}

}  // namespace

class VirtualPortHost::Impl {
public:
	explicit Impl(std::shared_ptr<MorpheusSimulator> simulator)
		:
		fSimulator(std::move(simulator)),
		fParser(kMaxIncomingSystemExclusive)
	{
	}

	~Impl() { Close(); }

	bool Open(const VirtualPortSettings& settings, std::string& error)
	{
		Close();
		fVerbose = settings.verbose;
		std::string api = settings.api;
		if (api.empty()) {
			const char* forced = getenv("SUITE_MIDI_API");
			api = forced != nullptr ? forced : "";
		}
		if (api.empty() || api == "alsa") {
			if (OpenPorts(RtMidi::LINUX_ALSA, settings, error)) {
				fApi = "alsa";
			} else if (!api.empty()) {
				return false;
			}
		}
		if (fApi == nullptr && (api.empty() || api == "jack")) {
			fClock = midi_internal::JackCycleClock::Open(settings.clientName + " pacing", true);
			if (fClock == nullptr) {
				error = api.empty() ? "no MIDI system: neither the ALSA sequencer nor a "
					"JACK server answers" : "no JACK server answers";
				return false;
			}
			if (!OpenPorts(RtMidi::UNIX_JACK, settings, error)) {
				fClock.reset();
				return false;
			}
			fApi = "jack";
		}
		if (fApi == nullptr) {
			error = "unknown MIDI system \"" + api + "\"";
			return false;
		}
		fStopping = false;
		fWorker = std::thread([this] { Serve(); });
		return true;
	}

	void Close()
	{
		{
			std::lock_guard lock(fQueueLock);
			fStopping = true;
		}
		fQueueChanged.notify_all();
		if (fWorker.joinable())
			fWorker.join();
		try {
			fIn.reset();   // no more input callbacks after this
			fOut.reset();
		} catch (const std::exception&) {
		}
		fClock.reset();
		fApi = nullptr;
		std::lock_guard lock(fQueueLock);
		if (fDropped > 0 || fParser.DroppedBytes() > 0) {
			fprintf(stderr, "morpheus-sim: dropped %zu messages arriving faster than they "
				"could be answered and %zu malformed bytes\n", fDropped,
				fParser.DroppedBytes());
		}
		fQueue.clear();
		fParser.Reset();
		fDropped = 0;
	}

	const char* ApiName() const { return fApi != nullptr ? fApi : "none"; }

private:
	bool OpenPorts(RtMidi::Api api, const VirtualPortSettings& settings, std::string& error)
	{
		const char* name = api == RtMidi::LINUX_ALSA ? "ALSA" : "JACK";
		try {
			// The output first: under JACK the second client of a name is renamed
			// "<name>-01", and replies are what a user looks for first.
			auto out = std::make_unique<RtMidiOut>(api, settings.clientName);
			out->setErrorCallback(&ErrorSink::Report, &fOutErrors);
			out->openVirtualPort(settings.outputName);
			if (fOutErrors.failed.load()) {
				error = std::string("cannot open the ") + name + " output port: "
					+ fOutErrors.Text();
				return false;
			}
			auto in = std::make_unique<RtMidiIn>(api, settings.clientName);
			in->setErrorCallback(&ErrorSink::Report, &fInErrors);
			in->ignoreTypes(false, true, true);
			in->setCallback(&Impl::OnInput, this);
			in->openVirtualPort(settings.inputName);
			if (fInErrors.failed.load()) {
				error = std::string("cannot open the ") + name + " input port: "
					+ fInErrors.Text();
				return false;
			}
			fOut = std::move(out);
			fIn = std::move(in);
			return true;
		} catch (const std::exception& e) {
			error = std::string("cannot open ") + name + " MIDI ports: " + e.what();
			return false;
		}
	}

	// On the MIDI system's thread (JACK's process thread): queue, never block for long.
	static void OnInput(double stamp, std::vector<unsigned char>* bytes, void* self)
	{
		if (bytes == nullptr || bytes->empty())
			return;
		auto* impl = static_cast<Impl*>(self);
		bool queued = false;
		{
			std::lock_guard lock(impl->fQueueLock);
			impl->fParser.Feed(bytes->data(), bytes->size(),
				[&](const uint8_t* message, size_t length) {
					if (impl->fQueue.size() < kMaxQueued) {
						impl->fQueue.emplace_back(message, message + length);
						queued = true;
					} else {
						++impl->fDropped;
					}
				});
		}
		if (queued)
			impl->fQueueChanged.notify_one();
	}

	void Serve()
	{
		for (;;) {
			Message message;
			{
				std::unique_lock lock(fQueueLock);
				fQueueChanged.wait(lock, [this] { return fStopping || !fQueue.empty(); });
				if (fStopping)
					return;
				message = std::move(fQueue.front());
				fQueue.pop_front();
			}
			std::vector<Message> replies = fSimulator->Receive(message.data(), message.size());
			if (fVerbose)
				Log(message, replies.size());
			for (const Message& reply : replies)
				Send(reply);
		}
	}

	void Log(const Message& message, size_t replies)
	{
		if (!message.empty() && message[0] == 0xF0) {
			Message body(message.begin() + 1, message.end() - (message.back() == 0xF7));
			printf("received %s (%zu bytes), %zu %s\n", CommandName(body), message.size(),
				replies, replies == 1 ? "reply" : "replies");
		} else if (!message.empty()) {
			printf("received status %02X (%zu bytes)\n", message[0], message.size());
		}
		fflush(stdout);
	}

	void Send(const Message& reply)
	{
		Message framed;
		framed.reserve(reply.size() + 2);
		framed.push_back(0xF0);
		framed.insert(framed.end(), reply.begin(), reply.end());
		framed.push_back(0xF7);
		if (fClock != nullptr) {
			if (framed.size() > midi_internal::JackCycleClock::kMaxMessage
				|| fClock->Reserve(framed.size()) != B_OK) {
				fprintf(stderr, "morpheus-sim: a reply of %zu bytes could not be sent\n",
					framed.size());
				return;
			}
		}
		int attempts = fClock != nullptr ? 1 : kAlsaSendAttempts;
		for (int i = 0; i < attempts; ++i) {
			fOutErrors.failed.store(false);
			try {
				fOut->sendMessage(framed.data(), framed.size());
			} catch (const std::exception&) {
				fOutErrors.failed.store(true);
			}
			if (!fOutErrors.failed.load())
				return;
			std::this_thread::sleep_for(kAlsaRetryPause);
		}
		fprintf(stderr, "morpheus-sim: sending a reply failed: %s\n",
			fOutErrors.Text().c_str());
	}

	std::shared_ptr<MorpheusSimulator> fSimulator;
	std::unique_ptr<RtMidiIn> fIn;
	std::unique_ptr<RtMidiOut> fOut;
	ErrorSink fInErrors;
	ErrorSink fOutErrors;
	std::shared_ptr<midi_internal::JackCycleClock> fClock;
	const char* fApi = nullptr;
	bool fVerbose = false;

	std::mutex fQueueLock;   // the queue, the parser, the stop flag
	std::condition_variable fQueueChanged;
	std::deque<Message> fQueue;
	midi_internal::MidiParser fParser;
	size_t fDropped = 0;
	bool fStopping = false;
	std::thread fWorker;
};

VirtualPortHost::VirtualPortHost(std::shared_ptr<MorpheusSimulator> simulator)
	:
	fImpl(std::make_unique<Impl>(std::move(simulator)))
{
}

VirtualPortHost::~VirtualPortHost() = default;

bool VirtualPortHost::Open(const VirtualPortSettings& settings, std::string& error)
{
	return fImpl->Open(settings, error);
}

void VirtualPortHost::Close()
{
	fImpl->Close();
}

const char* VirtualPortHost::ApiName() const
{
	return fImpl->ApiName();
}

}  // namespace morpheus_sim
