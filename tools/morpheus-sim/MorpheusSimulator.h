// MorpheusSimulator: the instrument side of the E-mu Morpheus protocol, without any I/O.
//
// It takes what the instrument receives (System Exclusive messages without their
// 0xF0/0xF7, program changes, control changes) and returns the replies the instrument
// sends, each one System Exclusive message without framing. Its memory: presets 0-255
// (0-127 RAM, 128-255 ROM; requests name a ROM preset with its number + 128),
// hyperpresets 0-127 and midimaps 0-15, all kept as whole dumps with valid checksums.
//
// What it plays: the bank chosen by control change 32 (0 RAM presets, 1 ROM presets,
// 2 hyperpresets; 3 and 4 name the card, which it has not) and the program of the last
// program change. Real-time parameter edits (command 0x03: pairs of 14-bit parameter
// number and value) change the playing patch: numbers 8192 up reach the words of the
// current preset, 8704 up those of the current hyperpreset, 2048 up those of the current
// midimap (midimap 0 unless set). The edited patch is what the instrument plays, and what
// a request for that patch returns, until a program change or a dump for it replaces it.
//
// Dumps sent to it are stored when they are for this device, of their exact length, with
// a valid checksum, and for writable memory (RAM presets, hyperpresets, midimaps).
// Everything else (other device ids, other manufacturers, unknown commands, truncated or
// padded messages, numbers out of range) is ignored and counted, as a real instrument
// ignores what is not for it.
//
// Threads: every method may be called from any thread; calls are serialised.
#pragma once

#include "MorpheusSysex.h"

#include <array>
#include <mutex>
#include <vector>

namespace morpheus_sim {

class MorpheusSimulator {
public:
	// Banks a control change 32 selects.
	enum Bank : uint8_t { kPresetRam = 0, kPresetRom = 1, kHyperpresetRam = 2 };

	struct Program {
		uint8_t bank;
		uint8_t program;
	};

	struct Counters {
		int requestsAnswered = 0;
		int dumpsStored = 0;
		int parameterEdits = 0;
		int ignored = 0;
	};

	struct LoadResult {
		int presets = 0;
		int hyperpresets = 0;
		int midimaps = 0;
		int skipped = 0;   // messages that are no storable dump
	};

	// A factory-like memory and the simulator's own instrument, filter and effect lists.
	// Device ids above 15 are taken as 0.
	explicit MorpheusSimulator(uint8_t deviceId = 0);

	uint8_t DeviceId() const;

	// Replaces the instrument list reported (a complete list message without framing, of
	// any device id). False, and nothing changes, when it is not one.
	bool SetInstrumentList(const Message& list);

	// Takes the dumps among `messages` as memory, whatever device id they carry; a dump
	// for a ROM preset fills the ROM. Other messages and broken dumps are skipped.
	LoadResult LoadMemory(const std::vector<Message>& messages);

	// One System Exclusive message as received (without 0xF0/0xF7); the replies to it.
	std::vector<Message> SystemExclusive(const uint8_t* data, size_t length);
	// One complete MIDI message as on the wire (System Exclusive framed); the replies.
	std::vector<Message> Receive(const uint8_t* data, size_t length);

	// Listens on one MIDI channel (0-15) or, with -1, on all (the default).
	void SetChannel(int channel);
	void ProgramChange(uint8_t channel, uint8_t program);
	void ControlChange(uint8_t channel, uint8_t controller, uint8_t value);
	// Which midimap real-time edits change (0-15).
	void SetCurrentMidimap(uint8_t number);

	Program Playing() const;
	// The dumps as a request would return them (an edited playing patch included);
	// empty when the number is out of range.
	Message Preset(int number) const;        // 0-255, ROM from 128
	Message Hyperpreset(int number) const;   // 0-127
	Message Midimap(int number) const;       // 0-15
	// The preset being played or edited (0-255).
	int CurrentPreset() const;
	Counters Statistics() const;

private:
	struct Memory {
		const DumpLayout* layout;
		std::vector<Message> stored;
		int current = 0;     // the patch being played and edited
		Message edited;      // that patch with its real-time edits
	};

	std::vector<Message> HandleSystemExclusive(const uint8_t* data, size_t length);
	std::vector<Message> AnswerRequest(Memory& memory, const uint8_t* data, size_t length);
	bool StoreDump(const uint8_t* data, size_t length);
	bool ApplyEdits(const uint8_t* data, size_t length);
	bool ApplyEdit(int parameter, const uint8_t* value);
	Message ListReply(const Message& list) const;
	Message Reply(const Memory& memory, int number) const;
	void Select(Memory& memory, int number);
	static int SlotOf(const DumpLayout& layout, const uint8_t* dump);

	mutable std::mutex fLock;
	uint8_t fDeviceId;
	int fChannel = -1;
	uint8_t fBank = kPresetRam;
	uint8_t fProgram = 0;
	Memory fPresets;
	Memory fHyperpresets;
	Memory fMidimaps;
	Message fInstrumentList;
	Message fFilterList;
	Message fEffectList;
	Counters fCounters;
};

}  // namespace morpheus_sim
