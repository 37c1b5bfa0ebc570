#include "librarian/LbDeviceSnapshot.h"

#include "app/LbXmlStreamI.h"
#include "librarian/LbBankI.h"
#include "librarian/LbBankSnapshot.h"
#include "librarian/LbData.h"
#include "librarian/LbDeviceTag.h"
#include "librarian/LbIteratorsI.h"
#include "librarian/LbPatchI.h"
#include "midi/LbDeviceAddonI.h"
#include "midi/LbDeviceI.h"

#include <cassert>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {
constexpr char kBankTag[] = "LbBank";

// Reads past the end tag of an element whose start tag was just read; stops before the
// start of a sibling or parent when the end tag is missing.
void SkipElement(LbXmlStreamI* stream, const char* tagName)
{
    std::string end = std::string("/") + tagName;
    while (char* tag = stream->ReadNextTag()) {
        bool done = end == tag;
        bool sibling = strcmp(tag, tagName) == 0 || strcmp(tag, "/LbDevice") == 0;
        free(tag);
        if (done) return;
        if (sibling) {
            stream->UnreadTag();
            return;
        }
    }
}

// Reads the next tag; true when it is a bank, with its name (may be empty) in `name`.
bool NextBank(LbXmlStreamI* stream, std::string* name)
{
    LbXmlStreamI::StringList keys, values;
    char* tag = stream->ReadNextTag(&keys, &values);
    bool isBank = tag != nullptr && strcmp(tag, kBankTag) == 0;
    const char* value = LbAttribute(keys, values, "name");
    *name = value ? value : "";
    free(tag);
    LbFreeStrings(keys);
    LbFreeStrings(values);
    return isBank;
}
} // namespace

LbDeviceSnapshot::LbDeviceSnapshot(LbDeviceI* device)
{
    if (device) SetDevice(device);
}

LbDeviceSnapshot::~LbDeviceSnapshot()
{
    DeleteSnapshots();
}

void LbDeviceSnapshot::DeleteSnapshots()
{
    for (LbBankSnapshotI* snapshot : mSnapshots) delete snapshot;
    mSnapshots.clear();
}

void LbDeviceSnapshot::SetDevice(LbDeviceI* device)
{
    DeleteSnapshots();
    mDevice = device;
    if (device == nullptr) return;
    for (LbBankI* bank : device->Banks()) mSnapshots.push_back(new LbBankSnapshot(this, bank));
}

LbBankSnapshotI* LbDeviceSnapshot::SnapshotNamed(const char* name) const
{
    assert(name != nullptr && "name != 0");
    for (LbBankSnapshotI* snapshot : mSnapshots) {
        const char* bankName = snapshot->Bank()->Name();
        if (bankName && strcmp(bankName, name) == 0) return snapshot;
    }
    return nullptr;
}

LbBankSnapshotI* LbDeviceSnapshot::SnapshotForPatch(const LbPatchI* patch) const
{
    LbBankSnapshotI* own = patch ? patch->Snapshot() : nullptr;
    const char* name = own && own->Bank() ? own->Bank()->Name() : nullptr;
    return name ? SnapshotNamed(name) : nullptr;
}

bool LbDeviceSnapshot::IsModified() const
{
    for (LbBankSnapshotI* snapshot : mSnapshots)
        if (snapshot->IsModified()) return true;
    return false;
}

ssize_t LbDeviceSnapshot::WriteTo(LbXmlStreamI* stream, LbPatchIteratorI* patches)
{
    if (mDevice == nullptr) return B_ERROR;
    LbDeviceAddonI* addon = mDevice->Addon();
    assert(addon != nullptr && "mDevice->Addon() != 0");
    ssize_t total = LbWriteDeviceTag(stream, addon);
    if (total < 1) return total;

    ssize_t written = stream->WriteCR();
    if (written < 1) return written;
    total += written;
    stream->PushTab();
    written = WriteBanks(stream, patches);
    stream->PopTab();
    if (written < 0) return written;
    total += written;
    if ((written = stream->WriteTabs()) < 0) return written;
    total += written;
    if ((written = stream->WriteEndTag("LbDevice")) < 1) return written;
    return total + written;
}

ssize_t LbDeviceSnapshot::WriteBanks(LbXmlStreamI* stream, LbPatchIteratorI* patches)
{
    ssize_t total = 0;
    if (patches == nullptr) {
        for (LbBankSnapshotI* snapshot : mSnapshots) {
            ssize_t written = snapshot->WriteTo(stream, nullptr);
            if (written < 1) return written;
            total += written;
        }
        return total;
    }
    while (patches->HasNext()) {
        LbPatchI* patch = patches->Peek();
        if (patch == nullptr) break;
        LbBankSnapshotI* snapshot = SnapshotForPatch(patch);
        if (snapshot == nullptr || snapshot != patch->Snapshot()) {
            patches->Next();
            continue;
        }
        ssize_t written = snapshot->WriteTo(stream, patches);
        if (written < 1) return written;
        total += written;
    }
    return total;
}

status_t LbDeviceSnapshot::ReadAllFrom(LbXmlStreamI* stream)
{
    for (;;) {
        LbXmlStreamI::StringList keys, values;
        char* tag = stream->ReadNextTag(&keys, &values);
        bool gotTag = tag != nullptr;
        std::string name = tag ? tag : "";
        const char* bankName = LbAttribute(keys, values, "name");
        std::string bank = bankName ? bankName : "";
        free(tag);
        LbFreeStrings(keys);
        LbFreeStrings(values);
        if (!gotTag) {
            stream->ReportProblem("LbDevice", "the document ends before </LbDevice>");
            return B_OK;
        }
        if (name == "/LbDevice") return B_OK;
        if (name != kBankTag) {
            if (name == "LbDevice" || name == "LbPatch" || name == "/LbBank") {
                stream->ReportProblem(name.c_str(), "out of place; left out");
                if (name == "LbDevice" && stream->UnreadTag()) return B_OK;
            }
            continue;
        }
        LbBankSnapshotI* snapshot = bank.empty() ? nullptr : SnapshotNamed(bank.c_str());
        if (snapshot == nullptr) {
            std::string element = "LbBank '" + bank + "'";
            stream->ReportProblem(element.c_str(), "the instrument has no bank of this name; its patches are left out");
            SkipElement(stream, kBankTag);
            continue;
        }
        status_t status = snapshot->ReadFrom(stream, nullptr);
        if (status < 0) return status;
    }
}

status_t LbDeviceSnapshot::ReadFrom(LbXmlStreamI* stream, const char* bankName, LbInt32IteratorI* numbers)
{
    if (bankName == nullptr || numbers == nullptr) return ReadAllFrom(stream);
    LbBankSnapshotI* target = SnapshotNamed(bankName);
    if (target == nullptr) return B_ERROR;
    // A bank that passed over a patch (it could not be renumbered) does not end the
    // reading; the first such error is returned.
    status_t result = B_OK;
    std::string name;
    while (NextBank(stream, &name)) {
        LbBankSnapshotI* source = name.empty() ? nullptr : SnapshotNamed(name.c_str());
        if (source == nullptr || !target->Bank()->IsCompatible(source->Bank())) break;
        status_t status = target->ReadFrom(stream, numbers);
        if (result == B_OK) result = status;
    }
    return result;
}

namespace {
int32 FilledPatches(const LbBankSnapshotI* bank)
{
    int32 count = 0;
    for (LbPatchI* patch : bank->Patches()) count += patch->Data()->Length() > 0;
    return count;
}

void OfferToBanks(const uint8* bytes, size_t length, LbDeviceSnapshotI* snapshot, LbImportCounts* counts)
{
    if (length == 0 || length > UINT32_MAX) return;
    bool ownType = false;
    for (LbBankSnapshotI* bank : snapshot->Snapshots()) {
        if (!bank->Bank()->HoldsNumberOf(bytes, uint32(length))) continue;
        int32 before = FilledPatches(bank);
        if (!bank->Bank()->ReceiveData(bytes, uint32(length), bank)) continue;
        counts->taken++;
        counts->replaced += FilledPatches(bank) == before;
        return;
    }
    // A patch of a type some bank takes, carrying a number none of them holds.
    for (LbBankSnapshotI* bank : snapshot->Snapshots())
        ownType = ownType || bank->Bank()->ReceiveData(bytes, uint32(length), nullptr);
    counts->unplaced += ownType;
}
} // namespace

void LbImportSysEx(const uint8* bytes, size_t length, LbDeviceSnapshotI* snapshot, LbImportCounts* counts)
{
    LbImportCounts ignored;
    if (counts == nullptr) counts = &ignored;
    *counts = LbImportCounts();
    if (bytes == nullptr) length = 0;
    if (length > 0 && memchr(bytes, 0xF0, length) == nullptr) {
        // No framing at all: the content is one block, without any stray F7.
        std::string block;
        for (size_t i = 0; i < length; i++)
            if (bytes[i] != 0xF7) block.push_back(char(bytes[i]));
        if (!block.empty()) {
            counts->offered = 1;
            OfferToBanks(reinterpret_cast<const uint8*>(block.data()), block.size(), snapshot, counts);
        }
    }
    for (size_t i = 0; i < length;) {
        if (bytes[i] != 0xF0) {
            i++;
            continue;
        }
        size_t start = ++i;
        // A message ends at F7, or early at the next status byte (a cut-off message).
        while (i < length && bytes[i] < 0x80) i++;
        size_t end = i;
        if (i < length && bytes[i] == 0xF7) i++;
        if (end == start) continue;
        counts->offered++;
        OfferToBanks(bytes + start, end - start, snapshot, counts);
    }
}
