#pragma once
// The short description of a plug-in that the preferences list and `plugbridge list` show:
// its kind, a warning when it cannot be used, names, editor, channels and counts.
//
// Threads: the caller's; asks the plug-in through its dispatcher.

#include <string>
#include <vector>

#include "kernel/SupportDefs.h"

class VSTPlugIn;

struct PlugInDescription {
	int32 category = 0;
	// False for an instrument, an analysis plug-in, or one that cannot run in real time:
	// no node can be made of it.
	bool enabled = true;
	std::string kind;      // "VST Effect", "VST Instrument", "VST Mastering"
	std::string warning;   // empty when none
	std::string name;
	std::string vendor;
	std::string product;
	std::string editor;    // "Uses custom editor interface" / "Uses default user interface"
	std::string inputs;    // "Mono input", "Stereo input (accepts mono)", "4 inputs" …
	std::string outputs;   // "Mono output", "Stereo output", "4 outputs" …
	std::string counts;    // "3 parameters, 1 program"

	// The lines in the order shown (the warning only when there is one).
	std::vector<std::string> Lines() const;
};

PlugInDescription DescribePlugIn(const VSTPlugIn& plugIn);
