// Helpers of the simulator tests: building requests by hand and checking dumps with
// arithmetic of their own, so that the simulator's helpers are not their own judges.
#pragma once

#include "MorpheusSimulator.h"
#include "SyxFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace sim_test {

using morpheus_sim::Message;

inline Message PatchRequest(uint8_t device, uint8_t command, int number)
{
	return Message{0x18, 0x0C, device, command, static_cast<uint8_t>(number & 0x7F),
		static_cast<uint8_t>((number >> 7) & 0x7F)};
}

inline Message ListRequest(uint8_t device, uint8_t command)
{
	return Message{0x18, 0x0C, device, command};
}

inline std::vector<Message> Send(morpheus_sim::MorpheusSimulator& sim, const Message& m)
{
	return sim.SystemExclusive(m.data(), m.size());
}

// The checksum rule of the instrument: bytes 7 to length-2 summed, low 7 bits.
inline bool HasValidChecksum(const Message& dump)
{
	if (dump.size() < 9)
		return false;
	unsigned sum = 0;
	for (size_t i = 7; i < dump.size() - 1; ++i)
		sum += dump[i];
	return (sum & 0x7F) == dump.back();
}

inline void FixChecksum(Message& dump)
{
	unsigned sum = 0;
	for (size_t i = 7; i < dump.size() - 1; ++i)
		sum += dump[i];
	dump.back() = static_cast<uint8_t>(sum & 0x7F);
}

inline int Word(const Message& m, size_t index)
{
	int v = m[index] | (m[index + 1] << 7);
	return v >= 0x2000 ? v - 0x4000 : v;
}

inline std::string Name(const Message& dump)
{
	std::string name;
	for (size_t i = 7; i < 31; i += 2)
		name += static_cast<char>(dump[i]);
	return name;
}

inline std::string FixturePath(const char* file)
{
	return std::string(SUITE_FIXTURES_DIR) + "/morpheus/" + file;
}

// The messages of a fixture file; empty (and the test skips) when the folder is absent.
inline std::vector<Message> ReadFixture(const char* file)
{
	std::vector<Message> messages;
	std::string error;
	if (!std::filesystem::exists(FixturePath(file)))
		return messages;
	EXPECT_TRUE(morpheus_sim::ReadSyxFile(FixturePath(file), messages, error)) << error;
	return messages;
}

}  // namespace sim_test
