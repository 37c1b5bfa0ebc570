#include "node/VSTParameterWeb.h"

#include "media/ParameterWeb.h"
#include "vst/VSTPlugIn.h"

void PopulateParameterGroup(VSTPlugIn& plugIn, BParameterGroup* group)
{
	const int32 count = plugIn.CountParameters();
	BParameterGroup* master = group->MakeGroup("Master");
	master->MakeDiscreteParameter(count, B_MEDIA_NO_TYPE, "Bypass", B_MUTE);
	master->MakeDiscreteParameter(count + 1, B_MEDIA_NO_TYPE, "Mute", B_MUTE);
	if (count == 0)
		return;
	BParameterGroup* parameters = group->MakeGroup(plugIn.Name());
	for (int32 i = 0; i < count; i++) {
		const VSTParameter* parameter = plugIn.ParameterAt(i);
		if (parameter == nullptr)
			continue;
		if (!parameter->IsDiscrete()) {
			parameters->MakeContinuousParameter(i, B_MEDIA_NO_TYPE, parameter->Name().c_str(),
				B_GENERIC, parameter->Label().c_str(), parameter->Minimum(),
				parameter->Maximum(), parameter->Step());
			continue;
		}
		BDiscreteParameter* discrete = parameters->MakeDiscreteParameter(i, B_MEDIA_NO_TYPE,
			parameter->Name().c_str(), B_GENERIC);
		// Each item carries the setting it selects (what setValue takes).
		for (const VSTParameter::Item& item : parameter->DiscreteItems())
			discrete->AddItem(item.value, item.label.c_str());
	}
}
