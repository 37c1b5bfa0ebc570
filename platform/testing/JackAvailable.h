#pragma once
// JackAvailable: whether the JACK server of this test run answers, for tests that need one.
//
// The server asked is the one JACK_DEFAULT_SERVER names (./test starts a server of its own
// name per run and sets it), else JACK's default. Nothing starts a server.
// Tests begin with SKIP_WITHOUT_JACK(): with no server answering they skip with
// JackSkipMessage(), or fail where a server was promised (SUITE_JACK_RUNNING or CI set).
#include <gtest/gtest.h>

#include <string>

#include <sys/types.h>

// True when a client can open on the server named by JACK_DEFAULT_SERVER (or the default).
bool JackAvailable();

// True when the environment says a JACK server runs for this test run.
bool JackPromised();

// Why a test skips: which server did not answer and how to start one.
std::string JackSkipMessage();

// A JACK server of the test's own (jackd, dummy driver, 44 100 Hz, 512 frames, a name of
// its own), for tests that make a server go away: a test stops only a server it started.
// Clients reach it with JACK_DEFAULT_SERVER=Name(). Stop() ends it as a user would
// (SIGTERM: it tells its clients it shuts down) and waits until it has gone; the
// destructor stops it too.
class PrivateJackServer {
public:
	// Starts it and waits (up to 10 s) until it answers; Running() says whether it did.
	PrivateJackServer();
	~PrivateJackServer();
	PrivateJackServer(const PrivateJackServer&) = delete;
	PrivateJackServer& operator=(const PrivateJackServer&) = delete;

	bool Running() const { return fRunning; }
	const std::string& Name() const { return fName; }
	// What the server wrote, for a failure message.
	std::string Log() const;
	// Makes it this program's default server (JACK_DEFAULT_SERVER) until destruction,
	// which puts the previous default back.
	void UseAsDefault();
	void Stop();

private:
	std::string fName;
	bool fDefault = false;
	bool fHadDefault = false;
	std::string fPreviousDefault;
	std::string fLog;     // a file under a scratch folder of its own
	pid_t fPid = -1;
	bool fRunning = false;
};

#define SKIP_WITHOUT_JACK()                                                         \
	do {                                                                            \
		if (!JackAvailable()) {                                                     \
			if (JackPromised())                                                     \
				FAIL() << "no JACK server answers, although SUITE_JACK_RUNNING or " \
						  "CI says one runs ("                                      \
					   << JackSkipMessage() << ")";                                 \
			GTEST_SKIP() << JackSkipMessage();                                      \
		}                                                                           \
	} while (false)
