#include "vst/AudioMaster.h"

#include <cstring>

#include "vst/VSTMessages.h"

namespace {

// How long a registry operation waits for the lock before giving up.
constexpr bigtime_t kLockTimeout = 1000000;

const char* const kCanDoYes[] = {
	"reportConnectionChanges", "acceptIOChanges", "sizeWindow", "supplyIdle"};
const char* const kCanDoNo[] = {"sendVstEvents", "sendVstMidiEvent", "sendVstTimeInfo",
	"receiveVstEvents", "receiveVstMidiEvent", "receiveVstTimeInfo", "asyncProcessing",
	"offline", "supportShell"};

// Copies text into a plug-in's buffer of the nominal 64 bytes.
void CopyString(void* ptr, const char* text)
{
	if (ptr == nullptr)
		return;
	strncpy(static_cast<char*>(ptr), text, kVstMaxVendorStrLen - 1);
	static_cast<char*>(ptr)[kVstMaxVendorStrLen - 1] = '\0';
}

}  // namespace

AudioMaster::AudioMaster()
	:
	fLock("AudioMaster")
{
	fEntries.reserve(20);
}

AudioMaster* AudioMaster::getInstance()
{
	static AudioMaster* sAudioMaster = new AudioMaster;
	return sAudioMaster;
}

status_t AudioMaster::registerPlugIn(AEffect* effect, port_id port)
{
	if (fLock.LockWithTimeout(kLockTimeout) != B_OK)
		return -1;
	fEntries.push_back({effect, port, 0, 0});
	fLock.Unlock();
	return B_OK;
}

status_t AudioMaster::unregisterPlugIn(AEffect* effect)
{
	if (fLock.LockWithTimeout(kLockTimeout) != B_OK)
		return -1;
	for (auto it = fEntries.begin(); it != fEntries.end(); ++it) {
		if (it->effect == effect) {
			fEntries.erase(it);
			break;
		}
	}
	fLock.Unlock();
	return B_OK;
}

port_id AudioMaster::getPortFor(AEffect* effect)
{
	if (effect == nullptr || fLock.LockWithTimeout(kLockTimeout) != B_OK)
		return 0;
	port_id port = 0;
	for (const Entry& entry : fEntries) {
		if (entry.effect == effect) {
			port = entry.port;
			break;
		}
	}
	fLock.Unlock();
	return port;
}

void AudioMaster::setStreamFormat(AEffect* effect, float sampleRate, int32 blockSize)
{
	if (fLock.LockWithTimeout(kLockTimeout) != B_OK)
		return;
	for (Entry& entry : fEntries) {
		if (entry.effect == effect) {
			if (sampleRate > 0)
				entry.sampleRate = sampleRate;
			if (blockSize > 0)
				entry.blockSize = blockSize;
		}
	}
	fLock.Unlock();
}

bool AudioMaster::FindFormat(AEffect* effect, float* sampleRate, int32* blockSize)
{
	*sampleRate = kDefaultSampleRate;
	*blockSize = kDefaultBlockSize;
	if (effect == nullptr || fLock.LockWithTimeout(kLockTimeout) != B_OK)
		return false;
	bool found = false;
	for (const Entry& entry : fEntries) {
		if (entry.effect == effect) {
			if (entry.sampleRate > 0)
				*sampleRate = entry.sampleRate;
			if (entry.blockSize > 0)
				*blockSize = entry.blockSize;
			found = true;
			break;
		}
	}
	fLock.Unlock();
	return found;
}

void AudioMaster::Notify(AEffect* effect, int32 code, const void* data, size_t size)
{
	port_id port = getPortFor(effect);
	if (port > 0)
		write_port_etc(port, code, data, size, B_RELATIVE_TIMEOUT, kVSTPortWriteTimeout);
}

void AudioMaster::automate(AEffect* effect, int32 index, float value)
{
	VSTAutomateData data{index, value};
	Notify(effect, VST_AUTOMATE, &data, sizeof(data));
}

int32 AudioMaster::canDo(const char* what)
{
	if (what == nullptr)
		return 0;
	for (const char* yes : kCanDoYes) {
		if (strcmp(what, yes) == 0)
			return 1;
	}
	for (const char* no : kCanDoNo) {
		if (strcmp(what, no) == 0)
			return -1;
	}
	return 0;
}

intptr_t AudioMaster::callback(AEffect* effect, int32_t opcode, int32_t index, intptr_t value,
	void* ptr, float opt)
{
	AudioMaster* master = getInstance();
	switch (opcode) {
		case audioMasterAutomate:
			master->automate(effect, index, opt);
			return 0;
		case audioMasterVersion:
			return 2;
		case audioMasterIdle:
			return 1;
		case audioMasterGetNumAutomatableParameters:
			return effect != nullptr ? effect->numParams : 0;
		case audioMasterGetParameterQuantization:
			return 1;
		case audioMasterIOChanged:
			master->Notify(effect, VST_IO_CHANGED);
			return 0;
		case audioMasterNeedIdle:
			master->Notify(effect, VST_NEED_IDLE);
			return 0;
		case audioMasterGetSampleRate:
		case audioMasterGetBlockSize:
		{
			// The stream the host set, not a constant: plug-ins size their state from it.
			float rate;
			int32 block;
			master->FindFormat(effect, &rate, &block);
			return opcode == audioMasterGetSampleRate ? intptr_t(rate) : intptr_t(block);
		}
		case audioMasterWillReplaceOrAccumulate:
			return 1;
		case audioMasterGetAutomationState:
			return 4;
		case audioMasterGetVendorString:
			CopyString(ptr, "Ravelin");
			return 1;
		case audioMasterGetProductString:
			CopyString(ptr, "VSTAddOn");
			return 1;
		case audioMasterGetVendorVersion:
			return 40;
		case audioMasterCanDo:
			return canDo(static_cast<const char*>(ptr));
		case audioMasterGetLanguage:
			return 1;
		case audioMasterUpdateDisplay:
			master->Notify(effect, VST_UPDATE_DISPLAY);
			return 1;
		default:
			return 0;
	}
}
