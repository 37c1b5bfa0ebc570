#include "Amplification.h"
#include "app/Message.h"
#include "view/InputConfigView.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QSlider>

using namespace micfeed;

namespace {

QApplication& App()
{
	static int argc = 1;
	static char name[] = "input_config_view_test";
	static char* argv[] = {name, nullptr};
	static QApplication app(argc, argv);
	return app;
}

class InputConfigViewTest : public testing::Test {
protected:
	void SetUp() override
	{
		App();
		SetMultiplier(kDefaultAmplification);
	}
	void TearDown() override { SetMultiplier(kDefaultAmplification); }
};

int32 Stored(const BMessage& config)
{
	int32 value = -1;
	config.FindInt32("amplification", &value);
	return value;
}

TEST_F(InputConfigViewTest, ShowsTheAmplificationSliderWithItsLimits)
{
	BMessage config;
	config.AddInt32("amplification", 120);
	auto view = std::make_unique<InputConfigView>(&config);
	EXPECT_EQ(Multiplier(), 120);
	QSlider* slider = view->Slider();
	EXPECT_EQ(slider->minimum() * kAmplificationStep, 10);
	EXPECT_EQ(slider->maximum() * kAmplificationStep, 500);
	EXPECT_EQ(slider->singleStep() * kAmplificationStep, 10);
	EXPECT_EQ(slider->value(), 12);
	QStringList texts;
	for (QLabel* label : view->findChildren<QLabel*>())
		texts << label->text();
	EXPECT_TRUE(texts.contains("Amplification"));
	EXPECT_TRUE(texts.contains("x1"));
	EXPECT_TRUE(texts.contains("x50"));
}

TEST_F(InputConfigViewTest, SliderMovesSetTheAmplificationAndTheConfigurationKeepsIt)
{
	BMessage config;
	config.AddInt32("amplification", 5);   // out of range: ignored
	config.AddString("unrelated", "gone when the view writes back");
	SetMultiplier(30);
	{
		InputConfigView view(&config);
		EXPECT_EQ(Multiplier(), 30);
		EXPECT_EQ(view.Slider()->value(), 3);
		view.Slider()->setValue(25);
		EXPECT_EQ(Multiplier(), 250);
		view.Slider()->triggerAction(QSlider::SliderSingleStepAdd);
		EXPECT_EQ(Multiplier(), 260);
		view.Slider()->setValue(1000);   // the slider stops at its end
		EXPECT_EQ(Multiplier(), 500);

		// Messages from elsewhere: out-of-range values are ignored.
		BMessage changed(kAmplificationChanged);
		changed.AddInt32("be:value", 501);
		view.MessageReceived(&changed);
		EXPECT_EQ(Multiplier(), 500);
		changed.ReplaceInt32("be:value", 70);
		view.MessageReceived(&changed);
		EXPECT_EQ(Multiplier(), 70);
		EXPECT_EQ(Stored(config), 5) << "written back only when the view goes";
	}
	EXPECT_EQ(Stored(config), 70);
	EXPECT_FALSE(config.HasString("unrelated"));
}

}  // namespace
