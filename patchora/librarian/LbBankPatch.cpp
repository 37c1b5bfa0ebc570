#include "librarian/LbBankPatch.h"

#include "app/LbXmlStreamI.h"
#include "librarian/LbBankI.h"
#include "librarian/LbBankSnapshotI.h"
#include "librarian/LbDeviceSnapshotI.h"
#include "midi/LbDeviceI.h"
#include "midi/LbMidiServiceI.h"
#include "midi/MidiProducer.h"

#include <cassert>
#include <cstdlib>
#include <cstring>

namespace {
constexpr char kPatchTag[] = "LbPatch";
constexpr char kPatchEndTag[] = "/LbPatch";
constexpr char kDataTag[] = "data";
}

LbBankPatch::LbBankPatch(const char* name, int32 number, const LbDataI* data, LbBankSnapshotI* snapshot)
    : mNumber(number), mSnapshot(snapshot)
{
    if (name) SetName(name);
    if (data) mData.SetTo(data->Bits(), data->Length());
}

LbBankPatch::~LbBankPatch()
{
    free(mName);
}

void LbBankPatch::SetName(const char* name)
{
    assert(name != nullptr && "name != 0");
    char* copy = strdup(name);
    if (copy == nullptr) return;
    free(mName);
    mName = copy;
}

LbPatchI* LbBankPatch::Copy() const
{
    return new LbBankPatch(mName, mNumber, &mData, mSnapshot);
}

void LbOutgoingData(const LbPatchI* patch, LbData* out)
{
    const LbDataI* data = patch->Data();
    out->SetTo(data->Bits(), data->Length());
    LbBankSnapshotI* snapshot = patch->Snapshot();
    LbBankI* bank = snapshot ? snapshot->Bank() : nullptr;
    if (bank && out->Length() > 0) bank->PrepareOutgoing(out);
}

ssize_t LbBankPatch::WriteTo(LbXmlStreamI* stream) const
{
    assert(stream != nullptr && "stream != 0");
    LbData outgoing;
    LbOutgoingData(this, &outgoing);
    ssize_t total = 0;
    ssize_t written = stream->WriteStartTag(kPatchTag, nullptr, nullptr);
    if (written < 1) return written;
    total += written;
    if ((written = stream->WriteCR()) < 1) return written;
    total += written;
    stream->PushTab();
    written = outgoing.WriteTo(stream, kDataTag);
    stream->PopTab();
    if (written < 1) return written;
    total += written;
    if (stream->WriteTabs() < 0) return -1;
    if ((written = stream->WriteEndTag(kPatchTag)) < 1) return written;
    return total + written;
}

status_t LbBankPatch::ReadFrom(LbXmlStreamI* stream)
{
    assert(stream != nullptr && "stream != 0");
    status_t result = B_OK;
    while (char* tag = stream->ReadNextTag(nullptr, nullptr)) {
        bool end = strcmp(tag, kPatchEndTag) == 0;
        // The next patch, or the bank's end: this patch's end tag is missing.
        bool beyond = strcmp(tag, kPatchTag) == 0 || strcmp(tag, "/LbBank") == 0 || strcmp(tag, "LbBank") == 0;
        if (!end && !beyond && strcmp(tag, kDataTag) == 0) {
            status_t status = mData.ReadFrom(stream, kDataTag);
            if (result == B_OK) result = status;
        }
        free(tag);
        if (beyond) {
            stream->ReportProblem(kPatchTag, "no </LbPatch> ends it");
            stream->UnreadTag();
            return result;
        }
        if (end) return result;
    }
    stream->ReportProblem(kPatchTag, "the document ends inside it");
    return result;
}

status_t LbBankPatch::MakeActive() const
{
    LbBankSnapshotI* snapshot = mSnapshot;
    LbBankI* bank = snapshot ? snapshot->Bank() : nullptr;
    LbDeviceSnapshotI* deviceSnapshot = snapshot ? snapshot->Snapshot() : nullptr;
    LbDeviceI* device = deviceSnapshot ? deviceSnapshot->Device() : nullptr;
    LbMidiServiceI* service = device ? device->MidiService() : nullptr;
    BMidiLocalProducer* output = service ? service->MidiOutput() : nullptr;
    if (bank == nullptr || output == nullptr) return B_ERROR;

    LbData outgoing;
    LbOutgoingData(this, &outgoing);
    status_t status = service->SendSystemExclusive(&outgoing, false, nullptr);
    if (status != B_OK) return status;
    bank->MakeActive(this);
    output->SprayProgramChange(uchar(service->MidiChannel() & 0xFF), uchar(mNumber & 0xFF), 0);
    return B_OK;
}
