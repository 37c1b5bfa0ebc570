// The dialog box that shows alerts while an application runs.
#include "interface/Alert.h"

#include "GuiThread.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QPushButton>

#include <vector>

namespace {

QMessageBox::Icon IconFor(alert_type type)
{
	switch (type) {
		case B_WARNING_ALERT:
			return QMessageBox::Warning;
		case B_STOP_ALERT:
			return QMessageBox::Critical;
		case B_INFO_ALERT:
		case B_IDEA_ALERT:
			return QMessageBox::Information;
		default:
			return QMessageBox::NoIcon;
	}
}

int32 RunDialog(const AlertRequest& alert)
{
	QMessageBox box(IconFor(alert.type), QString::fromStdString(alert.title),
		QString::fromStdString(alert.text));
	// Buttons keep the order given, left to right; the last one is the default.
	std::vector<QPushButton*> buttons;
	for (int32 i = 0; i < alert.CountButtons(); i++)
		buttons.push_back(box.addButton(QString::fromStdString(alert.Button(i)),
			QMessageBox::ActionRole));
	box.setDefaultButton(buttons.back());
	int32 escape = alert.CountButtons() == 1 ? 0 : alert.escapeButton;
	if (escape >= 0)
		box.setEscapeButton(buttons[size_t(escape)]);
	box.exec();
	for (size_t i = 0; i < buttons.size(); i++)
		if (box.clickedButton() == buttons[i])
			return int32(i);
	// Closed without a button (the window manager's close box): the Escape button.
	return escape >= 0 ? escape : 0;
}

}  // namespace

int32 PresentAlertInDialog(const AlertRequest& alert)
{
	int32 which = 0;
	gui::Call([&] { which = RunDialog(alert); });
	return which;
}
