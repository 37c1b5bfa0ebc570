#include "GuiTest.h"

#include <algorithm>
#include <atomic>
#include <csignal>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "app/AppDefs.h"
#include "app/Message.h"
#include "app/tests/LockHolder.h"
#include "app/MessageRunner.h"
#include "interface/Screen.h"
#include "interface/Window.h"
#include "kernel/EntryRef.h"
#include "kernel/OS.h"

#include <QMouseEvent>
#include <QTest>
#include <QWidget>

#include <unistd.h>

namespace {

class TestWindow : public BWindow {
public:
	explicit TestWindow(const char* title, BRect frame = BRect(50, 50, 560, 515))
		: BWindow(frame, title)
	{
	}
	~TestWindow() override
	{
		if (destroyed)
			*destroyed = true;
	}
	void MessageReceived(BMessage* message) override
	{
		codes.push_back(message->what);
		threads.push_back(find_thread(nullptr));
		if (onMessage)
			onMessage(message);
	}
	bool QuitRequested() override
	{
		asked++;
		return agree;
	}
	std::vector<uint32> codes;
	std::vector<thread_id> threads;
	std::function<void(BMessage*)> onMessage;
	bool agree = true;
	int asked = 0;
	bool* destroyed = nullptr;
};

// A child widget that counts presses and whether its window was locked meanwhile.
class PressCounter : public QWidget {
public:
	PressCounter(QWidget* parent, BWindow* window) : QWidget(parent), fWindow(window) {}
	int presses = 0;
	bool lockedEachTime = true;

protected:
	void mousePressEvent(QMouseEvent*) override
	{
		presses++;
		lockedEachTime = lockedEachTime && fWindow->IsLocked();
	}

private:
	BWindow* fWindow;
};

}  // namespace

TEST(Application, RefsFromTheCommandLineComeBeforeReadyToRun)
{
	class App : public BApplication {
	public:
		App(int argc, char** argv) : BApplication("application/x-vnd.suite-test", argc, argv) {}
		void RefsReceived(BMessage* message) override
		{
			order.push_back("refs");
			entry_ref ref;
			for (int32 i = 0; message->FindRef("refs", i, &ref) == B_OK; i++)
				refs.push_back(ref.path);
		}
		void ReadyToRun() override
		{
			order.push_back("ready");
			Quit();
		}
		std::vector<std::string> order, refs;
	};
	char program[] = "prog", file[] = "some.thud", option[] = "--verbose";
	char* argv[] = {program, file, option};
	App app(3, argv);
	EXPECT_EQ(be_app, &app);
	EXPECT_TRUE(be_app_messenger.IsValid());
	app.Run();   // returns because ReadyToRun quits
	EXPECT_EQ(app.order, (std::vector<std::string>{"refs", "ready"}));
	ASSERT_EQ(app.refs.size(), 1u);
	EXPECT_EQ(app.refs[0].front(), '/');
	EXPECT_NE(app.refs[0].find("/some.thud"), std::string::npos);
}

TEST(Application, ASignalToEndAsksTheApplicationToQuitAndAgainOnceItCarriedOn)
{
	class App : public BApplication {
	public:
		App() : BApplication("application/x-vnd.suite-test") {}
		static void Signal()
		{
			// Delivered to the process, as kill or a terminal's Ctrl-C does.
			std::thread([] { kill(getpid(), SIGTERM); }).detach();
		}
		void ReadyToRun() override { Signal(); }
		bool QuitRequested() override
		{
			if (++asked == 1) {
				// A window refused (unsaved changes, the user chose to stay): the
				// program carries on, and the next signal asks again.
				PostMessage('agin');
				return false;
			}
			return BApplication::QuitRequested();
		}
		void MessageReceived(BMessage* message) override
		{
			if (message->what == 'agin')
				Signal();
			else
				BApplication::MessageReceived(message);
		}
		int asked = 0;
	};
	// A signal the program ignores stays ignored.
	struct sigaction ignore = {}, before = {};
	ignore.sa_handler = SIG_IGN;
	sigaction(SIGHUP, &ignore, &before);
	{
		App app;
		app.Run();   // returns because the second signal's request was granted
		EXPECT_EQ(app.asked, 2);
	}
	struct sigaction after = {};
	sigaction(SIGTERM, nullptr, &after);
	EXPECT_EQ(after.sa_handler, SIG_DFL);
	sigaction(SIGHUP, nullptr, &after);
	EXPECT_EQ(after.sa_handler, SIG_IGN);
	sigaction(SIGHUP, &before, nullptr);
}

TEST_F(GuiTest, WindowsRunTheirMessagesOnTheGuiThreadWhoeverPosts)
{
	auto* window = new TestWindow("Messages");
	EXPECT_STREQ(window->Title(), "Messages");
	EXPECT_EQ(window->Frame(), BRect(50, 50, 560, 515));
	EXPECT_EQ(window->Bounds(), BRect(0, 0, 510, 465));
	EXPECT_EQ(fApp->CountWindows(), 1);
	EXPECT_EQ(fApp->WindowAt(0), window);
	window->Show();
	EXPECT_FALSE(window->IsHidden());

	std::thread worker([&] { BMessenger(nullptr, window).SendMessage('wrkr'); });
	worker.join();
	BMessage tick('tick');
	BMessageRunner runner(BMessenger(nullptr, window), &tick, 1000, 3);
	ASSERT_TRUE(RunEventsUntil([&] { return window->codes.size() == 4; }));
	EXPECT_EQ(window->codes[0], uint32('wrkr'));
	for (thread_id thread : window->threads)
		EXPECT_EQ(thread, find_thread(nullptr));

	window->SetTitle("Renamed");
	EXPECT_EQ(window->Widget()->windowTitle(), QString("Renamed"));
	window->MoveTo(70, 80);
	EXPECT_EQ(window->Frame().LeftTop(), BPoint(70, 80));

	BScreen screen(window);
	EXPECT_TRUE(screen.IsValid());
	EXPECT_GT(screen.Frame().Width(), 0);
}

// Posts from other threads come in bursts (a receive posts each patch as it arrives): the
// GUI thread handles them in batches. None is lost or reordered, a synchronous request in
// the middle of a burst is answered, and the window's own posts still run.
TEST_F(GuiTest, BurstsOfPostsFromOtherThreadsAllArriveInOrder)
{
	auto* window = new TestWindow("Bursts");
	window->Show();
	std::vector<int32> numbers;
	window->onMessage = [&](BMessage* message) {
		int32 n = -1;
		if (message->what == 'brst' && message->FindInt32("n", &n) == B_OK)
			numbers.push_back(n);
		else if (message->what == 'ask ')
			message->SendReply('ansr');
		else if (message->what == 'self')
			window->PostMessage('own ');
	};
	constexpr int kBursts = 5, kPerBurst = 300;
	std::atomic<bool> answered{true};
	std::thread poster([&] {
		BMessenger target(nullptr, window);
		for (int burst = 0; burst < kBursts; burst++) {
			for (int i = 0; i < kPerBurst; i++) {
				BMessage message('brst');
				message.AddInt32("n", burst * kPerBurst + i);
				// A full queue makes the poster wait: nothing is dropped.
				if (target.SendMessage(&message, BMessenger(), 10000000) != B_OK)
					answered = false;
				if (i == kPerBurst / 2) {
					BMessage ask('ask '), reply;
					if (target.SendMessage(&ask, &reply, 10000000, 10000000) != B_OK
						|| reply.what != 'ansr')
						answered = false;
				}
			}
			target.SendMessage('self');
			snooze(5000);   // a quiet moment between bursts
		}
	});
	bool all = RunEventsUntil([&] {
		return std::count(window->codes.begin(), window->codes.end(), uint32('own ')) == kBursts;
	});
	poster.join();
	ASSERT_TRUE(all);
	EXPECT_TRUE(answered.load());
	ASSERT_EQ(numbers.size(), size_t(kBursts * kPerBurst));
	for (int32 i = 0; i < kBursts * kPerBurst; i++)
		ASSERT_EQ(numbers[i], i);
	for (thread_id thread : window->threads)
		EXPECT_EQ(thread, find_thread(nullptr));
}

TEST_F(GuiTest, QuittingAsksEveryWindowInOrderAndStopsAtARefusal)
{
	bool firstGone = false, secondGone = false;
	auto* first = new TestWindow("first");
	auto* second = new TestWindow("second");
	first->destroyed = &firstGone;
	second->destroyed = &secondGone;
	second->agree = false;
	EXPECT_FALSE(fApp->QuitRequested());
	EXPECT_TRUE(firstGone);   // asked first, agreed, closed
	EXPECT_FALSE(secondGone);
	EXPECT_EQ(second->asked, 1);
	EXPECT_EQ(fApp->CountWindows(), 1);
	second->agree = true;
	EXPECT_TRUE(fApp->QuitRequested());
	EXPECT_TRUE(secondGone);
	EXPECT_EQ(fApp->CountWindows(), 0);
}

TEST_F(GuiTest, TheCloseBoxAsksTheWindowAndAQuitFromAWorkerIsPosted)
{
	bool gone = false;
	auto* window = new TestWindow("close box");
	window->destroyed = &gone;
	window->agree = false;
	window->Show();
	window->Widget()->close();
	ASSERT_TRUE(RunEventsUntil([&] { return window->asked == 1; }));
	EXPECT_FALSE(gone);
	EXPECT_FALSE(window->Widget()->isHidden());
	window->agree = true;
	window->Widget()->close();
	ASSERT_TRUE(RunEventsUntil([&] { return gone; }));

	gone = false;
	window = new TestWindow("worker quits");
	window->destroyed = &gone;
	std::thread worker([&] {
		window->Lock();
		window->Quit();
	});
	worker.join();
	EXPECT_FALSE(gone);   // never deleted on the worker
	ASSERT_TRUE(RunEventsUntil([&] { return gone; }));
	EXPECT_EQ(fApp->CountWindows(), 0);
}

TEST_F(GuiTest, QtEventsOfAWindowWaitWhileAnotherThreadHoldsItsLock)
{
	auto* window = new TestWindow("locked");
	auto* counter = new PressCounter(window->Widget(), window);
	counter->setGeometry(0, 0, 100, 100);
	window->Show();

	QTest::mouseClick(counter, Qt::LeftButton, {}, QPoint(10, 10));
	EXPECT_EQ(counter->presses, 1);
	EXPECT_TRUE(counter->lockedEachTime);

	LockHolder holder(window);
	QTest::mouseClick(counter, Qt::LeftButton, {}, QPoint(10, 10));
	window->PostMessage('post');
	RunPendingEvents();
	EXPECT_EQ(counter->presses, 1);   // put off, not waited for (we are still here)
	EXPECT_TRUE(window->codes.empty());
	holder.Release();
	ASSERT_TRUE(RunEventsUntil([&] { return counter->presses == 2 && !window->codes.empty(); }));
	EXPECT_TRUE(counter->lockedEachTime);

	window->Lock();
	window->Quit();
}
