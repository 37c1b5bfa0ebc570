#include "testing/Signal.h"

#include <algorithm>
#include <cmath>

double SignalFrequency(const std::vector<float>& s, double rate)
{
	int crossings = 0;
	size_t first = 0, last = 0;
	for (size_t i = 1; i < s.size(); i++) {
		if (s[i - 1] < 0 && s[i] >= 0) {
			if (crossings++ == 0)
				first = i;
			last = i;
		}
	}
	return crossings < 2 ? 0 : (crossings - 1) * rate / double(last - first);
}

float SignalPeak(const std::vector<float>& s)
{
	float peak = 0;
	for (float v : s)
		peak = std::max(peak, std::fabs(v));
	return peak;
}

double SignalRms(const std::vector<float>& s)
{
	double sum = 0;
	for (float v : s)
		sum += double(v) * v;
	return s.empty() ? 0 : std::sqrt(sum / double(s.size()));
}

bool SignalFinite(const std::vector<float>& s)
{
	return std::all_of(s.begin(), s.end(), [](float v) { return std::isfinite(v); });
}
