#pragma once
// InputConfigView: micfeed's settings view, a slider "Amplification" from x1 to x50 in
// steps of x1 (amplification 10 … 500 in steps of 10).
//
// Lifetime: bound to the host's configuration message, which must outlive the view. On
// creation the view adopts the message's "amplification" when in range; every slider move
// sets the process-wide amplification; when the view goes, the message is emptied and
// receives "amplification" = the amplification then.
// Threads: the GUI thread only, like every widget.

#include <QWidget>

class BMessage;
class QSlider;

class InputConfigView : public QWidget {
public:
	explicit InputConfigView(BMessage* config, QWidget* parent = nullptr);
	~InputConfigView() override;

	// Takes kAmplificationChanged messages (the slider sends them here).
	void MessageReceived(BMessage* message);

	QSlider* Slider() const { return fSlider; }

private:
	BMessage* fConfig;
	QSlider* fSlider;   // a child: owned by the view
};

// Shows who made the plug-in, without waiting: a window when the host runs a Qt
// application, else standard error.
void ShowAboutMicfeed(const char* text);
