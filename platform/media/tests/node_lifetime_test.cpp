// When a node goes: the last reference let go on the node's own thread, and a reference
// taken while the node is being unregistered. Either way the node is deleted once, by
// whoever lets go of it last, and never used after. Run under AddressSanitizer, a node
// deleted too early shows up as a use after free.
#include "MediaTestNodes.h"

#include "kernel/OS.h"
#include "media/PlatformNodes.h"
#include "media/TimeSource.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

// What happened to a node, kept outside it.
struct Fate {
	std::mutex lock;
	std::condition_variable changed;
	int destroyed = 0;
	std::thread::id destroyedOn;
	bool unregistering = false;
	bool acquired = false;

	template <typename Ready>
	bool WaitFor(Ready ready, int seconds)
	{
		std::unique_lock<std::mutex> guard(lock);
		return changed.wait_for(guard, std::chrono::seconds(seconds), ready);
	}
	void Note(bool Fate::*flag)
	{
		std::lock_guard<std::mutex> guard(lock);
		this->*flag = true;
		changed.notify_all();
	}
};

// A consumer that tells its fate: its deletion, its disconnection (which happens while
// it is unregistered, on its own thread: it waits there until the test took a reference),
// and it lets go of itself when it handles a user event.
class MortalNode : public AudioConsumerNode {
public:
	enum { kReleaseYourself = BTimedEventQueue::B_USER_EVENT + 1 };

	explicit MortalNode(Fate* fate)
		: BMediaNode("Mortal"), AudioConsumerNode("Mortal", nullptr, 0), fFate(fate)
	{
	}
	~MortalNode() override
	{
		Quit();
		std::lock_guard<std::mutex> guard(fFate->lock);
		fFate->destroyed++;
		fFate->destroyedOn = std::this_thread::get_id();
		fFate->changed.notify_all();
	}

	bool waitInDisconnected = false;
	std::thread::id releasedOn;

protected:
	void Consume(const float*, size_t, bigtime_t) override {}
	void HandleEvent(const media_timed_event* event, bigtime_t lateness,
		bool realTimeEvent) override
	{
		if (event->type != kReleaseYourself) {
			AudioConsumerNode::HandleEvent(event, lateness, realTimeEvent);
			return;
		}
		releasedOn = std::this_thread::get_id();
		Release();
		// Still on the node's thread, inside its loop: the node must still be here.
		releasedOn = std::this_thread::get_id();
	}
	void Disconnected(const media_source& producer, const media_destination& where) override
	{
		AudioConsumerNode::Disconnected(producer, where);
		if (!waitInDisconnected)
			return;
		fFate->Note(&Fate::unregistering);
		fFate->WaitFor([&] { return fFate->acquired; }, 2);
	}

private:
	Fate* fFate;
};

TEST(MediaNodeLifetime, TheLastReferenceLetGoOnTheNodesOwnThreadDeletesItAfterItsLoop)
{
	BMediaRoster* roster = BMediaRoster::Roster();
	for (int round = 0; round < 20; round++) {
		Fate fate;
		auto* node = new MortalNode(&fate);
		ASSERT_EQ(roster->RegisterNode(node), B_OK);
		thread_id looper = node->ControlThread();
		ASSERT_GE(looper, 0);
		// The creator's reference is the only one; the node's thread lets it go.
		node->AddEvent(
			media_timed_event(node->TimeSource()->Now(), MortalNode::kReleaseYourself));
		ASSERT_TRUE(fate.WaitFor([&] { return fate.destroyed > 0; }, 20))
			<< "the node's thread hung letting go of its node";
		// Deleted on its own thread, once; that thread has ended.
		status_t exitValue;
		wait_for_thread(looper, &exitValue);
		std::lock_guard<std::mutex> guard(fate.lock);
		EXPECT_EQ(fate.destroyed, 1);
		EXPECT_NE(fate.destroyedOn, std::this_thread::get_id());
	}
}

TEST(MediaNodeLifetime, AReferenceTakenWhileTheNodeIsUnregisteredKeepsItUntilLetGo)
{
	BMediaRoster* roster = BMediaRoster::Roster();
	Fate fate;
	auto* tone = new ToneGeneratorNode(440, -10);
	ASSERT_EQ(roster->RegisterNode(tone), B_OK);
	auto* node = new MortalNode(&fate);
	ASSERT_EQ(roster->RegisterNode(node), B_OK);
	media_format format = media_format::RawAudioFormat();
	ASSERT_EQ(ConnectNodes(tone->Node(), node->Node(), &format), B_OK);
	node->waitInDisconnected = true;
	media_node_id id = node->ID();

	// Another thread finds the node by id while its last Release is unregistering it
	// (disconnecting it), and uses it a while after that Release returned.
	BMediaNode* taken = nullptr;
	std::thread::id otherThread;
	std::thread other([&] {
		otherThread = std::this_thread::get_id();
		if (!fate.WaitFor([&] { return fate.unregistering; }, 10))
			return;
		taken = roster->AcquireNode(id);
		fate.Note(&Fate::acquired);
		if (taken == nullptr)
			return;
		snooze(100000);
		EXPECT_STREQ(taken->Name(), "Mortal");
		EXPECT_EQ(taken->Release(), nullptr) << "the last to let go";
	});
	EXPECT_EQ(node->Release(), nullptr);
	{
		std::lock_guard<std::mutex> guard(fate.lock);
		EXPECT_EQ(fate.destroyed, 0) << "deleted while another thread held it";
	}
	other.join();
	ASSERT_NE(taken, nullptr) << "the node was no longer found while it was unregistered";
	std::lock_guard<std::mutex> guard(fate.lock);
	EXPECT_EQ(fate.destroyed, 1);
	EXPECT_EQ(fate.destroyedOn, otherThread);
	tone->Release();
}

}  // namespace
