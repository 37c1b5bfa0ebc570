#include "librarian/LbBankSnapshot.h"

#include "app/LbXmlStreamI.h"
#include "app/Message.h"
#include "librarian/LbBankI.h"
#include "librarian/LbBankPatch.h"
#include "librarian/LbData.h"
#include "librarian/LbDeviceSnapshotI.h"
#include "librarian/LbIteratorsI.h"
#include "librarian/LbStatus.h"
#include "librarian/LbStatusWormholeI.h"
#include "midi/LbDeviceI.h"
#include "midi/LbMidiServiceI.h"
#include "support/OrbNotificationRegistry.h"

#include <cassert>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {
constexpr char kBankTag[] = "LbBank";
constexpr char kBankEndTag[] = "/LbBank";
constexpr char kPatchTag[] = "LbPatch";

bool SameBytes(const LbDataI* a, const LbDataI* b)
{
    return a->Length() == b->Length() && (a->Length() == 0 || memcmp(a->Bits(), b->Bits(), a->Length()) == 0);
}
} // namespace

LbBankSnapshot::LbBankSnapshot(LbDeviceSnapshotI* snapshot, LbBankI* bank)
    : mSnapshot(snapshot), mDependents(new OrbNotificationRegistry), mNotification(new BMessage(uint32(0)))
{
    SetBank(bank);
    mDependents->RegisterType(LB_NOTIFY_PATCH_INSTALLED);
    mDependents->RegisterType(LB_NOTIFY_SNAPSHOT_GONE);
}

LbBankSnapshot::~LbBankSnapshot()
{
    BMessage gone(LB_MSG_SNAPSHOT_GONE);
    gone.AddPointer("LbBankSnapshotI", static_cast<LbBankSnapshotI*>(this));
    mDependents->NotifyDependents(LB_NOTIFY_SNAPSHOT_GONE, &gone, false);
    for (LbPatchI* patch : mPatches) delete patch;
    for (LbPatchI* patch : mReplaced) delete patch;
}

LbBankI* LbBankSnapshot::Bank() const
{
    assert(mBank != nullptr && "Bank() != 0");
    return mBank;
}

void LbBankSnapshot::SetBank(LbBankI* bank)
{
    mBank = bank;
    if (!mPatches.empty() || bank == nullptr) return;
    for (int64 number = bank->Minimum(); number <= bank->Maximum(); number++)
        mPatches.push_back(new LbBankPatch(nullptr, int32(number), nullptr, this));
}

LbDeviceI* LbBankSnapshot::Device() const
{
    return mSnapshot ? mSnapshot->Device() : nullptr;
}

LbPatchI* LbBankSnapshot::PatchAt(int32 number) const
{
    for (LbPatchI* patch : mPatches)
        if (patch->Number() == number) return patch;
    return nullptr;
}

status_t LbBankSnapshot::InstallPatch(int32 number, const char* name, const LbDataI* data)
{
    auto* patch = new LbBankPatch(name, number, data, this);
    if (data && patch->Data()->Length() != data->Length()) {
        delete patch;
        return B_NO_MEMORY;
    }
    return InstallPatch(patch);
}

status_t LbBankSnapshot::InstallPatch(LbPatchI* patch)
{
    assert(patch != nullptr && "patch != 0");
    size_t index = 0;
    while (index < mPatches.size() && mPatches[index]->Number() < patch->Number()) index++;
    patch->SetSnapshot(this);
    if (index < mPatches.size() && mPatches[index]->Number() == patch->Number()) {
        LbPatchI* old = mPatches[index];
        if (!SameBytes(old->Data(), patch->Data())) mModified = true;
        mPatches[index] = patch;
        mReplaced.push_back(old);
    } else {
        mPatches.insert(mPatches.begin() + ptrdiff_t(index), patch);
        mModified = true;
    }
    mNotification->MakeEmpty();
    mNotification->what = LB_MSG_PATCH_INSTALLED;
    mNotification->AddPointer("LbBankSnapshotI", static_cast<LbBankSnapshotI*>(this));
    mNotification->AddPointer("LbPatchI", patch);
    mDependents->NotifyDependents(LB_NOTIFY_PATCH_INSTALLED, mNotification.get(), false);
    return B_OK;
}

void LbBankSnapshot::SystemExclusive(const uint8* data, uint32 length, uint32)
{
    Bank()->ReceiveData(data, length, this);
}

status_t LbBankSnapshot::Request(LbInt32IteratorI* numbers, LbStatusWormholeI* wormhole)
{
    assert(numbers != nullptr && "numbers != 0");
    LbBankI* bank = Bank();
    while (numbers->HasNext()) {
        int32 number = numbers->Next();
        if (number > bank->Maximum()) return B_OK;
        status_t status = bank->RequestData(number, this);
        if (status != B_OK) {
            NotifyUserOfError(status, Device());
            return status;
        }
        if (wormhole) wormhole->MoveProgressBy(1.0f);
    }
    return B_OK;
}

status_t LbBankSnapshot::Send(LbPatchIteratorI* patches, LbStatusWormholeI* wormhole)
{
    assert(patches != nullptr && "patches != 0");
    LbDeviceI* device = Device();
    LbMidiServiceI* service = device ? device->MidiService() : nullptr;
    if (service == nullptr) return B_ERROR;
    // Every patch is offered even when one fails; the first failure is reported, so that
    // a send that reached nothing does not pass for a success.
    status_t result = B_OK;
    while (patches->HasNext()) {
        LbPatchI* patch = patches->Next();
        if (patch && patch->Data()->Length() > 0) {
            LbData outgoing;
            LbOutgoingData(patch, &outgoing);
            status_t status = service->SendSystemExclusive(&outgoing, false, nullptr);
            if (result == B_OK) result = status;
        }
        if (wormhole) wormhole->MoveProgressBy(1.0f);
    }
    return result;
}

ssize_t LbBankSnapshot::WriteTo(LbXmlStreamI* stream, LbPatchIteratorI* patches)
{
    LbBankI* bank = Bank();
    const char* name = bank->Name() ? bank->Name() : "";
    LbXmlStreamI::ConstStringList keys{"name"}, values{name};
    ssize_t total = stream->WriteStartTag(kBankTag, &keys, &values);
    if (total < 1) return total;
    ssize_t written = stream->WriteCR();
    if (written < 1) return written;
    total += written;
    stream->PushTab();
    written = WritePatches(stream, patches);
    stream->PopTab();
    if (written < 0) return written;
    total += written;
    if ((written = stream->WriteTabs()) < 0) return written;
    total += written;
    if ((written = stream->WriteEndTag(kBankTag)) < 1) return written;
    return total + written;
}

ssize_t LbBankSnapshot::WritePatches(LbXmlStreamI* stream, LbPatchIteratorI* patches)
{
    ssize_t total = 0;
    if (patches) {
        while (patches->HasNext()) {
            LbPatchI* patch = patches->Peek();
            if (patch == nullptr || patch->Snapshot() != this) break;
            if (patch->Data()->Length() > 0) {
                ssize_t written = patch->WriteTo(stream);
                if (written < 1) return written;
                total += written;
            }
            patches->Next();
        }
        return total;
    }
    for (LbPatchI* patch : mPatches) {
        if (patch->Data()->Length() == 0) continue;
        ssize_t written = patch->WriteTo(stream);
        if (written < 1) return written;
        total += written;
    }
    mModified = false;
    return total;
}

status_t LbBankSnapshot::ReadFrom(LbXmlStreamI* stream, LbInt32IteratorI* numbers)
{
    LbBankI* bank = Bank();
    std::string element = std::string("LbBank '") + (bank->Name() ? bank->Name() : "") + "'";
    bool ended = false;
    // The reading goes on past a patch that cannot be renumbered; the first such failure
    // is returned.
    status_t result = B_OK;
    while (char* tag = stream->ReadNextTag(nullptr, nullptr)) {
        bool end = strcmp(tag, kBankEndTag) == 0;
        bool isPatch = strcmp(tag, kPatchTag) == 0;
        // The next bank or the device's end: this bank's end tag is missing.
        bool beyond = strcmp(tag, kBankTag) == 0 || strcmp(tag, "/LbDevice") == 0;
        free(tag);
        if (beyond) {
            stream->ReportProblem(element.c_str(), "no </LbBank> ends it");
            stream->UnreadTag();
        }
        if (end || beyond) {
            ended = true;
            break;
        }
        if (!isPatch) continue;
        int32 number = -1;
        if (numbers) {
            if (!numbers->HasNext()) return result;
            number = numbers->Next();
            if (number > bank->Maximum()) return result;
        }
        LbBankPatch scratch;
        scratch.ReadFrom(stream);
        LbData* data = scratch.MutableData();
        if (data->Length() == 0) {
            stream->ReportProblem("LbPatch", ("a patch of " + element + " holds no data; left out").c_str());
            continue;
        }
        if (numbers) {
            // A block that cannot carry its new number would land on the number it
            // carries, over another patch: it is passed over instead.
            status_t status = bank->SetNumber(data, number);
            if (status != B_OK) {
                if (result == B_OK) result = status;
                continue;
            }
        }
        if (!bank->ReceiveData(data->Bits(), data->Length(), this))
            stream->ReportProblem("LbPatch", ("its data is no patch of " + element + "; left out").c_str());
    }
    if (!ended) stream->ReportProblem(element.c_str(), "the document ends inside it");
    if (numbers == nullptr) mModified = false;
    return result;
}

int32 LbBankSnapshot::AddDependent(int32 type, BHandler* handler)
{
    return mDependents->AddDependent(type, handler);
}

int32 LbBankSnapshot::RemoveDependent(int32 type, BHandler* handler)
{
    return mDependents->RemoveDependent(type, handler);
}
