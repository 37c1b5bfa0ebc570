// A Tunedeck decoder plug-in file as the player uses it: loaded at run time, its records
// checked before anything in them is called, and one stream opened through it.
//
// Errors: a file that is not a loadable library, lacks an export, or hands out records
// that are not the player's (wrong tag or layout version, missing operations, a stream
// format the player cannot take) gives false and a sentence for the user; nothing the
// plug-in returned is trusted before it is checked.
// Lifetime: a DecoderStream must go before the DecoderLibrary it came from. The file stays
// loaded until the process ends (its threads may outlive its streams).
// Threads: one thread uses a library and its stream at a time.
#pragma once

#include "TunedeckPlugin.h"
#include "kernel/SupportDefs.h"

#include <string>
#include <vector>

namespace tunedeck {

class DecoderLibrary {
public:
	DecoderLibrary() = default;
	~DecoderLibrary();
	DecoderLibrary(const DecoderLibrary&) = delete;
	DecoderLibrary& operator=(const DecoderLibrary&) = delete;

	// Loads the file and reads its two lists.
	bool Load(const std::string& path, std::string& error);

	// The usable descriptors, in the file's order.
	const std::vector<decoder_plugin*>& Plugins() const { return fPlugins; }
	// MIME types of the file types the plug-ins claim.
	const std::vector<std::string>& SupportedTypes() const { return fTypes; }
	// Descriptors skipped because their records are not the player's.
	int32 SkippedPlugins() const { return fSkipped; }

private:
	image_id fImage = -1;
	std::vector<decoder_plugin*> fPlugins;
	std::vector<std::string> fTypes;
	int32 fSkipped = 0;
};

class DecoderStream {
public:
	DecoderStream() = default;
	~DecoderStream();
	DecoderStream(const DecoderStream&) = delete;
	DecoderStream& operator=(const DecoderStream&) = delete;

	// Opens location with the first plug-in that takes it, hands it config (may be null)
	// and asks what the stream is. Takes 16-bit interleaved streams only.
	bool Open(const DecoderLibrary& library, const std::string& location, BMessage* config,
		std::string& error);

	const decoder_plugin& Plugin() const { return *fPlugin; }
	const file_info& Info() const { return fInfo; }
	// Frames per read the plug-in asks for (1 … kMaxGranularity).
	int32 Granularity() const { return fGranularity; }
	int32 FrameBytes() const { return fInfo.framesize; }
	bool Endless() const { return fInfo.frames == TUNEDECK_ENDLESS; }

	// Reads at most frames frames into buffer (frames × FrameBytes() bytes): the frames
	// read, 0 at the end, -1 with a message in error when the plug-in fails.
	int32 Read(char* buffer, int32 frames, std::string& error);

	static constexpr int32 kMaxGranularity = 65536;

private:
	const decoder_plugin* fPlugin = nullptr;
	decoder_ops* fOps = nullptr;
	void* fData = nullptr;
	file_info fInfo = {};
	int32 fGranularity = 1024;
};

// The stream as one line for the user: "44100 Hz, 2 channels, 16-bit, endless".
std::string DescribeFormat(const file_info& info);

}  // namespace tunedeck
