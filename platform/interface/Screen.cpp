#include "interface/Screen.h"

#include "interface/Window.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace {

BRect FrameOf(const QScreen* screen)
{
	QRect g = screen->geometry();
	return BRect(g.left(), g.top(), g.left() + g.width() - 1, g.top() + g.height() - 1);
}

}  // namespace

BScreen::BScreen() : fValid(false), fFrame(0, 0, 1023, 767)
{
	if (qGuiApp != nullptr && QGuiApplication::primaryScreen() != nullptr) {
		fValid = true;
		fFrame = FrameOf(QGuiApplication::primaryScreen());
	}
}

BScreen::BScreen(BWindow* window) : BScreen()
{
	if (window != nullptr && window->Widget()->screen() != nullptr) {
		fValid = true;
		fFrame = FrameOf(window->Widget()->screen());
	}
}
