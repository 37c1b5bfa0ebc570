// BApplication: the program's application looper over QApplication. It runs on the GUI
// thread (the thread that creates it, the program's main thread), like every window.
//
// Life: create one in main, then Run(): command-line arguments that are not options
// arrive as one B_REFS_RECEIVED ("refs", one entry_ref each, in order), then
// B_READY_TO_RUN; Run() returns when the application quits, after closing the windows
// still open. Delete it after Run() (it is not deleted by Quit()).
// While Run() runs, SIGINT, SIGTERM and SIGHUP (left at their default action by the
// program) post B_QUIT_REQUESTED to the application; another one while that request is
// being answered ends the program at once (after a refusal, the next one asks again).
// QuitRequested() asks every window in window order (their QuitRequested, which may show
// a question) and quits those that agree; it answers false at the first that refuses.
// A B_QUIT_REQUESTED for the application calls it and quits when it answers true.
//
// Alerts: while the application exists, ShowAlert (and so BAlert) shows a dialog box;
// from a thread other than the GUI thread it waits for the user's answer.
//
// Screenshots: with SUITE_SCREENSHOT_DIR set, a second after ready-to-run each window is
// written as a PNG into that folder and the application quits (scripts/screenshot).
//
// Threads: be_app_messenger, PostMessage and Quit from any thread; the rest on the GUI
// thread.
#pragma once

#include "app/Looper.h"
#include "app/Messenger.h"

class BWindow;

class BApplication : public BLooper {
public:
	BApplication(const char* signature, int argc = 0, char** argv = nullptr);
	~BApplication() override;

	status_t InitCheck() const { return fInitStatus; }
	const char* Signature() const;

	// Runs Qt's event loop until the application quits; returns the GUI thread's id.
	thread_id Run();
	// Ends Run() (from any thread); does not delete the application.
	void Quit() override;
	bool QuitRequested() override;

	virtual void ReadyToRun();
	virtual void RefsReceived(BMessage* message);
	virtual void ArgvReceived(int32 argc, char** argv);
	virtual void AboutRequested();
	void DispatchMessage(BMessage* message, BHandler* handler) override;

	// The open windows in window order (the order they were made in). GUI thread.
	int32 CountWindows() const;
	BWindow* WindowAt(int32 index) const;

private:
	friend class BWindow;
	void AddWindow(BWindow* window);
	void RemoveWindow(BWindow* window);
	void TakeScreenshots();

	struct Private;
	Private* fPrivate;
	status_t fInitStatus;
};

extern BApplication* be_app;
// The application's messenger (invalid before a BApplication exists); any thread.
#define be_app_messenger (AppMessenger())
