// The arithmetic of pacing by periods: admits bytes so that no two neighbouring periods
// together carry more than a limit. A message alone in an empty window always passes
// (it may be larger than half the limit); the caller waits for the next period when a
// message is refused.
#ifndef MIDI_PERIODWINDOW_H
#define MIDI_PERIODWINDOW_H

#include <cstddef>
#include <cstdint>

namespace midi_internal {

class PeriodWindow {
public:
	explicit PeriodWindow(size_t pairLimit) : fLimit(pairLimit) {}

	// Whether `bytes` may leave in `period`; counts them when they may.
	bool Admit(size_t bytes, uint64_t period)
	{
		if (period != fPeriod) {
			fPrevious = period == fPeriod + 1 ? fCurrent : 0;
			fCurrent = 0;
			fPeriod = period;
		}
		size_t used = fPrevious + fCurrent;
		if (used != 0 && used + bytes > fLimit)
			return false;
		fCurrent += bytes;
		return true;
	}

private:
	size_t fLimit;
	uint64_t fPeriod = 0;
	size_t fCurrent = 0;    // admitted in this period
	size_t fPrevious = 0;   // admitted in the period before
};

}  // namespace midi_internal

#endif
