#include "media/ParameterWeb.h"

#include "media/Controllable.h"
#include "media/MediaRoster.h"

#include <functional>

const char* const B_GENERIC = "";
const char* const B_MASTER_GAIN = "be:master_gain";
const char* const B_GAIN = "be:gain";
const char* const B_BALANCE = "be:balance";
const char* const B_FREQUENCY = "be:frequency";
const char* const B_LEVEL = "be:level";
const char* const B_ENABLE = "be:enable";
const char* const B_MUTE = "be:mute";
const char* const B_INPUT_MUX = "be:input_mux";
const char* const B_RESOLUTION = "be:resolution";

namespace {

std::string Text(const char* s)
{
	return s != nullptr ? s : "";
}

}  // namespace

BParameter::BParameter(parameter_type type, int32 id, media_type mediaType, const char* name,
	const char* kind, const char* unit, BParameterGroup* group)
	: fType(type), fID(id), fMediaType(mediaType), fName(Text(name)), fKind(Text(kind)),
	  fUnit(Text(unit)), fGroup(group)
{
}

BParameterWeb* BParameter::Web() const
{
	return fGroup != nullptr ? fGroup->Web() : nullptr;
}

media_node BParameter::Node() const
{
	BParameterWeb* web = Web();
	return web != nullptr ? web->Node() : media_node::null;
}

status_t BParameter::GetValue(void* buffer, size_t* ioSize, bigtime_t* lastChange)
{
	return BMediaRoster::Roster()->GetParameterValue(Node(), fID, buffer, ioSize, lastChange);
}

status_t BParameter::SetValue(const void* value, size_t size, bigtime_t when)
{
	return BMediaRoster::Roster()->SetParameterValue(Node(), fID, value, size, when);
}

BContinuousParameter::BContinuousParameter(int32 id, media_type mediaType, const char* name,
	const char* kind, const char* unit, float minimum, float maximum, float step,
	BParameterGroup* group)
	: BParameter(B_CONTINUOUS_PARAMETER, id, mediaType, name, kind, unit, group),
	  fMinimum(minimum), fMaximum(maximum), fStep(step)
{
}

BDiscreteParameter::BDiscreteParameter(int32 id, media_type mediaType, const char* name,
	const char* kind, BParameterGroup* group)
	: BParameter(B_DISCRETE_PARAMETER, id, mediaType, name, kind, "", group)
{
}

const char* BDiscreteParameter::ItemNameAt(int32 index) const
{
	if (index < 0 || size_t(index) >= fItems.size())
		return nullptr;
	return fItems[size_t(index)].second.c_str();
}

int32 BDiscreteParameter::ItemValueAt(int32 index) const
{
	if (index < 0 || size_t(index) >= fItems.size())
		return 0;
	return fItems[size_t(index)].first;
}

status_t BDiscreteParameter::AddItem(int32 value, const char* name)
{
	fItems.emplace_back(value, Text(name));
	return B_OK;
}

BNullParameter::BNullParameter(int32 id, media_type mediaType, const char* name,
	const char* kind, BParameterGroup* group)
	: BParameter(B_NULL_PARAMETER, id, mediaType, name, kind, "", group)
{
}

BParameterGroup::BParameterGroup(BParameterWeb* web, const char* name)
	: fWeb(web), fName(Text(name))
{
}

BParameterGroup* BParameterGroup::MakeGroup(const char* name)
{
	fGroups.push_back(std::unique_ptr<BParameterGroup>(new BParameterGroup(fWeb, name)));
	return fGroups.back().get();
}

BContinuousParameter* BParameterGroup::MakeContinuousParameter(int32 id, media_type mediaType,
	const char* name, const char* kind, const char* unit, float minimum, float maximum,
	float step)
{
	auto* parameter = new BContinuousParameter(id, mediaType, name, kind, unit, minimum,
		maximum, step, this);
	fParameters.emplace_back(parameter);
	return parameter;
}

BDiscreteParameter* BParameterGroup::MakeDiscreteParameter(int32 id, media_type mediaType,
	const char* name, const char* kind)
{
	auto* parameter = new BDiscreteParameter(id, mediaType, name, kind, this);
	fParameters.emplace_back(parameter);
	return parameter;
}

BNullParameter* BParameterGroup::MakeNullParameter(int32 id, media_type mediaType,
	const char* name, const char* kind)
{
	auto* parameter = new BNullParameter(id, mediaType, name, kind, this);
	fParameters.emplace_back(parameter);
	return parameter;
}

BParameter* BParameterGroup::ParameterAt(int32 index) const
{
	if (index < 0 || size_t(index) >= fParameters.size())
		return nullptr;
	return fParameters[size_t(index)].get();
}

BParameterGroup* BParameterGroup::GroupAt(int32 index) const
{
	if (index < 0 || size_t(index) >= fGroups.size())
		return nullptr;
	return fGroups[size_t(index)].get();
}

BParameterWeb::BParameterWeb() = default;
BParameterWeb::~BParameterWeb() = default;

BParameterGroup* BParameterWeb::MakeGroup(const char* name)
{
	fGroups.push_back(std::unique_ptr<BParameterGroup>(new BParameterGroup(this, name)));
	return fGroups.back().get();
}

BParameterGroup* BParameterWeb::GroupAt(int32 index) const
{
	if (index < 0 || size_t(index) >= fGroups.size())
		return nullptr;
	return fGroups[size_t(index)].get();
}

void BParameterWeb::Collect(std::vector<BParameter*>& into) const
{
	std::function<void(const BParameterGroup&)> walk = [&](const BParameterGroup& group) {
		for (int32 i = 0; i < group.CountParameters(); i++)
			into.push_back(group.ParameterAt(i));
		for (int32 i = 0; i < group.CountGroups(); i++)
			walk(*group.GroupAt(i));
	};
	for (const auto& group : fGroups)
		walk(*group);
}

int32 BParameterWeb::CountParameters() const
{
	std::vector<BParameter*> all;
	Collect(all);
	return int32(all.size());
}

BParameter* BParameterWeb::ParameterAt(int32 index) const
{
	std::vector<BParameter*> all;
	Collect(all);
	if (index < 0 || size_t(index) >= all.size())
		return nullptr;
	return all[size_t(index)];
}

BParameter* BParameterWeb::ParameterWithID(int32 id) const
{
	std::vector<BParameter*> all;
	Collect(all);
	for (BParameter* parameter : all) {
		if (parameter->ID() == id)
			return parameter;
	}
	return nullptr;
}

std::unique_ptr<BParameterWeb> BParameterWeb::Clone() const
{
	auto web = std::make_unique<BParameterWeb>();
	web->fNode = fNode;
	std::function<void(const BParameterGroup&, BParameterGroup&)> copy
		= [&](const BParameterGroup& from, BParameterGroup& to) {
			  for (int32 i = 0; i < from.CountParameters(); i++) {
				  const BParameter* p = from.ParameterAt(i);
				  switch (p->Type()) {
					  case B_CONTINUOUS_PARAMETER: {
						  auto* c = static_cast<const BContinuousParameter*>(p);
						  to.MakeContinuousParameter(c->ID(), c->MediaType(), c->Name(),
							  c->Kind(), c->Unit(), c->MinValue(), c->MaxValue(),
							  c->ValueStep());
						  break;
					  }
					  case B_DISCRETE_PARAMETER: {
						  auto* d = static_cast<const BDiscreteParameter*>(p);
						  BDiscreteParameter* made = to.MakeDiscreteParameter(d->ID(),
							  d->MediaType(), d->Name(), d->Kind());
						  for (int32 k = 0; k < d->CountItems(); k++)
							  made->AddItem(d->ItemValueAt(k), d->ItemNameAt(k));
						  break;
					  }
					  case B_NULL_PARAMETER:
						  to.MakeNullParameter(p->ID(), p->MediaType(), p->Name(), p->Kind());
						  break;
				  }
			  }
			  for (int32 i = 0; i < from.CountGroups(); i++)
				  copy(*from.GroupAt(i), *to.MakeGroup(from.GroupAt(i)->Name()));
		  };
	for (const auto& group : fGroups)
		copy(*group, *web->MakeGroup(group->Name()));
	return web;
}
