#include "InputConfigView.h"

#include "Amplification.h"
#include "app/Message.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QSlider>
#include <QThread>
#include <QVBoxLayout>

#include <cstdio>

using namespace micfeed;

InputConfigView::InputConfigView(BMessage* config, QWidget* parent)
	:
	QWidget(parent),
	fConfig(config),
	fSlider(new QSlider(Qt::Horizontal, this))
{
	AdoptAmplification(config);

	// One slider position per step of x1, so the slider only offers whole steps.
	fSlider->setRange(kMinAmplification / kAmplificationStep,
		kMaxAmplification / kAmplificationStep);
	fSlider->setSingleStep(1);
	fSlider->setPageStep(5);
	fSlider->setTickPosition(QSlider::TicksBelow);
	fSlider->setTickInterval(5);
	fSlider->setValue((Multiplier() + kAmplificationStep / 2) / kAmplificationStep);
	fSlider->setAccessibleName("Amplification");

	auto* title = new QLabel("Amplification", this);
	title->setBuddy(fSlider);
	auto* limits = new QHBoxLayout;
	limits->addWidget(new QLabel("x1", this));
	limits->addStretch(1);
	limits->addWidget(new QLabel("x50", this));

	auto* layout = new QVBoxLayout(this);
	layout->addWidget(title);
	layout->addWidget(fSlider);
	layout->addLayout(limits);
	layout->addStretch(1);

	QObject::connect(fSlider, &QSlider::valueChanged, this, [this](int position) {
		BMessage changed(kAmplificationChanged);
		changed.AddInt32("be:value", position * kAmplificationStep);
		MessageReceived(&changed);
	});
}

InputConfigView::~InputConfigView()
{
	StoreAmplification(fConfig);
}

void InputConfigView::MessageReceived(BMessage* message)
{
	ApplyAmplificationChange(message);
}

void ShowAboutMicfeed(const char* text)
{
	QCoreApplication* app = QCoreApplication::instance();
	if (qobject_cast<QApplication*>(app) == nullptr) {
		fprintf(stderr, "%s\n", text);
		return;
	}
	QString about = QString::fromUtf8(text);
	auto show = [about] {
		auto* box = new QMessageBox(QMessageBox::Information, "Audio Input", about,
			QMessageBox::Ok);
		box->setAttribute(Qt::WA_DeleteOnClose);
		box->setModal(false);
		box->show();
	};
	// Widgets live on the GUI thread, whichever thread the host calls from.
	if (QThread::currentThread() == app->thread())
		show();
	else
		QMetaObject::invokeMethod(app, show, Qt::QueuedConnection);
}
