#include "DecoderLibrary.h"

#include "kernel/Image.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace tunedeck {

namespace {

// More entries than any real plug-in file lists: a list without its end is refused.
constexpr int32 kMaxListEntries = 256;

std::string Hex(uint32 value)
{
	char text[16];
	snprintf(text, sizeof(text), "%#010x", value);
	return text;
}

void Terminate(char (&text)[256])
{
	text[sizeof(text) - 1] = '\0';
}

}  // namespace

// The library stays loaded until the process ends: a plug-in may leave threads of its own
// running after its last stream (a media roster, a sound server's client), and unloading
// their code under them would crash the player.
DecoderLibrary::~DecoderLibrary() = default;

bool DecoderLibrary::Load(const std::string& path, std::string& error)
{
	fImage = load_add_on(path.c_str());
	if (fImage < 0) {
		error = "cannot load the plug-in file '" + path + "': " + image_error();
		return false;
	}
	void* listSymbol = nullptr;
	void* typesSymbol = nullptr;
	if (get_image_symbol(fImage, TUNEDECK_GET_PLUGIN_LIST, B_SYMBOL_TYPE_TEXT, &listSymbol)
			!= B_OK
		|| get_image_symbol(fImage, TUNEDECK_GET_SUPPORTED_TYPES, B_SYMBOL_TYPE_TEXT,
			&typesSymbol) != B_OK) {
		error = "'" + path + "' is not a Tunedeck plug-in: it does not export "
			+ (listSymbol == nullptr ? TUNEDECK_GET_PLUGIN_LIST : TUNEDECK_GET_SUPPORTED_TYPES);
		return false;
	}
	decoder_plugin** list = reinterpret_cast<get_plugin_list_fn>(listSymbol)();
	supported_type* types = reinterpret_cast<get_supported_types_fn>(typesSymbol)();
	if (list == nullptr) {
		error = "'" + path + "' lists no plug-ins";
		return false;
	}
	int32 count = 0;
	for (; count < kMaxListEntries && list[count] != nullptr; count++) {
		decoder_plugin* plugin = list[count];
		if (plugin->magic != TUNEDECK_DESCRIPTOR_MAGIC
			|| plugin->version != TUNEDECK_RECORD_VERSION || plugin->getplugin == nullptr
			|| plugin->destroyplugin == nullptr) {
			fprintf(stderr, "tunedeck-host: skipping plug-in %d of '%s': its record (tag %s, "
				"version %u) is not one this player reads\n", int(count + 1), path.c_str(),
				Hex(plugin->magic).c_str(), plugin->version);
			fSkipped++;
			continue;
		}
		fPlugins.push_back(plugin);
	}
	if (count == kMaxListEntries) {
		error = "the plug-in list of '" + path + "' does not end";
		return false;
	}
	for (int32 i = 0; types != nullptr && types[i].mimetype != nullptr; i++) {
		if (i == kMaxListEntries) {
			error = "the file type list of '" + path + "' does not end";
			return false;
		}
		fTypes.push_back(types[i].mimetype);
	}
	if (fPlugins.empty()) {
		error = "'" + path + "' holds no plug-in this player can use";
		return false;
	}
	return true;
}

DecoderStream::~DecoderStream()
{
	if (fPlugin != nullptr)
		fPlugin->destroyplugin(fOps, fData);
}

bool DecoderStream::Open(const DecoderLibrary& library, const std::string& location,
	BMessage* config, std::string& error)
{
	for (decoder_plugin* plugin : library.Plugins()) {
		void* data = nullptr;
		decoder_ops* ops = plugin->getplugin(&data, location.c_str(), nullptr, 0, nullptr);
		if (ops == nullptr)
			continue;
		fPlugin = plugin;
		fOps = ops;
		fData = data;
		break;
	}
	if (fPlugin == nullptr) {
		error = "no plug-in takes the location '" + location + "'";
		return false;
	}
	const char* name = fPlugin->name != nullptr ? fPlugin->name : "?";
	if (fOps->magic != TUNEDECK_OPERATIONS_MAGIC || fOps->version != TUNEDECK_RECORD_VERSION
		|| fOps->info == nullptr || fOps->read == nullptr) {
		error = std::string("the plug-in \"") + name + "\" returned operations this player "
			"cannot use (tag " + Hex(fOps->magic) + ", version "
			+ std::to_string(fOps->version) + ")";
		return false;
	}
	if (fOps->open != nullptr) {
		int32 status = fOps->open(fData, location.c_str(), nullptr, 0, config);
		if (status < 0) {
			error = "the plug-in \"" + std::string(name) + "\" cannot open '" + location
				+ "' (status " + std::to_string(status) + ")";
			return false;
		}
	}
	int32 status = fOps->info(fData, &fInfo);
	Terminate(fInfo.name);
	Terminate(fInfo.typedesc);
	Terminate(fInfo.mimetype);
	if (status < 0) {
		error = "the plug-in \"" + std::string(name) + "\" cannot describe '" + location
			+ "' (status " + std::to_string(status) + ")";
		return false;
	}
	const bool usable = std::isfinite(fInfo.samplerate) && fInfo.samplerate >= 1000
		&& fInfo.samplerate <= 768000 && fInfo.channels >= 1 && fInfo.channels <= 32
		&& fInfo.samplesize == 2 && fInfo.framesize == fInfo.channels * 2 && fInfo.frames >= 0;
	if (!usable) {
		error = "the stream of '" + location + "' is not one this player can play ("
			+ DescribeFormat(fInfo) + ")";
		return false;
	}
	if (fInfo.granularity >= 1 && fInfo.granularity <= kMaxGranularity)
		fGranularity = fInfo.granularity;
	return true;
}

int32 DecoderStream::Read(char* buffer, int32 frames, std::string& error)
{
	int32 got = fOps->read(fData, buffer, uint32(frames));
	if (got < 0 || got > frames) {
		error = "the plug-in \"" + std::string(fPlugin->name ? fPlugin->name : "?")
			+ "\" failed to read (it returned " + std::to_string(got) + " for "
			+ std::to_string(frames) + " frames)";
		return -1;
	}
	return got;
}

std::string DescribeFormat(const file_info& info)
{
	char text[160];
	char length[40];
	if (info.frames == TUNEDECK_ENDLESS)
		snprintf(length, sizeof(length), "endless");
	else if (info.samplerate > 0)
		snprintf(length, sizeof(length), "%.1f s", info.frames / double(info.samplerate));
	else
		snprintf(length, sizeof(length), "%d frames", int(info.frames));
	snprintf(text, sizeof(text), "%g Hz, %d channel%s, %d-bit, %s", double(info.samplerate),
		int(info.channels), info.channels == 1 ? "" : "s", int(info.samplesize * 8), length);
	return text;
}

}  // namespace tunedeck
