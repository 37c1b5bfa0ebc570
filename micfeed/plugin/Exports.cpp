// What the player finds in micfeed.so: the plug-in list and the (empty) list of file types.
#include "DecoderPlugin.h"
#include "TunedeckPlugin.h"
#include "view/InputConfigView.h"

#define MICFEED_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

const char kAbout[] =
	"micfeed 1.1 by the music suite's developers\n"
	"\n"
	"This decoder reads from the\n"
	"default audio input if you\n"
	"specify an \"input:\" URL";

void AboutPlugin()
{
	ShowAboutMicfeed(kAbout);
}

QWidget* Configure(BMessage* config)
{
	return new InputConfigView(config);
}

decoder_plugin sPlugin = {
	TUNEDECK_DESCRIPTOR_MAGIC,
	TUNEDECK_RECORD_VERSION,
	"td-audio-in",
	1,
	1,
	"Audio Input",
	kAbout,
	AboutPlugin,
	Configure,
	micfeed::GetPlugin,
	micfeed::DestroyPlugin,
};

decoder_plugin* sPlugs[] = {&sPlugin, nullptr};

// An empty list: one all-null record. micfeed claims no file types.
supported_type sSupportedTypes[1] = {};

}  // namespace

MICFEED_EXPORT decoder_plugin** get_plugin_list(void)
{
	return sPlugs;
}

MICFEED_EXPORT supported_type* get_supported_types(void)
{
	return sSupportedTypes;
}
