// A media add-on for tests and the media host's example: one flavor, "Pass-through"
// (PassThroughNode: float audio times a gain).
#include "media/MediaAddOn.h"
#include "media/PassThroughNode.h"

namespace {

class PassThroughAddOn : public BMediaAddOn {
public:
	explicit PassThroughAddOn(image_id image) : BMediaAddOn(image)
	{
		fFormat = PassThroughNode::Wanted();
		fFlavor.name = "Pass-through";
		fFlavor.info = "Multiplies float audio by a gain";
		fFlavor.kinds = B_BUFFER_PRODUCER | B_BUFFER_CONSUMER | B_CONTROLLABLE;
		fFlavor.internal_id = 0;
		fFlavor.in_format_count = 1;
		fFlavor.in_formats = &fFormat;
		fFlavor.out_format_count = 1;
		fFlavor.out_formats = &fFormat;
	}
	int32 CountFlavors() override { return 1; }
	status_t GetFlavorAt(int32 n, const flavor_info** out) override
	{
		if (n != 0 || out == nullptr)
			return B_BAD_INDEX;
		*out = &fFlavor;
		return B_OK;
	}
	BMediaNode* InstantiateNodeFor(const flavor_info*, BMessage*, status_t* error) override
	{
		if (error != nullptr)
			*error = B_OK;
		return new PassThroughNode(this, 0);
	}

private:
	media_format fFormat;
	flavor_info fFlavor;
};

}  // namespace

extern "C" BMediaAddOn* make_media_addon(image_id image)
{
	return new PassThroughAddOn(image);
}
