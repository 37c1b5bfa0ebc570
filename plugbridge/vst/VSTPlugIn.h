#pragma once
// VSTPlugIn: one VST 2 plug-in file and the effect its entry makes, in one of two roles.
//
// A *prototype* is made from a file while a directory is scanned: it loads the file, calls
// the entry and describes the plug-in (name, channel formats, flavor text). It is never
// opened. An *instance* is made from a prototype by newInstance(): it has an effect of its
// own, is opened by the node that owns it, and owns one VSTParameter per VST parameter.
//
// The entry is looked up as main_plugin, VSTPluginMain, then main. A file is refused when
// it cannot be loaded, exports none of them, its entry returns null or an effect with a bad
// magic, or the effect claims absurd counts (InitCheck, ErrorText say which).
//
// Bypass state: 0 off, 1 fading to the dry signal on the next block, 2 host bypass (input
// copied to output), 3 fading back, -1 the plug-in bypasses itself. Mute state: 0 off,
// 1 fading out, 2 muted, 3 fading in. Fades last kFadeSamples of one block.
//
// Lifetime: an instance keeps the plug-in file loaded on its own, so it may outlive its
// prototype. Destroying an instance closes it.
// Threads: a prototype is used by the thread that scans. An instance's processing,
// parameter, state and idle calls come from one thread (the node's event thread).
// Real time: process() allocates nothing and takes no lock.

#include <memory>
#include <string>
#include <vector>

#include "kernel/OS.h"
#include "vst/VSTParameter.h"
#include "vst/Vst2Interface.h"

class BMessenger;

// How a prototype presents itself to the media system.
struct VSTFlavorDescription {
	std::string name;                   // at most 64 bytes
	std::string info;                   // product and vendor, at most 128 bytes
	bool consumer = false;              // the plug-in has inputs
	bool producer = false;              // the plug-in has outputs
	int32 internalId = 0;
	std::vector<int32> inputChannels;   // channel counts of the accepted input formats
	std::vector<int32> outputChannels;  // channel counts of the offered output formats
};

class VSTPlugIn {
public:
	static constexpr int32 VST_VENDOR_STRING_LENGTH = 64;
	static constexpr int32 VST_PRODUCT_STRING_LENGTH = 64;
	static constexpr int32 VST_NAME_LENGTH = 64;
	static constexpr int32 VST_FADE_SAMPLES_LENGTH = 64;
	static constexpr int32 kFadeSamples = VST_FADE_SAMPLES_LENGTH;
	// The counts beyond which an effect is refused as broken.
	static constexpr int32 kMaxChannels = 256;
	static constexpr int32 kMaxParameters = 16384;
	static constexpr int32 kMaxPrograms = 16384;

	// The channel counts of the formats a flavor offers for a plug-in with `channels`
	// inputs (mono-capable when canMono) or outputs (canMono false).
	static std::vector<int32> FlavorChannels(int32 channels, bool canMono);

	// Loads a prototype.
	VSTPlugIn(const char* path, int32 internalId);
	~VSTPlugIn();
	VSTPlugIn(const VSTPlugIn&) = delete;
	VSTPlugIn& operator=(const VSTPlugIn&) = delete;

	// B_OK when usable, else why not (ErrorText says it in words).
	status_t InitCheck() const { return fStatus; }
	const std::string& ErrorText() const { return fError; }

	// A new instance (caller owns it), or null with the reason in error.
	std::unique_ptr<VSTPlugIn> newInstance(std::string* error = nullptr) const;

	// Instance: registers the effect under the node's control port (0: none), makes the
	// parameters and opens the effect. close() undoes it; destruction closes.
	status_t open(port_id port);
	void close();
	void suspend();
	void resume();
	void setSampleRate(float rate);
	void setBlockSize(uint32 frames);

	// Runs one block. in holds CountInputs() channels, out CountOutputs(), each of frames
	// samples; in and out must not share memory (the bypass fades need the dry input).
	void process(float** in, float** out, int32 frames, bigtime_t time);

	void setBypass(bool on);
	void setMuted(bool on);
	// Parameter ids: 0 … CountParameters() - 1 the VST parameters, then bypass, then mute.
	void setParameterAt(int32 id, float value, int32 intValue);
	// True when it filled value (continuous), false when intValue (discrete, bypass, mute,
	// or an id out of range, which fills nothing).
	bool getParameterAt(int32 id, float* value, int32* intValue);
	// Any of the outputs may be null.
	void getParameterInfo(int32 index, std::string* name, std::string* label,
		std::string* display) const;

	// The editor windows are not part of this build: B_UNSUPPORTED, said on stderr.
	status_t openEditor(BMessenger* target);
	void updateEditor();
	bool hasEditor() const;
	// Gives the plug-in idle time; true when it wants more.
	bool callIdle();
	bool canRealtime() const;
	bool canMono() const;
	int32 getCategory() const;
	int32 getVersion() const;
	// True when the plug-in answered; the text is cut to 64 bytes.
	bool getVendorString(std::string* vendor) const;
	bool getProductString(std::string* product) const;
	// False for an index past the channel count.
	bool getInputAt(int32 index, std::string* name, int32* flags) const;
	bool getOutputAt(int32 index, std::string* name, int32* flags) const;
	void setProgram(int32 program);
	int32 getProgram() const;
	void getProgramAt(int32 index, std::string* name);
	int32 getTailSize() const;

	const char* Name() const { return fName.c_str(); }
	const std::string& Path() const { return fPath; }
	AEffect* Effect() const { return fEffect; }
	bool IsPrototype() const { return fFlavor != nullptr; }
	// Prototype only (null in an instance).
	const VSTFlavorDescription* Flavor() const { return fFlavor.get(); }
	int32 CountInputs() const { return fEffect ? fEffect->numInputs : 0; }
	int32 CountOutputs() const { return fEffect ? fEffect->numOutputs : 0; }
	int32 CountPrograms() const { return fEffect ? fEffect->numPrograms : 0; }
	// VST parameters of the effect (an unopened instance has no VSTParameter objects yet).
	int32 CountParameters() const { return fEffect ? fEffect->numParams : 0; }
	VSTParameter* ParameterAt(int32 index) const;
	int32 BypassState() const { return fBypassState; }
	int32 MuteState() const { return fMuteState; }
	bool IsResumed() const { return fResumed; }
	float SampleRate() const { return fSampleRate; }
	uint32 BlockSize() const { return fBlockSize; }

private:
	// Instance of a prototype.
	VSTPlugIn(const VSTPlugIn& prototype, int);

	status_t Load(const std::string& path);
	status_t Fail(status_t status, const std::string& text);
	void BuildFlavor(int32 internalId);
	bool GetPin(int32 opcode, int32 index, const char* kind, std::string* name,
		int32* flags) const;
	void Fade(float** in, float** out, int32 frames);

	status_t fStatus = B_NO_INIT;
	std::string fError;
	std::string fPath;
	image_id fImage = -1;
	VstPluginEntry fEntry = nullptr;
	std::string fName;
	AEffect* fEffect = nullptr;
	std::unique_ptr<VSTFlavorDescription> fFlavor;
	std::vector<std::unique_ptr<VSTParameter>> fParameters;
	int32 fBypassState = 0;
	int32 fMuteState = 0;
	bool fResumed = false;
	bool fOpen = false;
	float fSampleRate = 0;
	uint32 fBlockSize = 0;
};
