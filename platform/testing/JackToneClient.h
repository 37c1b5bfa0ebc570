#pragma once
// JackToneClient: an independent JACK client for tests of programs that carry audio
// between JACK ports. It plays a sine on each of its output ports ("out_1", "out_2", ...)
// and, once asked, records each of its input ports ("in_1", ...) into memory.
//
//   JackToneClient peer("peer", {{441.0, 0.6f}, {1000.0, 0.4f}});
//   ASSERT_TRUE(peer.Valid());
//   ... connect peer.Port("out_1") to the program, the program to peer.Port("in_1") ...
//   peer.StartRecording();
//   ASSERT_TRUE(peer.WaitForRecorded(44100, 10000000));
//   std::vector<float> left = peer.Recorded(0);
//
// Lifetime: the client opens with the object on the server JACK_DEFAULT_SERVER names (never
// starting one) and closes with it. Recording stops when its room (set at construction)
// is full.
// Threads: JACK's process thread plays and records; the methods are for one test thread.
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

class JackToneClient {
public:
	struct Tone {
		double frequency;  // Hz
		float amplitude;   // peak
	};

	// One output and one input port per tone; room: frames each input keeps.
	JackToneClient(const char* name, std::vector<Tone> tones, size_t room = 44100 * 4);
	~JackToneClient();
	JackToneClient(const JackToneClient&) = delete;
	JackToneClient& operator=(const JackToneClient&) = delete;

	bool Valid() const;
	// The full name of a port ("<client>:out_1"); name as "out_1" or "in_2".
	std::string Port(const char* name) const;
	double Rate() const;

	// Records every input from now on.
	void StartRecording();
	// Sleeps until each input recorded `frames` (at most the room); false at the
	// time-out (µs).
	bool WaitForRecorded(size_t frames, long long timeout) const;
	size_t RecordedCount() const;
	std::vector<float> Recorded(size_t channel) const;

private:
	struct State;
	std::unique_ptr<State> fState;
};
