// Running Qt's event loop from a test or a benchmark until something happened.
#pragma once

#include <chrono>
#include <functional>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

// Runs Qt's events until done() holds or the time-out (generous: the machine may be slow)
// passes; returns done(). Sleeps while no event comes, as an application's loop does
// (processEvents with a time limit would spin, taking a core from the threads waited for);
// a timer wakes it now and then to look at what other threads changed without an event.
inline bool RunEventsUntil(const std::function<bool()>& done, double seconds = 20.0)
{
	auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
	QTimer wake;
	wake.start(10);
	while (!done() && std::chrono::steady_clock::now() < end)
		QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
	return done();
}

// Lets the events queued now (and those they queue at once) run.
inline void RunPendingEvents()
{
	for (int i = 0; i < 5; i++)
		QCoreApplication::processEvents(QEventLoop::AllEvents);
}
