// plugbridge process PLUGIN IN OUT [--param NAME|INDEX=VALUE]... [--program N] [--bypass]
//   [--mute] [--block FRAMES] [--float]

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "catalog/Preferences.h"
#include "cli/CommandLine.h"
#include "kernel/OS.h"
#include "media/MediaRoster.h"
#include "media/PlatformNodes.h"
#include "media/SoundFileReader.h"
#include "node/VSTEffectNode.h"
#include "vst/VSTPlugIn.h"

namespace {

const char kUsage[] =
	"usage: plugbridge process PLUGIN IN OUT [--param NAME|INDEX=VALUE]... [--program N]\n"
	"                          [--bypass] [--mute] [--block FRAMES] [--float]\n"
	"\n"
	"Runs the sound file IN through a VST plug-in and writes the result to the WAV file\n"
	"OUT, as fast as the plug-in runs: a file reader, the plug-in's node and a file writer\n"
	"connected through the media roster. PLUGIN is a plug-in file, or the name of a file in\n"
	"the plug-in directory of the settings. A progress bar shows on a terminal.\n"
	"\n"
	"  --param NAME=VALUE   sets a parameter (by name or index) before processing: a\n"
	"                       number within the parameter's range, or for a switch one of\n"
	"                       its settings by number or by its text ('plugbridge list'\n"
	"                       shows them)\n"
	"  --program N          selects program N first\n"
	"  --bypass             the plug-in is bypassed (the input passes unchanged)\n"
	"  --mute               the node is muted: it sends nothing, so OUT holds no frames\n"
	"  --block FRAMES       frames per buffer (16 to 8192, default 512)\n"
	"  --float              32-bit float samples in OUT (default: 16-bit)\n";

struct Options {
	std::string plugIn, in, out;
	std::vector<std::string> parameters;
	int32 program = -1;
	bool bypass = false;
	bool mute = false;
	bool floatOutput = false;
	uint32 block = VSTEffectNode::VST_PREFERRED_BUFFER_SIZE;
};

bool ParseInteger(const char* text, long low, long high, long* value)
{
	char* end = nullptr;
	errno = 0;
	*value = strtol(text, &end, 10);
	return end != text && *end == '\0' && errno == 0 && *value >= low && *value <= high;
}

// Releases a node reference on every way out.
struct NodeReference {
	media_node node;
	~NodeReference()
	{
		if (node.node >= 0)
			BMediaRoster::Roster()->ReleaseNode(node);
	}
};

// The value bytes for a --param setting, or an error text.
bool ParameterValue(VSTPlugIn& plugIn, const std::string& setting, int32* id, float* real,
	int32* integer, bool* discrete, std::string* error)
{
	const size_t equals = setting.find('=');
	if (equals == std::string::npos || equals == 0) {
		*error = "--param needs NAME=VALUE or INDEX=VALUE, not '" + setting + "'";
		return false;
	}
	const std::string key = setting.substr(0, equals);
	const std::string text = setting.substr(equals + 1);
	VSTParameter* parameter = nullptr;
	long index;
	if (ParseInteger(key.c_str(), 0, plugIn.CountParameters() - 1, &index))
		parameter = plugIn.ParameterAt(int32(index));
	for (int32 i = 0; parameter == nullptr && i < plugIn.CountParameters(); i++) {
		if (plugIn.ParameterAt(i)->Name() == key)
			parameter = plugIn.ParameterAt(i);
	}
	if (parameter == nullptr) {
		*error = "the plug-in has no parameter '" + key + "'";
		return false;
	}
	*id = parameter->Index();
	*discrete = parameter->IsDiscrete();
	if (parameter->IsDiscrete()) {
		std::vector<VSTParameter::Item> items = parameter->DiscreteItems();
		for (size_t i = 0; i < items.size(); i++) {
			if (items[i].label == text) {
				*integer = items[i].value;
				return true;
			}
		}
		long value;
		const long last = items.empty() ? 0 : items.back().value;
		if (!ParseInteger(text.c_str(), 0, last, &value)) {
			*error = "'" + text + "' is not a setting of " + parameter->Name() + " (0 to "
				+ std::to_string(last) + ", or its text)";
			return false;
		}
		*integer = int32(value);
		return true;
	}
	char* end = nullptr;
	const double value = strtod(text.c_str(), &end);
	if (end == text.c_str() || *end != '\0' || !std::isfinite(value)
		|| value < parameter->Minimum() || value > parameter->Maximum()) {
		char range[96];
		snprintf(range, sizeof(range), "%g to %g", double(parameter->Minimum()),
			double(parameter->Maximum()));
		*error = "'" + text + "' is not a value of " + parameter->Name() + " (" + range + ")";
		return false;
	}
	*real = float(value);
	return true;
}

void DrawProgress(double fraction)
{
	const int width = 40;
	const int filled = int(std::lround(std::clamp(fraction, 0.0, 1.0) * width));
	fprintf(stderr, "\r[%.*s%.*s] %3d%%", filled, "########################################",
		width - filled, "                                        ", int(fraction * 100 + 0.5));
	fflush(stderr);
}

int Fail(std::ostream& err, const std::string& text)
{
	err << "plugbridge: " << text << "\n";
	return kExitFailure;
}

}  // namespace

int RunProcessCommand(int argc, const char* const* argv, std::ostream& out, std::ostream& err)
{
	Options options;
	std::vector<std::string> positional;
	for (int i = 0; i < argc; i++) {
		const std::string argument = argv[i];
		auto next = [&](const char* what) -> const char* {
			if (i + 1 >= argc) {
				err << "plugbridge: " << argument << " needs " << what << "\n";
				return nullptr;
			}
			return argv[++i];
		};
		long value;
		if (argument == "-h" || argument == "--help") {
			out << kUsage;
			return kExitOk;
		} else if (argument == "--param") {
			const char* setting = next("NAME=VALUE");
			if (setting == nullptr)
				return kExitUsage;
			options.parameters.push_back(setting);
		} else if (argument == "--program") {
			const char* text = next("a program number");
			if (text == nullptr)
				return kExitUsage;
			if (!ParseInteger(text, 0, VSTPlugIn::kMaxPrograms, &value)) {
				err << "plugbridge: --program needs a program number, not '" << text << "'\n";
				return kExitUsage;
			}
			options.program = int32(value);
		} else if (argument == "--block") {
			const char* text = next("a number of frames");
			if (text == nullptr)
				return kExitUsage;
			if (!ParseInteger(text, 16, 8192, &value)) {
				err << "plugbridge: --block needs 16 to 8192 frames, not '" << text << "'\n";
				return kExitUsage;
			}
			options.block = uint32(value);
		} else if (argument == "--bypass") {
			options.bypass = true;
		} else if (argument == "--mute") {
			options.mute = true;
		} else if (argument == "--float") {
			options.floatOutput = true;
		} else if (argument.size() > 1 && argument[0] == '-') {
			err << "plugbridge: process: unknown option '" << argument << "'\n" << kUsage;
			return kExitUsage;
		} else {
			positional.push_back(argument);
		}
	}
	if (positional.size() != 3) {
		err << "plugbridge: process needs PLUGIN IN OUT\n" << kUsage;
		return kExitUsage;
	}
	options.plugIn = positional[0];
	options.in = positional[1];
	options.out = positional[2];
	if (options.plugIn.find('/') == std::string::npos && access(options.plugIn.c_str(), F_OK) != 0)
		options.plugIn = Preferences::getInstance()->getPath() + "/" + options.plugIn;

	// The plug-in, made into a node.
	VSTPlugIn prototype(options.plugIn.c_str(), 0);
	if (prototype.InitCheck() != B_OK) {
		return Fail(err, options.plugIn + " is not a usable VST plug-in: "
			+ prototype.ErrorText());
	}
	if (prototype.CountInputs() == 0 || prototype.CountOutputs() == 0)
		return Fail(err, std::string(prototype.Name()) + " has no audio input or output");
	std::string reason;
	std::unique_ptr<VSTPlugIn> instance = prototype.newInstance(&reason);
	if (!instance)
		return Fail(err, std::string(prototype.Name()) + ": " + reason);
	BMediaRoster* roster = BMediaRoster::Roster();
	auto* effect = new VSTEffectNode(nullptr, prototype.Name(), std::move(instance));
	NodeReference effectReference{media_node::null};
	if (status_t status = roster->RegisterNode(effect); status != B_OK) {
		effect->Release();
		return Fail(err, std::string("cannot register the node: ") + media_strerror(status));
	}
	effectReference.node = effect->Node();
	VSTPlugIn& plugIn = *effect->PlugIn();

	// Settings, before anything flows (the node's thread is idle until connected).
	if (options.program >= 0) {
		if (options.program >= plugIn.CountPrograms()) {
			return Fail(err, std::string(prototype.Name()) + " has "
				+ std::to_string(plugIn.CountPrograms()) + " programs; there is no program "
				+ std::to_string(options.program));
		}
		plugIn.setProgram(options.program);
	}
	for (const std::string& setting : options.parameters) {
		int32 id = 0, integer = 0;
		float real = 0;
		bool discrete = false;
		std::string problem;
		if (!ParameterValue(plugIn, setting, &id, &real, &integer, &discrete, &problem))
			return Fail(err, problem);
		if (discrete)
			roster->SetParameterValue(effect->Node(), id, &integer, sizeof(integer), 0);
		else
			roster->SetParameterValue(effect->Node(), id, &real, sizeof(real), 0);
	}
	const int32 on = 1;
	if (options.bypass) {
		roster->SetParameterValue(effect->Node(), plugIn.CountParameters(), &on, sizeof(on),
			0);
	}
	if (options.mute) {
		roster->SetParameterValue(effect->Node(), plugIn.CountParameters() + 1, &on,
			sizeof(on), 0);
	}

	// What the input holds (the reader node reads it again as the stream).
	SoundFileReader probe;
	if (probe.Open(options.in) != B_OK)
		return Fail(err, "cannot read " + options.in + ": " + probe.ErrorText());
	const uint32 channels = uint32(probe.Channels());
	const float rate = float(probe.SampleRate());
	const double totalFrames = double(probe.Frames());
	probe.Close();

	// The file reader and writer.
	auto* reader = new SoundFileReaderNode();
	NodeReference readerReference{media_node::null};
	roster->RegisterNode(reader);
	readerReference.node = reader->Node();
	bigtime_t duration = 0;
	if (status_t status = roster->SetRefFor(reader->Node(), entry_ref(options.in.c_str()), false,
			&duration); status != B_OK) {
		return Fail(err, "cannot read " + options.in + ": " + media_strerror(status));
	}
	auto* writer = new SoundFileWriterNode();
	NodeReference writerReference{media_node::null};
	roster->RegisterNode(writer);
	writerReference.node = writer->Node();
	if (options.floatOutput)
		writer->SetFileSampleFormat(media_raw_audio_format::B_AUDIO_FLOAT);
	if (status_t status = roster->SetRefFor(writer->Node(), entry_ref(options.out.c_str()), true,
			nullptr); status != B_OK) {
		return Fail(err, "cannot write " + options.out + ": " + media_strerror(status));
	}
	for (const media_node& node : {reader->Node(), effect->Node(), writer->Node()})
		roster->SetRunModeFor(node, B_OFFLINE);

	// reader → plug-in → writer.
	media_output readerOutput;
	int32 count = 0;
	if (roster->GetFreeOutputsFor(reader->Node(), &readerOutput, 1, &count) != B_OK || count < 1)
		return Fail(err, "the file reader offers no output");
	media_input inputs[2];
	roster->GetFreeInputsFor(effect->Node(), inputs, 2, &count);
	const media_input* input = nullptr;
	for (int32 i = 0; i < std::min(count, int32(2)); i++) {
		if (inputs[i].format.u.raw_audio.channel_count == channels)
			input = &inputs[i];
	}
	if (input == nullptr) {
		return Fail(err, std::string(prototype.Name()) + " takes "
			+ (plugIn.CountInputs() == 1 ? "mono" : plugIn.canMono() ? "mono or stereo" : "stereo")
			+ " input; " + options.in + " has " + std::to_string(channels) + " channels");
	}
	media_format format = media_format::RawAudioFormat();
	format.u.raw_audio.format = media_raw_audio_format::B_AUDIO_FLOAT;
	format.u.raw_audio.channel_count = channels;
	format.u.raw_audio.frame_rate = rate;
	format.u.raw_audio.byte_order = B_MEDIA_HOST_ENDIAN;
	format.u.raw_audio.buffer_size = options.block * sizeof(float) * channels;
	media_output connectedOutput;
	media_input connectedInput;
	if (status_t status = roster->Connect(readerOutput.source, input->destination, &format,
			&connectedOutput, &connectedInput); status != B_OK) {
		return Fail(err, std::string("cannot connect the file reader to the plug-in: ")
			+ media_strerror(status));
	}
	media_output effectOutput;
	media_input writerInput;
	if (roster->GetFreeOutputsFor(effect->Node(), &effectOutput, 1, &count) != B_OK || count < 1
		|| roster->GetFreeInputsFor(writer->Node(), &writerInput, 1, &count) != B_OK
		|| count < 1)
		return Fail(err, "the plug-in's output cannot reach the file writer");
	const uint32 outChannels = effectOutput.format.u.raw_audio.channel_count;
	format.u.raw_audio.channel_count = outChannels;
	format.u.raw_audio.buffer_size = options.block * sizeof(float) * outChannels;
	media_output writerSource;
	media_input writerDestination;
	if (status_t status = roster->Connect(effectOutput.source, writerInput.destination, &format,
			&writerSource, &writerDestination); status != B_OK) {
		return Fail(err, std::string("cannot connect the plug-in to the file writer: ")
			+ media_strerror(status));
	}

	const bigtime_t started = system_time();
	roster->StartNode(writer->Node(), 0);
	roster->StartNode(effect->Node(), 0);
	roster->StartNode(reader->Node(), 0);
	const bool terminal = isatty(STDERR_FILENO);
	int64 lastFrames = -1;
	bigtime_t lastChange = system_time();
	status_t status;
	while ((status = writer->WaitForCommit(100000)) == B_TIMED_OUT) {
		const int64 frames = effect->FramesProcessed();
		if (terminal && totalFrames > 0)
			DrawProgress(double(frames) / totalFrames);
		if (frames != lastFrames) {
			lastFrames = frames;
			lastChange = system_time();
		} else if (system_time() - lastChange > 60000000) {
			if (terminal)
				fprintf(stderr, "\n");
			return Fail(err, "processing stopped: nothing came through for a minute");
		}
	}
	const double seconds = double(system_time() - started) / 1e6;
	if (terminal) {
		DrawProgress(1.0);
		fprintf(stderr, "\n");
	}
	roster->StopNode(reader->Node(), 0, true);
	roster->StopNode(effect->Node(), 0, true);
	roster->StopNode(writer->Node(), 0, true);
	roster->Disconnect(connectedOutput, connectedInput);
	roster->Disconnect(writerSource, writerDestination);
	if (status != B_OK)
		return Fail(err, "cannot write " + options.out + ": " + media_strerror(status));

	const double audio = double(effect->FramesProcessed()) / rate;
	char summary[160];
	snprintf(summary, sizeof(summary),
		"%s: %.2f s of audio through %s in %.2f s (%.1f × real time)\n", options.out.c_str(),
		audio, prototype.Name(), seconds, seconds > 0 ? audio / seconds : 0.0);
	out << summary;
	return kExitOk;
}
