#include "testing/JackAvailable.h"

#include <jack/jack.h>

#include <cstdio>
#include <cstdlib>

namespace {

std::string ServerName()
{
	const char* name = getenv("JACK_DEFAULT_SERVER");
	return name != nullptr && *name != '\0' ? name : "default";
}

void Quiet(const char*)
{
}

// What JACK itself does with a message.
void ToStandardError(const char* message)
{
	fprintf(stderr, "%s\n", message);
}

}	// namespace

bool JackAvailable()
{
	// A missing server is an answer here, not an error for the test's log.
	jack_set_error_function(Quiet);
	jack_set_info_function(Quiet);
	jack_client_t* client = jack_client_open("suite-test-probe", JackNoStartServer, nullptr);
	if (client != nullptr)
		jack_client_close(client);
	jack_set_error_function(ToStandardError);
	jack_set_info_function(ToStandardError);
	return client != nullptr;
}

bool JackPromised()
{
	return getenv("SUITE_JACK_RUNNING") != nullptr || getenv("CI") != nullptr;
}

std::string JackSkipMessage()
{
	const std::string name = ServerName();
	return "no JACK server '" + name + "' answers; ./test starts one, or run 'jackd -n " + name
		+ " --no-realtime -d dummy -r 44100 -p 512'";
}
