#pragma once
// BMidiStore: records the channel messages it is given, with their times, and exports
// them as a standard MIDI file.
//
// Times are milliseconds as the caller gives them (a recording usually passes times
// relative to its start); they are kept, not played. The file has 1 tick per millisecond
// (500 ticks per quarter note at 120 beats per minute) and holds the events in time
// order (equal times in the order they came).
//
// Capacity: the events live in an array allocated at construction, so recording never
// allocates; events beyond the capacity are dropped and counted (Dropped()).
//
// Export: format 0 (one track: tempo, then the events) or 1 (a tempo track, then a track
// of the events). The file is replaced whole or not at all (an unwritable place or a
// failed write leaves the old file as it was). Errors: B_BAD_VALUE for another format or
// no path, else the storage error of the write (B_PERMISSION_DENIED, B_ENTRY_NOT_FOUND ...).
//
// Threads: the hooks may be called from any thread, also a real-time one: each takes the
// store's lock for the copy of one event. Export and the readers take it for a copy.

#include "midi/Midi.h"

#include <mutex>
#include <vector>

class BMidiStore : public BMidi {
public:
	struct Event {
		uint32 time;     // milliseconds
		uint8 length;    // 2 or 3
		uint8 bytes[3];  // status with channel 0-15, then data
	};

	explicit BMidiStore(int32 capacity = 1 << 18);
	~BMidiStore() override;

	void NoteOff(uchar channel, uchar note, uchar velocity, uint32 time = B_NOW) override;
	void NoteOn(uchar channel, uchar note, uchar velocity, uint32 time = B_NOW) override;
	void KeyPressure(uchar channel, uchar note, uchar pressure, uint32 time = B_NOW) override;
	void ControlChange(uchar channel, uchar controlNumber, uchar controlValue,
		uint32 time = B_NOW) override;
	void ProgramChange(uchar channel, uchar programNumber, uint32 time = B_NOW) override;
	void ChannelPressure(uchar channel, uchar pressure, uint32 time = B_NOW) override;
	void PitchBend(uchar channel, uchar lsb, uchar msb, uint32 time = B_NOW) override;

	int32 CountEvents() const;
	// The events as recorded (not sorted).
	std::vector<Event> Events() const;
	int32 Dropped() const;
	void Clear();

	// The bytes of a standard MIDI file of format 0 or 1 (empty for another format).
	std::vector<uint8> StandardMidiFile(int32 format) const;
	status_t Export(const char* path, int32 format) const;

private:
	void Add(uint32 time, uint8 status, uint8 data1, int data2);

	mutable std::mutex fLock;
	std::vector<Event> fEvents;  // capacity fixed at construction; guarded by fLock
	int32 fDropped = 0;          // guarded by fLock
};
