#include "catalog/PlugInDescription.h"

#include "vst/VSTPlugIn.h"

namespace {

std::string Counted(int32 n, const char* word)
{
	return std::to_string(n) + " " + word + (n == 1 ? "" : "s");
}

}  // namespace

std::vector<std::string> PlugInDescription::Lines() const
{
	std::vector<std::string> lines{kind};
	if (!warning.empty())
		lines.push_back(warning);
	for (const std::string* line : {&name, &vendor, &product, &editor, &inputs, &outputs,
			 &counts})
		lines.push_back(*line);
	return lines;
}

PlugInDescription DescribePlugIn(const VSTPlugIn& plugIn)
{
	PlugInDescription d;
	d.category = plugIn.getCategory();
	const bool realtime = plugIn.canRealtime();
	d.enabled = d.category != kPlugCategSynth && d.category != kPlugCategAnalysis && realtime;
	d.kind = d.category == kPlugCategSynth ? "VST Instrument"
		: d.category == kPlugCategMastering ? "VST Mastering" : "VST Effect";
	if (!realtime)
		d.warning = "VST Offline Mode is currently not supported";
	else if (d.category == kPlugCategSynth)
		d.warning = "VST Instruments are currently not supported";
	d.name = plugIn.Name();
	plugIn.getVendorString(&d.vendor);
	plugIn.getProductString(&d.product);
	d.editor = plugIn.hasEditor() ? "Uses custom editor interface"
		: "Uses default user interface";

	const int32 inputs = plugIn.CountInputs();
	if (inputs == 1)
		d.inputs = "Mono input";
	else if (inputs == 2)
		d.inputs = std::string("Stereo input ")
			+ (plugIn.canMono() ? "(accepts mono)" : "(doesn't accept mono)");
	else
		d.inputs = std::to_string(inputs) + " inputs";
	const int32 outputs = plugIn.CountOutputs();
	if (outputs == 1)
		d.outputs = "Mono output";
	else if (outputs == 2)
		d.outputs = "Stereo output";
	else
		d.outputs = std::to_string(outputs) + " outputs";
	d.counts = Counted(plugIn.CountParameters(), "parameter") + ", "
		+ Counted(plugIn.CountPrograms(), "program");
	return d;
}
