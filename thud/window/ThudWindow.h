#pragma once
// ThudWindow: the document window of one sound. It holds the parameter block, mirrors it
// into its own engine, and offers a control for every parameter, the four stage switches,
// pictures of the envelopes, the distortion and the rendered sound, play/stop with
// repetition at a tempo, preset files (open/save) and WAV export.
//
// Messages: every control posts its code below to the window, and MessageReceived does
// the work, so tests and other windows drive it with the same messages. Save panels
// answer with B_SAVE_REQUESTED ("directory", "name"), for a preset or a WAV file
// according to the button that opened the panel.
//
// Lifetime: made and shown by ThudApp on the GUI thread; ends like any window (Quit).
// Closing with unsaved changes asks first. When the last window closes, the application
// is asked to quit.

#include "ThudPreset.h"
#include "ThudSound.h"
#include "interface/Window.h"

#include <memory>
#include <string>

class BFilePanel;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QSlider;

namespace thud {

class DistortionView;
class EnvelopeView;
class SoundView;

enum : uint32_t {
    kMsgFreqSlider = 'slfm',
    kMsgFreqText = 'tfrs',
    kMsgDurationSlider = 'sdrm',
    kMsgDurationText = 'tdur',
    kMsgAmpSlider = 'slam',
    kMsgAmpText = 'tamp',
    kMsgSine = 'msim',
    kMsgSquare = 'msqm',
    kMsgSaw = 'mswm',
    kMsgTriangle = 'mtrm',
    kMsgFreqEnvCheck = 'cefm',
    kMsgAmpEnvCheck = 'ceam',
    kMsgDistortionCheck = 'cedm',
    kMsgFilterCheck = 'celm',
    kMsgCurveMoved = 'cvmm',  // int32 "curvetype": 1 amplitude, 2 frequency
    kMsgFreqCurveText = 'tfcm',
    kMsgAmpCurveText = 'tacm',
    kMsgDistortionSlider = 'sdtm',
    kMsgCutoffSlider = 'scom',
    kMsgResonanceSlider = 'sres',
    kMsgPlay = 'play',
    kMsgStop = 'stop',
    kMsgRepeatCheck = 'cesm',
    kMsgBpmText = 'tbpm',
    kMsgOpenPreset = 'sopm',
    kMsgSavePreset = 'saps',
    kMsgSaveWav = 'sawv',
};

constexpr char kTitlePrefix[] = "Thud v1.0 - ";
constexpr char kCloseQuestion[] = "Save changes before closing?";
constexpr char kEngineAlertTitle[] = "Error In ThudSound Object";

class ThudWindow : public BWindow {
public:
    explicit ThudWindow(BRect frame);
    ~ThudWindow() override;

    void MessageReceived(BMessage* message) override;
    bool QuitRequested() override;

    // Loads a preset file (alerts for what goes wrong) and shows its settings.
    void ReadPresetFromFile(const std::string& path);

    const ThudParams& Params() const { return fParams; }
    bool IsChanged() const { return fChanged; }
    ThudSound& Sound() { return fSound; }
    BFilePanel* OpenPanel() const { return fOpenPanel.get(); }
    BFilePanel* SavePanel() const { return fSavePanel.get(); }

private:
    enum class SaveKind { kPreset, kWav };

    void BuildControls();
    void SetChanged();
    void ClearChanged(const std::string& fileName);
    // Every parameter to the engine and to its control; tables rebuilt; tempo 120, repeat off.
    void RefreshParams();
    void UpdateStageControls();
    void SaveRequested(BMessage* message);
    void WritePreset(const std::string& directory, const std::string& name);
    void ShowSavePanel(SaveKind kind);
    void PresetAlert(const std::string& text);

    ThudParams fParams;
    bool fChanged = false;
    std::string fFileName;  // empty while untitled
    SaveKind fSaveKind = SaveKind::kPreset;
    std::unique_ptr<BFilePanel> fOpenPanel;
    std::unique_ptr<BFilePanel> fSavePanel;

    // Controls, owned by the window's widget.
    QComboBox* fOscMenu = nullptr;
    QSlider* fFreqSlider = nullptr;
    QLineEdit* fFreqText = nullptr;
    QSlider* fDurationSlider = nullptr;
    QLineEdit* fDurationText = nullptr;
    QSlider* fAmpSlider = nullptr;
    QLineEdit* fAmpText = nullptr;
    QCheckBox* fFreqEnvCheck = nullptr;
    QLineEdit* fFreqCurveText = nullptr;
    EnvelopeView* fFreqEnvView = nullptr;
    QCheckBox* fAmpEnvCheck = nullptr;
    QLineEdit* fAmpCurveText = nullptr;
    EnvelopeView* fAmpEnvView = nullptr;
    QCheckBox* fDistortionCheck = nullptr;
    QSlider* fAmountSlider = nullptr;
    DistortionView* fDistortionView = nullptr;
    QCheckBox* fFilterCheck = nullptr;
    QSlider* fCutoffSlider = nullptr;
    QSlider* fResonanceSlider = nullptr;
    SoundView* fSoundView = nullptr;
    QCheckBox* fRepeatCheck = nullptr;
    QLineEdit* fBpmText = nullptr;

    // Last member: destroyed first, so its player thread stops before the rest goes.
    ThudSound fSound;
};

}  // namespace thud
