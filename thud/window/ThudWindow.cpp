#include "ThudWindow.h"

#include "ThudDrawing.h"
#include "ThudViews.h"
#include "app/AppDefs.h"
#include "app/Message.h"
#include "interface/Alert.h"
#include "interface/Application.h"
#include "interface/FilePanel.h"
#include "kernel/EntryRef.h"

#include <sys/stat.h>

#include <algorithm>
#include <iterator>
#include <utility>

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>

namespace thud {

namespace {

constexpr uint32_t kOscillatorCodes[] = {kMsgSine, kMsgSquare, kMsgSaw, kMsgTriangle};
constexpr char kDefaultBpm[] = "120";

std::string BaseName(const std::string& path)
{
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

void SetText(QLineEdit* field, double value)
{
    QSignalBlocker quiet(field);
    field->setText(QString::fromStdString(FormatValue(value)));
}

double TextValue(const QLineEdit* field)
{
    return ParseValue(field->text().toStdString());
}

// Sliders hold integers; values outside their range stop at its ends.
void SetSlider(QSlider* slider, double value)
{
    QSignalBlocker quiet(slider);
    double clamped = std::min<double>(std::max<double>(value, slider->minimum()), slider->maximum());
    slider->setValue(static_cast<int>(clamped == clamped ? clamped : slider->minimum()));
}

QSlider* MakeSlider(int low, int high, const char* name)
{
    auto* slider = new QSlider(Qt::Horizontal);
    slider->setRange(low, high);
    slider->setObjectName(name);
    slider->setMinimumWidth(90);
    return slider;
}

QLineEdit* MakeField(const char* name)
{
    auto* field = new QLineEdit;
    field->setObjectName(name);
    field->setMaximumWidth(72);
    field->setMinimumWidth(56);
    field->setAlignment(Qt::AlignRight);
    return field;
}

QLabel* MakeLabel(const char* text, QWidget* buddy)
{
    auto* label = new QLabel(QString::fromUtf8(text));
    label->setBuddy(buddy);
    return label;
}

}  // namespace

ThudWindow::ThudWindow(BRect frame)
    : BWindow(frame, (std::string(kTitlePrefix) + "Untitled").c_str(), B_TITLED_WINDOW,
              B_ASYNCHRONOUS_CONTROLS)
{
    fSound.SetErrorHandler([](const std::string& text) {
        AlertRequest alert;
        alert.title = kEngineAlertTitle;
        alert.text = text;
        alert.type = B_STOP_ALERT;
        ShowAlert(alert);
    });
    BMessenger self(nullptr, this);
    fOpenPanel = std::make_unique<BFilePanel>(B_OPEN_PANEL);
    fSavePanel = std::make_unique<BFilePanel>(B_SAVE_PANEL, &self);
    BuildControls();
    RefreshParams();
}

ThudWindow::~ThudWindow()
{
    fSound.StopSound();
}

void ThudWindow::BuildControls()
{
    QWidget* top = Widget();
    BMessenger self(nullptr, this);
    // Controls only post their codes; the work happens in MessageReceived.
    auto post = [this](uint32_t code) { return [this, code] { PostMessage(code); }; };
    auto onSlider = [&](QSlider* slider, uint32_t code) {
        QObject::connect(slider, &QSlider::valueChanged, top, post(code));
    };
    auto onField = [&](QLineEdit* field, uint32_t code) {
        QObject::connect(field, &QLineEdit::editingFinished, top, post(code));
    };
    auto onClick = [&](QAbstractButton* button, uint32_t code) {
        QObject::connect(button, &QAbstractButton::clicked, top, post(code));
    };

    // OSC
    fOscMenu = new QComboBox;
    fOscMenu->setObjectName("Oscillator");
    fOscMenu->addItems({"Sine", "Square", "Saw", "Triangle"});
    QObject::connect(fOscMenu, &QComboBox::activated, top, [this](int index) {
        if (index >= 0 && index < 4)
            PostMessage(kOscillatorCodes[index]);
    });
    fFreqSlider = MakeSlider(0, 4000, "Frequency (hz)");
    fFreqText = MakeField("TextFreqStart");
    fDurationSlider = MakeSlider(0, 3000, "Duration (ms)");
    fDurationText = MakeField("TextDuration");
    fAmpSlider = MakeSlider(0, 100, "Amplitude");
    fAmpText = MakeField("AmpText");
    onSlider(fFreqSlider, kMsgFreqSlider);
    onField(fFreqText, kMsgFreqText);
    onSlider(fDurationSlider, kMsgDurationSlider);
    onField(fDurationText, kMsgDurationText);
    onSlider(fAmpSlider, kMsgAmpSlider);
    onField(fAmpText, kMsgAmpText);

    auto* osc = new QGroupBox("OSC");
    auto* oscGrid = new QGridLayout(osc);
    oscGrid->addWidget(MakeLabel("Oscillator", fOscMenu), 0, 0);
    oscGrid->addWidget(fOscMenu, 0, 1, 1, 2, Qt::AlignLeft);
    oscGrid->addWidget(MakeLabel("Frequency (hz)", fFreqSlider), 1, 0);
    oscGrid->addWidget(fFreqSlider, 1, 1);
    oscGrid->addWidget(fFreqText, 1, 2);
    oscGrid->addWidget(MakeLabel("Duration (ms)", fDurationSlider), 2, 0);
    oscGrid->addWidget(fDurationSlider, 2, 1);
    oscGrid->addWidget(fDurationText, 2, 2);
    oscGrid->addWidget(MakeLabel("Amplitude", fAmpSlider), 3, 0);
    oscGrid->addWidget(fAmpSlider, 3, 1);
    oscGrid->addWidget(fAmpText, 3, 2);
    oscGrid->setColumnStretch(1, 1);

    // The two envelopes
    auto envelopeBox = [&](const char* title, const char* curveLabel, const char* fieldName,
                           int32_t curveType, QCheckBox*& check, QLineEdit*& field,
                           EnvelopeView*& view, uint32_t checkCode, uint32_t fieldCode) {
        auto* box = new QGroupBox(title);
        check = new QCheckBox("Enable");
        field = MakeField(fieldName);
        view = new EnvelopeView(nullptr, curveType, self);
        view->setObjectName(QString(title) + " view");
        onClick(check, checkCode);
        onField(field, fieldCode);
        auto* grid = new QGridLayout(box);
        grid->addWidget(check, 0, 0, 1, 2);
        grid->addWidget(MakeLabel(curveLabel, field), 1, 0);
        grid->addWidget(field, 1, 1, Qt::AlignLeft);
        grid->addWidget(view, 2, 0, 1, 2);
        grid->setRowStretch(2, 1);
        grid->setColumnStretch(1, 1);
        return box;
    };
    QGroupBox* freqEnv = envelopeBox("Freq ENV", "Freq Curve:", "Freq Curve", 2, fFreqEnvCheck,
                                     fFreqCurveText, fFreqEnvView, kMsgFreqEnvCheck,
                                     kMsgFreqCurveText);
    QGroupBox* ampEnv = envelopeBox("Amp ENV", "Amp Curve:", "Amp Curve", 1, fAmpEnvCheck,
                                    fAmpCurveText, fAmpEnvView, kMsgAmpEnvCheck,
                                    kMsgAmpCurveText);

    // Distortion
    fDistortionCheck = new QCheckBox("Enable");
    fAmountSlider = MakeSlider(1, 10, "Amount");
    fDistortionView = new DistortionView(nullptr, fSound);
    fDistortionView->setObjectName("Distortion view");
    onClick(fDistortionCheck, kMsgDistortionCheck);
    onSlider(fAmountSlider, kMsgDistortionSlider);
    auto* distortion = new QGroupBox("Distortion");
    auto* distortionGrid = new QGridLayout(distortion);
    distortionGrid->addWidget(fDistortionCheck, 0, 0, 1, 2);
    distortionGrid->addWidget(MakeLabel("Amount", fAmountSlider), 1, 0);
    distortionGrid->addWidget(fAmountSlider, 1, 1);
    distortionGrid->addWidget(fDistortionView, 2, 0, 1, 2);
    distortionGrid->setRowStretch(2, 1);

    // Filter
    fFilterCheck = new QCheckBox("Enable");
    fCutoffSlider = MakeSlider(20, 20000, "Cutoff");
    fResonanceSlider = MakeSlider(10, 400, "Resonance");
    onClick(fFilterCheck, kMsgFilterCheck);
    onSlider(fCutoffSlider, kMsgCutoffSlider);
    onSlider(fResonanceSlider, kMsgResonanceSlider);
    auto* filter = new QGroupBox("Filter");
    auto* filterGrid = new QGridLayout(filter);
    filterGrid->addWidget(fFilterCheck, 0, 0, 1, 2);
    filterGrid->addWidget(MakeLabel("Cutoff", fCutoffSlider), 1, 0);
    filterGrid->addWidget(fCutoffSlider, 1, 1);
    filterGrid->addWidget(MakeLabel("Resonance", fResonanceSlider), 2, 0);
    filterGrid->addWidget(fResonanceSlider, 2, 1);
    filterGrid->setRowStretch(3, 1);

    // Presets
    auto* openPreset = new QPushButton("Open…");
    openPreset->setObjectName("Open preset");
    auto* savePreset = new QPushButton("Save…");
    savePreset->setObjectName("Save preset");
    onClick(openPreset, kMsgOpenPreset);
    onClick(savePreset, kMsgSavePreset);
    auto* presets = new QGroupBox("Presets");
    auto* presetsColumn = new QVBoxLayout(presets);
    presetsColumn->addWidget(openPreset);
    presetsColumn->addWidget(savePreset);
    presetsColumn->addStretch(1);

    // Output
    fSoundView = new SoundView(nullptr, fSound);
    fSoundView->setObjectName("Sound view");
    auto* play = new QPushButton("Play");
    play->setObjectName("Play");
    auto* stop = new QPushButton("Stop");
    stop->setObjectName("Stop");
    fRepeatCheck = new QCheckBox("Repeat");
    fBpmText = MakeField("BPM:");
    auto* saveWav = new QPushButton("Save WAV…");
    saveWav->setObjectName("Save WAV");
    onClick(play, kMsgPlay);
    onClick(stop, kMsgStop);
    onClick(fRepeatCheck, kMsgRepeatCheck);
    onField(fBpmText, kMsgBpmText);
    onClick(saveWav, kMsgSaveWav);
    auto* output = new QGroupBox("Output");
    auto* outputColumn = new QVBoxLayout(output);
    outputColumn->addWidget(fSoundView, 1);
    auto* transport = new QHBoxLayout;
    transport->addWidget(play);
    transport->addWidget(stop);
    transport->addSpacing(8);
    transport->addWidget(fRepeatCheck);
    transport->addWidget(MakeLabel("BPM:", fBpmText));
    transport->addWidget(fBpmText);
    transport->addStretch(1);
    transport->addWidget(saveWav);
    outputColumn->addLayout(transport);

    auto* grid = new QGridLayout(top);
    grid->setContentsMargins(10, 10, 10, 10);
    grid->setSpacing(8);
    grid->addWidget(osc, 0, 0, 1, 2);
    grid->addWidget(distortion, 0, 2);
    grid->addWidget(freqEnv, 1, 0);
    grid->addWidget(ampEnv, 1, 1);
    grid->addWidget(filter, 1, 2);
    grid->addWidget(output, 2, 0, 1, 2);
    grid->addWidget(presets, 2, 2);
    for (int column = 0; column < 3; column++)
        grid->setColumnStretch(column, 1);
    grid->setRowStretch(1, 1);
    grid->setRowStretch(2, 1);
}

void ThudWindow::MessageReceived(BMessage* message)
{
    ThudParams& p = fParams;
    switch (message->what) {
        case kMsgFreqSlider:
            p.startFreq = static_cast<float>(fFreqSlider->value());
            SetText(fFreqText, p.startFreq);
            break;
        case kMsgFreqText:
            p.startFreq = static_cast<float>(TextValue(fFreqText));
            SetSlider(fFreqSlider, p.startFreq);
            break;
        case kMsgDurationSlider:
            p.duration = static_cast<float>(fDurationSlider->value());
            SetText(fDurationText, p.duration);
            break;
        case kMsgDurationText:
            p.duration = static_cast<float>(TextValue(fDurationText));
            SetSlider(fDurationSlider, p.duration);
            break;
        case kMsgAmpSlider:
            p.amplitude = static_cast<float>(fAmpSlider->value()) / 100.0f;
            SetText(fAmpText, p.amplitude);
            break;
        case kMsgAmpText:
            p.amplitude = static_cast<float>(TextValue(fAmpText));
            SetSlider(fAmpSlider, p.amplitude * 100.0);
            break;
        case kMsgSine:
        case kMsgSquare:
        case kMsgSaw:
        case kMsgTriangle: {
            int index = int(std::find(std::begin(kOscillatorCodes), std::end(kOscillatorCodes),
                                      message->what) - std::begin(kOscillatorCodes));
            p.oscType = index + 1;
            QSignalBlocker quiet(fOscMenu);
            fOscMenu->setCurrentIndex(index);
            break;
        }
        case kMsgFreqEnvCheck:
            p.freqEnvOn = fFreqEnvCheck->isChecked() ? 1 : 0;
            break;
        case kMsgAmpEnvCheck:
            p.ampEnvOn = fAmpEnvCheck->isChecked() ? 1 : 0;
            break;
        case kMsgDistortionCheck:
            p.distortionOn = fDistortionCheck->isChecked() ? 1 : 0;
            break;
        case kMsgFilterCheck:
            p.filterOn = fFilterCheck->isChecked() ? 1 : 0;
            break;
        case kMsgCurveMoved: {
            int32 type = 0;
            message->FindInt32("curvetype", &type);
            if (type == 1 && p.ampEnvOn) {
                p.ampCurve = fAmpEnvView->Value();
                SetText(fAmpCurveText, p.ampCurve);
            } else if (type == 2 && p.freqEnvOn) {
                p.freqCurve = fFreqEnvView->Value();
                SetText(fFreqCurveText, p.freqCurve);
            } else {
                return;  // a switched-off envelope keeps its curve
            }
            break;
        }
        case kMsgFreqCurveText:
            p.freqCurve = static_cast<float>(TextValue(fFreqCurveText));
            fFreqEnvView->SetCurve(p.freqCurve);
            break;
        case kMsgAmpCurveText:
            p.ampCurve = static_cast<float>(TextValue(fAmpCurveText));
            fAmpEnvView->SetCurve(p.ampCurve);
            break;
        case kMsgDistortionSlider:
            p.distortion = static_cast<float>(fAmountSlider->value());
            break;
        case kMsgCutoffSlider:
            p.cutoff = static_cast<float>(fCutoffSlider->value());
            break;
        case kMsgResonanceSlider:
            p.resonance = static_cast<float>(fResonanceSlider->value()) / 100.0f;
            break;

        // Not changes of the sound
        case kMsgPlay:
            if (fSound.GenerateSound() == ThudSound::kOk) {
                fSoundView->update();
                fSound.PlaySound();
            }
            return;
        case kMsgStop:
            fSound.StopSound();
            return;
        case kMsgRepeatCheck: {
            bool on = fRepeatCheck->isChecked();
            fSound.SetSequencerEnabled(on);
            fBpmText->setEnabled(on);
            if (!on)
                fSound.StopSound();
            return;
        }
        case kMsgBpmText:
            fSound.SetBeatLength(static_cast<float>(TextValue(fBpmText)));
            return;
        case kMsgOpenPreset:
            fOpenPanel->Show();
            return;
        case kMsgSavePreset:
            ShowSavePanel(SaveKind::kPreset);
            return;
        case kMsgSaveWav:
            ShowSavePanel(SaveKind::kWav);
            return;
        case B_SAVE_REQUESTED:
            SaveRequested(message);
            return;
        default:
            BWindow::MessageReceived(message);
            return;
    }
    // Every message that reaches here changed the block.
    ApplyParams(fSound, fParams);
    UpdateStageControls();
    SetChanged();
}

void ThudWindow::UpdateStageControls()
{
    fFreqCurveText->setEnabled(fParams.freqEnvOn);
    fFreqEnvView->setEnabled(fParams.freqEnvOn);
    fAmpCurveText->setEnabled(fParams.ampEnvOn);
    fAmpEnvView->setEnabled(fParams.ampEnvOn);
    fAmountSlider->setEnabled(fParams.distortionOn);
    fDistortionView->setEnabled(fParams.distortionOn);
    fCutoffSlider->setEnabled(fParams.filterOn);
    fResonanceSlider->setEnabled(fParams.filterOn);
    fFreqEnvView->update();
    fAmpEnvView->update();
    fDistortionView->update();
}

void ThudWindow::RefreshParams()
{
    const ThudParams& p = fParams;
    ApplyParams(fSound, p);
    SetText(fFreqText, p.startFreq);
    SetSlider(fFreqSlider, p.startFreq);
    SetText(fDurationText, p.duration);
    SetSlider(fDurationSlider, p.duration);
    SetText(fAmpText, p.amplitude);
    SetSlider(fAmpSlider, p.amplitude * 100.0);
    SetText(fFreqCurveText, p.freqCurve);
    fFreqEnvView->SetCurve(p.freqCurve);
    SetText(fAmpCurveText, p.ampCurve);
    fAmpEnvView->SetCurve(p.ampCurve);
    SetSlider(fAmountSlider, p.distortion);
    SetSlider(fCutoffSlider, p.cutoff);
    SetSlider(fResonanceSlider, p.resonance * 100.0);
    {
        QSignalBlocker quiet(fOscMenu);
        fOscMenu->setCurrentIndex(p.oscType >= 1 && p.oscType <= 4 ? p.oscType - 1 : -1);
    }
    for (auto [check, on] : {std::pair{fFreqEnvCheck, p.freqEnvOn}, std::pair{fAmpEnvCheck, p.ampEnvOn},
                             std::pair{fDistortionCheck, p.distortionOn},
                             std::pair{fFilterCheck, p.filterOn}}) {
        QSignalBlocker quiet(check);
        check->setChecked(on != 0);
    }
    UpdateStageControls();
    {
        QSignalBlocker quietText(fBpmText);
        QSignalBlocker quietCheck(fRepeatCheck);
        fBpmText->setText(kDefaultBpm);
        fBpmText->setEnabled(false);
        fRepeatCheck->setChecked(false);
    }
    fSound.SetBeatLength(static_cast<float>(ParseValue(kDefaultBpm)));
    fSound.SetSequencerEnabled(false);
}

void ThudWindow::SetChanged()
{
    if (fChanged)
        return;
    fChanged = true;
    SetTitle((std::string(Title()) + "*").c_str());
}

void ThudWindow::ClearChanged(const std::string& fileName)
{
    if (!fileName.empty())
        fFileName = fileName;
    fChanged = false;
    SetTitle((kTitlePrefix + (fFileName.empty() ? std::string("Untitled") : fFileName)).c_str());
}

void ThudWindow::PresetAlert(const std::string& text)
{
    AlertRequest alert;
    alert.text = text;
    alert.type = B_WARNING_ALERT;
    ShowAlert(alert);
}

void ThudWindow::ReadPresetFromFile(const std::string& path)
{
    PresetReadResult read = thud::ReadPresetFromFile(path);
    for (const std::string& text : read.messages)
        PresetAlert(text);
    switch (read.outcome) {
        case PresetReadResult::kCannotOpen:
            return;  // the window keeps what it had
        case PresetReadResult::kNotValid:
            fParams = ThudParams{};
            ClearChanged("");
            break;
        case PresetReadResult::kLoaded:
            fParams = read.params;
            ClearChanged(BaseName(path));
            break;
    }
    RefreshParams();
}

void ThudWindow::ShowSavePanel(SaveKind kind)
{
    fSaveKind = kind;
    std::string stem = fFileName.empty() ? "Untitled" : fFileName;
    if (kind == SaveKind::kWav) {
        size_t dot = stem.find_last_of('.');
        stem = (dot == std::string::npos || dot == 0 ? stem : stem.substr(0, dot)) + ".wav";
    } else if (fFileName.empty()) {
        stem += ".thud";
    }
    fSavePanel->SetSaveText(stem.c_str());
    fSavePanel->Show();
}

void ThudWindow::SaveRequested(BMessage* message)
{
    entry_ref directory;
    const char* name = nullptr;
    if (message->FindRef("directory", &directory) != B_OK
        || message->FindString("name", &name) != B_OK || name[0] == '\0')
        return;
    struct stat info{};
    if (stat(directory.path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        PresetAlert("Error: Could not open the folder " + directory.path + "!");
        return;
    }
    if (fSaveKind == SaveKind::kWav) {
        ApplyParams(fSound, fParams);
        fSound.WriteSoundToFile(directory.path + "/" + name);
        fSoundView->update();
        return;
    }
    WritePreset(directory.path, name);
}

void ThudWindow::WritePreset(const std::string& directory, const std::string& name)
{
    std::string error;
    if (WritePresetToFile(directory + "/" + name, fParams, error) != 0) {
        PresetAlert("Error: Could not save the preset! " + error);
        return;  // the old file, if any, is as it was
    }
    ClearChanged(name);
}

bool ThudWindow::QuitRequested()
{
    if (fChanged) {
        auto* alert = new BAlert("", kCloseQuestion, "Cancel", "Don't save", "Save",
                                 B_WIDTH_AS_USUAL, B_WARNING_ALERT);
        alert->SetShortcut(0, B_ESCAPE);
        switch (alert->Go()) {
            case 1:
                break;  // "Don't save": close
            case 2:
                ShowSavePanel(SaveKind::kPreset);
                return false;
            default:
                return false;  // "Cancel"
        }
    }
    fSound.StopSound();
    // The last window to close takes the application with it.
    if (be_app != nullptr && be_app->CountWindows() == 1)
        be_app_messenger.SendMessage(B_QUIT_REQUESTED);
    return true;
}

}  // namespace thud
