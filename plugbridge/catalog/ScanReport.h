#pragma once
// ScanReport: what the scan's child process (PlugInScanner) tells the scan on its pipe, one
// line per event; I counts the files the child was given, from 0:
//   "begin I"                the child starts loading file I
//   "ok I"                   file I loaded and opened
//   "fail I STATUS REASON"   file I refused: a status_t and a sentence for the user
// The Line functions write the lines; ScanReportReader reads them back.
//
// The child runs plug-ins, and a plug-in may write anything on any descriptor, so the
// reader trusts no byte: a line that is malformed, too long, about a file the child was
// not given, or out of order (a result for a file that has not begun, a file begun
// twice or before one already reported) is dropped. So a file begins at most once, and
// every event names a file below the count.
//
// Threads: an object for one thread.

#include <string>
#include <vector>

#include "kernel/SupportDefs.h"

namespace scan_report {

std::string BeginLine(size_t file);
std::string LoadedLine(size_t file);
// Line breaks in reason become spaces.
std::string RefusedLine(size_t file, status_t status, const std::string& reason);

// The longest line read (longer ones are dropped whole).
constexpr size_t kMaxLine = 4096;

}  // namespace scan_report

class ScanReportReader {
public:
	struct Event {
		enum Kind { kBegin, kLoaded, kRefused };
		Kind kind;
		size_t file;          // below the file count
		status_t status;      // kRefused: the loading error; else B_OK
		std::string reason;   // kRefused: for the user (one line)
	};

	explicit ScanReportReader(size_t fileCount);

	// Takes the next bytes of the report, in any pieces; appends the events of the lines
	// they complete.
	void Append(const char* data, size_t size, std::vector<Event>* events);

	// The first file without a result.
	size_t Next() const { return fNext; }
	// Whether the child has begun on Next() (and not reported it yet).
	bool Begun() const { return fBegun; }

private:
	void TakeLine(const std::string& line, std::vector<Event>* events);

	size_t fFileCount;
	size_t fNext = 0;
	bool fBegun = false;
	std::string fPending;      // the start of a line whose end has not come
	bool fOverlong = false;    // dropping the rest of a line that grew too long
};
