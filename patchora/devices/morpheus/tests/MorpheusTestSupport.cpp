#include "MorpheusTestSupport.h"

#include <filesystem>
#include <fstream>
#include <iterator>

std::string MorpheusFixture(const char* file)
{
    std::filesystem::path path = std::filesystem::path(SUITE_FIXTURES_DIR) / "morpheus" / file;
    return std::filesystem::exists(path) ? path.string() : std::string();
}

Bytes ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<Bytes> SplitSysEx(const Bytes& file)
{
    std::vector<Bytes> messages;
    Bytes current;
    bool inside = false;
    for (uint8 byte : file) {
        if (byte == 0xF0) {
            current.clear();
            inside = true;
        } else if (byte == 0xF7) {
            if (inside) messages.push_back(current);
            inside = false;
        } else if (inside) {
            current.push_back(byte);
        }
    }
    return messages;
}

Bytes Unframe(const Bytes& message)
{
    Bytes out;
    for (uint8 byte : message)
        if (byte != 0xF0 && byte != 0xF7) out.push_back(byte);
    return out;
}
