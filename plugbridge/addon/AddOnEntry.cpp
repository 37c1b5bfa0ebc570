// The entry of the plugbridge media add-on library.
#include "node/VSTAddOn.h"

extern "C" __attribute__((visibility("default"))) BMediaAddOn* make_media_addon(image_id image)
{
	return new VSTAddOn(image);
}
