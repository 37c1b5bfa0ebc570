#include "midi/MidiStore.h"

#include "storage/AtomicFileWriter.h"

#include <algorithm>

using midi_internal::ValidChannelMessage;

namespace {

constexpr uint16 kTicksPerQuarter = 500;   // with the tempo below: one tick per millisecond
constexpr uint32 kMicrosecondsPerQuarter = 500000;
constexpr uint32 kLargestDelta = 0x0FFFFFFF;  // what a variable-length quantity holds

void Put32(std::vector<uint8>& out, uint32 v)
{
	for (int shift = 24; shift >= 0; shift -= 8)
		out.push_back(static_cast<uint8>(v >> shift));
}

void PutVariable(std::vector<uint8>& out, uint32 v)
{
	uint8 groups[5];
	int count = 0;
	do {
		groups[count++] = v & 0x7F;
		v >>= 7;
	} while (v != 0);
	while (count-- > 0)
		out.push_back(static_cast<uint8>(groups[count] | (count > 0 ? 0x80 : 0)));
}

// A delta time; one too long for the format goes in steps of empty text events.
void PutDelta(std::vector<uint8>& out, uint64 delta)
{
	while (delta > kLargestDelta) {
		PutVariable(out, kLargestDelta);
		out.insert(out.end(), {0xFF, 0x01, 0x00});
		delta -= kLargestDelta;
	}
	PutVariable(out, static_cast<uint32>(delta));
}

void PutTrack(std::vector<uint8>& file, const std::vector<uint8>& track)
{
	file.insert(file.end(), {'M', 'T', 'r', 'k'});
	Put32(file, static_cast<uint32>(track.size()));
	file.insert(file.end(), track.begin(), track.end());
}

void PutTempo(std::vector<uint8>& track)
{
	track.insert(track.end(), {0x00, 0xFF, 0x51, 0x03,
		static_cast<uint8>(kMicrosecondsPerQuarter >> 16),
		static_cast<uint8>(kMicrosecondsPerQuarter >> 8),
		static_cast<uint8>(kMicrosecondsPerQuarter)});
}

void PutEnd(std::vector<uint8>& track)
{
	track.insert(track.end(), {0x00, 0xFF, 0x2F, 0x00});
}

}  // namespace

BMidiStore::BMidiStore(int32 capacity)
{
	fEvents.reserve(static_cast<size_t>(std::max<int32>(capacity, 0)));
}

BMidiStore::~BMidiStore() = default;

void BMidiStore::Add(uint32 time, uint8 status, uint8 data1, int data2)
{
	Event e{time, static_cast<uint8>(data2 < 0 ? 2 : 3),
		{status, data1, static_cast<uint8>(data2 < 0 ? 0 : data2)}};
	std::lock_guard<std::mutex> guard(fLock);
	if (fEvents.size() < fEvents.capacity())
		fEvents.push_back(e);
	else
		++fDropped;
}

void BMidiStore::NoteOff(uchar channel, uchar note, uchar velocity, uint32 time)
{
	if (TrackNote(channel, note, velocity, false))
		Add(time, static_cast<uint8>(0x80 | (channel - 1)), note, velocity);
}

void BMidiStore::NoteOn(uchar channel, uchar note, uchar velocity, uint32 time)
{
	if (TrackNote(channel, note, velocity, true))
		Add(time, static_cast<uint8>(0x90 | (channel - 1)), note, velocity);
}

void BMidiStore::KeyPressure(uchar channel, uchar note, uchar pressure, uint32 time)
{
	if (ValidChannelMessage(channel, note, pressure))
		Add(time, static_cast<uint8>(0xA0 | (channel - 1)), note, pressure);
}

void BMidiStore::ControlChange(uchar channel, uchar controlNumber, uchar controlValue,
	uint32 time)
{
	if (ValidChannelMessage(channel, controlNumber, controlValue))
		Add(time, static_cast<uint8>(0xB0 | (channel - 1)), controlNumber, controlValue);
}

void BMidiStore::ProgramChange(uchar channel, uchar programNumber, uint32 time)
{
	if (ValidChannelMessage(channel, programNumber))
		Add(time, static_cast<uint8>(0xC0 | (channel - 1)), programNumber, -1);
}

void BMidiStore::ChannelPressure(uchar channel, uchar pressure, uint32 time)
{
	if (ValidChannelMessage(channel, pressure))
		Add(time, static_cast<uint8>(0xD0 | (channel - 1)), pressure, -1);
}

void BMidiStore::PitchBend(uchar channel, uchar lsb, uchar msb, uint32 time)
{
	if (ValidChannelMessage(channel, lsb, msb))
		Add(time, static_cast<uint8>(0xE0 | (channel - 1)), lsb, msb);
}

int32 BMidiStore::CountEvents() const
{
	std::lock_guard<std::mutex> guard(fLock);
	return static_cast<int32>(fEvents.size());
}

std::vector<BMidiStore::Event> BMidiStore::Events() const
{
	std::lock_guard<std::mutex> guard(fLock);
	return fEvents;
}

int32 BMidiStore::Dropped() const
{
	std::lock_guard<std::mutex> guard(fLock);
	return fDropped;
}

void BMidiStore::Clear()
{
	std::lock_guard<std::mutex> guard(fLock);
	fEvents.clear();
	fDropped = 0;
}

std::vector<uint8> BMidiStore::StandardMidiFile(int32 format) const
{
	if (format != 0 && format != 1)
		return {};
	std::vector<Event> events = Events();
	std::stable_sort(events.begin(), events.end(),
		[](const Event& a, const Event& b) { return a.time < b.time; });

	std::vector<uint8> track;
	if (format == 0)
		PutTempo(track);
	uint32 now = 0;
	for (const Event& e : events) {
		PutDelta(track, e.time - now);
		now = e.time;
		track.insert(track.end(), e.bytes, e.bytes + e.length);
	}
	PutEnd(track);

	std::vector<uint8> file = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, static_cast<uint8>(format),
		0, static_cast<uint8>(format == 0 ? 1 : 2),
		static_cast<uint8>(kTicksPerQuarter >> 8), static_cast<uint8>(kTicksPerQuarter)};
	if (format == 1) {
		std::vector<uint8> tempo;
		PutTempo(tempo);
		PutEnd(tempo);
		PutTrack(file, tempo);
	}
	PutTrack(file, track);
	return file;
}

status_t BMidiStore::Export(const char* path, int32 format) const
{
	if (path == nullptr || *path == '\0' || (format != 0 && format != 1))
		return B_BAD_VALUE;
	const std::vector<uint8> bytes = StandardMidiFile(format);
	AtomicFileWriter file(path, "audio/midi");
	if (file.InitCheck() != B_OK)
		return file.InitCheck();
	const ssize_t written = file.WriteAt(0, bytes.data(), bytes.size());
	if (written < 0)
		return static_cast<status_t>(written);
	if (static_cast<size_t>(written) != bytes.size())
		return B_IO_ERROR;
	return file.Commit();
}
