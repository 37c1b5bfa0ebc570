#pragma once
// The librarian's operations on one device snapshot, apart from any window: requesting and
// sending all banks or a selection on a worker thread, copying and pasting patches as
// document text, saving, opening and importing files. The librarian window drives these;
// the command line runs the same operations.
//
// Threads: one worker ("ORB™ Send", "ORB™ Request" or "ORB™ Open") at a time. Workers
// report to the status sink from their own thread and call the end handler when done, as
// their last work: there IsRunning() is still true, a new worker gets B_BUSY, and
// WaitForWorker() returns the worker's result at once. A window's end handler posts to
// the window.
#include "librarian/LbIteratorsI.h"

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class LbBankSnapshotI;
class LbDeviceSnapshotI;
struct LbImportCounts;
class LbMidiStudio;
class LbPatchI;
class LbStatusWormholeI;

enum PatchThreadType { LB_PATCH_SEND = 0, LB_PATCH_REQUEST = 1 };

constexpr const char* LB_PATCHES_MIME_TYPE = "text/x-vnd.ORB.PatchesLib";
constexpr const char* LB_SYX_MIME_TYPE = "application/x-syx";

// One bank snapshot to work on and what to do with it: the patches to send, or the
// numbers to request.
struct LbPatchWork {
    LbBankSnapshotI* snapshot = nullptr;
    std::unique_ptr<LbPatchIteratorI> patches;
    std::unique_ptr<LbInt32IteratorI> numbers;
};

class LbLibrarian {
public:
    // The studio (not owned) is where opened documents find their instrument.
    LbLibrarian(LbMidiStudio* studio, LbStatusWormholeI* status);
    ~LbLibrarian();
    LbLibrarian(const LbLibrarian&) = delete;
    LbLibrarian& operator=(const LbLibrarian&) = delete;

    // Takes ownership; the old snapshot is deleted (no worker may be running).
    void SetDeviceSnapshot(LbDeviceSnapshotI* snapshot);
    LbDeviceSnapshotI* DeviceSnapshot() const { return mSnapshot.get(); }
    // Hands the snapshot over to the caller (null when none); no worker may be running.
    LbDeviceSnapshotI* ReleaseDeviceSnapshot() { return mSnapshot.release(); }
    const std::string& FilePath() const { return mFilePath; }
    void SetFilePath(const std::string& path) { mFilePath = path; }
    void SetEndHandler(std::function<void()> handler) { mEndHandler = std::move(handler); }

    // The work for every bank (a send skips read-only banks), or for one bank and a
    // selection of its patches (the whole bank when none is selected).
    std::vector<LbPatchWork> WorkForAll(PatchThreadType type) const;
    status_t WorkForSelection(PatchThreadType type, LbBankSnapshotI* bank, const std::vector<LbPatchI*>& selected,
                              std::vector<LbPatchWork>* work) const;
    // Does the work on the calling thread: status text and progress over all patches.
    // Returns B_OK, or the first failure (a failed request ends that bank's requests and
    // has shown its alert; the work goes on with the next bank).
    status_t RunPatchWork(PatchThreadType type, std::vector<LbPatchWork>& work);
    // The same on a worker thread; B_BUSY while another worker runs, B_NO_MORE_THREADS
    // when no thread can be had.
    status_t StartPatchWork(PatchThreadType type, std::vector<LbPatchWork> work);
    bool IsRunning() const;
    // Waits for the running worker and returns its result (the last worker's when none
    // runs).
    status_t WaitForWorker();

    // The selected patches as a patch-library document (the clipboard's text).
    status_t Copy(const std::vector<LbPatchI*>& selected, std::string* text) const;
    // Reads a document's patches of `bank`'s name into `bank` from number `first` on, as
    // far as the bank reaches. Documents of other instruments are passed over. B_BAD_VALUE
    // for a first number outside the bank; a patch that cannot take its new number is
    // passed over (its number stays empty) and its error returned.
    status_t Paste(const std::string& text, LbBankSnapshotI* bank, int32 first);

    // Saves the whole device snapshot as a patch-library document, whole or not at all.
    status_t SaveTo(const char* path);
    // Opens files, the last first: patch-library documents replace the snapshot (the
    // first of the list wins), raw SysEx files are imported into it. Unknown types are
    // passed over. Runs on the calling thread; StartOpen runs it on a worker.
    status_t Open(const std::vector<std::string>& paths);
    status_t StartOpen(std::vector<std::string> paths);
    // Runs other work as the one worker (a window's own reading of files): the same
    // start, end handler and B_BUSY as the workers above.
    status_t StartWorker(const char* name, std::function<status_t()> work);
    // Reads one patch-library document into a new snapshot (the caller owns it).
    status_t ReadDocument(const char* path, LbDeviceSnapshotI** snapshot) const;
    // Imports a raw SysEx file; `counts` (may be null) says what became of its messages.
    status_t Import(const char* path, LbImportCounts* counts = nullptr);

private:
    void EndPatchOperation();

    LbMidiStudio* mStudio;
    LbStatusWormholeI* mStatus;
    std::unique_ptr<LbDeviceSnapshotI> mSnapshot;
    std::string mFilePath;
    std::function<void()> mEndHandler;

    mutable std::mutex mThreadLock;
    std::condition_variable mWorkerEnded;
    std::thread mWorker;
    bool mRunning = false;           // from a start until the worker's last step
    std::thread::id mWorkerId;       // the running worker's, once it runs
    status_t mWorkerResult = B_OK;
};

// The type the librarian takes a file for: LB_PATCHES_MIME_TYPE, LB_SYX_MIME_TYPE, another
// type, or "" for what is no regular file. The stored type counts when it is one of the
// two; otherwise the name and the content are looked at.
std::string LbFileType(const char* path);

// Reads a whole file into memory; B_OK or why not.
status_t LbReadFile(const char* path, std::string* content);

// Teaches the file-type guess the program's types: ".syx" files and documents that start
// like a patch library. Call once at start.
void LbInstallFileTypes();
