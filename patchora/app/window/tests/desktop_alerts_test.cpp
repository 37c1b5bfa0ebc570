#include "app/window/LbDesktopAlerts.h"

#include "interface/Alert.h"
#include "librarian/LbStatus.h"
#include "librarian/tests/toy_device.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(DesktopAlerts, TheModelsAlertsReachThePlatformsAlertsOnceInstalled)
{
    std::vector<AlertRequest> shown;
    AlertPresenter previous = SetAlertPresenter([&](const AlertRequest& alert) {
        shown.push_back(alert);
        return 0;
    });
    ToyAddon addon;
    ToyDevice device(&addon);

    // Before the desktop installs its sink the model writes on standard error only.
    testing::internal::CaptureStderr();
    NotifyUserOfError(LB_NO_RESPONSE, &device);
    EXPECT_NE(std::string::npos, testing::internal::GetCapturedStderr().find("did not respond"));
    EXPECT_TRUE(shown.empty());

    LbInstallDesktopAlerts();
    NotifyUserOfError(LB_NO_RESPONSE, &device);
    NotifyUserOfError(LB_BUSY, &device);
    NotifyUserOfError(B_ERROR, &device);
    LbSetAlertSink(nullptr);
    SetAlertPresenter(previous);

    ASSERT_EQ(2u, shown.size());
    EXPECT_EQ("Toy Box did not respond", shown[0].text);
    EXPECT_EQ(B_WARNING_ALERT, shown[0].type);
    EXPECT_EQ("OK", shown[0].button);
    EXPECT_EQ(1, shown[0].CountButtons());
    EXPECT_EQ("Toy Box is busy", shown[1].text);
    EXPECT_EQ(B_INFO_ALERT, shown[1].type);
}
