#include "midi/Synth.h"

#include <fluidsynth.h>
#include <jack/jack.h>

#include <cstdio>
#include <filesystem>
#include <mutex>

struct BSynth::Fluid {
	fluid_settings_t* settings = nullptr;
	fluid_synth_t* synth = nullptr;
	fluid_audio_driver_t* driver = nullptr;  // guarded by BSynth::fLock
	int soundFont = -1;                      // guarded by BSynth::fLock

	~Fluid()
	{
		if (driver != nullptr)
			delete_fluid_audio_driver(driver);
		if (synth != nullptr)
			delete_fluid_synth(synth);
		if (settings != nullptr)
			delete_fluid_settings(settings);
	}
};

namespace {

// FluidSynth's messages: kept for our own error texts instead of printed.
thread_local std::string tFluidMessage;

void KeepFluidMessage(int /*level*/, const char* message, void* /*data*/)
{
	tFluidMessage = message != nullptr ? message : "";
}

void QuietFluid()
{
	static std::once_flag once;
	std::call_once(once, [] {
		for (int level : {FLUID_PANIC, FLUID_ERR, FLUID_WARN, FLUID_INFO, FLUID_DBG})
			fluid_set_log_function(level, KeepFluidMessage, nullptr);
	});
}

void QuietJackMessage(const char*) {}

void PrintJackMessage(const char* message)
{
	std::fprintf(stderr, "%s\n", message);
}

// Whether a JACK server answers, without starting one (and without libjack's complaint
// on standard error when none does).
bool JackServerRuns()
{
	jack_status_t status;
	jack_set_error_function(QuietJackMessage);
	jack_client_t* client = jack_client_open("synth-probe", JackNoStartServer, &status);
	jack_set_error_function(PrintJackMessage);
	if (client == nullptr)
		return false;
	jack_client_close(client);
	return true;
}

}  // namespace

BSynth::BSynth(int32 samplingRate)
	:
	fRate(samplingRate > 0 ? samplingRate : 44100)
{
	QuietFluid();
	auto fluid = std::make_unique<Fluid>();
	fluid->settings = new_fluid_settings();
	if (fluid->settings == nullptr) {
		fError = "FluidSynth could not start";
		return;
	}
	fluid_settings_setnum(fluid->settings, "synth.sample-rate", fRate);
	fluid->synth = new_fluid_synth(fluid->settings);
	if (fluid->synth == nullptr) {
		fError = "FluidSynth could not start: " + tFluidMessage;
		return;
	}
	fFluid = std::move(fluid);
}

BSynth::~BSynth()
{
	StopAudio();
}

status_t BSynth::InitCheck() const
{
	return fFluid != nullptr ? B_OK : B_NO_MEMORY;
}

fluid_synth_t* BSynth::Engine() const
{
	return fFluid != nullptr ? fFluid->synth : nullptr;
}

status_t BSynth::Fail(status_t status, const std::string& message)
{
	std::lock_guard<std::mutex> guard(fLock);
	fError = message;
	return status;
}

status_t BSynth::LoadSynthData(const char* path)
{
	if (fFluid == nullptr)
		return Fail(B_NO_MEMORY, "FluidSynth is not running");
	if (path == nullptr || *path == '\0')
		return Fail(B_BAD_VALUE, "no SoundFont named");
	std::error_code error;
	if (!std::filesystem::is_regular_file(path, error))
		return Fail(B_ENTRY_NOT_FOUND, std::string(path) + ": no such SoundFont file");
	std::lock_guard<std::mutex> guard(fLock);
	tFluidMessage.clear();
	const int id = fluid_synth_sfload(fFluid->synth, path, 1);
	if (id == FLUID_FAILED) {
		fError = std::string(path) + ": not a SoundFont FluidSynth can load"
			+ (tFluidMessage.empty() ? std::string() : " (" + tFluidMessage + ")");
		return B_BAD_VALUE;
	}
	if (fFluid->soundFont >= 0)
		fluid_synth_sfunload(fFluid->synth, fFluid->soundFont, 1);
	fFluid->soundFont = id;
	fPath = path;
	return B_OK;
}

void BSynth::Unload()
{
	std::lock_guard<std::mutex> guard(fLock);
	if (fFluid != nullptr && fFluid->soundFont >= 0) {
		fluid_synth_sfunload(fFluid->synth, fFluid->soundFont, 1);
		fFluid->soundFont = -1;
	}
	fPath.clear();
}

bool BSynth::IsLoaded() const
{
	std::lock_guard<std::mutex> guard(fLock);
	return fFluid != nullptr && fFluid->soundFont >= 0;
}

std::string BSynth::SynthDataPath() const
{
	std::lock_guard<std::mutex> guard(fLock);
	return fPath;
}

status_t BSynth::StartAudio(const char* driver, const char* clientName)
{
	if (fFluid == nullptr)
		return Fail(B_NO_MEMORY, "FluidSynth is not running");
	std::lock_guard<std::mutex> guard(fLock);
	if (fFluid->driver != nullptr)
		return B_OK;
	const bool jack = JackServerRuns();
	std::string tried;
	for (const char* name : {"jack", "pulseaudio", "alsa"}) {
		if (driver != nullptr)
			name = driver;
		// JACK's library would start a server of its own where none runs.
		if (std::string(name) == "jack" && !jack) {
			tried += std::string(tried.empty() ? "" : "; ") + "jack: no JACK server runs";
		} else {
			fluid_settings_setstr(fFluid->settings, "audio.driver", name);
			fluid_settings_setstr(fFluid->settings, "audio.jack.id",
				clientName != nullptr ? clientName : "Synth");
			fluid_settings_setint(fFluid->settings, "audio.jack.autoconnect", 1);
			tFluidMessage.clear();
			fFluid->driver = new_fluid_audio_driver(fFluid->settings, fFluid->synth);
			if (fFluid->driver != nullptr)
				return B_OK;
			tried += std::string(tried.empty() ? "" : "; ") + name + ": "
				+ (tFluidMessage.empty() ? "did not open" : tFluidMessage);
		}
		if (driver != nullptr)
			break;
	}
	fError = "no audio output for the synthesizer (" + tried + ")";
	return B_ERROR;
}

void BSynth::StopAudio()
{
	std::lock_guard<std::mutex> guard(fLock);
	if (fFluid != nullptr && fFluid->driver != nullptr) {
		delete_fluid_audio_driver(fFluid->driver);
		fFluid->driver = nullptr;
	}
}

bool BSynth::IsPlaying() const
{
	std::lock_guard<std::mutex> guard(fLock);
	return fFluid != nullptr && fFluid->driver != nullptr;
}

status_t BSynth::Render(float* left, float* right, int32 frames)
{
	if (fFluid == nullptr)
		return B_NO_MEMORY;
	if (left == nullptr || right == nullptr || frames < 0)
		return B_BAD_VALUE;
	std::lock_guard<std::mutex> guard(fLock);
	if (fFluid->driver != nullptr)
		return B_NOT_ALLOWED;
	return fluid_synth_write_float(fFluid->synth, frames, left, 0, 1, right, 0, 1) == FLUID_OK
		? B_OK : B_ERROR;
}

std::string BSynth::LastError() const
{
	std::lock_guard<std::mutex> guard(fLock);
	return fError;
}

std::string BSynth::DefaultSoundFont()
{
	for (const char* path : {"/usr/share/sounds/sf2/default-GM.sf2",
			"/usr/share/sounds/sf2/TimGM6mb.sf2", "/usr/share/sounds/sf2/FluidR3_GM.sf2"}) {
		std::error_code error;
		if (std::filesystem::is_regular_file(path, error))
			return path;
	}
	return "";
}
