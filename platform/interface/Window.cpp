#include "interface/Window.h"

#include <string>

#include "GuiThread.h"
#include "app/AppDefs.h"
#include "interface/Application.h"

#include <QCloseEvent>
#include <QWidget>

namespace {

// The top-level widget: its close box asks the window, as the close box of any window
// does, instead of closing by itself.
class TopLevel : public QWidget {
public:
	explicit TopLevel(BWindow* window) : fWindow(window) {}

protected:
	void closeEvent(QCloseEvent* event) override
	{
		event->ignore();
		fWindow->PostMessage(B_QUIT_REQUESTED);
	}

private:
	BWindow* fWindow;
};

}  // namespace

struct BWindow::Private {
	QWidget* widget = nullptr;   // owned
	std::string title;
};

BWindow::BWindow(BRect frame, const char* title, window_type type, uint32 flags)
	: BLooper(title), fPrivate(new Private), fFlags(flags)
{
	fPrivate->title = title ? title : "";
	QWidget* widget = new TopLevel(this);
	fPrivate->widget = widget;
	widget->setWindowTitle(QString::fromUtf8(fPrivate->title.c_str()));
	Qt::WindowFlags qtFlags = Qt::Window;
	if (type == B_MODAL_WINDOW)
		qtFlags = Qt::Dialog;
	else if (type == B_FLOATING_WINDOW)
		qtFlags = Qt::Tool;
	widget->setWindowFlags(qtFlags);
	if (flags & B_NOT_ZOOMABLE)
		widget->setWindowFlag(Qt::WindowMaximizeButtonHint, false);
	if (type == B_MODAL_WINDOW)
		widget->setWindowModality(Qt::ApplicationModal);
	MoveTo(frame.left, frame.top);
	ResizeTo(frame.Width(), frame.Height());
	if (flags & B_NOT_RESIZABLE)
		widget->setFixedSize(widget->size());
	gui::RegisterWindow(widget, this);
	if (gui::Driver() != nullptr)
		AttachDriver(gui::Driver());
	if (be_app != nullptr)
		be_app->AddWindow(this);
}

BWindow::~BWindow()
{
	if (be_app != nullptr)
		be_app->RemoveWindow(this);
	gui::UnregisterWindow(fPrivate->widget);
	delete fPrivate->widget;
	delete fPrivate;
}

QWidget* BWindow::Widget() const
{
	return fPrivate->widget;
}

void BWindow::Show()
{
	fPrivate->widget->show();
}

void BWindow::Hide()
{
	fPrivate->widget->hide();
}

bool BWindow::IsHidden() const
{
	return fPrivate->widget->isHidden();
}

void BWindow::Minimize(bool minimize)
{
	QWidget* w = fPrivate->widget;
	w->setWindowState(minimize ? (w->windowState() | Qt::WindowMinimized)
							   : (w->windowState() & ~Qt::WindowMinimized));
}

bool BWindow::IsMinimized() const
{
	return fPrivate->widget->isMinimized();
}

void BWindow::Activate(bool active)
{
	if (!active)
		return;
	fPrivate->widget->show();
	fPrivate->widget->raise();
	fPrivate->widget->activateWindow();
}

bool BWindow::IsActive() const
{
	return fPrivate->widget->isActiveWindow();
}

void BWindow::SetTitle(const char* title)
{
	fPrivate->title = title ? title : "";
	fPrivate->widget->setWindowTitle(QString::fromUtf8(fPrivate->title.c_str()));
}

const char* BWindow::Title() const
{
	return fPrivate->title.c_str();
}

BRect BWindow::Frame() const
{
	QRect g = fPrivate->widget->geometry();
	return BRect(g.left(), g.top(), g.left() + g.width() - 1, g.top() + g.height() - 1);
}

BRect BWindow::Bounds() const
{
	QSize s = fPrivate->widget->size();
	return BRect(0, 0, s.width() - 1, s.height() - 1);
}

void BWindow::MoveTo(float left, float top)
{
	// The content's corner, as Frame() reports it (move() would place the frame's).
	QWidget* w = fPrivate->widget;
	w->setGeometry(int(left), int(top), w->width(), w->height());
}

void BWindow::ResizeTo(float width, float height)
{
	fPrivate->widget->resize(int(width) + 1, int(height) + 1);
}
