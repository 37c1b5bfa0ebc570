#pragma once
// AudioRing: a single-producer, single-consumer ring of float samples with room fixed at
// set-up, between a node's thread and a device's audio thread. Write takes what fits and
// Read gives what is there; neither waits nor allocates.
//
// Threads: one writer thread and one reader thread at a time; SetCapacity and Clear only
// while neither runs.
#include <atomic>
#include <cstddef>
#include <vector>

class AudioRing {
public:
	// Room for `samples` samples (made now).
	void SetCapacity(size_t samples)
	{
		fData.assign(samples + 1, 0.0f);
		Clear();
	}
	void Clear()
	{
		fRead.store(0);
		fWrite.store(0);
	}
	size_t Available() const
	{
		size_t w = fWrite.load(std::memory_order_acquire);
		size_t r = fRead.load(std::memory_order_acquire);
		return w >= r ? w - r : w + fData.size() - r;
	}
	size_t Room() const { return fData.empty() ? 0 : fData.size() - 1 - Available(); }

	// Writes up to count samples; returns how many went in.
	size_t Write(const float* samples, size_t count)
	{
		size_t n = count < Room() ? count : Room();
		size_t w = fWrite.load(std::memory_order_relaxed);
		for (size_t i = 0; i < n; i++) {
			fData[w] = samples[i];
			w = w + 1 == fData.size() ? 0 : w + 1;
		}
		fWrite.store(w, std::memory_order_release);
		return n;
	}
	// Reads up to count samples; returns how many came out.
	size_t Read(float* samples, size_t count)
	{
		size_t have = Available();
		size_t n = count < have ? count : have;
		size_t r = fRead.load(std::memory_order_relaxed);
		for (size_t i = 0; i < n; i++) {
			samples[i] = fData[r];
			r = r + 1 == fData.size() ? 0 : r + 1;
		}
		fRead.store(r, std::memory_order_release);
		return n;
	}

private:
	std::vector<float> fData;
	std::atomic<size_t> fRead{0};
	std::atomic<size_t> fWrite{0};
};
