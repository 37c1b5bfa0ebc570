#include <gtest/gtest.h>

#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include "app/AppDefs.h"
#include "app/Looper.h"
#include "app/Message.h"
#include "app/Messenger.h"
#include "app/SingleLaunch.h"
#include "kernel/OS.h"

namespace {

// A running program's application: keeps what reaches it.
class Inbox : public BLooper {
public:
	Inbox() : BLooper("inbox"), arrived(create_sem(0, "arrived")) {}
	~Inbox() override { delete_sem(arrived); }

	void MessageReceived(BMessage* message) override
	{
		{
			std::lock_guard<std::mutex> guard(mutex);
			messages.push_back(*message);
		}
		release_sem(arrived);
	}
	bool WaitFor(int count, bigtime_t timeout = 10000000)
	{
		return acquire_sem_etc(arrived, count, B_RELATIVE_TIMEOUT, timeout) == B_OK;
	}
	std::vector<BMessage> Messages()
	{
		std::lock_guard<std::mutex> guard(mutex);
		return messages;
	}

	sem_id arrived;
	std::mutex mutex;
	std::vector<BMessage> messages;
};

// Names of their own: test programs running side by side never meet.
std::string UniqueName(const char* what)
{
	return std::string("single-launch-test/") + std::to_string(getpid()) + "/" + what;
}

BMessage Documents(const char* first, const char* second)
{
	BMessage message(B_REFS_RECEIVED);
	message.AddString("path", first);
	message.AddString("path", second);
	return message;
}

const std::vector<uint32> kTaken {B_REFS_RECEIVED, B_SILENT_RELAUNCH};

class SingleLaunchTest : public ::testing::Test {
protected:
	void SetUp() override
	{
		inbox = new Inbox;
		inbox->Run();
	}
	void TearDown() override
	{
		inbox->Lock();
		inbox->Quit();
	}
	Inbox* inbox = nullptr;
};

// A later start that does not follow the protocol: a raw connection to the holder.
int Connect(const SingleLaunch& holder)
{
	sockaddr_un address {};
	address.sun_family = AF_UNIX;
	const std::string& name = holder.Address();
	memcpy(address.sun_path + 1, name.data(), name.size());
	int fd = socket(AF_UNIX, SOCK_STREAM, 0);
	socklen_t length = socklen_t(offsetof(sockaddr_un, sun_path) + 1 + name.size());
	if (fd >= 0 && connect(fd, reinterpret_cast<sockaddr*>(&address), length) != 0) {
		close(fd);
		return -1;
	}
	return fd;
}

// Sends bytes and returns the one-byte answer ('\0' when the connection just closed).
char SendRaw(const SingleLaunch& holder, const std::string& bytes)
{
	int fd = Connect(holder);
	if (fd < 0)
		return '?';
	char answer = 0;
	if (send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) != ssize_t(bytes.size())
		|| shutdown(fd, SHUT_WR) != 0 || recv(fd, &answer, 1, 0) != 1)
		answer = 0;
	close(fd);
	return answer;
}

TEST_F(SingleLaunchTest, TheFirstStartClaimsAndALaterOneHandsItsDocumentsOver)
{
	SingleLaunch first(UniqueName("documents"));
	EXPECT_FALSE(first.Claimed());
	ASSERT_EQ(first.Claim(BMessage(B_SILENT_RELAUNCH), 1000000), B_OK);
	EXPECT_TRUE(first.Claimed());
	ASSERT_EQ(first.Serve(BMessenger(inbox), kTaken), B_OK);

	SingleLaunch later(UniqueName("documents"));
	EXPECT_EQ(later.Claim(Documents("/tmp/a.lib", "/tmp/b b.syx"), 5000000), B_ALREADY_RUNNING);
	EXPECT_FALSE(later.Claimed());
	SingleLaunch again(UniqueName("documents"));
	EXPECT_EQ(again.Claim(BMessage(B_SILENT_RELAUNCH), 5000000), B_ALREADY_RUNNING);

	ASSERT_TRUE(inbox->WaitFor(2));
	std::vector<BMessage> got = inbox->Messages();
	ASSERT_EQ(got.size(), 2u);
	EXPECT_EQ(got[0].what, uint32(B_REFS_RECEIVED));
	const char* path = nullptr;
	ASSERT_EQ(got[0].FindString("path", 1, &path), B_OK);
	EXPECT_STREQ(path, "/tmp/b b.syx");
	EXPECT_EQ(got[1].what, uint32(B_SILENT_RELAUNCH));
}

TEST_F(SingleLaunchTest, NamesAreApartAndANameIsFreeOnceItsHolderEnds)
{
	auto first = std::make_unique<SingleLaunch>(UniqueName("one"));
	ASSERT_EQ(first->Claim(BMessage(B_SILENT_RELAUNCH), 1000000), B_OK);
	ASSERT_EQ(first->Serve(BMessenger(inbox), kTaken), B_OK);
	// Another program (or the same one with other settings) claims a name of its own.
	SingleLaunch other(UniqueName("two"));
	EXPECT_EQ(other.Claim(BMessage(B_SILENT_RELAUNCH), 1000000), B_OK);
	// Names differing only past any length limit are still apart.
	std::string longName(300, 'x');
	SingleLaunch longOne(longName + "a"), longTwo(longName + "b");
	EXPECT_EQ(longOne.Claim(BMessage(B_SILENT_RELAUNCH), 1000000), B_OK);
	EXPECT_EQ(longTwo.Claim(BMessage(B_SILENT_RELAUNCH), 1000000), B_OK);

	first.reset();
	SingleLaunch next(UniqueName("one"));
	EXPECT_EQ(next.Claim(BMessage(B_SILENT_RELAUNCH), 1000000), B_OK);
	EXPECT_TRUE(inbox->Messages().empty());
}

TEST_F(SingleLaunchTest, AHolderThatDoesNotAnswerTimesOutAndGetsNothingDoneLater)
{
	SingleLaunch first(UniqueName("silent"));
	ASSERT_EQ(first.Claim(BMessage(B_SILENT_RELAUNCH), 1000000), B_OK);
	// Claimed but not serving yet (still starting, or hung).
	SingleLaunch later(UniqueName("silent"));
	bigtime_t start = system_time();
	EXPECT_EQ(later.Claim(Documents("/tmp/a.lib", "/tmp/b.lib"), 200000), B_TIMED_OUT);
	EXPECT_GE(system_time() - start, 200000);
	// The later start told its user it failed: its documents do not open afterwards.
	ASSERT_EQ(first.Serve(BMessenger(inbox), kTaken), B_OK);
	SingleLaunch relaunch(UniqueName("silent"));
	EXPECT_EQ(relaunch.Claim(BMessage(B_SILENT_RELAUNCH), 5000000), B_ALREADY_RUNNING);
	ASSERT_TRUE(inbox->WaitFor(1));
	EXPECT_FALSE(inbox->WaitFor(1, 200000));
	ASSERT_EQ(inbox->Messages().size(), 1u);
	EXPECT_EQ(inbox->Messages()[0].what, uint32(B_SILENT_RELAUNCH));
}

TEST_F(SingleLaunchTest, AQuittingHolderLetsTheLaterStartClaimOnceItIsGone)
{
	auto first = std::make_unique<SingleLaunch>(UniqueName("quitting"));
	ASSERT_EQ(first->Claim(BMessage(B_SILENT_RELAUNCH), 1000000), B_OK);
	// Its application has quit already: nothing can be posted to it.
	auto* gone = new Inbox;
	gone->Run();
	BMessenger goneMessenger(gone);
	gone->Lock();
	gone->Quit();
	ASSERT_EQ(first->Serve(goneMessenger, kTaken), B_OK);
	std::thread ending([&] {
		snooze(300000);
		first.reset();
	});
	SingleLaunch later(UniqueName("quitting"));
	EXPECT_EQ(later.Claim(Documents("/tmp/a.lib", "/tmp/b.lib"), 10000000), B_OK);
	EXPECT_TRUE(later.Claimed());
	ending.join();
}

TEST_F(SingleLaunchTest, WhatTheRunningCopyDoesNotTakeIsRefusedAndItServesOn)
{
	SingleLaunch first(UniqueName("refusing"));
	ASSERT_EQ(first.Claim(BMessage(B_SILENT_RELAUNCH), 1000000), B_OK);
	ASSERT_EQ(first.Serve(BMessenger(inbox), kTaken), B_OK);
	// A message of another kind.
	SingleLaunch quit(UniqueName("refusing"));
	EXPECT_EQ(quit.Claim(BMessage(B_QUIT_REQUESTED), 5000000), B_NOT_ALLOWED);
	// Larger than a hand-off may be.
	BMessage huge(B_REFS_RECEIVED);
	std::string big(SingleLaunch::kMaxHandOffSize, 'x');
	huge.AddString("path", big.c_str());
	SingleLaunch tooBig(UniqueName("refusing"));
	EXPECT_EQ(tooBig.Claim(huge, 5000000), B_BAD_VALUE);
	// (while the name is free, the size does not matter: nothing is sent)
	SingleLaunch bigButFirst(UniqueName("refusing-free"));
	EXPECT_EQ(bigButFirst.Claim(huge, 1000000), B_OK);
	EXPECT_TRUE(inbox->Messages().empty());
	// Still serving.
	SingleLaunch fine(UniqueName("refusing"));
	EXPECT_EQ(fine.Claim(Documents("/tmp/a.lib", "/tmp/b.lib"), 5000000), B_ALREADY_RUNNING);
	EXPECT_TRUE(inbox->WaitFor(1));
}

TEST_F(SingleLaunchTest, BytesThatAreNoHandOffAreRefusedAndASilentPeerHoldsNoOneUp)
{
	SingleLaunch first(UniqueName("raw"));
	ASSERT_EQ(first.Claim(BMessage(B_SILENT_RELAUNCH), 1000000), B_OK);
	ASSERT_EQ(first.Serve(BMessenger(inbox), kTaken), B_OK);
	EXPECT_EQ(SendRaw(first, std::string("\xff\xff\xff\xff", 4)), 'r');   // a length too large
	EXPECT_EQ(SendRaw(first, std::string("\0\0\0\0", 4)), 'r');           // nothing
	EXPECT_EQ(SendRaw(first, std::string("\x0a\0\0\0", 4) + "0123456789"), 'r');   // no message
	EXPECT_EQ(SendRaw(first, std::string("\x64\0\0\0", 4) + "short"), 0);   // cut short
	// One that connects and says nothing: dropped after a while, the next start served.
	int silent = Connect(first);
	ASSERT_GE(silent, 0);
	SingleLaunch later(UniqueName("raw"));
	EXPECT_EQ(later.Claim(BMessage(B_SILENT_RELAUNCH), 20000000), B_ALREADY_RUNNING);
	close(silent);
	ASSERT_TRUE(inbox->WaitFor(1));
	EXPECT_EQ(inbox->Messages().size(), 1u);
}

TEST_F(SingleLaunchTest, AnotherUsersStartIsNotHeard)
{
	if (geteuid() != 0)
		GTEST_SKIP() << "becoming another user needs root";
	SingleLaunch first(UniqueName("users"));
	ASSERT_EQ(first.Claim(BMessage(B_SILENT_RELAUNCH), 1000000), B_OK);
	ASSERT_EQ(first.Serve(BMessenger(inbox), kTaken), B_OK);
	// A well-formed hand-over, made before the fork: the child only does system calls.
	BMessage documents = Documents("/tmp/a.lib", "/tmp/b.lib");
	std::string bytes(4 + size_t(documents.FlattenedSize()), '\0');
	uint32 size = uint32(bytes.size() - 4);
	memcpy(bytes.data(), &size, 4);   // little-endian, as the machines we run on
	ASSERT_EQ(documents.Flatten(bytes.data() + 4, ssize_t(size)), B_OK);
	pid_t child = fork();
	ASSERT_GE(child, 0);
	if (child == 0) {
		if (setgid(65534) != 0 || setuid(65534) != 0)
			_exit(2);
		int answer = 0;
		int peer = Connect(first);
		if (peer >= 0 && send(peer, bytes.data(), bytes.size(), MSG_NOSIGNAL) > 0) {
			char byte = 0;
			answer = recv(peer, &byte, 1, 0) == 1 ? 1 : 0;
		}
		_exit(answer == 0 ? 0 : 1);
	}
	int status = 0;
	ASSERT_EQ(waitpid(child, &status, 0), child);
	ASSERT_TRUE(WIFEXITED(status));
	EXPECT_EQ(WEXITSTATUS(status), 0) << "the other user got an answer (or could not become one)";
	EXPECT_FALSE(inbox->WaitFor(1, 300000));
	// This user's start still is.
	SingleLaunch later(UniqueName("users"));
	EXPECT_EQ(later.Claim(BMessage(B_SILENT_RELAUNCH), 5000000), B_ALREADY_RUNNING);
}

}  // namespace
