#pragma once
// BParameterWeb: the parameters a controllable node publishes, in groups: continuous
// parameters (a value between a minimum and a maximum, a float), discrete parameters (an
// int32 chosen from named items, or an on/off switch) and null parameters (labels).
// Each parameter has the node's id for it, a name, a kind (B_GAIN, B_MUTE, ...: what it
// means, for panels) and a unit.
//
// Lifetime: the web owns its groups, a group owns its parameters and subgroups; the
// strings are copied. A node owns the web it was given (BControllable::SetParameterWeb);
// a web handed out by BMediaRoster::GetParameterWebFor is a copy the caller deletes.
// Threads: build a web on one thread; after SetParameterWeb it is only read.
// GetValue/SetValue go to the node through the roster (any thread).
#include "media/MediaDefs.h"

#include <memory>
#include <string>
#include <vector>

class BParameterGroup;
class BParameterWeb;

enum parameter_type {
	B_NULL_PARAMETER,
	B_DISCRETE_PARAMETER,
	B_CONTINUOUS_PARAMETER,
};

// Kinds (what a parameter means).
extern const char* const B_GENERIC;
extern const char* const B_MASTER_GAIN;
extern const char* const B_GAIN;
extern const char* const B_BALANCE;
extern const char* const B_FREQUENCY;
extern const char* const B_LEVEL;
extern const char* const B_ENABLE;
extern const char* const B_MUTE;
extern const char* const B_INPUT_MUX;
extern const char* const B_RESOLUTION;

class BParameter {
public:
	virtual ~BParameter() = default;
	BParameter(const BParameter&) = delete;
	BParameter& operator=(const BParameter&) = delete;

	parameter_type Type() const { return fType; }
	int32 ID() const { return fID; }
	const char* Name() const { return fName.c_str(); }
	const char* Kind() const { return fKind.c_str(); }
	const char* Unit() const { return fUnit.c_str(); }
	media_type MediaType() const { return fMediaType; }
	BParameterGroup* Group() const { return fGroup; }
	BParameterWeb* Web() const;
	media_node Node() const;

	// The node's current value (through the roster); *ioSize is the buffer's size in,
	// the value's out.
	status_t GetValue(void* buffer, size_t* ioSize, bigtime_t* lastChange);
	// Asks the node to take value at performance time when.
	status_t SetValue(const void* value, size_t size, bigtime_t when);

protected:
	BParameter(parameter_type type, int32 id, media_type mediaType, const char* name,
		const char* kind, const char* unit, BParameterGroup* group);

private:
	friend class BParameterGroup;
	parameter_type fType;
	int32 fID;
	media_type fMediaType;
	std::string fName;
	std::string fKind;
	std::string fUnit;
	BParameterGroup* fGroup;
};

class BContinuousParameter : public BParameter {
public:
	float MinValue() const { return fMinimum; }
	float MaxValue() const { return fMaximum; }
	float ValueStep() const { return fStep; }

private:
	friend class BParameterGroup;
	BContinuousParameter(int32 id, media_type mediaType, const char* name, const char* kind,
		const char* unit, float minimum, float maximum, float step, BParameterGroup* group);
	float fMinimum, fMaximum, fStep;
};

class BDiscreteParameter : public BParameter {
public:
	int32 CountItems() const { return int32(fItems.size()); }
	// Null / 0 past the end.
	const char* ItemNameAt(int32 index) const;
	int32 ItemValueAt(int32 index) const;
	status_t AddItem(int32 value, const char* name);
	// An on/off switch: no items (B_ENABLE, B_MUTE kinds), values 0 and 1.
	bool IsSwitch() const { return fItems.empty(); }

private:
	friend class BParameterGroup;
	BDiscreteParameter(int32 id, media_type mediaType, const char* name, const char* kind,
		BParameterGroup* group);
	std::vector<std::pair<int32, std::string>> fItems;
};

class BNullParameter : public BParameter {
private:
	friend class BParameterGroup;
	BNullParameter(int32 id, media_type mediaType, const char* name, const char* kind,
		BParameterGroup* group);
};

class BParameterGroup {
public:
	BParameterGroup(const BParameterGroup&) = delete;
	BParameterGroup& operator=(const BParameterGroup&) = delete;

	const char* Name() const { return fName.c_str(); }
	BParameterWeb* Web() const { return fWeb; }

	BParameterGroup* MakeGroup(const char* name);
	BContinuousParameter* MakeContinuousParameter(int32 id, media_type mediaType,
		const char* name, const char* kind, const char* unit, float minimum, float maximum,
		float step);
	BDiscreteParameter* MakeDiscreteParameter(int32 id, media_type mediaType, const char* name,
		const char* kind);
	BNullParameter* MakeNullParameter(int32 id, media_type mediaType, const char* name,
		const char* kind);

	int32 CountParameters() const { return int32(fParameters.size()); }
	BParameter* ParameterAt(int32 index) const;
	int32 CountGroups() const { return int32(fGroups.size()); }
	BParameterGroup* GroupAt(int32 index) const;

private:
	friend class BParameterWeb;
	BParameterGroup(BParameterWeb* web, const char* name);

	BParameterWeb* fWeb;
	std::string fName;
	std::vector<std::unique_ptr<BParameter>> fParameters;
	std::vector<std::unique_ptr<BParameterGroup>> fGroups;
};

class BParameterWeb {
public:
	BParameterWeb();
	~BParameterWeb();
	BParameterWeb(const BParameterWeb&) = delete;
	BParameterWeb& operator=(const BParameterWeb&) = delete;

	media_node Node() const { return fNode; }
	BParameterGroup* MakeGroup(const char* name);
	int32 CountGroups() const { return int32(fGroups.size()); }
	BParameterGroup* GroupAt(int32 index) const;
	// Every parameter of every group, depth first.
	int32 CountParameters() const;
	BParameter* ParameterAt(int32 index) const;
	// The parameter with this id, or null.
	BParameter* ParameterWithID(int32 id) const;

	// A deep copy (for handing out).
	std::unique_ptr<BParameterWeb> Clone() const;
	// For BControllable: the node the web belongs to.
	void SetNode(const media_node& node) { fNode = node; }

private:
	void Collect(std::vector<BParameter*>& into) const;

	media_node fNode;
	std::vector<std::unique_ptr<BParameterGroup>> fGroups;
};
