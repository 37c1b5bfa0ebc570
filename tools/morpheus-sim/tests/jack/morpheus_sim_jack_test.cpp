// End to end over JACK MIDI: morpheus-sim runs as a process of its own on JACK ports and
// this test talks to it through the MIDI roster, as a librarian would.
#include "../ReplyCollector.h"
#include "../SimTestSupport.h"

#include "midi/MidiProducer.h"
#include "midi/MidiRoster.h"
#include "testing/JackAvailable.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

using namespace sim_test;

namespace {

// The simulator process; stopped by its id when the test ends, however it ends.
class SimulatorProcess {
public:
	SimulatorProcess(const std::vector<std::string>& args, const std::string& logPath)
		:
		fLogPath(logPath)
	{
		std::vector<char*> argv;
		argv.push_back(const_cast<char*>(MORPHEUS_SIM_PROGRAM));
		for (const std::string& arg : args)
			argv.push_back(const_cast<char*>(arg.c_str()));
		argv.push_back(nullptr);
		posix_spawn_file_actions_t actions;
		posix_spawn_file_actions_init(&actions);
		posix_spawn_file_actions_addopen(&actions, 1, logPath.c_str(),
			O_WRONLY | O_CREAT | O_TRUNC, 0644);
		posix_spawn_file_actions_adddup2(&actions, 1, 2);
		if (posix_spawn(&fPid, MORPHEUS_SIM_PROGRAM, &actions, nullptr, argv.data(), environ)
			!= 0)
			fPid = -1;
		posix_spawn_file_actions_destroy(&actions);
	}

	~SimulatorProcess() { Stop(); }

	bool Started() const { return fPid > 0; }

	bool Running()
	{
		if (fPid <= 0)
			return false;
		int status;
		if (waitpid(fPid, &status, WNOHANG) == fPid) {
			fPid = -1;
			return false;
		}
		return true;
	}

	// SIGTERM, then SIGKILL when it does not go within five seconds; the exit status.
	int Stop()
	{
		if (fPid <= 0)
			return -1;
		kill(fPid, SIGTERM);
		int status = -1;
		for (int i = 0; i < 50; ++i) {
			if (waitpid(fPid, &status, WNOHANG) == fPid) {
				fPid = -1;
				return status;
			}
			std::this_thread::sleep_for(std::chrono::milliseconds(100));
		}
		kill(fPid, SIGKILL);
		waitpid(fPid, &status, 0);
		fPid = -1;
		return status;
	}

	std::string Log() const
	{
		std::ifstream file(fLogPath);
		std::stringstream text;
		text << file.rdbuf();
		return text.str();
	}

private:
	pid_t fPid = -1;
	std::string fLogPath;
};

bool EndsWith(const std::string& text, const std::string& end)
{
	return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// The first listed endpoint whose name starts with `client` and ends with ":port".
template<typename Endpoint, typename Next>
Endpoint* FindPort(Next next, const std::string& client, const std::string& port)
{
	int32 id = 0;
	while (Endpoint* endpoint = next(&id)) {
		std::string name = endpoint->Name();
		if (name.rfind(client, 0) == 0 && EndsWith(name, ":" + port))
			return endpoint;
		endpoint->Release();
	}
	return nullptr;
}

}  // namespace

TEST(MorpheusSimJack, ProgramAnswersRequestsOverJackPorts)
{
	setenv("SUITE_MIDI_API", "jack", 1);
	setenv("JACK_NO_START_SERVER", "1", 1);
	SKIP_WITHOUT_JACK();
	ASSERT_EQ(std::string(BMidiRoster::SystemApiName()), "jack");

	std::string client = "simtest" + std::to_string(getpid());
	std::string log = "/tmp/" + client + ".log";
	SimulatorProcess process({"--api", "jack", "--name", client, "--input", "in",
		"--output", "out", "--device-id", "3", "--own-instrument-list", "--verbose"}, log);
	ASSERT_TRUE(process.Started());

	BMidiConsumer* simIn = nullptr;
	BMidiProducer* simOut = nullptr;
	auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
	while ((simIn == nullptr || simOut == nullptr) && std::chrono::steady_clock::now() < deadline) {
		ASSERT_TRUE(process.Running()) << "morpheus-sim quit:\n" << process.Log();
		// The program's ports appear once it has connected to the server.
		std::this_thread::sleep_for(std::chrono::milliseconds(100));
		if (simIn == nullptr)
			simIn = FindPort<BMidiConsumer>(&BMidiRoster::NextConsumer, client, "in");
		if (simOut == nullptr)
			simOut = FindPort<BMidiProducer>(&BMidiRoster::NextProducer, client, "out");
	}
	ASSERT_NE(simIn, nullptr) << process.Log();
	ASSERT_NE(simOut, nullptr) << process.Log();
	// Both ports belong to one JACK client of the name asked for.
	EXPECT_EQ(std::string(simIn->Name()), client + ":in");
	EXPECT_EQ(std::string(simOut->Name()), client + ":out");

	auto* toSim = new BMidiLocalProducer("librarian out");
	auto* replies = new ReplyCollector("librarian in");
	ASSERT_EQ(toSim->Connect(simIn), B_OK);
	ASSERT_EQ(simOut->Connect(replies), B_OK);

	// One request, one reply: RAM preset 5, then ROM preset 2 (number 130).
	Message request = PatchRequest(3, 0x00, 5);
	ASSERT_EQ(toSim->SpraySystemExclusive(request.data(), request.size()), B_OK);
	ASSERT_TRUE(replies->WaitFor(1)) << process.Log();
	Message preset = replies->Replies()[0];
	ASSERT_EQ(preset.size(), 564u);
	EXPECT_EQ((Message{preset.begin(), preset.begin() + 7}),
		(Message{0x18, 0x0C, 3, 0x01, 0x01, 5, 0}));
	EXPECT_EQ(Name(preset), "Sim RAM 005 ");
	EXPECT_TRUE(HasValidChecksum(preset));

	request = PatchRequest(3, 0x00, 130);
	toSim->SpraySystemExclusive(request.data(), request.size());
	Message list = ListRequest(3, 0x0E);
	toSim->SpraySystemExclusive(list.data(), list.size());
	ASSERT_TRUE(replies->WaitFor(3)) << process.Log();
	std::vector<Message> got = replies->Replies();
	EXPECT_EQ(Name(got[1]), "Sim ROM 002 ");
	EXPECT_EQ(got[2][3], 0x0F);
	EXPECT_EQ(got[2].size(), 6u + 14u * static_cast<size_t>(Word(got[2], 4)));

	// A dump sent to it over JACK is stored: RAM preset 20, renamed, comes back as sent.
	Message dump = preset;
	dump[5] = 20;
	dump[7] = 'J';
	FixChecksum(dump);
	toSim->SpraySystemExclusive(dump.data(), dump.size());
	request = PatchRequest(3, 0x00, 20);
	toSim->SpraySystemExclusive(request.data(), request.size());
	ASSERT_TRUE(replies->WaitFor(4)) << process.Log();
	EXPECT_EQ(replies->Replies()[3], dump);

	// A whole bank requested at once: 128 replies of 564 bytes, paced, none lost.
	for (int n = 0; n < 128; ++n) {
		request = PatchRequest(3, 0x44, n);
		ASSERT_EQ(toSim->SpraySystemExclusive(request.data(), request.size()), B_OK);
	}
	ASSERT_TRUE(replies->WaitFor(4 + 128, std::chrono::seconds(30)))
		<< replies->Replies().size() << " replies\n" << process.Log();
	got = replies->Replies();
	for (int n = 0; n < 128; ++n) {
		const Message& h = got[4 + static_cast<size_t>(n)];
		ASSERT_EQ(h.size(), 482u);
		EXPECT_EQ(h[5], n);
		EXPECT_TRUE(HasValidChecksum(h));
	}

	toSim->Disconnect(simIn);
	simOut->Disconnect(replies);
	simIn->Release();
	simOut->Release();
	toSim->Release();
	replies->Release();
	int status = process.Stop();
	EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
		<< "morpheus-sim stops cleanly when asked:\n" << process.Log();
	unlink(log.c_str());
}
