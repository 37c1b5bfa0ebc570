#include "midi/MidiParser.h"

namespace midi_internal {

size_t MidiMessageLength(uint8_t status)
{
	if (status < 0x80)
		return 0;
	switch (status & 0xF0) {
		case 0x80: case 0x90: case 0xA0: case 0xB0: case 0xE0:
			return 3;
		case 0xC0: case 0xD0:
			return 2;
		default:
			break;
	}
	switch (status) {
		case 0xF1: case 0xF3:
			return 2;
		case 0xF2:
			return 3;
		case 0xF6: case 0xF8: case 0xFA: case 0xFB: case 0xFC: case 0xFE: case 0xFF:
			return 1;
		default:
			return 0;  // 0xF0, 0xF7 and the undefined 0xF4, 0xF5, 0xF9, 0xFD
	}
}

MidiParser::MidiParser(size_t maxSystemExclusive)
	: fMaxSystemExclusive(maxSystemExclusive < 2 ? 2 : maxSystemExclusive)
{
}

void MidiParser::Reset()
{
	fMessage.clear();
	fExpected = 0;
	fInSystemExclusive = false;
	fDiscarding = false;
	fRunningStatus = 0;
}

bool MidiParser::AtMessageBoundary() const
{
	return !fInSystemExclusive && !fDiscarding && fMessage.empty();
}

void MidiParser::DropPending()
{
	fDropped += fMessage.size();
	fMessage.clear();
	fExpected = 0;
	fInSystemExclusive = false;
}

void MidiParser::Feed(const uint8_t* bytes, size_t length, const Emit& emit)
{
	if (bytes == nullptr)
		return;
	for (size_t i = 0; i < length; ++i) {
		uint8_t b = bytes[i];
		if (b >= 0xF8) {
			if (MidiMessageLength(b) == 1)
				emit(&b, 1);
			else
				++fDropped;
			continue;
		}
		if (fDiscarding) {
			++fDropped;
			if (b < 0x80 || b == 0xF7)
				continue;
			fDiscarding = false;  // a new status byte ends the skipping; handle it below
			--fDropped;
		}
		if (b == 0xF0) {
			DropPending();
			fRunningStatus = 0;
			fInSystemExclusive = true;
			fMessage.push_back(b);
			continue;
		}
		if (b == 0xF7) {
			if (!fInSystemExclusive) {
				DropPending();
				++fDropped;
				continue;
			}
			fMessage.push_back(b);
			emit(fMessage.data(), fMessage.size());
			fMessage.clear();
			fInSystemExclusive = false;
			continue;
		}
		if (b >= 0x80) {
			DropPending();
			size_t needed = MidiMessageLength(b);
			if (needed == 0) {
				++fDropped;
				fRunningStatus = 0;
				continue;
			}
			fRunningStatus = b < 0xF0 ? b : 0;
			fMessage.push_back(b);
			fExpected = needed;
		} else if (fInSystemExclusive) {
			if (fMessage.size() + 1 >= fMaxSystemExclusive) {
				DropPending();
				++fDropped;
				fDiscarding = true;
				continue;
			}
			fMessage.push_back(b);
			continue;
		} else if (!fMessage.empty()) {
			fMessage.push_back(b);
		} else if (fRunningStatus != 0) {
			fMessage.push_back(fRunningStatus);
			fMessage.push_back(b);
			fExpected = MidiMessageLength(fRunningStatus);
		} else {
			++fDropped;
			continue;
		}
		if (fMessage.size() == fExpected) {
			emit(fMessage.data(), fMessage.size());
			fMessage.clear();
			fExpected = 0;
		}
	}
}

}  // namespace midi_internal
