#include "GuiThread.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "app/Looper.h"
#include "app/Messenger.h"
#include "interface/Window.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QPointer>
#include <QThread>
#include <QTimer>
#include <QWidget>

namespace gui {

namespace {

// A lock held by another thread is tried again after this long (never waited for).
constexpr int kRetryMilliseconds = 2;
// One drain handles at most this many messages, then lets Qt's own events (input,
// painting) run before the rest: a burst of posts never freezes the window.
constexpr int32 kMessagesPerDrain = 32;
// Posts from other threads that come while the GUI thread has just drained are part of a
// burst (a receive posting each patch as it arrives): they are handled together a
// millisecond later instead of waking the GUI thread once per message. A post after a
// quiet moment is handled at once.
constexpr qint64 kBurstNanoseconds = 2'000'000;
constexpr int kBatchMilliseconds = 1;

QElapsedTimer gSinceDrain;   // GUI thread only

void Drain(const BMessenger& target)
{
	BLooper* looper = nullptr;
	target.Target(&looper);
	// Only this thread deletes loopers it drives, so the looper stays while we use it.
	if (looper != nullptr)
		looper->DispatchQueued(kMessagesPerDrain);
	gSinceDrain.start();
}

void DrainSoon(const BMessenger& target)
{
	if (gSinceDrain.isValid() && gSinceDrain.nsecsElapsed() < kBurstNanoseconds)
		QTimer::singleShot(kBatchMilliseconds, Qt::PreciseTimer, qApp, [target] { Drain(target); });
	else
		Drain(target);
}

class QtDriver : public BLooperDriver {
public:
	~QtDriver() override { DetachAll(); }

	// Any thread, with the looper's queue guard held: only schedules. The looper asks
	// again only once this drain has started, so every post until then is part of it.
	void MessageQueued(BLooper* looper) override
	{
		BMessenger target(nullptr, looper);
		if (IsGuiThread())   // the rest of a bounded drain, or a window posting to itself
			QMetaObject::invokeMethod(qApp, [target] { Drain(target); }, Qt::QueuedConnection);
		else
			QMetaObject::invokeMethod(qApp, [target] { DrainSoon(target); }, Qt::QueuedConnection);
	}

	void RetryLater(BLooper* looper) override
	{
		BMessenger target(nullptr, looper);
		QTimer::singleShot(kRetryMilliseconds, qApp, [target] { Drain(target); });
	}
};

QtDriver* gDriver = nullptr;   // GUI thread only
std::unordered_map<QWidget*, BWindow*> gWindows;   // GUI thread only

bool IsInput(QEvent::Type type)
{
	switch (type) {
		case QEvent::MouseButtonPress:
		case QEvent::MouseButtonRelease:
		case QEvent::MouseButtonDblClick:
		case QEvent::MouseMove:
		case QEvent::KeyPress:
		case QEvent::KeyRelease:
		case QEvent::ShortcutOverride:
		case QEvent::Wheel:
		case QEvent::ContextMenu:
		case QEvent::DragEnter:
		case QEvent::DragMove:
		case QEvent::Drop:
		case QEvent::Close:
			return true;
		default:
			return false;
	}
}

}  // namespace

BLooperDriver* Driver()
{
	return gDriver;
}

void StartDriver()
{
	if (gDriver == nullptr)
		gDriver = new QtDriver;
}

void StopDriver()
{
	delete gDriver;
	gDriver = nullptr;
}

bool IsGuiThread()
{
	return qApp != nullptr && QThread::currentThread() == qApp->thread();
}

void Post(std::function<void()> fn)
{
	if (qApp == nullptr) {
		fn();
		return;
	}
	QMetaObject::invokeMethod(qApp, std::move(fn), Qt::QueuedConnection);
}

void Call(const std::function<void()>& fn)
{
	if (qApp == nullptr || IsGuiThread()) {
		fn();
		return;
	}
	struct Done {
		std::mutex mutex;
		std::condition_variable cv;
		bool done = false;
	};
	auto done = std::make_shared<Done>();
	QMetaObject::invokeMethod(qApp, [&fn, done] {
		fn();
		std::lock_guard<std::mutex> guard(done->mutex);
		done->done = true;
		done->cv.notify_all();
	}, Qt::QueuedConnection);
	std::unique_lock<std::mutex> lock(done->mutex);
	done->cv.wait(lock, [&] { return done->done; });
}

void RegisterWindow(QWidget* topLevel, BWindow* window)
{
	gWindows[topLevel] = window;
}

void UnregisterWindow(QWidget* topLevel)
{
	gWindows.erase(topLevel);
}

BWindow* WindowOf(QWidget* topLevel)
{
	auto it = gWindows.find(topLevel);
	return it == gWindows.end() ? nullptr : it->second;
}

bool DeliverWindowEvent(QWidget* receiver, QEvent* event, const std::function<bool()>& deliver,
	bool* handled)
{
	QEvent::Type type = event->type();
	bool paint = type == QEvent::Paint;
	if (!paint && !IsInput(type))
		return false;
	BWindow* window = WindowOf(receiver->window());
	if (window == nullptr)
		return false;
	struct Work {
		const std::function<bool()>& deliver;
		bool result = false;
	} work{deliver};
	status_t status = window->DispatchWork(
		[](void* data) {
			auto* w = static_cast<Work*>(data);
			w->result = w->deliver();
		},
		&work);
	if (status == B_OK) {
		*handled = work.result;
		return true;
	}
	if (status == B_WOULD_BLOCK) {
		// Another thread holds the window: put the event off instead of waiting.
		QPointer<QWidget> target(receiver);
		if (paint) {
			QTimer::singleShot(kRetryMilliseconds, receiver, [target] {
				if (target)
					target->update();
			});
		} else {
			std::shared_ptr<QEvent> copy(event->clone());
			QTimer::singleShot(kRetryMilliseconds, receiver, [target, copy] {
				if (target)
					QCoreApplication::postEvent(target, copy->clone());
			});
		}
		*handled = true;
		return true;
	}
	// The window is quitting: it is painted until it goes, but takes no more input.
	if (paint)
		return false;
	*handled = true;
	return true;
}

}  // namespace gui
