// Internal to platform/interface: the GUI thread's side of the loopers. One driver runs
// the messages of every window (and of the application) from Qt's event loop; Qt's own
// events for a window's widgets are delivered as that window's dispatches.
//
// Threads: Post() and Call() from any thread; the rest on the GUI thread only.
#pragma once

#include <functional>

class BLooperDriver;
class BWindow;
class QEvent;
class QWidget;

namespace gui {

// The driver of the loopers on the GUI thread; null while no application exists.
BLooperDriver* Driver();
// Made and destroyed by BApplication, on the GUI thread.
void StartDriver();
void StopDriver();

bool IsGuiThread();
// Queues fn for the GUI thread's event loop and returns (runs it at once when no
// application exists).
void Post(std::function<void()> fn);
// Runs fn on the GUI thread and waits until it has run.
void Call(const std::function<void()>& fn);

// The window whose top-level widget this is (null for other widgets).
void RegisterWindow(QWidget* topLevel, BWindow* window);
void UnregisterWindow(QWidget* topLevel);
BWindow* WindowOf(QWidget* topLevel);

// Qt's event delivery for the application (QApplication::notify of our subclass): input,
// paint and close events for a window's widgets run as dispatches of that window.
bool DeliverWindowEvent(QWidget* receiver, QEvent* event,
	const std::function<bool()>& deliver, bool* handled);

}  // namespace gui
