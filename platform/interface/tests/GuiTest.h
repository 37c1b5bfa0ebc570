// Helpers for tests of windows: an application per test (offscreen) and a way to let
// Qt's event loop run until something happened.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>

#include "interface/Application.h"

#include <QCoreApplication>
#include <QEventLoop>

// Runs Qt's events until done() holds or the time-out (generous: the machine may be slow)
// passes; returns done().
inline bool RunEventsUntil(const std::function<bool()>& done, double seconds = 20.0)
{
	auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
	while (!done() && std::chrono::steady_clock::now() < end)
		QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 20);
	return done();
}

// Lets the events queued now (and those they queue at once) run.
inline void RunPendingEvents()
{
	for (int i = 0; i < 5; i++)
		QCoreApplication::processEvents(QEventLoop::AllEvents);
}

class GuiTest : public testing::Test {
protected:
	void SetUp() override
	{
		fApp = std::make_unique<BApplication>("application/x-vnd.suite-test");
		ASSERT_EQ(fApp->InitCheck(), B_OK);
	}
	void TearDown() override { fApp.reset(); }

	std::unique_ptr<BApplication> fApp;
};
