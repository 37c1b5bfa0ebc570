// tunedeck-host: a minimal Tunedeck player. Loads a decoder plug-in file, opens a
// location with it and plays the stream or writes it to a WAV file.
#include "DecoderLibrary.h"
#include "HostOptions.h"
#include "HostRun.h"
#include "app/Message.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>

using namespace tunedeck;

namespace {

std::atomic<bool> sStop{false};

void Interrupted(int)
{
	sStop.store(true);
}

int Fail(const std::string& error)
{
	fprintf(stderr, "tunedeck-host: %s\n", error.c_str());
	return 1;
}

}  // namespace

int main(int argc, char** argv)
{
	HostOptions options;
	std::string error;
	switch (ParseOptions(argc, argv, options, error)) {
		case ParseResult::kHelp:
			fputs(UsageText().c_str(), stdout);
			return 0;
		case ParseResult::kError:
			fprintf(stderr, "tunedeck-host: %s (see --help)\n", error.c_str());
			return 2;
		case ParseResult::kRun:
			break;
	}

	DecoderLibrary library;
	if (!library.Load(options.plugin, error))
		return Fail(error);
	BMessage config;
	if (options.amplification > 0)
		config.AddInt32("amplification", options.amplification);
	DecoderStream stream;
	if (!stream.Open(library, options.location, &config, error))
		return Fail(error);

	const decoder_plugin& plugin = stream.Plugin();
	const file_info& info = stream.Info();
	printf("Plug-in: %s (%s %u.%u)\n", plugin.name ? plugin.name : "?",
		plugin.id ? plugin.id : "?", plugin.major, plugin.minor);
	printf("Stream: %s%s%s (%s)\n", info.name, *info.name ? ", " : "", info.typedesc,
		info.mimetype);
	printf("Format: %s\n", DescribeFormat(info).c_str());
	printf("%s\n", options.output.empty() ? "Output: the default audio output"
		: ("Output: " + options.output).c_str());
	fflush(stdout);

	std::unique_ptr<AudioSink> sink = options.output.empty()
		? MakePlaybackSink(int32(info.samplerate), info.channels, error)
		: MakeWavSink(options.output, int32(info.samplerate), info.channels, error);
	if (sink == nullptr)
		return Fail(error);

	struct sigaction action = {};
	action.sa_handler = Interrupted;
	sigaction(SIGINT, &action, nullptr);
	sigaction(SIGTERM, &action, nullptr);

	RunSettings settings;
	settings.seconds = options.seconds;
	settings.stop = &sStop;
	settings.progress = isatty(STDERR_FILENO);
	int64 frames = RunStream(stream, *sink, settings, error);
	if (frames < 0)
		return Fail(error);
	printf("Read %lld frames (%.2f s)\n", (long long)frames, frames / double(info.samplerate));
	return 0;
}
