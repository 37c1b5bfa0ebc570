#pragma once
// JackAvailable: whether the JACK server of this test run answers, for tests that need one.
//
// The server asked is the one JACK_DEFAULT_SERVER names (./test starts a server of its own
// name per run and sets it), else JACK's default. Nothing starts a server.
// Tests begin with SKIP_WITHOUT_JACK(): with no server answering they skip with
// JackSkipMessage(), or fail where a server was promised (SUITE_JACK_RUNNING or CI set).
#include <gtest/gtest.h>

#include <string>

// True when a client can open on the server named by JACK_DEFAULT_SERVER (or the default).
bool JackAvailable();

// True when the environment says a JACK server runs for this test run.
bool JackPromised();

// Why a test skips: which server did not answer and how to start one.
std::string JackSkipMessage();

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
