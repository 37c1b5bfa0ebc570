#pragma once
// The parameter web of a plug-in node: a group "Master" with the switches Bypass (id =
// the plug-in's parameter count) and Mute (id + 1), then, when the plug-in has parameters,
// a group named after it with one parameter per VST parameter (id = its index): continuous
// ones with their range, unit and step, switches with their named settings.
//
// Threads: the node's, while it builds its web (asks the plug-in for texts).

class BParameterGroup;
class VSTPlugIn;

// plugIn must be open (its parameters made).
void PopulateParameterGroup(VSTPlugIn& plugIn, BParameterGroup* group);
