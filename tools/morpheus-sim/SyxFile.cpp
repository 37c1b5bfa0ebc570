#include "SyxFile.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>

namespace morpheus_sim {

std::vector<Message> SplitSystemExclusive(const uint8_t* data, size_t length)
{
	std::vector<Message> messages;
	Message current;
	bool inside = false;
	for (size_t i = 0; i < length; ++i) {
		uint8_t byte = data[i];
		if (byte == 0xF0) {
			current.clear();
			inside = true;
		} else if (byte == 0xF7) {
			if (inside && !current.empty())
				messages.push_back(current);
			inside = false;
		} else if (byte >= 0xF8) {
			// real-time bytes may sit anywhere; they belong to no message
		} else if (byte > 0x7F) {
			inside = false;
		} else if (inside) {
			current.push_back(byte);
		}
	}
	return messages;
}

bool ReadSyxFile(const std::string& path, std::vector<Message>& messages, std::string& error)
{
	messages.clear();
	std::ifstream file(path, std::ios::binary);
	if (!file) {
		error = "cannot open \"" + path + "\": " + strerror(errno);
		return false;
	}
	file.seekg(0, std::ios::end);
	std::streamoff size = file.tellg();
	file.seekg(0, std::ios::beg);
	if (size < 0 || static_cast<uint64_t>(size) > kMaxSyxFileSize) {
		error = "\"" + path + "\" is too large for a System Exclusive file";
		return false;
	}
	std::vector<uint8_t> bytes(static_cast<size_t>(size));
	if (size > 0 && !file.read(reinterpret_cast<char*>(bytes.data()), size)) {
		error = "cannot read \"" + path + "\"";
		return false;
	}
	messages = SplitSystemExclusive(bytes.data(), bytes.size());
	if (messages.empty()) {
		error = "\"" + path + "\" holds no System Exclusive message";
		return false;
	}
	return true;
}

}  // namespace morpheus_sim
