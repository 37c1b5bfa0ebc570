#include "librarian/LbLibrarian.h"

#include "app/LbXmlStream.h"
#include "kernel/OS.h"
#include "librarian/LbBankI.h"
#include "librarian/LbBankSnapshotI.h"
#include "librarian/LbData.h"
#include "librarian/LbDeviceSnapshot.h"
#include "librarian/LbDeviceTag.h"
#include "librarian/LbIterators.h"
#include "librarian/LbPatchI.h"
#include "librarian/LbStatusWormholeI.h"
#include "librarian/LbXmlRoots.h"
#include "midi/LbDeviceAddonI.h"
#include "midi/LbDeviceI.h"
#include "storage/AtomicFileWriter.h"
#include "storage/BufferIO.h"
#include "storage/DataIO.h"
#include "storage/File.h"
#include "storage/MimeType.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>

status_t LbReadFile(const char* path, std::string* content)
{
    BFile file(path, B_READ_ONLY);
    if (file.InitCheck() != B_OK) return file.InitCheck();
    content->clear();
    char buffer[65536];
    for (;;) {
        ssize_t got = file.Read(buffer, sizeof buffer);
        if (got < 0) return status_t(got);
        if (got == 0) return B_OK;
        content->append(buffer, size_t(got));
    }
}

LbLibrarian::LbLibrarian(LbMidiStudio* studio, LbStatusWormholeI* status) : mStudio(studio), mStatus(status)
{
}

LbLibrarian::~LbLibrarian()
{
    WaitForWorker();
}

void LbLibrarian::SetDeviceSnapshot(LbDeviceSnapshotI* snapshot)
{
    mSnapshot.reset(snapshot);
}

std::vector<LbPatchWork> LbLibrarian::WorkForAll(PatchThreadType type) const
{
    std::vector<LbPatchWork> work;
    if (!mSnapshot) return work;
    for (LbBankSnapshotI* bank : mSnapshot->Snapshots()) {
        if (type == LB_PATCH_SEND && bank->Bank()->IsReadOnly()) continue;
        LbPatchWork item;
        item.snapshot = bank;
        if (type == LB_PATCH_SEND)
            item.patches = std::make_unique<LbDmwBankIt>(bank);
        else
            item.numbers = std::make_unique<LbDmwBankInt32It>(bank->Bank());
        work.push_back(std::move(item));
    }
    return work;
}

status_t LbLibrarian::WorkForSelection(PatchThreadType type, LbBankSnapshotI* bank,
                                       const std::vector<LbPatchI*>& selected, std::vector<LbPatchWork>* work) const
{
    if (bank == nullptr) return B_BAD_VALUE;
    if (type == LB_PATCH_SEND && bank->Bank()->IsReadOnly()) return B_ERROR;
    LbPatchWork item;
    item.snapshot = bank;
    if (type == LB_PATCH_SEND) {
        if (selected.empty())
            item.patches = std::make_unique<LbDmwBankIt>(bank);
        else
            item.patches = std::make_unique<LbPatchListIt>(selected);
    } else if (selected.empty()) {
        item.numbers = std::make_unique<LbDmwBankInt32It>(bank->Bank());
    } else {
        std::vector<int32> numbers;
        for (LbPatchI* patch : selected) numbers.push_back(patch->Number());
        item.numbers = std::make_unique<LbInt32ListIt>(numbers);
    }
    work->push_back(std::move(item));
    return B_OK;
}

status_t LbLibrarian::RunPatchWork(PatchThreadType type, std::vector<LbPatchWork>& work)
{
    int32 total = 0;
    for (LbPatchWork& item : work) {
        int32 count = 0;
        if (item.patches)
            count = item.patches->Size();
        else if (item.numbers)
            item.numbers->Size(&count);
        total += count > 0 ? count : 0;
    }
    if (mStatus) {
        char text[64];
        snprintf(text, sizeof text, type == LB_PATCH_SEND ? "Sending %ld patches..." : "Requesting %ld patches...",
                 long(total));
        mStatus->BeginStatus(text);
        mStatus->BeginProgress(float(total));
    }
    status_t result = B_OK;
    for (LbPatchWork& item : work) {
        status_t status = B_OK;
        if (type == LB_PATCH_SEND && item.patches)
            status = item.snapshot->Send(item.patches.get(), mStatus);
        else if (type == LB_PATCH_REQUEST && item.numbers)
            status = item.snapshot->Request(item.numbers.get(), mStatus);
        if (result == B_OK) result = status;
    }
    return result;
}

status_t LbLibrarian::StartWorker(const char* name, std::function<status_t()> work)
{
    std::thread previous;
    {
        std::lock_guard<std::mutex> lock(mThreadLock);
        if (mRunning) return B_BUSY;
        mRunning = true;
        previous.swap(mWorker);
    }
    // The previous worker has taken its last step; joining it only reaps the thread, and
    // never with the lock held, which its last step takes.
    if (previous.joinable()) previous.join();
    try {
        std::thread worker([this, name, work = std::move(work)] {
            name_this_thread(name);
            {
                std::lock_guard<std::mutex> lock(mThreadLock);
                mWorkerId = std::this_thread::get_id();
            }
            status_t result = work();
            {
                std::lock_guard<std::mutex> lock(mThreadLock);
                mWorkerResult = result;
            }
            EndPatchOperation();
            std::lock_guard<std::mutex> lock(mThreadLock);
            mRunning = false;
            mWorkerId = {};
            mWorkerEnded.notify_all();
        });
        std::lock_guard<std::mutex> lock(mThreadLock);
        mWorker = std::move(worker);
    } catch (const std::system_error&) {
        std::lock_guard<std::mutex> lock(mThreadLock);
        mRunning = false;
        mWorkerEnded.notify_all();
        return B_NO_MORE_THREADS;
    }
    return B_OK;
}

void LbLibrarian::EndPatchOperation()
{
    if (mStatus) {
        mStatus->EndStatus(nullptr);
        mStatus->EndProgress();
    }
    if (mEndHandler) mEndHandler();
}

status_t LbLibrarian::StartPatchWork(PatchThreadType type, std::vector<LbPatchWork> work)
{
    auto shared = std::make_shared<std::vector<LbPatchWork>>(std::move(work));
    return StartWorker(type == LB_PATCH_SEND ? "ORB\u2122 Send" : "ORB\u2122 Request",
                       [this, type, shared] { return RunPatchWork(type, *shared); });
}

bool LbLibrarian::IsRunning() const
{
    std::lock_guard<std::mutex> lock(mThreadLock);
    return mRunning;
}

status_t LbLibrarian::WaitForWorker()
{
    std::thread worker;
    {
        std::unique_lock<std::mutex> lock(mThreadLock);
        // The worker's own end handler: its result is known, and it cannot wait for itself.
        if (mRunning && mWorkerId == std::this_thread::get_id()) return mWorkerResult;
        mWorkerEnded.wait(lock, [this] { return !mRunning; });
        worker.swap(mWorker);
    }
    if (worker.joinable()) worker.join();
    std::lock_guard<std::mutex> lock(mThreadLock);
    return mWorkerResult;
}

status_t LbLibrarian::Copy(const std::vector<LbPatchI*>& selected, std::string* text) const
{
    if (!mSnapshot) {
        printf("LbLibrarian: nothing to copy without a device snapshot\n");
        return B_ERROR;
    }
    BMallocIO io;
    LbXmlStream stream(&io);
    LbPatchListIt patches(selected);
    ssize_t written = mSnapshot->WriteTo(&stream, &patches);
    if (written < 1) return written < 0 ? status_t(written) : B_ERROR;
    text->assign(static_cast<const char*>(io.Buffer()), io.BufferLength());
    return B_OK;
}

status_t LbLibrarian::Paste(const std::string& text, LbBankSnapshotI* bank, int32 first)
{
    LbDeviceI* device = mSnapshot ? mSnapshot->Device() : nullptr;
    LbDeviceAddonI* addon = device ? device->Addon() : nullptr;
    if (addon == nullptr || bank == nullptr || bank->Bank()->Name() == nullptr) {
        printf("LbLibrarian: nothing to paste into\n");
        return B_ERROR;
    }
    if (first < bank->Bank()->Minimum() || first > bank->Bank()->Maximum()) return B_BAD_VALUE;
    if (mStatus) {
        mStatus->BeginStatus("Paste...");
        mStatus->BeginProgress(float(text.size()));
    }
    BMemoryIO io(text.data(), text.size());
    LbXmlStream stream(&io);
    stream.SetStatusWormhole(mStatus);
    status_t result = B_OK;
    LbData maker, model;
    for (;;) {
        LbDeviceTagResult tag = LbReadDeviceTag(&stream, &maker, &model);
        if (tag == LB_NO_TAG) break;
        if (tag != LB_DEVICE_TAG || !LbIsAddonsModel(addon, maker, model)) continue;
        LbInt32It numbers(first);
        status_t status = mSnapshot->ReadFrom(&stream, bank->Bank()->Name(), &numbers);
        if (result == B_OK) result = status;
    }
    if (mStatus) {
        mStatus->EndStatus(nullptr);
        mStatus->EndProgress();
    }
    return result;
}

status_t LbLibrarian::SaveTo(const char* path)
{
    if (!mSnapshot || !mSnapshot->HasDevice()) return B_NO_INIT;
    AtomicFileWriter file(path, LB_PATCHES_MIME_TYPE);
    if (file.InitCheck() != B_OK) return file.InitCheck();
    ssize_t written;
    {
        LbXmlStream stream(&file);
        written = mSnapshot->WriteTo(&stream, nullptr);
    }
    status_t status = written < 1 ? (written < 0 ? status_t(written) : B_ERROR) : file.Commit();
    if (status != B_OK) return status;
    mFilePath = path;
    return B_OK;
}

status_t LbLibrarian::ReadDocument(const char* path, LbDeviceSnapshotI** snapshot) const
{
    *snapshot = nullptr;
    BFile file(path, B_READ_ONLY);
    if (file.InitCheck() != B_OK) return file.InitCheck();
    off_t size = 0;
    file.GetSize(&size);
    BBufferIO buffered(&file, 65536, false);
    LbXmlStream stream(&buffered);
    if (mStatus) {
        mStatus->BeginProgress(float(size));
        stream.SetStatusWormhole(mStatus);
    }
    LbXmlRoots roots(mStudio);
    status_t status = roots.ReadFrom(&stream);
    if (status != B_OK) return status;
    std::vector<LbDeviceSnapshotI*> read = roots.TakeSnapshots();
    if (read.empty()) return B_BAD_DATA;
    *snapshot = read.front();
    for (size_t i = 1; i < read.size(); i++) delete read[i];
    return B_OK;
}

status_t LbLibrarian::Import(const char* path, LbImportCounts* counts)
{
    if (!mSnapshot) return B_NO_INIT;
    std::string content;
    status_t status = LbReadFile(path, &content);
    if (status != B_OK) return status;
    LbImportSysEx(reinterpret_cast<const uint8*>(content.data()), content.size(), mSnapshot.get(), counts);
    return B_OK;
}

status_t LbLibrarian::Open(const std::vector<std::string>& paths)
{
    if (mStatus) mStatus->BeginStatus("Opening file...");
    status_t result = B_OK;
    for (auto it = paths.rbegin(); it != paths.rend(); ++it) {
        const char* path = it->c_str();
        std::string type = LbFileType(path);
        status_t status = B_OK;
        if (type == LB_PATCHES_MIME_TYPE) {
            LbDeviceSnapshotI* snapshot = nullptr;
            status = ReadDocument(path, &snapshot);
            if (status == B_OK) {
                SetDeviceSnapshot(snapshot);
                mFilePath = path;
            }
        } else if (type == LB_SYX_MIME_TYPE) {
            status = Import(path);
        }
        if (result == B_OK) result = status;
    }
    return result;
}

std::string LbFileType(const char* path)
{
    struct stat info;
    if (stat(path, &info) != 0 || !S_ISREG(info.st_mode)) return "";
    std::string type;
    if (get_mime_type(path, &type) != B_OK) type.clear();
    if (type != LB_PATCHES_MIME_TYPE && type != LB_SYX_MIME_TYPE) {
        // A type another program stored does not hide a library or a raw file: the name
        // and the content decide.
        std::string guessed;
        if (guess_mime_type(path, &guessed) == B_OK) type = guessed;
    }
    return type;
}

status_t LbLibrarian::StartOpen(std::vector<std::string> paths)
{
    return StartWorker("ORB\u2122 Open", [this, paths = std::move(paths)] { return Open(paths); });
}

void LbInstallFileTypes()
{
    static const char kLibraryStart[] = "<LbDevice";
    register_mime_extension("syx", LB_SYX_MIME_TYPE);
    register_mime_signature(LB_PATCHES_MIME_TYPE, kLibraryStart, sizeof kLibraryStart - 1);
}
