#include "interface/FilePanel.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/AppDefs.h"
#include "app/Message.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

BFilePanel::BFilePanel(file_panel_mode mode, const BMessenger* target, const entry_ref* directory,
	uint32 nodeFlavors, bool allowMultipleSelection, const BMessage* message)
	: fMode(mode),
	  fTarget(target ? *target : AppMessenger()),
	  fMessage(message ? new BMessage(*message) : nullptr),
	  fDirectory(directory ? *directory : entry_ref()),
	  fNodeFlavors(nodeFlavors == 0 ? uint32(B_FILE_NODE) : nodeFlavors),
	  fMultiple(allowMultipleSelection),
	  fSaveText(nullptr),
	  fDialog(nullptr)
{
}

BFilePanel::~BFilePanel()
{
	delete fDialog;
	delete fMessage;
	free(fSaveText);
}

QFileDialog* BFilePanel::Dialog() const
{
	return fDialog;
}

void BFilePanel::Show()
{
	if (fDialog == nullptr) {
		fDialog = new QFileDialog;
		if (fMode == B_SAVE_PANEL) {
			fDialog->setAcceptMode(QFileDialog::AcceptSave);
			fDialog->setFileMode(QFileDialog::AnyFile);
			fDialog->setWindowTitle(QFileDialog::tr("Save"));
		} else {
			fDialog->setAcceptMode(QFileDialog::AcceptOpen);
			if (fNodeFlavors == B_DIRECTORY_NODE) {
				fDialog->setFileMode(QFileDialog::Directory);
				fDialog->setOption(QFileDialog::ShowDirsOnly);
			} else {
				fDialog->setFileMode(fMultiple ? QFileDialog::ExistingFiles
											   : QFileDialog::ExistingFile);
			}
			fDialog->setWindowTitle(QFileDialog::tr("Open"));
		}
		QObject::connect(fDialog, &QDialog::accepted, [this] { Accepted(); });
	}
	if (!fDirectory.path.empty())
		fDialog->setDirectory(QString::fromStdString(fDirectory.path));
	if (fSaveText != nullptr)
		fDialog->selectFile(QString::fromUtf8(fSaveText));
	fDialog->show();
	fDialog->raise();
	fDialog->activateWindow();
}

void BFilePanel::Hide()
{
	if (fDialog != nullptr)
		fDialog->hide();
}

bool BFilePanel::IsShowing() const
{
	return fDialog != nullptr && fDialog->isVisible();
}

void BFilePanel::SetTarget(BMessenger target)
{
	fTarget = target;
}

void BFilePanel::SetMessage(const BMessage* message)
{
	delete fMessage;
	fMessage = message ? new BMessage(*message) : nullptr;
}

void BFilePanel::SetPanelDirectory(const entry_ref* directory)
{
	fDirectory = directory ? *directory : entry_ref();
	if (fDialog != nullptr && !fDirectory.path.empty())
		fDialog->setDirectory(QString::fromStdString(fDirectory.path));
}

void BFilePanel::SetSaveText(const char* text)
{
	free(fSaveText);
	fSaveText = text ? strdup(text) : nullptr;
	if (fDialog != nullptr && fSaveText != nullptr)
		fDialog->selectFile(QString::fromUtf8(fSaveText));
}

BMessage* BFilePanel::MakeOpenMessage(const char* const* paths, int32 count) const
{
	auto* message = fMessage ? new BMessage(*fMessage) : new BMessage(B_REFS_RECEIVED);
	for (int32 i = 0; i < count; i++) {
		entry_ref ref(paths[i]);
		message->AddRef("refs", &ref);
	}
	return message;
}

BMessage* BFilePanel::MakeSaveMessage(const char* directory, const char* name) const
{
	auto* message = fMessage ? new BMessage(*fMessage) : new BMessage(B_SAVE_REQUESTED);
	entry_ref ref(directory);
	message->AddRef("directory", &ref);
	message->AddString("name", name);
	return message;
}

void BFilePanel::Accepted()
{
	QStringList chosen = fDialog->selectedFiles();
	if (chosen.isEmpty())
		return;
	BMessage* message = nullptr;
	if (fMode == B_SAVE_PANEL) {
		QFileInfo file(chosen.first());
		std::string directory = file.absolutePath().toStdString();
		std::string name = file.fileName().toStdString();
		message = MakeSaveMessage(directory.c_str(), name.c_str());
	} else {
		std::vector<std::string> paths;
		for (const QString& path : chosen)
			paths.push_back(QFileInfo(path).absoluteFilePath().toStdString());
		std::vector<const char*> list;
		for (const std::string& path : paths)
			list.push_back(path.c_str());
		message = MakeOpenMessage(list.data(), int32(list.size()));
	}
	fTarget.SendMessage(message, static_cast<BHandler*>(nullptr), 0);
	delete message;
	// The panel remembers where the user was.
	fDirectory = entry_ref(fDialog->directory().absolutePath().toStdString().c_str());
}
