// thud's window driven as the user and other windows drive it: by its messages and by
// mouse and key events on its controls.
#include "interface/tests/GuiTest.h"

#include "ThudDrawing.h"
#include "ThudPreset.h"
#include "ThudWindow.h"
#include "app/AppDefs.h"
#include "app/Message.h"
#include "interface/Alert.h"
#include "interface/FilePanel.h"
#include "kernel/EntryRef.h"
#include "testing/ScratchDir.h"

#include <sys/resource.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QLineEdit>
#include <QMouseEvent>
#include <QSlider>
#include <QTest>
#include <QWidget>

using namespace thud;
namespace fs = std::filesystem;

namespace {

std::vector<uint8_t> ReadBytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const fs::path& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

class ThudWindowTest : public GuiTest {
protected:
    void SetUp() override
    {
        GuiTest::SetUp();
        SetAlertPresenter(RecordAlerts(&alerts, &answers));
        ASSERT_TRUE(scratch.Valid());
        dir = scratch.Path();
        window = new ThudWindow(BRect(50, 50, 560, 515));
        window->SetTitle(window->Title());
        window->Show();
    }
    void TearDown() override
    {
        if (window != nullptr && !destroyed) {
            window->Lock();
            window->Quit();
        }
        GuiTest::TearDown();
    }

    template <class T>
    T* Control(const char* name)
    {
        T* control = window->Widget()->findChild<T*>(name);
        EXPECT_NE(control, nullptr) << name;
        return control;
    }
    // Lets the window handle what its controls posted.
    void Settle() { RunPendingEvents(); }
    void Type(const char* field, const char* text)
    {
        QLineEdit* edit = Control<QLineEdit>(field);
        edit->selectAll();
        QTest::keyClicks(edit, text);
        QTest::keyClick(edit, Qt::Key_Return);
        Settle();
    }
    void SaveAs(uint32 button, const std::string& name)
    {
        window->PostMessage(button);
        Settle();
        BMessage save(B_SAVE_REQUESTED);
        entry_ref directory(dir.c_str());
        save.AddRef("directory", &directory);
        save.AddString("name", name.c_str());
        window->PostMessage(&save);
        Settle();
    }
    // Clicks a check box on its box (its middle may be empty space when it is wide).
    void Click(QCheckBox* check)
    {
        QTest::mouseClick(check, Qt::LeftButton, {}, QPoint(6, check->height() / 2));
        Settle();
    }
    std::vector<std::string> AlertTexts() const
    {
        std::vector<std::string> texts;
        for (const AlertRequest& alert : alerts)
            texts.push_back(alert.text);
        return texts;
    }

    ScratchDir scratch{"thud-window"};
    ThudWindow* window = nullptr;
    bool destroyed = false;
    std::string dir;
    std::vector<AlertRequest> alerts;
    std::deque<int32> answers;
};

}  // namespace

TEST(ThudDrawing, DragsCurvesAndColumns)
{
    EXPECT_EQ(CurveFromDrag(100.0, 200.0), 1);  // the exact centre: 0 becomes 1
    EXPECT_EQ(CurveFromDrag(0.0, 200.0), -50);
    EXPECT_EQ(CurveFromDrag(99.0, 200.0), -1);
    EXPECT_EQ(CurveFromDrag(199.0, 200.0), 49);

    std::vector<float> envelope = EnvelopeCurve(-5.0, 11);
    ASSERT_EQ(envelope.size(), 11u);
    EXPECT_FLOAT_EQ(envelope.front(), 1.0f);
    EXPECT_NEAR(envelope.back(), 0.0f, 1e-6);
    EXPECT_LT(envelope[2], 0.5f);  // a negative curve falls fast

    // 10 samples in a view 7 wide: 5 columns of floor(10 / 5) = 2 samples each.
    const int16_t samples[] = {0, 5, -3, 7, 32767, -32768, 1, 1, -2, 2};
    std::vector<SampleRange> columns = SoundColumns(samples, 10, 7);
    ASSERT_EQ(columns.size(), 5u);
    EXPECT_EQ(columns[1].low, -3);
    EXPECT_EQ(columns[1].high, 7);
    EXPECT_EQ(columns[2].low, -32768);
    EXPECT_EQ(columns[2].high, 32767);
    EXPECT_DOUBLE_EQ(SampleY(0, 100), 50.0);
    EXPECT_DOUBLE_EQ(SampleY(-32768, 100), 100.0);

    EXPECT_EQ(FormatValue(1000), "1000");
    EXPECT_EQ(FormatValue(0.95f), "0.95");
    EXPECT_EQ(ParseValue("abc"), 0.0);
}

TEST_F(ThudWindowTest, ChangesMarkTheTitleOnceAndSavingClearsIt)
{
    EXPECT_STREQ(window->Title(), "Thud v1.0 - Untitled");
    EXPECT_EQ(Control<QLineEdit>("TextFreqStart")->text(), QString("1000"));
    EXPECT_EQ(Control<QLineEdit>("AmpText")->text(), QString("0.95"));

    Control<QSlider>("Frequency (hz)")->setValue(2500);
    Settle();
    EXPECT_FLOAT_EQ(window->Params().startFreq, 2500.0f);
    EXPECT_EQ(Control<QLineEdit>("TextFreqStart")->text(), QString("2500"));
    EXPECT_STREQ(window->Title(), "Thud v1.0 - Untitled*");
    Type("AmpText", "0.5");
    EXPECT_FLOAT_EQ(window->Params().amplitude, 0.5f);
    EXPECT_EQ(Control<QSlider>("Amplitude")->value(), 50);
    EXPECT_STREQ(window->Title(), "Thud v1.0 - Untitled*");  // one mark, however many changes

    SaveAs(kMsgSavePreset, "kick.thud");
    EXPECT_TRUE(alerts.empty()) << alerts.front().text;
    EXPECT_STREQ(window->Title(), "Thud v1.0 - kick.thud");
    EXPECT_FALSE(window->IsChanged());
    std::vector<uint8_t> bytes = ReadBytes(dir + "/kick.thud");
    ASSERT_EQ(bytes.size(), 52u);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 5),
              (std::vector<uint8_t>{0x54, 0x48, 0x30, 0x44, 0x00}));

    // The command line reads the window's preset and writes the same 52 bytes back.
    std::string command = std::string(THUD_PROGRAM) + " preset '" + dir + "/kick.thud' -o '" + dir
        + "/copy.thud' > /dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(ReadBytes(dir + "/copy.thud"), bytes);
    ThudParams read = ReadPresetFromFile(dir + "/copy.thud").params;
    EXPECT_FLOAT_EQ(read.startFreq, 2500.0f);
    EXPECT_FLOAT_EQ(read.amplitude, 0.5f);

    // The next change marks the saved document.
    Control<QSlider>("Duration (ms)")->setValue(300);
    Settle();
    EXPECT_STREQ(window->Title(), "Thud v1.0 - kick.thud*");
}

TEST_F(ThudWindowTest, TextThatIsNotANumberGivesZeroAndAnEmptySound)
{
    Type("TextDuration", "abc");
    EXPECT_EQ(window->Params().duration, 0.0f);
    EXPECT_EQ(Control<QSlider>("Duration (ms)")->value(), 0);
    SaveAs(kMsgSaveWav, "silence.wav");
    EXPECT_EQ(window->Sound().GetSampleLength(), 0);

    Type("TextDuration", "200");
    SaveAs(kMsgSaveWav, "kick.wav");
    EXPECT_EQ(window->Sound().GetSampleLength(), 8820);
    // A WAV export is no preset: the title keeps its mark.
    EXPECT_STREQ(window->Title(), "Thud v1.0 - Untitled*");
    std::vector<uint8_t> wav = ReadBytes(dir + "/kick.wav");
    ASSERT_EQ(wav.size(), 44u + 2u * 8820u);
    EXPECT_EQ(std::string(wav.begin(), wav.begin() + 4), "RIFF");
    EXPECT_FALSE(fs::exists(dir + "/kick.thud"));
}

TEST_F(ThudWindowTest, EachSwitchEnablesItsOwnControls)
{
    struct Stage {
        const char* check;  // the group's "Enable" box is found through its group
        std::vector<const char*> controls;
    };
    QWidget* freqCurve = Control<QLineEdit>("Freq Curve");
    QWidget* freqView = Control<QWidget>("Freq ENV view");
    QWidget* ampCurve = Control<QLineEdit>("Amp Curve");
    QWidget* ampView = Control<QWidget>("Amp ENV view");
    QWidget* amount = Control<QSlider>("Amount");
    QWidget* shape = Control<QWidget>("Distortion view");
    QWidget* cutoff = Control<QSlider>("Cutoff");
    QWidget* resonance = Control<QSlider>("Resonance");
    std::vector<QWidget*> all = {freqCurve, freqView, ampCurve, ampView, amount, shape, cutoff, resonance};
    for (QWidget* control : all)
        EXPECT_FALSE(control->isEnabled()) << control->objectName().toStdString();

    auto checkOf = [&](QWidget* control) {
        return control->parentWidget()->findChild<QCheckBox*>();
    };
    struct Case {
        QCheckBox* check;
        std::vector<QWidget*> controls;
    } cases[] = {
        {checkOf(freqCurve), {freqCurve, freqView}},
        {checkOf(ampCurve), {ampCurve, ampView}},
        {checkOf(amount), {amount, shape}},
        {checkOf(cutoff), {cutoff, resonance}},
    };
    for (const Case& c : cases) {
        ASSERT_NE(c.check, nullptr);
        Click(c.check);
        for (QWidget* control : all) {
            bool own = std::find(c.controls.begin(), c.controls.end(), control) != c.controls.end();
            EXPECT_EQ(control->isEnabled(), own) << control->objectName().toStdString();
        }
        Click(c.check);
        for (QWidget* control : c.controls)
            EXPECT_FALSE(control->isEnabled());
    }
    EXPECT_EQ(window->Params().freqEnvOn, 0);
    EXPECT_TRUE(window->IsChanged());
}

TEST_F(ThudWindowTest, DraggingAnEnvelopeSetsItsCurveAndTheCentreGivesOne)
{
    QWidget* view = Control<QWidget>("Freq ENV view");
    auto press = [&](double x) {
        QPointF at(x, view->height() / 2.0);
        QMouseEvent down(QEvent::MouseButtonPress, at, view->mapToGlobal(at), Qt::LeftButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(view, &down);
        QMouseEvent up(QEvent::MouseButtonRelease, at, view->mapToGlobal(at), Qt::LeftButton,
                       Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(view, &up);
        Settle();
    };
    // Off: the view takes no drags and the curve stays.
    press(0);
    EXPECT_FLOAT_EQ(window->Params().freqCurve, 1.0f);

    Click(view->parentWidget()->findChild<QCheckBox*>());
    press(0);
    EXPECT_FLOAT_EQ(window->Params().freqCurve, -50.0f);
    EXPECT_EQ(Control<QLineEdit>("Freq Curve")->text(), QString("-50"));
    press(view->width() / 2.0);
    EXPECT_FLOAT_EQ(window->Params().freqCurve, 1.0f);
    EXPECT_EQ(Control<QLineEdit>("Freq Curve")->text(), QString("1"));

    // A message for the amplitude envelope, which is off, changes nothing.
    BMessage moved(kMsgCurveMoved);
    moved.AddInt32("curvetype", 1);
    window->PostMessage(&moved);
    Settle();
    EXPECT_FLOAT_EQ(window->Params().ampCurve, 1.0f);

    // The oscillator menu.
    QComboBox* menu = Control<QComboBox>("Oscillator");
    menu->activated(2);
    Settle();
    EXPECT_EQ(window->Params().oscType, 3);
    window->PostMessage(kMsgTriangle);
    Settle();
    EXPECT_EQ(menu->currentText(), QString("Triangle"));
}

TEST_F(ThudWindowTest, BadPresetFilesGiveTheirAlertsAndLoseNothing)
{
    ThudParams custom;
    custom.startFreq = 55.0f;
    custom.oscType = 2;
    custom.filterOn = 1;
    auto good = EncodePreset(custom);
    std::vector<uint8_t> bytes(good.begin(), good.end());
    WriteBytes(dir + "/good.thud", bytes);
    std::vector<uint8_t> longer = bytes;
    longer.resize(60, 0xEE);
    WriteBytes(dir + "/long.thud", longer);
    std::vector<uint8_t> letterO = bytes;
    letterO[2] = 'O';
    WriteBytes(dir + "/letter-o.thud", letterO);
    WriteBytes(dir + "/short.thud", std::vector<uint8_t>(bytes.begin(), bytes.begin() + 30));

    window->ReadPresetFromFile(dir + "/long.thud");
    EXPECT_TRUE(alerts.empty());
    EXPECT_EQ(window->Params(), custom);
    EXPECT_STREQ(window->Title(), "Thud v1.0 - long.thud");
    EXPECT_TRUE(Control<QSlider>("Cutoff")->isEnabled());
    EXPECT_EQ(Control<QComboBox>("Oscillator")->currentText(), QString("Square"));

    window->ReadPresetFromFile(dir + "/letter-o.thud");
    EXPECT_EQ(AlertTexts(), std::vector<std::string>{kNotValidText});
    EXPECT_TRUE(alerts[0].title.empty());
    EXPECT_EQ(alerts[0].button, "OK");
    EXPECT_EQ(window->Params(), ThudParams{});  // 1000 Hz, 200 ms, 0.95, ..., all stages off
    EXPECT_EQ(Control<QLineEdit>("TextFreqStart")->text(), QString("1000"));
    EXPECT_FALSE(window->IsChanged());
    EXPECT_STREQ(window->Title(), "Thud v1.0 - long.thud");  // the title stays

    alerts.clear();
    window->ReadPresetFromFile(dir + "/good.thud");
    window->ReadPresetFromFile(dir + "/missing.thud");
    EXPECT_EQ(AlertTexts(), std::vector<std::string>{kCannotOpenText});
    EXPECT_EQ(window->Params(), custom);  // nothing else changes

    alerts.clear();
    window->ReadPresetFromFile(dir + "/short.thud");
    EXPECT_EQ(AlertTexts(), std::vector<std::string>{kNotValidText});
    alerts.clear();
    window->ReadPresetFromFile(dir);  // a folder opens but cannot be read
    EXPECT_EQ(AlertTexts(), (std::vector<std::string>{kCannotReadText, kNotValidText}));
}

TEST_F(ThudWindowTest, AFailedSaveLeavesTheOldFileWhole)
{
    SaveAs(kMsgSavePreset, "kick.thud");
    std::vector<uint8_t> before = ReadBytes(dir + "/kick.thud");
    ASSERT_EQ(before.size(), 52u);
    Control<QSlider>("Frequency (hz)")->setValue(3000);
    Settle();

    // A disk that takes no more than 10 bytes: every write beyond fails.
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit tight = old;
    tight.rlim_cur = 10;
    auto previous = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &tight), 0);
    SaveAs(kMsgSavePreset, "kick.thud");
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previous);

    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_NE(alerts[0].text.find("Could not save"), std::string::npos);
    EXPECT_EQ(ReadBytes(dir + "/kick.thud"), before);
    EXPECT_TRUE(window->IsChanged());
    EXPECT_STREQ(window->Title(), "Thud v1.0 - kick.thud*");
    for (const auto& entry : fs::directory_iterator(dir))
        EXPECT_EQ(entry.path().filename(), "kick.thud");  // no temporary file left behind

    // A save into a folder that does not exist is refused with an alert.
    alerts.clear();
    std::string realDir = dir;
    dir += "/missing";
    SaveAs(kMsgSavePreset, "kick.thud");
    dir = realDir;
    EXPECT_EQ(alerts.size(), 1u);
}

TEST_F(ThudWindowTest, TheClosingQuestionHasThreeAnswers)
{
    BMessenger messenger(nullptr, window);
    Control<QSlider>("Frequency (hz)")->setValue(1200);
    Settle();

    answers = {0};  // Cancel
    window->PostMessage(B_QUIT_REQUESTED);
    Settle();
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].text, kCloseQuestion);
    EXPECT_EQ(alerts[0].button, "Cancel");
    EXPECT_EQ(alerts[0].secondButton, "Don't save");
    EXPECT_EQ(alerts[0].thirdButton, "Save");
    EXPECT_EQ(alerts[0].escapeButton, 0);
    EXPECT_TRUE(messenger.IsValid());

    answers = {2};  // Save: the preset save panel, the window stays
    window->PostMessage(B_QUIT_REQUESTED);
    Settle();
    EXPECT_TRUE(messenger.IsValid());
    EXPECT_TRUE(window->SavePanel()->IsShowing());
    window->SavePanel()->Hide();

    answers = {1};  // Don't save
    window->PostMessage(B_QUIT_REQUESTED);
    Settle();
    EXPECT_EQ(alerts.size(), 3u);
    EXPECT_FALSE(messenger.IsValid());
    EXPECT_EQ(fApp->CountWindows(), 0);
    destroyed = true;
}

TEST_F(ThudWindowTest, AnUnchangedWindowClosesWithoutAsking)
{
    BMessenger messenger(nullptr, window);
    window->PostMessage(B_QUIT_REQUESTED);
    Settle();
    EXPECT_TRUE(alerts.empty());
    EXPECT_FALSE(messenger.IsValid());
    destroyed = true;
}

TEST(ThudScreenshot, TheDefaultWindowIsDrawn)
{
    ScratchDir scratch("thud-shot");
    ASSERT_TRUE(scratch.Valid());
    const std::string& dir = scratch.Path();
    std::string command = std::string("SCREENSHOT_DIR='") + dir + "' '" + SUITE_SOURCE_DIR
        + "/scripts/screenshot' '" + THUD_PROGRAM + "' > '" + dir + "/log' 2>&1";
    int status = std::system(command.c_str());
    std::ifstream log(dir + "/log");
    std::string output((std::istreambuf_iterator<char>(log)), {});
    ASSERT_EQ(status, 0) << output;
    QImage image(QString::fromStdString(dir + "/thud-1.png"));
    ASSERT_FALSE(image.isNull()) << output;
    EXPECT_GE(image.width(), 500);
    EXPECT_GE(image.height(), 400);
    // Not blank: many colours (text, controls, pictures).
    std::vector<QRgb> colours;
    for (int y = 0; y < image.height(); y += 3)
        for (int x = 0; x < image.width(); x += 3)
            if (colours.size() < 64 && std::find(colours.begin(), colours.end(), image.pixel(x, y)) == colours.end())
                colours.push_back(image.pixel(x, y));
    EXPECT_GE(colours.size(), 16u);
}
