#include "interface/Application.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "GuiThread.h"
#include "app/AppDefs.h"
#include "app/Message.h"
#include "interface/Alert.h"
#include "interface/Clipboard.h"
#include "interface/Window.h"
#include "kernel/EntryRef.h"

#include <QApplication>
#include <QDir>
#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>

#include <fcntl.h>
#include <unistd.h>

BApplication* be_app = nullptr;

namespace {

// Our QApplication: Qt's events for a window's widgets run as the window's dispatches.
class SuiteQtApplication : public QApplication {
public:
	SuiteQtApplication(int& argc, char** argv) : QApplication(argc, argv) {}

	bool notify(QObject* receiver, QEvent* event) override
	{
		if (receiver->isWidgetType()) {
			bool handled = false;
			auto deliver = [&] { return QApplication::notify(receiver, event); };
			if (gui::DeliverWindowEvent(static_cast<QWidget*>(receiver), event, deliver, &handled))
				return handled;
		}
		return QApplication::notify(receiver, event);
	}
};

// QApplication keeps references to these for its whole life.
int gQtArgc = 1;
char gQtProgram[] = "suite";
char* gQtArgv[] = {gQtProgram, nullptr};

constexpr bigtime_t kWindowAnswerTimeout = 1000000;

// The signals that ask a program to end: a terminal's Ctrl-C, kill, the session ending.
constexpr int kQuitSignals[] = {SIGINT, SIGTERM, SIGHUP};
int gSignalPipe[2] = {-1, -1};
// Set when a signal asked the application to quit, cleared when it carried on instead.
std::atomic<bool> gAskingToQuit {false};
static_assert(std::atomic<bool>::is_always_lock_free, "read in a signal handler");

void QuitSignalCaught(int signal)
{
	if (gAskingToQuit.exchange(true)) {
		// Asked already and still not gone: this one ends the program, as it would have.
		struct sigaction standard = {};
		standard.sa_handler = SIG_DFL;
		sigaction(signal, &standard, nullptr);
		raise(signal);
		return;
	}
	int saved = errno;
	char byte = 1;
	[[maybe_unused]] ssize_t written = write(gSignalPipe[1], &byte, 1);
	errno = saved;
}

// While the application runs, a signal to end asks it to quit as its menu would, so
// documents are saved or their questions asked instead of lost; a second signal while
// that request is still being answered ends the program at once. When a window refuses
// and the program carries on, the next signal asks again. Signals the program set up
// otherwise (ignored, or handled) are left alone.
class QuitSignals {
public:
	explicit QuitSignals(BApplication* app)
	{
		if (pipe2(gSignalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
			gSignalPipe[0] = gSignalPipe[1] = -1;
			return;
		}
		fNotifier = new QSocketNotifier(gSignalPipe[0], QSocketNotifier::Read);
		QObject::connect(fNotifier, &QSocketNotifier::activated, [app] {
			char bytes[16];
			while (read(gSignalPipe[0], bytes, sizeof bytes) > 0) {
			}
			app->PostMessage(B_QUIT_REQUESTED);
		});
		struct sigaction action = {};
		action.sa_handler = QuitSignalCaught;
		action.sa_flags = SA_RESTART;
		sigemptyset(&action.sa_mask);
		for (size_t i = 0; i < std::size(kQuitSignals); i++) {
			struct sigaction old = {};
			fInstalled[i] = sigaction(kQuitSignals[i], nullptr, &old) == 0
				&& (old.sa_flags & SA_SIGINFO) == 0 && old.sa_handler == SIG_DFL
				&& sigaction(kQuitSignals[i], &action, nullptr) == 0;
		}
	}

	~QuitSignals()
	{
		struct sigaction standard = {};
		standard.sa_handler = SIG_DFL;
		for (size_t i = 0; i < std::size(kQuitSignals); i++) {
			if (fInstalled[i])
				sigaction(kQuitSignals[i], &standard, nullptr);
		}
		delete fNotifier;
		for (int& end : gSignalPipe) {
			if (end >= 0)
				close(end);
			end = -1;
		}
		gAskingToQuit = false;
	}

private:
	QSocketNotifier* fNotifier = nullptr;
	bool fInstalled[std::size(kQuitSignals)] = {};
};

}  // namespace

struct BApplication::Private {
	std::string signature;
	std::vector<std::string> args;
	std::vector<BWindow*> windows;   // window order; GUI thread only
	QApplication* ownQt = nullptr;   // made by us
	AlertPresenter previousPresenter;
	BClipboard* clipboard = nullptr;
};

BApplication::BApplication(const char* signature, int argc, char** argv)
	: BLooper(signature), fPrivate(new Private), fInitStatus(B_OK)
{
	fPrivate->signature = signature ? signature : "";
	for (int i = 1; i < argc && argv != nullptr; i++)
		fPrivate->args.push_back(argv[i] ? argv[i] : "");
	if (be_app != nullptr) {
		fInitStatus = B_ALREADY_RUNNING;
		return;
	}
	be_app = this;
	if (qApp == nullptr) {
		fPrivate->ownQt = new SuiteQtApplication(gQtArgc, gQtArgv);
		QApplication::setQuitOnLastWindowClosed(false);
	}
	QCoreApplication::setApplicationName(QString::fromUtf8(Name() ? Name() : "suite"));
	gui::StartDriver();
	AttachDriver(gui::Driver());
	SetAppMessenger(BMessenger(this));
	fPrivate->previousPresenter = SetAlertPresenter(PresentAlertInDialog);
	fPrivate->clipboard = new BClipboard("system");
	be_clipboard = fPrivate->clipboard;
}

BApplication::~BApplication()
{
	if (be_app == this) {
		// Windows left over (Run was never called, or a window refused): closed now.
		while (!fPrivate->windows.empty()) {
			BWindow* window = fPrivate->windows.back();
			window->Lock();
			window->Quit();
		}
		be_clipboard = nullptr;
		delete fPrivate->clipboard;
		SetAlertPresenter(fPrivate->previousPresenter);
		SetAppMessenger(BMessenger());
		DetachDriver();
		gui::StopDriver();
		delete fPrivate->ownQt;
		be_app = nullptr;
	}
	delete fPrivate;
}

const char* BApplication::Signature() const
{
	return fPrivate->signature.c_str();
}

thread_id BApplication::Run()
{
	if (fInitStatus != B_OK)
		return fInitStatus;
	std::vector<std::string> files;
	for (const std::string& arg : fPrivate->args)
		if (!arg.empty() && arg[0] != '-')
			files.push_back(arg);
	if (!files.empty()) {
		BMessage refs(B_REFS_RECEIVED);
		for (const std::string& file : files) {
			entry_ref ref(QDir::current().absoluteFilePath(QString::fromStdString(file))
					.toStdString().c_str());
			refs.AddRef("refs", &ref);
		}
		PostMessage(&refs);
	}
	PostMessage(B_READY_TO_RUN);
	const char* screenshots = std::getenv("SUITE_SCREENSHOT_DIR");
	if (screenshots != nullptr && *screenshots != '\0')
		QTimer::singleShot(1000, qApp, [this] { TakeScreenshots(); });
	{
		QuitSignals askToQuit(this);
		QApplication::exec();
	}
	// Windows still open close with the application.
	while (!fPrivate->windows.empty()) {
		BWindow* window = fPrivate->windows.back();
		window->Lock();
		window->Quit();
	}
	return Thread();
}

void BApplication::Quit()
{
	// The application object outlives its loop: main deletes it after Run().
	gui::Post([] { QCoreApplication::exit(0); });
}

bool BApplication::QuitRequested()
{
	std::vector<BMessenger> windows;
	for (BWindow* window : fPrivate->windows)
		windows.push_back(BMessenger(nullptr, window));
	for (const BMessenger& window : windows) {
		if (!window.IsValid())
			continue;   // closed meanwhile, or closing
		// Handed over at once (all windows share this thread); a window that agrees quits.
		BMessage request(B_QUIT_REQUESTED), reply;
		window.SendMessage(&request, &reply, kWindowAnswerTimeout, 0);
		if (window.IsValid())
			return false;
	}
	return true;
}

void BApplication::ReadyToRun()
{
}

void BApplication::RefsReceived(BMessage*)
{
}

void BApplication::ArgvReceived(int32, char**)
{
}

void BApplication::AboutRequested()
{
}

void BApplication::DispatchMessage(BMessage* message, BHandler* handler)
{
	if (handler == this) {
		switch (message->what) {
			case B_QUIT_REQUESTED:
				if (QuitRequested())
					Quit();
				else
					gAskingToQuit = false;   // carrying on: a later signal asks again
				return;
			case B_READY_TO_RUN:
				ReadyToRun();
				return;
			case B_REFS_RECEIVED:
				RefsReceived(message);
				return;
			case B_ABOUT_REQUESTED:
				AboutRequested();
				return;
			case B_ARGV_RECEIVED: {
				std::vector<char*> argv;
				const char* arg = nullptr;
				for (int32 i = 0; message->FindString("argv", i, &arg) == B_OK; i++)
					argv.push_back(const_cast<char*>(arg));
				ArgvReceived(int32(argv.size()), argv.data());
				return;
			}
			default:
				break;
		}
	}
	BLooper::DispatchMessage(message, handler);
}

int32 BApplication::CountWindows() const
{
	return int32(fPrivate->windows.size());
}

BWindow* BApplication::WindowAt(int32 index) const
{
	return index >= 0 && size_t(index) < fPrivate->windows.size() ? fPrivate->windows[size_t(index)]
																	 : nullptr;
}

void BApplication::AddWindow(BWindow* window)
{
	fPrivate->windows.push_back(window);
}

void BApplication::RemoveWindow(BWindow* window)
{
	auto& list = fPrivate->windows;
	list.erase(std::remove(list.begin(), list.end(), window), list.end());
}

void BApplication::TakeScreenshots()
{
	QString folder = QString::fromLocal8Bit(std::getenv("SUITE_SCREENSHOT_DIR"));
	QDir().mkpath(folder);
	QString program = QCoreApplication::applicationFilePath().section('/', -1);
	for (int32 i = 0; i < CountWindows(); i++) {
		QWidget* widget = WindowAt(i)->Widget();
		if (widget->isHidden())
			continue;
		QString path = QString("%1/%2-%3.png").arg(folder, program).arg(i + 1);
		if (widget->grab().save(path))
			std::printf("%s\n", path.toLocal8Bit().constData());
		else
			std::fprintf(stderr, "cannot write %s\n", path.toLocal8Bit().constData());
	}
	std::fflush(stdout);
	Quit();
}
