#pragma once
// The platform's own nodes, offered as flavors of the system add-on
// (BMediaRoster::SystemAddOnID()):
//   ToneGeneratorNode   a sine source: parameters 1 frequency (Hz) and 2 level (dBFS);
//   SoundFileReaderNode plays any sound file libsndfile reads (a file interface; raw
//                       audio at the file's rate and channels; seeks; loops on request);
//   SoundFileWriterNode writes what it receives to a WAV file (16-bit PCM unless told
//                       otherwise), replacing the file whole when the stream ends, the
//                       node stops or the input disconnects;
//   AudioInputNode, AudioOutputNode (DeviceNodes.h): the system's audio input and output.
// The roster's SniffRef finds SoundFileReaderNode for any file libsndfile opens.
//
// Threads: as for every node (MediaNode.h). The writer does its file I/O on its own
// thread, never on the producer's.
#include "media/AudioNodes.h"
#include "media/Controllable.h"
#include "media/FileInterface.h"
#include "media/MediaFileWriter.h"
#include "media/SoundFileReader.h"

#include <condition_variable>
#include <mutex>
#include <string>

class BMediaAddOn;

// Flavor ids of the system add-on.
enum {
	kSoundFileReaderFlavor = 0,
	kSoundFileWriterFlavor = 1,
	kToneGeneratorFlavor = 2,
	kAudioInputFlavor = 3,
	kAudioOutputFlavor = 4,
};

class ToneGeneratorNode : public AudioProducerNode, public BControllable {
public:
	enum { kFrequencyParameter = 1, kLevelParameter = 2 };

	ToneGeneratorNode(float frequency, float levelDb, float frameRate = 44100.0f,
		uint32 channels = 1, BMediaAddOn* addOn = nullptr);

	status_t GetParameterValue(int32 id, bigtime_t* lastChange, void* value,
		size_t* ioSize) override;
	void SetParameterValue(int32 id, bigtime_t when, const void* value, size_t size) override;
	status_t HandleMessage(int32 code, const void* data, size_t size) override;

protected:
	void NodeRegistered() override;
	size_t Produce(float* out, size_t frames) override;
	void HandleEvent(const media_timed_event* event, bigtime_t lateness,
		bool realTimeEvent) override;

private:
	float fFrequency;
	float fLevelDb;
	double fPhase = 0;
	bigtime_t fLastChange = 0;
};

class SoundFileReaderNode : public AudioProducerNode, public BFileInterface {
public:
	explicit SoundFileReaderNode(BMediaAddOn* addOn = nullptr, bool loop = false);

	status_t SetRef(const entry_ref& file, bool create, bigtime_t* outDuration) override;
	status_t GetRef(entry_ref* outRef, char* outMimeType) override;
	status_t SniffRef(const entry_ref& file, char* outMimeType, float* outQuality) override;
	status_t GetDuration(bigtime_t* outDuration) override;

protected:
	size_t Produce(float* out, size_t frames) override;
	void SeekToMedia(bigtime_t mediaTime) override;

private:
	SoundFileReader fReader;
	entry_ref fRef;
	bool fLoop;
};

class SoundFileWriterNode : public AudioConsumerNode, public BFileInterface {
public:
	explicit SoundFileWriterNode(BMediaAddOn* addOn = nullptr);
	~SoundFileWriterNode() override;

	// The file's sample format: B_AUDIO_SHORT (default), B_AUDIO_INT or B_AUDIO_FLOAT.
	// Takes effect with the next connection.
	void SetFileSampleFormat(uint32 format) { fFileFormat = format; }
	// Waits until the file was replaced (or writing failed); the status of that.
	status_t WaitForCommit(bigtime_t timeout);

	status_t SetRef(const entry_ref& file, bool create, bigtime_t* outDuration) override;
	status_t GetRef(entry_ref* outRef, char* outMimeType) override;
	status_t SniffRef(const entry_ref& file, char* outMimeType, float* outQuality) override;
	status_t GetDuration(bigtime_t* outDuration) override;

protected:
	void Consume(const float* frames, size_t count, bigtime_t startTime) override;
	void InputConnected(const media_raw_audio_format& format) override;
	void InputDisconnected() override;
	void StreamEnded() override;
	void HandleEvent(const media_timed_event* event, bigtime_t lateness,
		bool realTimeEvent) override;

private:
	void Finish();

	MediaFileWriter fWriter;
	entry_ref fRef;
	uint32 fFileFormat;
	int64 fFramesWritten = 0;
	float fRate = 0;
	std::mutex fDoneLock;
	std::condition_variable fDoneChanged;
	bool fDone = false;          // guarded by fDoneLock
	status_t fDoneStatus = B_OK; // guarded by fDoneLock
};

// The system add-on (registered by the roster).
BMediaAddOn* make_platform_addon();
// The default audio input for a SUITE_AUDIO_INPUT setting (MediaRoster.h); null with
// *outError when it cannot be made.
BMediaNode* make_default_input_node(const std::string& setting, status_t* outError);
BMediaNode* make_default_output_node(status_t* outError);
