#pragma once
// BMediaAddOn: a maker of nodes, usually living in a shared library that exports
//   extern "C" BMediaAddOn* make_media_addon(image_id image);
// It offers flavors (flavor_info: a name, kinds, formats) and instantiates a node of a
// flavor on request. BMediaRoster::LoadAddOn loads such a library, calls make_media_addon
// and registers the add-on; GetDormantFlavorInfo / InstantiateDormantNode reach its flavors.
//
// Lifetime: the roster owns a loaded add-on and deletes it (then unloads its image) when
// the process ends or UnloadAddOn is called; nodes it made must be released before.
// Errors: GetFlavorAt gives B_BAD_INDEX (or -1) past the end; InstantiateNodeFor returns
// null and sets *outError.
// Threads: called on the thread that asks the roster.
#include "kernel/EntryRef.h"
#include "media/MediaDefs.h"

class BMediaNode;
class BMessage;

class BMediaAddOn {
public:
	explicit BMediaAddOn(image_id image);
	virtual ~BMediaAddOn();
	BMediaAddOn(const BMediaAddOn&) = delete;
	BMediaAddOn& operator=(const BMediaAddOn&) = delete;

	image_id ImageID() const { return fImage; }
	// The roster's id for this add-on; -1 until registered.
	media_addon_id AddonID() const { return fAddonID; }

	virtual status_t InitCheck(const char** outFailureText);
	virtual int32 CountFlavors();
	virtual status_t GetFlavorAt(int32 n, const flavor_info** outInfo);
	virtual BMediaNode* InstantiateNodeFor(const flavor_info* info, BMessage* config,
		status_t* outError);
	virtual status_t GetConfigurationFor(BMediaNode* yourNode, BMessage* intoMessage);
	// How well a flavor of this add-on reads file (0..1, *outQuality) and which flavor;
	// B_MEDIA_NO_HANDLER when none does. outMimeType (optional) has room for 256 bytes.
	virtual status_t SniffRef(const entry_ref& file, char* outMimeType, float* outQuality,
		int32* outInternalID);
	virtual bool WantsAutoStart();
	virtual status_t AutoStart(int32 index, BMediaNode** outNode, int32* outInternalID,
		bool* outHasMore);

protected:
	// Tells the roster the flavors changed (after a rescan).
	status_t NotifyFlavorChange();

private:
	friend class BMediaRoster;
	friend class MediaRosterState;
	image_id fImage;
	media_addon_id fAddonID = -1;
};

// The entry point of an add-on library.
typedef BMediaAddOn* (*make_media_addon_func)(image_id image);
