#include "MediaHost.h"

#if SUITE_HAVE_JACK_SERVICE
#include "jack/JackService.h"
#endif
#include "kernel/OS.h"
#include "media/DeviceNodes.h"
#include "media/MediaAddOn.h"
#include "media/MediaRoster.h"
#include "media/ParameterWeb.h"
#include "media/TimeSource.h"

#include <semaphore.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ostream>
#include <sstream>

namespace {

sem_t gInterrupted;
bool gInterruptReady = [] {
	sem_init(&gInterrupted, 0, 0);
	return true;
}();

const char kUsage[] =
	"usage: mediahost COMMAND ADDON.so [options]\n"
	"\n"
	"Loads a media add-on (a shared library with make_media_addon) and uses its flavors.\n"
	"\n"
	"commands:\n"
	"  flavors ADDON.so                 list the flavors with their kinds and formats\n"
	"  params ADDON.so [--flavor N|NAME]  print the parameter web of a flavor's node\n"
	"  run ADDON.so [--flavor N|NAME] [--in PORT]... [--out PORT]... [--param ID=VALUE]...\n"
	"      [--name CLIENT]              run a node of the flavor as a JACK client until\n"
	"                                   interrupted: ports in_1.. feed its input, its\n"
	"                                   output plays on out_1..; --in and --out connect\n"
	"                                   them to other programs' ports, in order\n"
	"\n"
	"The first flavor is used unless --flavor names another (by number or name).\n";

struct Options {
	std::string command;
	std::string addOn;
	std::string flavor;
	std::vector<std::string> inputs;
	std::vector<std::string> outputs;
	std::vector<std::pair<int32, std::string>> parameters;
	std::string clientName = "mediahost";
	bool help = false;
};

int Usage(std::ostream& err, const std::string& problem)
{
	err << "mediahost: " << problem << "\n(mediahost --help tells how to use it)\n";
	return 2;
}

int Fail(std::ostream& err, const std::string& problem)
{
	// One write: libjack prints on the same stream from its own threads.
	err << ("mediahost: " + problem + "\n") << std::flush;
	return 1;
}

bool Parse(const std::vector<std::string>& args, Options& options, std::string& problem)
{
	for (size_t i = 0; i < args.size(); i++) {
		const std::string& a = args[i];
		auto value = [&](std::string& into) {
			if (i + 1 >= args.size()) {
				problem = a + " needs a value";
				return false;
			}
			into = args[++i];
			return true;
		};
		if (a == "--help" || a == "-h") {
			options.help = true;
		} else if (a == "--flavor") {
			if (!value(options.flavor))
				return false;
		} else if (a == "--in" || a == "--out") {
			std::string port;
			if (!value(port))
				return false;
			(a == "--in" ? options.inputs : options.outputs).push_back(port);
		} else if (a == "--name") {
			if (!value(options.clientName))
				return false;
		} else if (a == "--param") {
			std::string setting;
			if (!value(setting))
				return false;
			size_t equals = setting.find('=');
			char* end = nullptr;
			long id = equals == std::string::npos ? 0 : std::strtol(setting.c_str(), &end, 10);
			if (equals == std::string::npos || end != setting.c_str() + equals || equals == 0
				|| equals + 1 == setting.size()) {
				problem = "--param wants ID=VALUE, not '" + setting + "'";
				return false;
			}
			options.parameters.emplace_back(int32(id), setting.substr(equals + 1));
		} else if (!a.empty() && a[0] == '-') {
			problem = "unknown option " + a;
			return false;
		} else if (options.command.empty()) {
			options.command = a;
		} else if (options.addOn.empty()) {
			options.addOn = a;
		} else {
			problem = "unexpected argument '" + a + "'";
			return false;
		}
	}
	return true;
}

std::string Kinds(uint64 kinds)
{
	std::string text;
	auto add = [&](uint64 bit, const char* name) {
		if ((kinds & bit) == 0)
			return;
		if (!text.empty())
			text += ", ";
		text += name;
	};
	add(B_BUFFER_PRODUCER, "producer");
	add(B_BUFFER_CONSUMER, "consumer");
	add(B_CONTROLLABLE, "controllable");
	add(B_FILE_INTERFACE, "file interface");
	add(B_TIME_SOURCE, "time source");
	add(B_PHYSICAL_INPUT, "physical input");
	add(B_PHYSICAL_OUTPUT, "physical output");
	return text.empty() ? "none" : text;
}

std::string FormatText(const media_format& format)
{
	char text[200];
	string_for_format(format, text, sizeof(text));
	return text;
}

// The add-on and the flavor the options name.
struct Loaded {
	BMediaAddOn* addOn = nullptr;
	const flavor_info* flavor = nullptr;
};

int Load(const Options& options, bool needFlavor, Loaded& loaded, std::ostream& err)
{
	BMediaRoster* roster = BMediaRoster::Roster();
	media_addon_id id;
	status_t status = roster->LoadAddOn(options.addOn.c_str(), &id);
	if (status != B_OK)
		return Fail(err, std::string(roster->LastAddOnError()));
	loaded.addOn = roster->AddOnFor(id);
	if (!needFlavor)
		return 0;
	int32 count = loaded.addOn->CountFlavors();
	if (count <= 0)
		return Fail(err, options.addOn + " offers no flavors");
	char* end = nullptr;
	long number = options.flavor.empty() ? 0 : std::strtol(options.flavor.c_str(), &end, 10);
	bool byNumber = options.flavor.empty() || (end != nullptr && *end == '\0');
	for (int32 i = 0; i < count; i++) {
		const flavor_info* info = nullptr;
		if (loaded.addOn->GetFlavorAt(i, &info) != B_OK || info == nullptr)
			continue;
		if ((byNumber && i == number)
			|| (!byNumber && info->name != nullptr && options.flavor == info->name)) {
			loaded.flavor = info;
			return 0;
		}
	}
	return Usage(err, "no flavor '" + options.flavor + "' in " + options.addOn + " (it has "
		+ std::to_string(count) + "; mediahost flavors lists them)");
}

int Flavors(const Options& options, std::ostream& out, std::ostream& err)
{
	Loaded loaded;
	if (int status = Load(options, false, loaded, err))
		return status;
	int32 count = loaded.addOn->CountFlavors();
	for (int32 i = 0; i < count; i++) {
		const flavor_info* info = nullptr;
		if (loaded.addOn->GetFlavorAt(i, &info) != B_OK || info == nullptr)
			continue;
		out << i << ": " << (info->name != nullptr ? info->name : "") << "\n";
		if (info->info != nullptr && info->info[0] != '\0')
			out << "   " << info->info << "\n";
		out << "   kinds: " << Kinds(info->kinds) << "\n";
		for (int32 k = 0; k < info->in_format_count && info->in_formats != nullptr; k++)
			out << "   input: " << FormatText(info->in_formats[k]) << "\n";
		for (int32 k = 0; k < info->out_format_count && info->out_formats != nullptr; k++)
			out << "   output: " << FormatText(info->out_formats[k]) << "\n";
	}
	if (count == 0)
		out << "(no flavors)\n";
	return 0;
}

// Instantiates the flavor's node and registers it.
BMediaNode* MakeNode(const Loaded& loaded, std::ostream& err)
{
	status_t status = B_OK;
	BMediaNode* node = loaded.addOn->InstantiateNodeFor(loaded.flavor, nullptr, &status);
	if (node == nullptr) {
		Fail(err, std::string("the add-on could not make a node of ") + loaded.flavor->name
			+ ": " + media_strerror(status != B_OK ? status : B_ERROR));
		return nullptr;
	}
	if (node->ID() < 0 && (status = BMediaRoster::Roster()->RegisterNode(node)) != B_OK) {
		Fail(err, std::string("cannot register the node: ") + media_strerror(status));
		node->Release();
		return nullptr;
	}
	return node;
}

void PrintGroup(const BParameterGroup* group, const std::string& indent, std::ostream& out)
{
	out << indent << group->Name() << "\n";
	for (int32 i = 0; i < group->CountParameters(); i++) {
		const BParameter* p = group->ParameterAt(i);
		out << indent << "  " << p->ID() << "  " << p->Name();
		if (p->Type() == B_CONTINUOUS_PARAMETER) {
			auto* c = static_cast<const BContinuousParameter*>(p);
			out << "  continuous " << c->MinValue() << " .. " << c->MaxValue();
			if (p->Unit()[0] != '\0')
				out << " " << p->Unit();
		} else if (p->Type() == B_DISCRETE_PARAMETER) {
			auto* d = static_cast<const BDiscreteParameter*>(p);
			out << "  discrete";
			for (int32 k = 0; k < d->CountItems(); k++)
				out << (k == 0 ? ": " : ", ") << d->ItemValueAt(k) << "=" << d->ItemNameAt(k);
		} else {
			out << "  label";
		}
		if (p->Type() != B_NULL_PARAMETER) {
			char value[64] = {};
			size_t size = sizeof(value);
			if (const_cast<BParameter*>(p)->GetValue(value, &size, nullptr) == B_OK
				&& size >= 4) {
				if (p->Type() == B_CONTINUOUS_PARAMETER) {
					float f;
					std::memcpy(&f, value, sizeof(f));
					out << "  (now " << f << ")";
				} else {
					int32 n;
					std::memcpy(&n, value, sizeof(n));
					out << "  (now " << n << ")";
				}
			}
		}
		out << "\n";
	}
	for (int32 i = 0; i < group->CountGroups(); i++)
		PrintGroup(group->GroupAt(i), indent + "  ", out);
}

int Params(const Options& options, std::ostream& out, std::ostream& err)
{
	Loaded loaded;
	if (int status = Load(options, true, loaded, err))
		return status;
	BMediaNode* node = MakeNode(loaded, err);
	if (node == nullptr)
		return 1;
	BParameterWeb* web = nullptr;
	if (BMediaRoster::Roster()->GetParameterWebFor(node->Node(), &web) != B_OK) {
		out << loaded.flavor->name << ": no parameters\n";
	} else {
		for (int32 i = 0; i < web->CountGroups(); i++)
			PrintGroup(web->GroupAt(i), "", out);
		if (web->CountGroups() == 0)
			out << loaded.flavor->name << ": no parameters\n";
		delete web;
	}
	node->Release();
	return 0;
}

#if !SUITE_HAVE_JACK_SERVICE
int Run(const Options&, std::ostream&, std::ostream& err)
{
	return Fail(err, "cannot reach a JACK server: this build has no JACK service");
}
#else
// A bridge between the node's connection points and JACK ports.
struct Bridge {
	std::vector<BMediaNode*> nodes;   // sources and sinks we made (references)
	~Bridge()
	{
		for (BMediaNode* node : nodes)
			node->Release();
	}
};

// JACK's shutdown hook: wakes the run.
void ServerGone(void*)
{
	sem_post(&gInterrupted);
}

uint32 ChannelsOf(const media_format& format)
{
	uint32 channels = format.u.raw_audio.channel_count;
	return channels == 0 ? 2 : channels;
}

int Run(const Options& options, std::ostream& out, std::ostream& err)
{
	Loaded loaded;
	if (int status = Load(options, true, loaded, err))
		return status;
	status_t status;
	std::string why;
	// The process's JACK client takes the first user's name: ours.
	JackService* jack = JackService::Acquire(options.clientName.c_str(), &status, &why);
	if (jack == nullptr)
		return Fail(err, "cannot reach a JACK server: " + why);
	struct JackHold {
		JackService* jack;
		~JackHold() { jack->Release(); }
	} hold{jack};

	BMediaRoster* roster = BMediaRoster::Roster();
	BMediaNode* node = MakeNode(loaded, err);
	if (node == nullptr)
		return 1;
	Bridge bridge;
	bridge.nodes.push_back(node);

	media_input inputs[16];
	media_output outputs[16];
	int32 inputCount = 0, outputCount = 0;
	roster->GetFreeInputsFor(node->Node(), inputs, 16, &inputCount, B_MEDIA_RAW_AUDIO);
	roster->GetFreeOutputsFor(node->Node(), outputs, 16, &outputCount, B_MEDIA_RAW_AUDIO);
	inputCount = std::min(inputCount, int32(16));
	outputCount = std::min(outputCount, int32(16));
	if (inputCount == 0 && outputCount == 0)
		return Fail(err, std::string(loaded.flavor->name) + " has no audio inputs or outputs");

	std::vector<std::string> ourInputs, ourOutputs;
	float rate = float(jack->SampleRate());
	for (int32 i = 0; i < inputCount; i++) {
		auto* source = new AudioInputNode(nullptr, 0);
		std::string prefix = inputCount == 1 ? "in" : "in" + std::to_string(i + 1);
		uint32 channels = ChannelsOf(inputs[i].format);
		if (source->OpenJack(prefix.c_str(), channels, false) != B_OK) {
			std::string text = source->ErrorText();
			source->Release();
			return Fail(err, text);
		}
		if ((status = roster->RegisterNode(source)) != B_OK) {
			source->Release();
			return Fail(err, std::string("cannot register a JACK input: ") + media_strerror(status));
		}
		bridge.nodes.push_back(source);
		media_format format = media_format::RawAudioFormat();
		format.u.raw_audio.frame_rate = rate;
		format.u.raw_audio.channel_count = channels;
		format.u.raw_audio.format = media_raw_audio_format::B_AUDIO_FLOAT;
		media_output sourceOutput;
		int32 count = 0;
		roster->GetFreeOutputsFor(source->Node(), &sourceOutput, 1, &count);
		status = roster->Connect(sourceOutput.source, inputs[i].destination, &format, nullptr,
			nullptr);
		if (status != B_OK)
			return Fail(err, std::string("the node refuses audio on its input '")
				+ inputs[i].name + "': " + media_strerror(status));
		for (uint32 c = 0; c < channels; c++)
			ourInputs.push_back(jack->ClientName() + std::string(":") + prefix + "_"
				+ std::to_string(c + 1));
	}
	for (int32 i = 0; i < outputCount; i++) {
		auto* sink = new AudioOutputNode(nullptr, 0);
		std::string prefix = outputCount == 1 ? "out" : "out" + std::to_string(i + 1);
		uint32 channels = ChannelsOf(outputs[i].format);
		if (sink->OpenJack(prefix.c_str(), channels, false) != B_OK) {
			std::string text = sink->ErrorText();
			sink->Release();
			return Fail(err, text);
		}
		if ((status = roster->RegisterNode(sink)) != B_OK) {
			sink->Release();
			return Fail(err, std::string("cannot register a JACK output: ") + media_strerror(status));
		}
		bridge.nodes.push_back(sink);
		media_format format = media_format::RawAudioFormat();
		format.u.raw_audio.frame_rate = rate;
		format.u.raw_audio.channel_count = channels;
		media_input sinkInput;
		int32 count = 0;
		roster->GetFreeInputsFor(sink->Node(), &sinkInput, 1, &count);
		status = roster->Connect(outputs[i].source, sinkInput.destination, &format, nullptr,
			nullptr);
		if (status != B_OK)
			return Fail(err, std::string("cannot take audio from the node's output '")
				+ outputs[i].name + "': " + media_strerror(status));
		for (uint32 c = 0; c < channels; c++)
			ourOutputs.push_back(jack->ClientName() + std::string(":") + prefix + "_"
				+ std::to_string(c + 1));
	}

	// Parameters, typed by the web where it has the parameter.
	BParameterWeb* web = nullptr;
	roster->GetParameterWebFor(node->Node(), &web);
	for (const auto& [id, text] : options.parameters) {
		BParameter* parameter = web != nullptr ? web->ParameterWithID(id) : nullptr;
		char* end = nullptr;
		double value = std::strtod(text.c_str(), &end);
		if (end == text.c_str() || *end != '\0') {
			delete web;
			return Usage(err, "--param " + std::to_string(id) + "=" + text + ": not a number");
		}
		if (parameter != nullptr && parameter->Type() == B_DISCRETE_PARAMETER) {
			int32 v = int32(value);
			status = roster->SetParameterValue(node->Node(), id, &v, sizeof(v), 0);
		} else {
			float v = float(value);
			status = roster->SetParameterValue(node->Node(), id, &v, sizeof(v), 0);
		}
		if (status != B_OK) {
			delete web;
			return Fail(err, "cannot set parameter " + std::to_string(id) + ": "
				+ media_strerror(status));
		}
	}
	delete web;

	// Start everything a little ahead, downstream first.
	bigtime_t start = media_time_source()->Now() + 20000;
	for (size_t i = bridge.nodes.size(); i-- > 0;)
		roster->StartNode(bridge.nodes[i]->Node(), start);

	auto connectAll = [&](const std::vector<std::string>& wanted, const std::vector<std::string>& ours,
						  bool theirsSend) {
		for (size_t i = 0; i < wanted.size(); i++) {
			if (i >= ours.size()) {
				err << "mediahost: more ports given than the node has channels; '" << wanted[i]
					<< "' left unconnected\n";
				continue;
			}
			status_t s = theirsSend ? jack->Connect(wanted[i], ours[i])
									: jack->Connect(ours[i], wanted[i]);
			if (s != B_OK)
				return Fail(err, "cannot connect " + ours[i] + " with " + wanted[i] + ": "
					+ media_strerror(s));
		}
		return 0;
	};
	int result = connectAll(options.inputs, ourInputs, true);
	if (result == 0)
		result = connectAll(options.outputs, ourOutputs, false);

	if (result == 0) {
		out << "mediahost: running " << loaded.flavor->name << " as JACK client "
			<< jack->ClientName() << " (";
		for (size_t i = 0; i < ourInputs.size(); i++)
			out << (i == 0 ? "" : " ") << ourInputs[i];
		out << (ourInputs.empty() || ourOutputs.empty() ? "" : " -> ");
		for (size_t i = 0; i < ourOutputs.size(); i++)
			out << (i == 0 ? "" : " ") << ourOutputs[i];
		out << "); interrupt to stop" << std::endl;
		// Until a signal, or the server goes away: both post the semaphore.
		status_t watching = jack->AddShutdownHook(&ServerGone, nullptr);
		if (watching == B_OK) {
			while (sem_wait(&gInterrupted) != 0 && errno == EINTR) {
			}
			jack->RemoveShutdownHook(&ServerGone, nullptr);
		}
		if (!jack->IsRunning()) {
			result = Fail(err, std::string("the JACK server went away; ")
				+ loaded.flavor->name + " stopped");
		} else if (watching != B_OK) {
			result = Fail(err, std::string("cannot watch the JACK server: ")
				+ media_strerror(watching));
		}
	}
	for (BMediaNode* n : bridge.nodes)
		roster->StopNode(n->Node(), 0, true);
	return result;
}
#endif

}  // namespace

void mediahost_interrupt()
{
	sem_post(&gInterrupted);
}

int mediahost_main(const std::vector<std::string>& arguments, std::ostream& out,
	std::ostream& err)
{
	Options options;
	std::string problem;
	if (!Parse(arguments, options, problem))
		return Usage(err, problem);
	if (options.help || options.command == "help") {
		out << kUsage;
		return 0;
	}
	if (options.command.empty())
		return Usage(err, "no command given");
	if (options.command != "flavors" && options.command != "params" && options.command != "run")
		return Usage(err, "unknown command '" + options.command + "'");
	if (options.addOn.empty())
		return Usage(err, options.command + " needs an add-on file");
	if (options.command == "flavors")
		return Flavors(options, out, err);
	if (options.command == "params")
		return Params(options, out, err);
	return Run(options, out, err);
}
