#include "midi/LbMidiStudio.h"

#include "app/LbXmlStream.h"
#include "app/Message.h"
#include "librarian/LbData.h"
#include "librarian/LbDeviceTag.h"
#include "midi/LbDeviceAddonI.h"
#include "midi/LbDeviceAddons.h"
#include "midi/LbDeviceI.h"
#include "midi/LbMidiService.h"
#include "midi/MidiConsumer.h"
#include "midi/MidiProducer.h"
#include "midi/MidiRoster.h"
#include "storage/AtomicFileWriter.h"
#include "storage/BufferIO.h"
#include "storage/File.h"
#include "storage/FindDirectory.h"

#include <cassert>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {
constexpr char kStudioTag[] = "Studio";
constexpr char kDeviceEndTag[] = "/LbDevice";
constexpr char kMidiOutTag[] = "midi_out";
constexpr char kMidiInTag[] = "midi_in";
constexpr char kDeviceIdTag[] = "device_id";

// Writes a one-line element; the text is content, written as it stands.
ssize_t WriteLeaf(LbXmlStreamI* stream, const char* tag, const char* text)
{
    ssize_t total = stream->WriteStartTag(tag);   // indented
    if (total < 1) return total;
    ssize_t written;
    if (*text) {
        if ((written = stream->Write(text, strlen(text))) < 1) return written;
        total += written;
    }
    if ((written = stream->WriteEndTag(tag)) < 1) return written;
    return total + written;
}

// Parses a device id: a decimal signed 16-bit number, nothing else.
bool ParseDeviceId(const char* text, int16* id)
{
    char* end = nullptr;
    errno = 0;
    long value = strtol(text, &end, 10);
    while (end && (*end == ' ' || *end == '\t' || *end == '\r' || *end == '\n')) end++;
    if (end == text || *end != 0 || errno != 0 || value < INT16_MIN || value > INT16_MAX) return false;
    *id = int16(value);
    return true;
}
} // namespace

std::string LbDeviceCachePath(LbDeviceI* device, bool create, const std::string& variant)
{
    LbDeviceAddonI* addon = device ? device->Addon() : nullptr;
    const char* name = addon ? addon->Name() : nullptr;
    if (name == nullptr || strcmp(name, "<No device name>") == 0 || strchr(name, '/') != nullptr) {
        return {};
    }
    BPath settings;
    if (find_directory(B_USER_SETTINGS_DIRECTORY, &settings, create) != B_OK) return {};
    std::string directory = std::string(settings.Path()) + "/OrbWorks/MidiDevices";
    if (create && create_directory(directory.c_str(), 0755) != B_OK) return {};
    return directory + "/" + name + (variant.empty() ? "" : " (" + variant + ")") + ".data";
}

LbMidiStudio::LbMidiStudio(LbDeviceAddons* addons) : mAddons(addons), mNotification(new BMessage(uint32(0)))
{
    RegisterType(LB_NOTIFY_DEVICE_ADDED);
    RegisterType(LB_NOTIFY_STUDIO_STATUS);
}

LbMidiStudio::~LbMidiStudio()
{
    PreDelete();
}

LbDeviceI* LbMidiStudio::DeviceAt(int32 index) const
{
    if (index < 0 || index >= int32(mDevices.size())) return nullptr;
    return mDevices[size_t(index)];
}

LbDeviceI* LbMidiStudio::DeviceAt(const LbDataI* manufacturerId, const LbDataI* modelId) const
{
    if (manufacturerId == nullptr || modelId == nullptr) return nullptr;
    for (LbDeviceI* device : mDevices) {
        LbDeviceAddonI* addon = device->Addon();
        const LbDataI* maker = addon ? addon->ManufacturerId() : nullptr;
        const LbDataI* model = addon ? addon->ModelId() : nullptr;
        if (maker && model && maker->Matches(manufacturerId) && model->Matches(modelId)) return device;
    }
    return nullptr;
}

int32 LbMidiStudio::IndexOf(const LbDeviceI* device) const
{
    for (size_t i = 0; i < mDevices.size(); i++)
        if (mDevices[i] == device) return int32(i);
    return -1;
}

bool LbMidiStudio::AddDevice(LbDeviceI* device, const char* consumerName, const char* producerName)
{
    return Install(device, PortNames{consumerName ? consumerName : "", producerName ? producerName : "", ""});
}

bool LbMidiStudio::AddTransientDevice(LbDeviceI* device, const char* consumerName,
                                      const char* producerName, const std::string& cacheVariant)
{
    PortNames names {consumerName ? consumerName : "", producerName ? producerName : "", ""};
    names.transient = true;
    names.variant = cacheVariant;
    return Install(device, names);
}

bool LbMidiStudio::IsTransient(const LbDeviceI* device) const
{
    auto it = mPortNames.find(device);
    return it != mPortNames.end() && it->second.transient;
}

const std::string& LbMidiStudio::CacheVariant(const LbDeviceI* device) const
{
    auto it = mPortNames.find(device);
    return it != mPortNames.end() && it->second.transient ? it->second.variant : mCacheVariant;
}

bool LbMidiStudio::Install(LbDeviceI* device, const PortNames& names)
{
    assert(device != nullptr && "device != 0");
    auto* service = new LbMidiService;
    mDevices.push_back(device);
    device->SetMidiService(service);
    mPortNames[device] = names;

    // A device whose id is unusable talks to nothing.
    if (!names.consumer.empty() && names.idText.empty()) {
        if (BMidiConsumer* consumer = BMidiRoster::FindConsumer(names.consumer.c_str())) {
            service->SetMidiConsumer(consumer);
            consumer->Release();
        }
    }
    if (!names.producer.empty() && names.idText.empty()) {
        if (BMidiProducer* producer = BMidiRoster::FindProducer(names.producer.c_str())) {
            service->SetMidiProducer(producer);
            producer->Release();
        }
    }

    std::unique_ptr<BPositionIO> cache(InitFile(device));
    device->Initialize(names.idText.empty() ? this : nullptr, cache.get(), false);

    mNotification->MakeEmpty();
    mNotification->what = LB_MSG_DEVICE_ADDED;
    mNotification->AddPointer("LbDeviceI", device);
    NotifyDependents(LB_NOTIFY_DEVICE_ADDED, mNotification.get(), false);
    return true;
}

std::string LbMidiStudio::DeviceIdProblem(const LbDeviceI* device) const
{
    auto it = mPortNames.find(device);
    if (it == mPortNames.end() || it->second.idText.empty()) return {};
    int16 low = 0, high = 15;
    if (LbDeviceAddonI* addon = device->Addon()) addon->GetDeviceIdRange(&low, &high);
    return "device id '" + it->second.idText + "' is not a number from " + std::to_string(low) + " to " +
           std::to_string(high);
}

bool LbMidiStudio::RemoveDevice(LbDeviceI* device)
{
    int32 index = IndexOf(device);
    if (index < 0) return false;
    mDevices.erase(mDevices.begin() + index);
    SendDeviceMessage(LB_MSG_DEVICE_REMOVED, device);
    mRemoved.push_back(device);
    return true;
}

void LbMidiStudio::SendDeviceMessage(uint32 code, LbDeviceI* device)
{
    if (!mBroadcast) return;
    BMessage message(code);
    message.AddPointer("LbDeviceI", device);
    mBroadcast(&message);
}

BPositionIO* LbMidiStudio::InitFile(LbDeviceI* device)
{
    std::string path = LbDeviceCachePath(device, false, CacheVariant(device));
    if (path.empty()) return nullptr;
    auto* file = new BFile(path.c_str(), B_READ_ONLY);
    if (file->InitCheck() != B_OK) {
        delete file;
        return nullptr;
    }
    // Documents are read in small steps: read them through a buffer.
    return new BBufferIO(file, 65536, true);
}

ssize_t LbMidiStudio::WriteTo(LbXmlStreamI* stream) const
{
    if (stream == nullptr) return 0;
    LbXmlStreamI::ConstStringList keys{"version"}, values{"1.0"};
    ssize_t total = stream->WriteStartTag(kStudioTag, &keys, &values);
    if (total < 1) return total;
    ssize_t written = stream->WriteCR();
    if (written < 1) return written;
    total += written;
    stream->PushTab();
    for (LbDeviceI* device : mDevices) {
        if (IsTransient(device)) continue;
        LbDeviceAddonI* addon = device->Addon();
        LbMidiServiceI* service = device->MidiService();
        if (addon == nullptr || service == nullptr || !addon->ManufacturerName() || !addon->ModelName() ||
            !addon->ManufacturerId() || !addon->ModelId())
            continue;
        char id[16];
        snprintf(id, sizeof id, "%d", int(device->DeviceId()));
        auto names = mPortNames.find(device);
        bool asRead = names != mPortNames.end() && !names->second.idText.empty();
        char* makerHex = addon->ManufacturerId()->AsString();
        char* modelHex = addon->ModelId()->AsString();
        DeviceEntry entry{makerHex ? makerHex : "", modelHex ? modelHex : "", ConsumerName(device),
                          ProducerName(device), asRead ? names->second.idText : id};
        free(makerHex);
        free(modelHex);
        if ((written = WriteDeviceEntry(stream, entry)) < 1) return written;
        total += written;
    }
    for (const DeviceEntry& entry : mUnknownModels) {
        if ((written = WriteDeviceEntry(stream, entry)) < 1) return written;
        total += written;
    }
    stream->PopTab();
    if ((written = stream->WriteEndTag(kStudioTag)) < 1) return written;
    return total + written;
}

status_t LbMidiStudio::ReadFrom(LbXmlStreamI* stream)
{
    if (mAddons == nullptr || stream == nullptr) return B_ERROR;
    char* first = stream->ReadNextTag();
    bool isStudio = first && strcmp(first, kStudioTag) == 0;
    free(first);
    if (!isStudio) return B_ERROR;

    mUnknownModels.clear();
    for (;;) {
        LbData makerId, modelId;
        if (LbReadDeviceTag(stream, &makerId, &modelId) != LB_DEVICE_TAG) break;
        DeviceEntry entry;
        if (!ReadDeviceEntry(stream, &entry)) continue;
        LbDeviceAddonI* addon = mAddons->AddonAt(&makerId, &modelId);
        if (addon == nullptr) {
            // A model this program does not know (an add-on missing from this build): the
            // entry is kept as read and written back, so a save does not lose the device.
            char* makerHex = makerId.AsString();
            char* modelHex = modelId.AsString();
            entry.makerHex = makerHex ? makerHex : "";
            entry.modelHex = modelHex ? modelHex : "";
            free(makerHex);
            free(modelHex);
            if (!entry.makerHex.empty() && !entry.modelHex.empty()) mUnknownModels.push_back(entry);
            continue;
        }
        InstallDevice(addon, entry);
    }
    return B_OK;
}

ssize_t LbMidiStudio::WriteDeviceEntry(LbXmlStreamI* stream, const DeviceEntry& entry)
{
    LbXmlStreamI::ConstStringList keys{"mfg_id", "mod_id"}, values{entry.makerHex.c_str(), entry.modelHex.c_str()};
    ssize_t total = stream->WriteStartTag("LbDevice", &keys, &values);
    if (total < 1) return total;
    ssize_t written = stream->WriteCR();
    if (written < 1) return written;
    total += written;
    stream->PushTab();
    for (auto [tag, text] : {std::pair<const char*, const std::string*>{kMidiOutTag, &entry.consumer},
                             {kMidiInTag, &entry.producer},
                             {kDeviceIdTag, &entry.deviceId}}) {
        if ((written = WriteLeaf(stream, tag, text->c_str())) < 1) return written;
        total += written;
    }
    stream->PopTab();
    if ((written = stream->WriteTabs()) < 0) return written;
    total += written;
    if ((written = stream->WriteEndTag("LbDevice")) < 1) return written;
    return total + written;
}

bool LbMidiStudio::ReadDeviceEntry(LbXmlStreamI* stream, DeviceEntry* entry)
{
    bool hasConsumer = false, hasProducer = false, hasId = false;
    while (char* tag = stream->ReadNextTag()) {
        std::string name = tag;
        free(tag);
        if (name == kDeviceEndTag) break;
        std::string* target = name == kMidiOutTag ? &entry->consumer : name == kMidiInTag ? &entry->producer
                            : name == kDeviceIdTag ? &entry->deviceId : nullptr;
        if (target == nullptr) continue;
        char* text = stream->ReadStrToTag(name.c_str());
        if (text == nullptr) return false;   // the document ends inside the element
        *target = text;
        free(text);
        (target == &entry->consumer ? hasConsumer : target == &entry->producer ? hasProducer : hasId) = true;
    }
    return hasConsumer && hasProducer && hasId;
}

void LbMidiStudio::InstallDevice(LbDeviceAddonI* addon, const DeviceEntry& entry)
{
    LbDeviceI* device = addon->NewDevice();
    if (device == nullptr) return;
    // An id that is no number in the model's range is kept as written, and flagged.
    int16 id = -1, low = 0, high = 15;
    addon->GetDeviceIdRange(&low, &high);
    bool usable = ParseDeviceId(entry.deviceId.c_str(), &id) && id >= low && id <= high;
    device->SetDeviceId(usable ? id : int16(-1));
    Install(device, PortNames{entry.consumer, entry.producer, usable ? "" : entry.deviceId});
}

std::string LbMidiStudio::ConsumerName(const LbDeviceI* device) const
{
    LbMidiServiceI* service = device->MidiService();
    std::string connected = service ? service->MidiConsumerName() : "<none>";
    auto it = mPortNames.find(device);
    if (connected != "<none>" || it == mPortNames.end() || it->second.consumer.empty()) return connected;
    return it->second.consumer;
}

std::string LbMidiStudio::ProducerName(const LbDeviceI* device) const
{
    LbMidiServiceI* service = device->MidiService();
    std::string connected = service ? service->MidiProducerName() : "<none>";
    auto it = mPortNames.find(device);
    if (connected != "<none>" || it == mPortNames.end() || it->second.producer.empty()) return connected;
    return it->second.producer;
}

void LbMidiStudio::PreDelete()
{
    while (!mDevices.empty()) {
        LbDeviceI* device = mDevices.front();
        mDevices.erase(mDevices.begin());
        bool written = false;
        if (device->NeedsUninitialize()) {
            std::string path = LbDeviceCachePath(device, true, CacheVariant(device));
            if (!path.empty()) {
                AtomicFileWriter file(path.c_str(), "text/plain");
                if (file.InitCheck() == B_OK) {
                    device->Uninitialize(&file);
                    status_t status = file.Commit();
                    if (status != B_OK)
                        fprintf(stderr, "Cannot save what was learned of the instrument in %s: %s\n", path.c_str(),
                                strerror_status(status));
                    written = true;
                }
            }
        }
        if (!written) device->Uninitialize(nullptr);
        mPortNames.erase(device);
        delete device;
    }
    for (LbDeviceI* device : mRemoved) {
        mPortNames.erase(device);
        delete device;
    }
    mRemoved.clear();
}

void LbMidiStudio::BeginStatus(const char* text)
{
    SendStatus(LB_MSG_BEGIN_STATUS, text);
}

void LbMidiStudio::EndStatus(const char* text)
{
    SendStatus(LB_MSG_END_STATUS, text);
}

void LbMidiStudio::SendStatus(uint32 code, const char* text)
{
    if (code == LB_MSG_BEGIN_STATUS && text != nullptr && mStatusListener) mStatusListener(text);
    mNotification->MakeEmpty();
    mNotification->what = code;
    if (text) mNotification->AddString("status", text);
    NotifyDependents(LB_NOTIFY_STUDIO_STATUS, mNotification.get(), false);
}
