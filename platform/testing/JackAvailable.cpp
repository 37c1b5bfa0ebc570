#include "testing/JackAvailable.h"

#include <jack/jack.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

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
	// Where a server was promised, a loaded machine may keep it from answering at once.
	const int attempts = JackPromised() ? 50 : 1;
	jack_client_t* client = nullptr;
	for (int i = 0; i < attempts && client == nullptr; i++) {
		if (i > 0)
			usleep(200000);
		client = jack_client_open("suite-test-probe", JackNoStartServer, nullptr);
	}
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

PrivateJackServer::PrivateJackServer()
{
	static int started = 0;
	fName = "suite-private-" + std::to_string(getpid()) + "-" + std::to_string(++started);
	char folder[] = "/tmp/suite-jackd.XXXXXX";
	if (mkdtemp(folder) == nullptr)
		return;
	fLog = std::string(folder) + "/jackd.log";
	posix_spawn_file_actions_t actions;
	posix_spawn_file_actions_init(&actions);
	posix_spawn_file_actions_addopen(&actions, 1, fLog.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
		0644);
	posix_spawn_file_actions_adddup2(&actions, 1, 2);
	std::string name = fName;
	const char* arguments[] = {"jackd", "-n", name.c_str(), "--no-realtime", "-d", "dummy",
		"-r", "44100", "-p", "512", nullptr};
	int failed = posix_spawnp(&fPid, "jackd", &actions, nullptr,
		const_cast<char* const*>(arguments), environ);
	posix_spawn_file_actions_destroy(&actions);
	if (failed != 0) {
		fPid = -1;
		return;
	}
	jack_set_error_function(Quiet);
	jack_set_info_function(Quiet);
	// Asked every 50 ms: a server that starts has no way to tell us.
	for (int i = 0; i < 200 && !fRunning; i++) {
		jack_client_t* client = jack_client_open("suite-test-probe",
			jack_options_t(JackNoStartServer | JackServerName), nullptr, fName.c_str());
		if (client != nullptr) {
			jack_client_close(client);
			fRunning = true;
		} else {
			std::this_thread::sleep_for(std::chrono::milliseconds(50));
		}
	}
	jack_set_error_function(ToStandardError);
	jack_set_info_function(ToStandardError);
}

PrivateJackServer::~PrivateJackServer()
{
	Stop();
	if (fDefault) {
		if (fHadDefault)
			setenv("JACK_DEFAULT_SERVER", fPreviousDefault.c_str(), 1);
		else
			unsetenv("JACK_DEFAULT_SERVER");
	}
	if (!fLog.empty()) {
		unlink(fLog.c_str());
		rmdir(fLog.substr(0, fLog.rfind('/')).c_str());
	}
}

std::string PrivateJackServer::Log() const
{
	std::ifstream file(fLog);
	std::ostringstream text;
	text << file.rdbuf();
	return text.str();
}

void PrivateJackServer::UseAsDefault()
{
	if (!fDefault) {
		const char* previous = getenv("JACK_DEFAULT_SERVER");
		fHadDefault = previous != nullptr;
		fPreviousDefault = previous != nullptr ? previous : "";
		fDefault = true;
	}
	setenv("JACK_DEFAULT_SERVER", fName.c_str(), 1);
}

void PrivateJackServer::Stop()
{
	fRunning = false;
	if (fPid < 0)
		return;
	kill(fPid, SIGTERM);
	// A server killed outright keeps its place in JACK's table of servers (8 places):
	// give it long to go before forcing it.
	int status;
	for (int i = 0; i < 600; i++) {
		if (waitpid(fPid, &status, WNOHANG) == fPid) {
			fPid = -1;
			return;
		}
		std::this_thread::sleep_for(std::chrono::milliseconds(50));
	}
	kill(fPid, SIGKILL);
	waitpid(fPid, &status, 0);
	fPid = -1;
}
