#pragma once
// VSTParameter: one parameter of a plug-in instance, seen with a real range, a unit label
// and, for a switch, a list of named settings. The plug-in keeps every value as a float in
// 0…1; this class converts between that and the parameter's own range.
//
// Construction asks the plug-in for the name, the properties and (for a range other than
// 0…1) the unit label. A continuous parameter uses the float forms of setValue/getValue,
// a discrete one (a switch) the integer forms; the other form answers -1 / false.
//
// Lifetime: borrows the effect, which must outlive it (the owning VSTPlugIn sees to that).
// Threads: the owner's thread only (the node's event thread).

#include <string>
#include <vector>

#include "kernel/SupportDefs.h"

struct AEffect;

class VSTParameter {
public:
	// One named setting of a discrete parameter, numbered from 0.
	struct Item {
		int32 value;        // the integer form given to setValue
		std::string label;  // the plug-in's display text for it
	};

	// The most items a discrete parameter lists, whatever range it claims.
	static constexpr int32 kMaxItems = 1024;

	VSTParameter(AEffect* effect, int32 index);
	VSTParameter(const VSTParameter&) = delete;
	VSTParameter& operator=(const VSTParameter&) = delete;

	int32 Index() const { return fIndex; }
	const std::string& Name() const { return fName; }
	// The unit; empty for a 0…1 range.
	const std::string& Label() const { return fLabel; }
	bool IsDiscrete() const { return fDiscrete != 0; }
	float Minimum() const { return fMinimum; }
	float Maximum() const { return fMaximum; }
	float Step() const { return fStep; }

	// Continuous: sets v of minimum…maximum (clamped); returns the normalised value sent.
	// Discrete: -1, nothing sent.
	float setValue(float v);
	// Discrete: sets setting v (0 = truncate(minimum)), clamped to the range; returns the
	// normalised value sent. Continuous: -1, nothing sent.
	float setValue(int32 v);
	// Continuous: the value in minimum…maximum; true. Discrete: false.
	bool getValue(float* value) const;
	// Discrete: the setting in setValue's form (0 = truncate(minimum)); true.
	// Continuous: false.
	bool getValue(int32* value) const;

	// The settings of a discrete parameter with the plug-in's text for each (at most
	// kMaxItems); the plug-in's value is put back afterwards. Empty for a continuous one.
	std::vector<Item> DiscreteItems() const;

private:
	float Range() const { return fMaximum - fMinimum; }

	AEffect* fEffect;
	int32 fIndex;
	std::string fName;
	std::string fLabel;
	int32 fDiscrete = 0;
	float fMinimum = 0;
	float fMaximum = 1;
	float fStep = 0.005f;
};
