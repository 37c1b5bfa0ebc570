// Reads a WAV file back with libsndfile, an oracle independent of the writer, and measures
// what the tests compare: level and frequency per channel.
#pragma once

#include <sndfile.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

struct WavReadBack {
	bool ok = false;
	int rate = 0;
	int channels = 0;
	int format = 0;
	std::vector<int16_t> samples;   // interleaved

	explicit WavReadBack(const std::string& path)
	{
		SF_INFO info = {};
		SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
		if (file == nullptr)
			return;
		rate = info.samplerate;
		channels = info.channels;
		format = info.format;
		samples.resize(size_t(info.frames) * info.channels);
		ok = sf_readf_short(file, samples.data(), info.frames) == info.frames;
		sf_close(file);
	}

	int64_t Frames() const { return channels ? int64_t(samples.size()) / channels : 0; }

	// Root mean square of one channel over frames [from, Frames()).
	double Rms(int channel, int64_t from = 0) const
	{
		double sum = 0;
		int64_t n = 0;
		for (int64_t i = from; i < Frames(); i++, n++)
			sum += double(samples[size_t(i) * channels + channel])
				* samples[size_t(i) * channels + channel];
		return n ? std::sqrt(sum / double(n)) : 0;
	}

	// Frequency from the sign changes of one channel over frames [from, Frames()).
	double Frequency(int channel, int64_t from = 0) const
	{
		int64_t crossings = 0;
		int previous = 0;
		for (int64_t i = from; i < Frames(); i++) {
			int16_t s = samples[size_t(i) * channels + channel];
			int sign = s > 0 ? 1 : s < 0 ? -1 : 0;
			if (sign != 0 && previous != 0 && sign != previous)
				crossings++;
			if (sign != 0)
				previous = sign;
		}
		int64_t n = Frames() - from;
		return n > 0 ? crossings / 2.0 * rate / double(n) : 0;
	}
};
