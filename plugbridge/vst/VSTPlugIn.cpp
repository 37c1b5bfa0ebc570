#include "vst/VSTPlugIn.h"

#include <link.h>
#include <sys/mman.h>

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "kernel/Image.h"
#include "vst/AudioMaster.h"
#include "vst/VSTDispatch.h"

using namespace vst_internal;

namespace {

const char* const kEntryNames[] = {"main_plugin", "VSTPluginMain", "main"};

// text cut to at most bytes, never inside a UTF-8 sequence.
std::string Cut(const std::string& text, size_t bytes)
{
	if (text.size() <= bytes)
		return text;
	size_t end = bytes;
	while (end > 0 && (uint8(text[end]) & 0xC0) == 0x80)
		end--;
	return text.substr(0, end);
}

std::string Leaf(const std::string& path)
{
	size_t slash = path.find_last_of('/');
	return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Keeps the code and data of the loaded file in memory, so that processing never waits
// for a page to come back from disk. Best effort: a refused lock changes nothing else.
void LockImageInMemory(const std::string& path)
{
	struct Search {
		const std::string* path;
	} search{&path};
	dl_iterate_phdr(
		[](dl_phdr_info* info, size_t, void* data) -> int {
			auto* search = static_cast<Search*>(data);
			if (info->dlpi_name == nullptr || *search->path != info->dlpi_name)
				return 0;
			const long page = sysconf(_SC_PAGESIZE);
			for (int i = 0; i < info->dlpi_phnum; i++) {
				const ElfW(Phdr)& header = info->dlpi_phdr[i];
				if (header.p_type != PT_LOAD)
					continue;
				uintptr_t start = (info->dlpi_addr + header.p_vaddr) & ~uintptr_t(page - 1);
				uintptr_t end = info->dlpi_addr + header.p_vaddr + header.p_memsz;
				mlock(reinterpret_cast<void*>(start), end - start);
			}
			return 1;
		},
		&search);
}

}  // namespace

std::vector<int32> VSTPlugIn::FlavorChannels(int32 channels, bool canMono)
{
	if (channels == 1)
		return {1};
	if (channels % 2 == 1 || canMono)
		return {1, 2};
	return {2};
}

VSTPlugIn::VSTPlugIn(const char* path, int32 internalId)
{
	fPath = path != nullptr ? path : "";
	if (Load(fPath) != B_OK)
		return;
	LockImageInMemory(fPath);

	bool answered = false;
	fName = Cut(DispatchString(fEffect, effGetEffectName, 0, VST_NAME_LENGTH, &answered),
		VST_NAME_LENGTH);
	if (!answered || fName.empty())
		fName = Cut(Leaf(fPath), VST_NAME_LENGTH);
	BuildFlavor(internalId);
	fStatus = B_OK;
}

VSTPlugIn::VSTPlugIn(const VSTPlugIn& prototype, int)
	:
	fPath(prototype.fPath),
	fName(prototype.fName)
{
	if (Load(fPath) == B_OK)
		fStatus = B_OK;
}

VSTPlugIn::~VSTPlugIn()
{
	if (fOpen)
		close();
	else if (fEffect != nullptr)
		Dispatch(fEffect, effClose);  // the plug-in frees the effect
	fEffect = nullptr;
	if (fImage >= 0)
		unload_add_on(fImage);
}

status_t VSTPlugIn::Fail(status_t status, const std::string& text)
{
	fStatus = status;
	fError = text;
	if (fImage >= 0) {
		unload_add_on(fImage);
		fImage = -1;
	}
	fEffect = nullptr;
	return status;
}

status_t VSTPlugIn::Load(const std::string& path)
{
	image_id image = load_add_on(path.c_str());
	if (image < 0) {
		return Fail(B_FILE_NOT_FOUND,
			std::string("not a loadable shared object (") + image_error() + ")");
	}
	fImage = image;

	void* symbol = nullptr;
	status_t lookup = B_MISSING_SYMBOL;
	for (const char* name : kEntryNames) {
		lookup = get_image_symbol(image, name, B_SYMBOL_TYPE_TEXT, &symbol);
		if (lookup == B_OK && symbol != nullptr)
			break;
	}
	if (lookup != B_OK || symbol == nullptr) {
		return Fail(lookup != B_OK ? lookup : B_MISSING_SYMBOL,
			"no VST entry (main_plugin, VSTPluginMain or main)");
	}
	fEntry = reinterpret_cast<VstPluginEntry>(symbol);

	AEffect* effect = fEntry(&AudioMaster::callback);
	if (effect == nullptr)
		return Fail(B_ERROR, "the entry made no effect");
	if (effect->magic != kEffectMagic) {
		char text[80];
		snprintf(text, sizeof(text), "the effect has a bad magic number 0x%08" PRIx32,
			uint32(effect->magic));
		// Not an effect: nothing can be asked of it, not even to close.
		return Fail(B_BAD_DATA, text);
	}
	fEffect = effect;
	std::string broken;
	auto counted = [](const char* what, int32 count, int32 most) {
		if (count >= 0 && count <= most)
			return std::string();
		return "the effect claims " + std::to_string(count) + " " + what + "; ";
	};
	if (effect->dispatcher == nullptr)
		broken = "the effect has no dispatcher";
	else if (effect->setParameter == nullptr || effect->getParameter == nullptr)
		broken = "the effect has no parameter functions";
	else {
		broken = counted("inputs", effect->numInputs, kMaxChannels)
			+ counted("outputs", effect->numOutputs, kMaxChannels)
			+ counted("parameters", effect->numParams, kMaxParameters)
			+ counted("programs", effect->numPrograms, kMaxPrograms);
	}
	if (!broken.empty()) {
		if (effect->dispatcher != nullptr)
			Dispatch(effect, effClose);
		broken.resize(broken.size() - 2);
		return Fail(B_BAD_DATA, broken);
	}
	return B_OK;
}

void VSTPlugIn::BuildFlavor(int32 internalId)
{
	fFlavor = std::make_unique<VSTFlavorDescription>();
	fFlavor->name = fName;
	fFlavor->internalId = internalId;
	std::string vendor, product;
	if (getVendorString(&vendor) && getProductString(&product)) {
		fFlavor->info = Cut(product + "\n" + vendor, 128);
	} else {
		char text[64];
		snprintf(text, sizeof(text), "PlugIn for VST %.2f",
			double(std::max<intptr_t>(Dispatch(fEffect, effGetVstVersion), 1)));
		fFlavor->info = text;
	}
	fFlavor->consumer = fEffect->numInputs > 0;
	fFlavor->producer = fEffect->numOutputs > 0;
	fFlavor->inputChannels = FlavorChannels(fEffect->numInputs, canMono());
	fFlavor->outputChannels = FlavorChannels(fEffect->numOutputs, false);
}

std::unique_ptr<VSTPlugIn> VSTPlugIn::newInstance(std::string* error) const
{
	if (fStatus != B_OK) {
		if (error)
			*error = fError;
		return nullptr;
	}
	std::unique_ptr<VSTPlugIn> instance(new VSTPlugIn(*this, 0));
	if (instance->InitCheck() != B_OK) {
		if (error)
			*error = instance->ErrorText();
		return nullptr;
	}
	return instance;
}

status_t VSTPlugIn::open(port_id port)
{
	if (fStatus != B_OK || IsPrototype() || fOpen)
		return fStatus != B_OK ? fStatus : B_NOT_ALLOWED;
	if (AudioMaster::getInstance()->registerPlugIn(fEffect, port) != B_OK)
		return B_ERROR;
	fParameters.reserve(size_t(fEffect->numParams));
	for (int32 i = 0; i < fEffect->numParams; i++)
		fParameters.push_back(std::make_unique<VSTParameter>(fEffect, i));
	Dispatch(fEffect, effOpen);
	fOpen = true;
	return B_OK;
}

void VSTPlugIn::close()
{
	if (!fOpen)
		return;
	if (fResumed)
		suspend();
	fParameters.clear();
	AudioMaster::getInstance()->unregisterPlugIn(fEffect);
	Dispatch(fEffect, effClose);
	fEffect = nullptr;
	fOpen = false;
}

void VSTPlugIn::suspend()
{
	Dispatch(fEffect, effMainsChanged, 0, 0);
	fResumed = false;
}

void VSTPlugIn::resume()
{
	Dispatch(fEffect, effMainsChanged, 0, 1);
	fResumed = true;
}

void VSTPlugIn::setSampleRate(float rate)
{
	fSampleRate = rate;
	Dispatch(fEffect, effSetSampleRate, 0, 0, nullptr, rate);
	AudioMaster::getInstance()->setStreamFormat(fEffect, rate, 0);
}

void VSTPlugIn::setBlockSize(uint32 frames)
{
	fBlockSize = frames;
	Dispatch(fEffect, effSetBlockSize, 0, intptr_t(frames));
	AudioMaster::getInstance()->setStreamFormat(fEffect, 0, int32(frames));
}

void VSTPlugIn::process(float** in, float** out, int32 frames, bigtime_t time)
{
	if (fEffect == nullptr || frames <= 0)
		return;
	const int32 inputs = fEffect->numInputs;
	const int32 outputs = fEffect->numOutputs;
	if (fBypassState == 2 && fMuteState == 0) {
		for (int32 c = 0; c < outputs; c++) {
			if (inputs == 0)
				std::fill(out[c], out[c] + frames, 0.0f);
			else
				std::copy(in[inputs == outputs ? c : 0], in[inputs == outputs ? c : 0] + frames,
					out[c]);
		}
		return;
	}
	if ((fEffect->flags & effFlagsCanReplacing) && fEffect->processReplacing != nullptr) {
		fEffect->processReplacing(fEffect, in, out, frames);
	} else {
		for (int32 c = 0; c < outputs; c++)
			std::fill(out[c], out[c] + frames, 0.0f);
		if (fEffect->process != nullptr)
			fEffect->process(fEffect, in, out, frames);
	}
	// The level meter reported with `time` belongs to the editor window, not built here.
	(void)time;
	Fade(in, out, frames);
}

void VSTPlugIn::Fade(float** in, float** out, int32 frames)
{
	// A block shorter than the fade fades over the whole block.
	const int32 length = std::min(frames, int32(kFadeSamples));
	const float step = 1.0f / float(length);
	const int32 inputs = fEffect->numInputs;
	const int32 outputs = fEffect->numOutputs;
	const int32 tail = frames - length;

	if (fMuteState == 1 || fMuteState == 3) {
		const bool out1 = fMuteState == 1;
		for (int32 c = 0; c < outputs; c++) {
			float* samples = out[c] + (out1 ? tail : 0);
			for (int32 i = 0; i < length; i++)
				samples[i] *= out1 ? 1.0f - float(i) * step : float(i) * step;
		}
		fMuteState = out1 ? 2 : 0;
		return;
	}
	if (fBypassState != 1 && fBypassState != 3)
		return;
	const bool toDry = fBypassState == 1;
	const int32 start = toDry ? tail : 0;
	for (int32 c = 0; c < outputs; c++) {
		const float* dry = inputs == 0 ? nullptr : in[inputs == outputs ? c : 0] + start;
		float* wet = out[c] + start;
		for (int32 i = 0; i < length; i++) {
			const float g = toDry ? 1.0f - float(i) * step : float(i) * step;
			wet[i] = g * wet[i] + (1.0f - g) * (dry != nullptr ? dry[i] : 0.0f);
		}
	}
	fBypassState = toDry ? 2 : 0;
}

void VSTPlugIn::setBypass(bool on)
{
	// Asking again for what is already on its way changes nothing (a second fade would
	// blend the processed signal back in for a moment).
	if (on ? (fBypassState == 2 || fBypassState == 1 || fBypassState == -1)
			: fBypassState == 0)
		return;
	if (Dispatch(fEffect, effSetBypass, 0, on ? 1 : 0) != 0) {
		fBypassState = on ? -1 : 0;
		return;
	}
	if (on) {
		// A fade back to the processed signal not yet heard is simply dropped.
		fBypassState = fResumed && fBypassState != 3 ? 1 : 2;
	} else {
		fBypassState = fResumed && fBypassState != 1 && fBypassState != -1 ? 3 : 0;
	}
}

void VSTPlugIn::setMuted(bool on)
{
	if (on ? (fMuteState == 1 || fMuteState == 2) : (fMuteState == 0 || fMuteState == 3))
		return;
	if (on)
		fMuteState = fResumed && fMuteState != 3 ? 1 : 2;
	else
		fMuteState = fResumed && fMuteState != 1 ? 3 : 0;
}

VSTParameter* VSTPlugIn::ParameterAt(int32 index) const
{
	if (index < 0 || index >= int32(fParameters.size()))
		return nullptr;
	return fParameters[size_t(index)].get();
}

void VSTPlugIn::setParameterAt(int32 id, float value, int32 intValue)
{
	const int32 count = int32(fParameters.size());
	if (id < 0 || id > count + 1)
		return;
	if (id < count) {
		VSTParameter* parameter = fParameters[size_t(id)].get();
		if (parameter->IsDiscrete())
			parameter->setValue(intValue);
		else
			parameter->setValue(value);
	} else if (id == count) {
		setBypass(intValue != 0);
	} else {
		setMuted(intValue != 0);
	}
	updateEditor();
}

bool VSTPlugIn::getParameterAt(int32 id, float* value, int32* intValue)
{
	const int32 count = int32(fParameters.size());
	if (id < 0 || id > count + 1)
		return false;
	if (id < count) {
		VSTParameter* parameter = fParameters[size_t(id)].get();
		if (parameter->getValue(value))
			return true;
		parameter->getValue(intValue);
		return false;
	}
	if (id == count)
		*intValue = fBypassState == 2 || fBypassState == -1 ? 1 : 0;
	else
		*intValue = fMuteState == 2 ? 1 : 0;
	return false;
}

void VSTPlugIn::getParameterInfo(int32 index, std::string* name, std::string* label,
	std::string* display) const
{
	if (index < 0 || index >= CountParameters())
		return;
	if (name)
		*name = DispatchString(fEffect, effGetParamName, index);
	if (label)
		*label = DispatchString(fEffect, effGetParamLabel, index);
	if (display)
		*display = DispatchString(fEffect, effGetParamDisplay, index);
}

status_t VSTPlugIn::openEditor(BMessenger*)
{
	fprintf(stderr, "plugbridge: %s: editor windows are not available in this version\n",
		Name());
	return B_UNSUPPORTED;
}

void VSTPlugIn::updateEditor()
{
	// No editor window is ever open in this version.
}

bool VSTPlugIn::hasEditor() const
{
	return fEffect != nullptr && (fEffect->flags & effFlagsHasEditor) != 0;
}

bool VSTPlugIn::callIdle()
{
	return Dispatch(fEffect, effIdle) != 0;
}

bool VSTPlugIn::canRealtime() const
{
	char what[] = "noRealTime";
	return Dispatch(fEffect, effCanDo, 0, 0, what) <= 0;
}

bool VSTPlugIn::canMono() const
{
	return fEffect != nullptr && (fEffect->flags & effFlagsCanMono) != 0;
}

int32 VSTPlugIn::getCategory() const
{
	return int32(Dispatch(fEffect, effGetPlugCategory));
}

int32 VSTPlugIn::getVersion() const
{
	return int32(std::max<intptr_t>(Dispatch(fEffect, effGetVstVersion), 1) * 100);
}

bool VSTPlugIn::getVendorString(std::string* vendor) const
{
	bool answered = false;
	*vendor = Cut(DispatchString(fEffect, effGetVendorString, 0, VST_VENDOR_STRING_LENGTH,
		&answered), VST_VENDOR_STRING_LENGTH);
	return answered;
}

bool VSTPlugIn::getProductString(std::string* product) const
{
	bool answered = false;
	*product = Cut(DispatchString(fEffect, effGetProductString, 0, VST_PRODUCT_STRING_LENGTH,
		&answered), VST_PRODUCT_STRING_LENGTH);
	return answered;
}

bool VSTPlugIn::GetPin(int32 opcode, int32 index, const char* kind, std::string* name,
	int32* flags) const
{
	const int32 channels = opcode == effGetInputProperties ? CountInputs() : CountOutputs();
	if (index < 0 || index >= channels)
		return false;
	VstPinProperties pin;
	memset(&pin, 0, sizeof(pin));
	if (Dispatch(fEffect, opcode, index, 0, &pin) != 0) {
		*name = std::string(pin.label, strnlen(pin.label, sizeof(pin.label)));
		*flags = pin.flags;
		return true;
	}
	*name = fName + " " + kind;
	if (channels > 1)
		*name += " " + std::to_string(index + 1);
	*flags = kVstPinIsActive;
	return true;
}

bool VSTPlugIn::getInputAt(int32 index, std::string* name, int32* flags) const
{
	return GetPin(effGetInputProperties, index, "Input", name, flags);
}

bool VSTPlugIn::getOutputAt(int32 index, std::string* name, int32* flags) const
{
	return GetPin(effGetOutputProperties, index, "Output", name, flags);
}

void VSTPlugIn::setProgram(int32 program)
{
	Dispatch(fEffect, effSetProgram, 0, program);
}

int32 VSTPlugIn::getProgram() const
{
	return int32(Dispatch(fEffect, effGetProgram));
}

void VSTPlugIn::getProgramAt(int32 index, std::string* name)
{
	if (name == nullptr)
		return;
	// Asked by index first: selecting another program to read its name would reload the
	// parameters of the current one and lose unsaved edits in some plug-ins.
	char buffer[kVstStringBufferSize * 4] = {};
	if (Dispatch(fEffect, effGetProgramNameIndexed, index, -1, buffer) != 0) {
		buffer[sizeof(buffer) - 1] = '\0';
		*name = buffer;
		return;
	}
	const int32 current = getProgram();
	setProgram(index);
	*name = DispatchString(fEffect, effGetProgramName);
	setProgram(current);
}

int32 VSTPlugIn::getTailSize() const
{
	return int32(Dispatch(fEffect, effGetTailSize));
}
