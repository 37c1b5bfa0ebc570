// Fuzz target for the scan child's report as the scan reads it (libFuzzer; scripts/fuzz
// builds and runs it): any bytes, in any pieces, give only events about the files the
// child was given, each file begun once and reported once, in order, and the same events
// however the bytes were split.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "catalog/ScanReport.h"

namespace {

bool Same(const ScanReportReader::Event& a, const ScanReportReader::Event& b)
{
	return a.kind == b.kind && a.file == b.file && a.status == b.status && a.reason == b.reason;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
	if (size < 2)
		return 0;
	size_t fileCount = data[0] % 16;
	size_t step = data[1] % 32 + 1;
	const char* text = reinterpret_cast<const char*>(data + 2);
	size -= 2;

	ScanReportReader whole(fileCount);
	std::vector<ScanReportReader::Event> all;
	whole.Append(text, size, &all);

	ScanReportReader pieces(fileCount);
	std::vector<ScanReportReader::Event> split;
	for (size_t at = 0; at < size; at += step)
		pieces.Append(text + at, std::min(step, size - at), &split);

	if (all.size() != split.size() || whole.Next() != pieces.Next()
		|| whole.Begun() != pieces.Begun())
		abort();
	size_t next = 0;
	bool begun = false;
	for (size_t i = 0; i < all.size(); i++) {
		const ScanReportReader::Event& event = all[i];
		if (!Same(event, split[i]) || event.file >= fileCount)
			abort();
		if (event.reason.find('\n') != std::string::npos
			|| event.reason.size() > scan_report::kMaxLine)
			abort();
		if (event.kind == ScanReportReader::Event::kBegin) {
			if (event.file < next || (begun && event.file == next))
				abort();
			next = event.file;
			begun = true;
		} else {
			if (!begun || event.file != next)
				abort();
			if (event.kind == ScanReportReader::Event::kRefused && event.status == 0)
				abort();
			next++;
			begun = false;
		}
	}
	if (next != whole.Next() || begun != whole.Begun() || next > fileCount)
		abort();
	return 0;
}
