#include "cli/JsonText.h"

#include <cstdio>

namespace {

// Length of the valid UTF-8 sequence at s[i], or 0.
size_t Utf8Length(const std::string& s, size_t i)
{
	const unsigned char c = static_cast<unsigned char>(s[i]);
	size_t length = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3
		: (c >> 3) == 0x1E ? 4 : 0;
	if (length == 0 || i + length > s.size() || (length == 2 && c < 0xC2))
		return 0;
	for (size_t k = 1; k < length; k++) {
		if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80)
			return 0;
	}
	return length;
}

}  // namespace

std::string JsonString(const std::string& text)
{
	std::string out = "\"";
	for (size_t i = 0; i < text.size();) {
		const unsigned char c = static_cast<unsigned char>(text[i]);
		size_t length = Utf8Length(text, i);
		if (length == 0) {
			out += "\xEF\xBF\xBD";
			i++;
			continue;
		}
		if (length > 1) {
			out.append(text, i, length);
		} else if (c == '"' || c == '\\') {
			out += '\\';
			out += char(c);
		} else if (c == '\n') {
			out += "\\n";
		} else if (c == '\t') {
			out += "\\t";
		} else if (c < 0x20 || c == 0x7F) {
			char escaped[8];
			snprintf(escaped, sizeof(escaped), "\\u%04x", c);
			out += escaped;
		} else {
			out += char(c);
		}
		i += length;
	}
	return out + "\"";
}
