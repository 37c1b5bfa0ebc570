#include "media/MediaAddOn.h"

#include "media/MediaRoster.h"

BMediaAddOn::BMediaAddOn(image_id image) : fImage(image) {}

BMediaAddOn::~BMediaAddOn() = default;

status_t BMediaAddOn::InitCheck(const char** outFailureText)
{
	if (outFailureText != nullptr)
		*outFailureText = nullptr;
	return B_OK;
}

int32 BMediaAddOn::CountFlavors()
{
	return 0;
}

status_t BMediaAddOn::GetFlavorAt(int32, const flavor_info**)
{
	return B_BAD_INDEX;
}

BMediaNode* BMediaAddOn::InstantiateNodeFor(const flavor_info*, BMessage*, status_t* outError)
{
	if (outError != nullptr)
		*outError = B_UNSUPPORTED;
	return nullptr;
}

status_t BMediaAddOn::GetConfigurationFor(BMediaNode*, BMessage*)
{
	return B_UNSUPPORTED;
}

status_t BMediaAddOn::SniffRef(const entry_ref&, char*, float*, int32*)
{
	return B_MEDIA_NO_HANDLER;
}

bool BMediaAddOn::WantsAutoStart()
{
	return false;
}

status_t BMediaAddOn::AutoStart(int32, BMediaNode**, int32*, bool*)
{
	return B_ERROR;
}

status_t BMediaAddOn::NotifyFlavorChange()
{
	BMediaRoster::Roster()->FlavorsChanged(this);
	return B_OK;
}
