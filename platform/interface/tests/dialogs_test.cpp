// Alerts, file panels and the clipboard, as windows use them.
#include "GuiTest.h"

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "app/AppDefs.h"
#include "app/Invoker.h"
#include "app/Message.h"
#include "interface/Alert.h"
#include "interface/Clipboard.h"
#include "interface/FilePanel.h"
#include "interface/ImageStore.h"
#include "interface/Window.h"
#include "kernel/EntryRef.h"
#include "testing/ScratchDir.h"

#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QMessageBox>
#include <QMimeData>
#include <QPixmap>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {

class Inbox : public BWindow {
public:
	Inbox() : BWindow(BRect(0, 0, 199, 99), "inbox") {}
	void MessageReceived(BMessage* message) override { received.push_back(*message); }
	std::vector<BMessage> received;
};

// Answers the next dialog box that opens: clicks the button with that label, or presses
// Escape when the label is empty. Returns the text the box showed.
void AnswerNextAlert(const QString& label, QString* shownText)
{
	QTimer::singleShot(10, qApp, [label, shownText] {
		auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
		if (box == nullptr) {
			AnswerNextAlert(label, shownText);   // not open yet
			return;
		}
		*shownText = box->text();
		if (label.isEmpty()) {
			QTest::keyClick(box, Qt::Key_Escape);
			return;
		}
		for (QAbstractButton* button : box->buttons())
			if (button->text() == label)
				button->click();
	});
}

}  // namespace

TEST_F(GuiTest, AlertsKeepTheirButtonsTheirEscapeAndAnswerAnyThread)
{
	// The closing question of a document window: three buttons, Escape cancels.
	auto* alert = new BAlert("", "Save changes before closing?", "Cancel", "Don't save", "Save",
		B_WIDTH_AS_USUAL, B_WARNING_ALERT);
	alert->SetShortcut(0, B_ESCAPE);
	QString text;
	AnswerNextAlert("", &text);
	EXPECT_EQ(alert->Go(), 0);
	EXPECT_EQ(text, QString("Save changes before closing?"));

	alert = new BAlert("", "Save changes before closing?", "Cancel", "Don't save", "Save");
	AnswerNextAlert("Save", &text);
	EXPECT_EQ(alert->Go(), 2);

	// Synchronous from a worker: the dialog opens on the GUI thread, the worker sleeps.
	std::atomic<int32> fromWorker{-1};
	std::thread worker([&] {
		fromWorker = (new BAlert("", "From a worker", "One", "Two"))->Go();
	});
	AnswerNextAlert("Two", &text);
	ASSERT_TRUE(RunEventsUntil([&] { return fromWorker.load() >= 0; }));
	worker.join();
	EXPECT_EQ(fromWorker.load(), 1);

	// Asynchronous: the answer comes as a message with "which".
	auto* inbox = new Inbox;
	alert = new BAlert("", "Later", "No", "Yes");
	EXPECT_EQ(alert->Go(new BInvoker(new BMessage('answ'), BMessenger(nullptr, inbox))), B_OK);
	AnswerNextAlert("Yes", &text);
	ASSERT_TRUE(RunEventsUntil([&] { return !inbox->received.empty(); }));
	EXPECT_EQ(inbox->received[0].what, uint32('answ'));
	int32 which = -1;
	EXPECT_EQ(inbox->received[0].FindInt32("which", &which), B_OK);
	EXPECT_EQ(which, 1);
	inbox->Lock();
	inbox->Quit();
}

TEST_F(GuiTest, FilePanelsSendRefsOrDirectoryAndName)
{
	auto* inbox = new Inbox;
	BMessenger target(nullptr, inbox);
	ScratchDir scratch("interface-panel");
	ASSERT_TRUE(scratch.Valid());
	const std::string& dir = scratch.Path();
	for (const char* name : {"a.thud", "b.thud"}) {
		FILE* f = std::fopen((dir + "/" + name).c_str(), "w");
		ASSERT_NE(f, nullptr);
		std::fclose(f);
	}

	BFilePanel save(B_SAVE_PANEL, &target);
	save.Show();
	ASSERT_NE(save.Dialog(), nullptr);
	EXPECT_TRUE(save.IsShowing());
	save.Dialog()->setDirectory(QString::fromStdString(dir));
	save.Dialog()->selectFile(QString::fromStdString(dir + "/kick.thud"));
	static_cast<QDialog*>(save.Dialog())->accept();
	ASSERT_TRUE(RunEventsUntil([&] { return inbox->received.size() == 1; }));
	const BMessage& saved = inbox->received[0];
	EXPECT_EQ(saved.what, uint32(B_SAVE_REQUESTED));
	entry_ref directory;
	const char* name = nullptr;
	ASSERT_EQ(saved.FindRef("directory", &directory), B_OK);
	ASSERT_EQ(saved.FindString("name", &name), B_OK);
	EXPECT_EQ(directory.path, dir);
	EXPECT_STREQ(name, "kick.thud");

	BMessage custom('opnd');
	BFilePanel open(B_OPEN_PANEL, &target, nullptr, 0, true, &custom);
	open.Show();
	open.Dialog()->setDirectory(QString::fromStdString(dir));
	open.Dialog()->selectFile("\"a.thud\" \"b.thud\"");
	static_cast<QDialog*>(open.Dialog())->accept();
	ASSERT_TRUE(RunEventsUntil([&] { return inbox->received.size() == 2; }));
	const BMessage& opened = inbox->received[1];
	EXPECT_EQ(opened.what, uint32('opnd'));
	std::vector<std::string> refs;
	entry_ref ref;
	for (int32 i = 0; opened.FindRef("refs", i, &ref) == B_OK; i++)
		refs.push_back(ref.path);
	EXPECT_EQ(refs, (std::vector<std::string>{dir + "/a.thud", dir + "/b.thud"}));

	inbox->Lock();
	inbox->Quit();
}

TEST_F(GuiTest, ClipboardCarriesDataByMimeType)
{
	ASSERT_NE(be_clipboard, nullptr);
	const char kType[] = "text/x-vnd.ORB.PatchesLib";
	const char kDocument[] = "<Library version=\"1.0\">";
	ASSERT_TRUE(be_clipboard->Lock());
	be_clipboard->Clear();
	be_clipboard->Data()->AddData(kType, B_MIME_TYPE, kDocument, sizeof(kDocument) - 1);
	EXPECT_EQ(be_clipboard->Commit(), B_OK);
	be_clipboard->Unlock();
	EXPECT_EQ(QApplication::clipboard()->mimeData()->data(kType), QByteArray(kDocument));

	// What another program put there is read back by type.
	auto* mime = new QMimeData;
	mime->setData("application/x-syx", QByteArray("\xF0\x18\xF7", 3));
	QApplication::clipboard()->setMimeData(mime);
	ASSERT_TRUE(be_clipboard->Lock());
	const void* bytes = nullptr;
	ssize_t length = 0;
	ASSERT_EQ(be_clipboard->Data()->FindData("application/x-syx", B_MIME_TYPE, &bytes, &length),
		B_OK);
	EXPECT_EQ(std::string(static_cast<const char*>(bytes), size_t(length)),
		std::string("\xF0\x18\xF7", 3));
	EXPECT_FALSE(be_clipboard->Data()->HasData(kType, B_MIME_TYPE));
	be_clipboard->Unlock();
	EXPECT_EQ(be_clipboard->Data(), nullptr);
}

TEST_F(GuiTest, TheImageStoreFindsImagesByName)
{
	EXPECT_TRUE(image_store::Find("NoSuchImage").isNull());
	QPixmap play(16, 12);
	play.fill(Qt::green);
	image_store::Add("Play", play);
	QPixmap found = image_store::Find("Play");
	ASSERT_FALSE(found.isNull());
	EXPECT_EQ(found.size(), QSize(16, 12));
	EXPECT_EQ(found.toImage().pixel(3, 3), QColor(Qt::green).rgb());
}
