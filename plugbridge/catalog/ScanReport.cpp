#include "catalog/ScanReport.h"

#include <algorithm>
#include <cstring>

namespace scan_report {

std::string BeginLine(size_t file)
{
	return "begin " + std::to_string(file) + "\n";
}

std::string LoadedLine(size_t file)
{
	return "ok " + std::to_string(file) + "\n";
}

std::string RefusedLine(size_t file, status_t status, const std::string& reason)
{
	std::string text = reason;
	std::replace(text.begin(), text.end(), '\n', ' ');
	std::replace(text.begin(), text.end(), '\r', ' ');
	return "fail " + std::to_string(file) + " " + std::to_string(status) + " " + text + "\n";
}

}  // namespace scan_report

namespace {

// A decimal number of digits only at `text`, below `limit`; advances `text` past it.
bool ReadNumber(const char*& text, unsigned long long limit, unsigned long long* value)
{
	if (*text < '0' || *text > '9')
		return false;
	unsigned long long number = 0;
	for (; *text >= '0' && *text <= '9'; text++) {
		number = number * 10 + unsigned(*text - '0');
		if (number >= limit || number > 1000000000000000000ull)
			return false;
	}
	*value = number;
	return true;
}

// A status_t as std::to_string writes it; advances `text` past it.
bool ReadStatus(const char*& text, status_t* status)
{
	bool negative = *text == '-';
	text += negative;
	unsigned long long magnitude = 0;
	if (!ReadNumber(text, negative ? (1ull << 31) + 1 : 1ull << 31, &magnitude))
		return false;
	*status = status_t(negative ? -int64(magnitude) : int64(magnitude));
	return true;
}

}  // namespace

ScanReportReader::ScanReportReader(size_t fileCount)
	:
	fFileCount(fileCount)
{
}

void ScanReportReader::Append(const char* data, size_t size, std::vector<Event>* events)
{
	while (size > 0) {
		const char* end = static_cast<const char*>(memchr(data, '\n', size));
		size_t piece = end != nullptr ? size_t(end - data) : size;
		if (!fOverlong) {
			if (fPending.size() + piece > scan_report::kMaxLine) {
				fOverlong = true;
				fPending.clear();
			} else {
				fPending.append(data, piece);
			}
		}
		if (end == nullptr)
			return;
		if (!fOverlong)
			TakeLine(fPending, events);
		fPending.clear();
		fOverlong = false;
		data += piece + 1;
		size -= piece + 1;
	}
}

void ScanReportReader::TakeLine(const std::string& line, std::vector<Event>* events)
{
	if (line.find('\0') != std::string::npos)
		return;
	const char* text = line.c_str();
	Event::Kind kind;
	if (strncmp(text, "begin ", 6) == 0) {
		kind = Event::kBegin;
		text += 6;
	} else if (strncmp(text, "ok ", 3) == 0) {
		kind = Event::kLoaded;
		text += 3;
	} else if (strncmp(text, "fail ", 5) == 0) {
		kind = Event::kRefused;
		text += 5;
	} else {
		return;
	}
	unsigned long long file = 0;
	if (!ReadNumber(text, fFileCount, &file))
		return;
	status_t status = B_OK;
	std::string reason;
	if (kind == Event::kRefused) {
		if (*text++ != ' ' || !ReadStatus(text, &status))
			return;
		if (*text == ' ')
			text++;
		else if (*text != '\0')
			return;
		reason = text;
		if (status == B_OK)
			status = B_ERROR;  // a refusal is never a success
	} else if (*text != '\0') {
		return;
	}

	if (kind == Event::kBegin) {
		// Forward only: each file begins once, never before one already reported.
		if (file < fNext || (fBegun && file == fNext))
			return;
		fNext = size_t(file);
		fBegun = true;
	} else {
		if (!fBegun || file != fNext)
			return;
		fNext = size_t(file) + 1;
		fBegun = false;
	}
	events->push_back({kind, size_t(file), status, std::move(reason)});
}
