#include "midi/PortNames.h"

#include <set>

namespace midi_internal {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string_view TrimRight(std::string_view s)
{
	while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
		s.remove_suffix(1);
	return s;
}

}  // namespace

namespace {

// Removes ALSA client numbers that bridges put inside JACK port names:
// a2jmidid's "Client [20] (capture): Port" and PipeWire's "Client 20:(capture_0) Port".
std::string WithoutBridgeNumbers(std::string_view name)
{
	std::string out;
	size_t i = 0;
	while (i < name.size()) {
		if (name[i] == ' ' && i + 1 < name.size()) {
			size_t j = i + 1;
			bool bracket = name[j] == '[';
			if (bracket)
				++j;
			size_t digits = j;
			while (j < name.size() && IsDigit(name[j]))
				++j;
			if (j > digits) {
				if (bracket && name.substr(j).substr(0, 3) == "] (") {
					i = j + 1;  // keep " (capture)"
					continue;
				}
				if (!bracket && name.substr(j).substr(0, 2) == ":(") {
					out += ' ';
					i = j + 1;  // keep "(capture_0)"
					continue;
				}
			}
		}
		out += name[i++];
	}
	return out;
}

}  // namespace

std::string StablePortName(std::string_view original)
{
	std::string cleaned = WithoutBridgeNumbers(original);
	std::string_view s = TrimRight(cleaned);
	// Scan back over "<digits>:<digits>" preceded by a blank.
	size_t i = s.size();
	size_t portDigits = 0;
	while (i > 0 && IsDigit(s[i - 1])) {
		--i;
		++portDigits;
	}
	if (portDigits == 0 || i == 0 || s[i - 1] != ':')
		return std::string(s);
	--i;
	size_t clientDigits = 0;
	while (i > 0 && IsDigit(s[i - 1])) {
		--i;
		++clientDigits;
	}
	if (clientDigits == 0 || i == 0 || s[i - 1] != ' ')
		return std::string(s);
	return std::string(TrimRight(s.substr(0, i - 1)));
}

bool PortNamesMatch(std::string_view a, std::string_view b)
{
	return StablePortName(a) == StablePortName(b);
}

bool IsOwnPort(std::string_view portName, std::string_view clientBase)
{
	if (clientBase.empty() || portName.size() <= clientBase.size()
		|| portName.substr(0, clientBase.size()) != clientBase)
		return false;
	char next = portName[clientBase.size()];
	return next == ':' || next == '-';
}

std::vector<std::pair<std::string, std::string>> UniquePortNames(
	const std::vector<std::string>& names, std::string_view ownClient)
{
	std::vector<std::pair<std::string, std::string>> result;
	std::set<std::string> seen;
	for (const std::string& name : names) {
		if (name.empty() || IsOwnPort(name, ownClient))
			continue;
		std::string stable = StablePortName(name);
		std::string unique = stable;
		for (int n = 2; seen.count(unique) != 0; ++n)
			unique = stable + " #" + std::to_string(n);
		seen.insert(unique);
		result.emplace_back(unique, name);
	}
	return result;
}

}  // namespace midi_internal
