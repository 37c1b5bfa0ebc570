// Byte-level logic: splitting untrusted input into messages, framing System Exclusive,
// building channel messages, stable port names, and pacing by periods.
#include "midi/MidiMessages.h"
#include "midi/MidiParser.h"
#include "midi/PortNames.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

using namespace midi_internal;
using Bytes = std::vector<uint8_t>;

namespace {

std::vector<Bytes> Parse(MidiParser& parser, const Bytes& input)
{
	std::vector<Bytes> out;
	parser.Feed(input.data(), input.size(),
		[&](const uint8_t* m, size_t n) { out.emplace_back(m, m + n); });
	return out;
}

}  // namespace

TEST(MidiParser, SplitsWellFormedStreams)
{
	MidiParser parser;
	// Note on, running status note on, program change, SysEx with a clock byte inside,
	// tune request, pitch bend.
	Bytes input = {0x90, 60, 100, 62, 101, 0xC3, 5, 0xF0, 0x18, 0xF8, 0x0C, 0x00, 0xF7,
		0xF6, 0xE1, 0x00, 0x40};
	std::vector<Bytes> expected = {{0x90, 60, 100}, {0x90, 62, 101}, {0xC3, 5}, {0xF8},
		{0xF0, 0x18, 0x0C, 0x00, 0xF7}, {0xF6}, {0xE1, 0x00, 0x40}};
	EXPECT_EQ(Parse(parser, input), expected);
	EXPECT_EQ(parser.DroppedBytes(), 0u);
	EXPECT_TRUE(parser.AtMessageBoundary());

	// A System Exclusive message arriving in three pieces comes out once, whole.
	EXPECT_TRUE(Parse(parser, {0xF0, 1, 2}).empty());
	EXPECT_FALSE(parser.AtMessageBoundary());
	EXPECT_TRUE(Parse(parser, {3, 4}).empty());
	EXPECT_EQ(Parse(parser, {5, 0xF7}), (std::vector<Bytes>{{0xF0, 1, 2, 3, 4, 5, 0xF7}}));
}

TEST(MidiParser, DropsMalformedBytesAndKeepsTheRest)
{
	MidiParser parser(16);
	// stray data bytes; End of Exclusive without start; a SysEx cut off by a note on;
	// undefined status bytes 0xF4 and 0xFD; a note on missing its velocity, cut by a
	// program change.
	Bytes input = {0x10, 0x20, 0xF7, 0xF0, 1, 2, 0x90, 64, 90, 0xF4, 0xFD, 0x80, 64,
		0xC0, 7};
	std::vector<Bytes> expected = {{0x90, 64, 90}, {0xC0, 7}};
	EXPECT_EQ(Parse(parser, input), expected);
	EXPECT_EQ(parser.DroppedBytes(), 10u);

	// A SysEx longer than the limit is skipped to its end; the next message survives.
	Bytes longSysEx = {0xF0};
	longSysEx.insert(longSysEx.end(), 40, 0x11);
	longSysEx.push_back(0xF7);
	longSysEx.insert(longSysEx.end(), {0xB0, 7, 100});
	EXPECT_EQ(Parse(parser, longSysEx), (std::vector<Bytes>{{0xB0, 7, 100}}));
	EXPECT_TRUE(parser.AtMessageBoundary());
}

TEST(MidiMessages, FramesSystemExclusiveExactlyOnce)
{
	Bytes framed;
	Bytes expected = {0xF0, 0x18, 0x0C, 0x00, 0xF7};
	for (const Bytes& block : {Bytes{0x18, 0x0C, 0x00}, Bytes{0xF0, 0x18, 0x0C, 0x00},
			 Bytes{0x18, 0x0C, 0x00, 0xF7}, Bytes{0xF0, 0x18, 0x0C, 0x00, 0xF7}}) {
		ASSERT_EQ(FrameSystemExclusive(block.data(), block.size(), framed), B_OK);
		EXPECT_EQ(framed, expected);
	}
	Bytes inner = {0xF0, 0x18, 0xF7, 0x00, 0xF7};
	EXPECT_EQ(FrameSystemExclusive(inner.data(), inner.size(), framed), B_BAD_VALUE);
	Bytes clock = {0x18, 0xF8, 0x00};
	EXPECT_EQ(FrameSystemExclusive(clock.data(), clock.size(), framed), B_BAD_VALUE);
	EXPECT_EQ(FrameSystemExclusive(nullptr, 3, framed), B_BAD_VALUE);
	EXPECT_EQ(FrameSystemExclusive(inner.data(), 0, framed), B_BAD_VALUE);
}

TEST(MidiMessages, ChecksChannelAndDataRanges)
{
	Bytes message;
	ASSERT_EQ(BuildChannelMessage(0x90, 15, 60, 127, message), B_OK);
	EXPECT_EQ(message, (Bytes{0x9F, 60, 127}));
	ASSERT_EQ(BuildChannelMessage(0xC0, 2, 99, 200, message), B_OK);  // data2 unused
	EXPECT_EQ(message, (Bytes{0xC2, 99}));
	EXPECT_EQ(BuildChannelMessage(0x90, 16, 60, 100, message), B_BAD_VALUE);
	EXPECT_EQ(BuildChannelMessage(0x90, 0, 128, 100, message), B_BAD_VALUE);
	EXPECT_EQ(BuildChannelMessage(0xB0, 0, 7, 128, message), B_BAD_VALUE);
	EXPECT_EQ(BuildChannelMessage(0xF0, 0, 7, 1, message), B_BAD_VALUE);
	EXPECT_EQ(BuildSystemMessage(0xF2, 0x10, 0x20, message), B_OK);
	EXPECT_EQ(message, (Bytes{0xF2, 0x10, 0x20}));
	EXPECT_EQ(BuildSystemMessage(0xF4, 0, 0, message), B_BAD_VALUE);
	EXPECT_EQ(BuildSystemMessage(0xF7, 0, 0, message), B_BAD_VALUE);
}

TEST(PortNames, IgnoreAlsaClientAndPortNumbers)
{
	EXPECT_EQ(StablePortName("UM-ONE:UM-ONE MIDI 1 20:0"), "UM-ONE:UM-ONE MIDI 1");
	EXPECT_EQ(StablePortName("Synth 128:12  "), "Synth");
	EXPECT_TRUE(PortNamesMatch("Morpheus 20:0", "Morpheus 24:0"));
	EXPECT_TRUE(PortNamesMatch("Morpheus 20:0", "Morpheus"));
	EXPECT_FALSE(PortNamesMatch("Morpheus 20:0", "Morpheus 2"));
	// Names without the number pair stay as they are (JACK's "client:port" too).
	EXPECT_EQ(StablePortName("system:midi_capture_1"), "system:midi_capture_1");
	EXPECT_EQ(StablePortName("Port 2"), "Port 2");
	EXPECT_EQ(StablePortName("a:1"), "a:1");
	EXPECT_EQ(StablePortName("20:0"), "20:0");

	EXPECT_EQ(StablePortName("a2j:UM-ONE [20] (capture): UM-ONE MIDI 1"),
		"a2j:UM-ONE (capture): UM-ONE MIDI 1");
	EXPECT_TRUE(PortNamesMatch("a2j:UM-ONE [20] (playback): UM-ONE MIDI 1",
		"a2j:UM-ONE [24] (playback): UM-ONE MIDI 1"));
	EXPECT_EQ(StablePortName("Midi-Bridge:UM-ONE 20:(capture_0) UM-ONE MIDI 1"),
		"Midi-Bridge:UM-ONE (capture_0) UM-ONE MIDI 1");
	EXPECT_EQ(StablePortName("Synth [x] (capture)"), "Synth [x] (capture)");

	EXPECT_TRUE(IsOwnPort("patchora-77:out", "patchora-77"));
	EXPECT_TRUE(IsOwnPort("patchora-77-01:in", "patchora-77"));
	EXPECT_FALSE(IsOwnPort("patchora-771:in", "patchora-77"));
	EXPECT_FALSE(IsOwnPort("other:in", "patchora-77"));
}

TEST(PortNames, ListingsGetUniqueStableNamesWithoutOwnPorts)
{
	std::vector<std::string> listing = {"Midi Through:Midi Through Port-0 14:0",
		"USB MIDI:USB MIDI 1 20:0", "patchora-9:in 128:0", "USB MIDI:USB MIDI 1 24:0", ""};
	auto names = UniquePortNames(listing, "patchora-9");
	using Pair = std::pair<std::string, std::string>;
	std::vector<Pair> expected = {
		{"Midi Through:Midi Through Port-0", "Midi Through:Midi Through Port-0 14:0"},
		{"USB MIDI:USB MIDI 1", "USB MIDI:USB MIDI 1 20:0"},
		{"USB MIDI:USB MIDI 1 #2", "USB MIDI:USB MIDI 1 24:0"}};
	EXPECT_EQ(names, expected);
}

TEST(MidiParser, RandomBytesGiveOnlyWellFormedMessagesWhateverTheChunks)
{
	std::mt19937 random(1234);
	for (int round = 0; round < 200; ++round) {
		Bytes input(1 + random() % 400);
		for (auto& b : input)  // more status bytes than real traffic has
			b = static_cast<uint8_t>(random() % 3 == 0 ? 0x80 | random() : random() % 0x80);
		MidiParser whole(64);
		std::vector<Bytes> fromWhole = Parse(whole, input);

		MidiParser pieces(64);
		std::vector<Bytes> fromPieces;
		for (size_t at = 0; at < input.size();) {
			size_t n = std::min<size_t>(1 + random() % 7, input.size() - at);
			Bytes chunk(input.begin() + at, input.begin() + at + n);
			for (auto& m : Parse(pieces, chunk))
				fromPieces.push_back(m);
			at += n;
		}
		ASSERT_EQ(fromWhole, fromPieces) << "round " << round;
		EXPECT_EQ(whole.DroppedBytes(), pieces.DroppedBytes());

		for (const Bytes& m : fromWhole) {
			ASSERT_FALSE(m.empty());
			if (m[0] == 0xF0) {
				ASSERT_GE(m.size(), 2u);
				EXPECT_LE(m.size(), 64u);
				EXPECT_EQ(m.back(), 0xF7);
				for (size_t i = 1; i + 1 < m.size(); ++i)
					EXPECT_LT(m[i], 0x80);
			} else {
				ASSERT_EQ(m.size(), MidiMessageLength(m[0]));
				for (size_t i = 1; i < m.size(); ++i)
					EXPECT_LT(m[i], 0x80);
			}
		}
	}
}
