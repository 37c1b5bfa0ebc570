// plugbridge list [DIR] [--json] [--timeout SECONDS]

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "catalog/PlugInDescription.h"
#include "catalog/PlugInScanner.h"
#include "catalog/Preferences.h"
#include "cli/CommandLine.h"
#include "cli/JsonText.h"
#include "vst/VSTPlugIn.h"

namespace {

const char kUsage[] =
	"usage: plugbridge list [DIR] [--json] [--timeout SECONDS]\n"
	"\n"
	"Lists the VST plug-ins in DIR (default: the plug-in directory of the settings), each\n"
	"with its description and its parameters with their displayed values, then the files\n"
	"that are not usable plug-ins and why. A file that crashes or hangs while it is loaded\n"
	"(in a separate process, given SECONDS, default 10) is remembered and left out until\n"
	"it changes.\n"
	"\n"
	"  --json      one JSON document instead of text\n";

struct ListedParameter {
	int32 index;
	std::string name;
	std::string display;
	std::string label;
	bool discrete;
	float minimum;
	float maximum;
	std::vector<std::string> items;
};

struct Listed {
	std::string path;
	int32 id;
	PlugInDescription description;
	std::vector<ListedParameter> parameters;
	std::vector<std::string> programs;
	std::string problem;  // why the parameters could not be read
};

Listed Describe(const VSTPlugIn& prototype, int32 id)
{
	Listed listed{prototype.Path(), id, DescribePlugIn(prototype), {}, {}, {}};
	std::unique_ptr<VSTPlugIn> instance = prototype.newInstance(&listed.problem);
	if (!instance || instance->open(0) != B_OK) {
		if (listed.problem.empty())
			listed.problem = "the plug-in could not be opened";
		return listed;
	}
	for (int32 i = 0; i < instance->CountParameters(); i++) {
		const VSTParameter* parameter = instance->ParameterAt(i);
		// Name from the parameter (trimmed, never empty); display and unit as the plug-in
		// shows them.
		ListedParameter p{i, parameter->Name(), {}, {}, parameter->IsDiscrete(),
			parameter->Minimum(), parameter->Maximum(), {}};
		instance->getParameterInfo(i, nullptr, &p.label, &p.display);
		for (const VSTParameter::Item& item : parameter->DiscreteItems())
			p.items.push_back(item.label);
		listed.parameters.push_back(p);
	}
	for (int32 i = 0; i < instance->CountPrograms(); i++) {
		std::string name;
		instance->getProgramAt(i, &name);
		listed.programs.push_back(name);
	}
	return listed;
}

std::string Trim(const std::string& s)
{
	size_t first = s.find_first_not_of(" \t");
	if (first == std::string::npos)
		return std::string();
	return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

void PrintText(std::ostream& out, const std::string& directory,
	const std::vector<Listed>& plugIns, const std::vector<PlugInScanner::Rejected>& rejected)
{
	out << directory << ": " << plugIns.size() << (plugIns.size() == 1 ? " plug-in" : " plug-ins")
		<< "\n";
	for (const Listed& p : plugIns) {
		out << "\n" << p.id << "  " << p.path << (p.description.enabled ? "" : "  (disabled)")
			<< "\n";
		for (const std::string& line : p.description.Lines())
			out << "    " << line << "\n";
		if (!p.problem.empty())
			out << "    parameters unavailable: " << p.problem << "\n";
		for (const ListedParameter& parameter : p.parameters) {
			out << "    " << parameter.index << ". " << parameter.name << ": "
				<< Trim(parameter.display);
			if (!Trim(parameter.label).empty())
				out << " " << Trim(parameter.label);
			if (!parameter.items.empty()) {
				out << "  [";
				for (size_t i = 0; i < parameter.items.size(); i++)
					out << (i ? " | " : "") << parameter.items[i];
				out << "]";
			}
			out << "\n";
		}
		for (size_t i = 0; i < p.programs.size(); i++)
			out << "    program " << i << ": " << p.programs[i] << "\n";
	}
	if (!rejected.empty())
		out << "\nnot loaded:\n";
	for (const PlugInScanner::Rejected& r : rejected) {
		out << "  " << r.path << ": " << r.reason
			<< (r.remembered ? " (remembered from an earlier scan; left out until the file "
							   "changes)"
							 : "")
			<< "\n";
	}
}

void PrintJson(std::ostream& out, const std::string& directory,
	const std::vector<Listed>& plugIns, const std::vector<PlugInScanner::Rejected>& rejected)
{
	out << "{\"directory\": " << JsonString(directory) << ",\n \"plugins\": [";
	for (size_t n = 0; n < plugIns.size(); n++) {
		const Listed& p = plugIns[n];
		const PlugInDescription& d = p.description;
		out << (n ? ",\n  " : "\n  ") << "{\"id\": " << p.id << ", \"path\": " << JsonString(p.path)
			<< ", \"enabled\": " << (d.enabled ? "true" : "false")
			<< ", \"category\": " << d.category << ",\n   \"kind\": " << JsonString(d.kind)
			<< ", \"warning\": " << JsonString(d.warning) << ", \"name\": " << JsonString(d.name)
			<< ", \"vendor\": " << JsonString(d.vendor) << ", \"product\": "
			<< JsonString(d.product) << ",\n   \"editor\": " << JsonString(d.editor)
			<< ", \"inputs\": " << JsonString(d.inputs) << ", \"outputs\": "
			<< JsonString(d.outputs) << ", \"counts\": " << JsonString(d.counts)
			<< ",\n   \"description\": [";
		std::vector<std::string> lines = d.Lines();
		for (size_t i = 0; i < lines.size(); i++)
			out << (i ? ", " : "") << JsonString(lines[i]);
		out << "],\n   \"parameters\": [";
		for (size_t i = 0; i < p.parameters.size(); i++) {
			const ListedParameter& parameter = p.parameters[i];
			out << (i ? ",\n     " : "\n     ") << "{\"index\": " << parameter.index
				<< ", \"name\": " << JsonString(parameter.name) << ", \"display\": "
				<< JsonString(Trim(parameter.display)) << ", \"label\": "
				<< JsonString(Trim(parameter.label)) << ", \"discrete\": "
				<< (parameter.discrete ? "true" : "false") << ", \"minimum\": "
				<< parameter.minimum << ", \"maximum\": " << parameter.maximum;
			if (parameter.discrete) {
				out << ", \"items\": [";
				for (size_t k = 0; k < parameter.items.size(); k++)
					out << (k ? ", " : "") << JsonString(parameter.items[k]);
				out << "]";
			}
			out << "}";
		}
		out << "],\n   \"programs\": [";
		for (size_t i = 0; i < p.programs.size(); i++)
			out << (i ? ", " : "") << JsonString(p.programs[i]);
		out << "]";
		if (!p.problem.empty())
			out << ", \"problem\": " << JsonString(p.problem);
		out << "}";
	}
	out << "],\n \"rejected\": [";
	for (size_t i = 0; i < rejected.size(); i++) {
		const PlugInScanner::Rejected& r = rejected[i];
		out << (i ? ",\n  " : "\n  ") << "{\"path\": " << JsonString(r.path)
			<< ", \"reason\": " << JsonString(r.reason) << ", \"remembered\": "
			<< (r.remembered ? "true" : "false") << "}";
	}
	out << "]}\n";
}

}  // namespace

int RunListCommand(int argc, const char* const* argv, std::ostream& out, std::ostream& err)
{
	std::string directory;
	bool json = false;
	double timeout = double(PlugInScanner::kDefaultTimeout) / 1e6;
	for (int i = 0; i < argc; i++) {
		const std::string argument = argv[i];
		if (argument == "-h" || argument == "--help") {
			out << kUsage;
			return kExitOk;
		}
		if (argument == "--json") {
			json = true;
		} else if (argument == "--timeout") {
			char* end = nullptr;
			timeout = i + 1 < argc ? strtod(argv[i + 1], &end) : 0;
			if (i + 1 >= argc || end == argv[i + 1] || *end != '\0' || !(timeout > 0)
				|| timeout > 3600) {
				err << "plugbridge: --timeout needs a number of seconds (up to 3600)\n";
				return kExitUsage;
			}
			i++;
		} else if (!argument.empty() && argument[0] == '-') {
			err << "plugbridge: list: unknown option '" << argument << "'\n" << kUsage;
			return kExitUsage;
		} else if (directory.empty()) {
			directory = argument;
		} else {
			err << "plugbridge: list takes one directory\n" << kUsage;
			return kExitUsage;
		}
	}
	Preferences* preferences = Preferences::getInstance();
	if (directory.empty())
		directory = preferences->getPath();
	while (directory.size() > 1 && directory.back() == '/')
		directory.pop_back();

	std::vector<std::unique_ptr<VSTPlugIn>> plugIns;
	std::vector<PlugInScanner::Rejected> rejected;
	PlugInScanner scanner(preferences, std::string(), bigtime_t(timeout * 1e6));
	if (status_t status = scanner.Scan(directory, &plugIns, &rejected); status != B_OK) {
		err << "plugbridge: cannot read the plug-in directory " << directory << ": "
			<< strerror_status(status) << "\n";
		return kExitFailure;
	}
	std::vector<Listed> listed;
	for (const auto& plugIn : plugIns)
		listed.push_back(Describe(*plugIn, plugIn->Flavor()->internalId));
	if (json)
		PrintJson(out, directory, listed, rejected);
	else
		PrintText(out, directory, listed, rejected);
	return kExitOk;
}
