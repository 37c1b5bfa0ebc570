// Helpers for tests of windows: an application per test (offscreen), Qt's event loop run
// until something happened (EventLoop.h), alerts recorded and answered.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <vector>

#include "EventLoop.h"
#include "interface/Alert.h"
#include "interface/Application.h"

// An alert presenter that records each alert in `alerts` and answers with the next of
// `answers` (0 when none is left), for SetAlertPresenter.
inline AlertPresenter RecordAlerts(std::vector<AlertRequest>* alerts, std::deque<int32>* answers)
{
	return [alerts, answers](const AlertRequest& alert) {
		alerts->push_back(alert);
		if (answers->empty())
			return int32(0);
		int32 answer = answers->front();
		answers->pop_front();
		return answer;
	};
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
