// Fuzz target for the studio settings document and the device model's cache document
// (libFuzzer; scripts/fuzz builds and runs it). What is read from any bytes is written
// out, and reading that back writes the same bytes again; no entry read is lost.
#include "app/LbXmlStream.h"
#include "devices/morpheus/LbEmuMorpheus.h"
#include "midi/LbMidiStudio.h"
#include "storage/DataIO.h"

#include "librarian/fuzz/offline_morpheus.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

std::string Text(const BMallocIO& io)
{
    return std::string(static_cast<const char*>(io.Buffer()), io.BufferLength());
}

std::string ReadAndWriteStudio(LbDeviceAddons* addons, const void* bytes, size_t size, int32* devices)
{
    BMemoryIO in(bytes, size);
    LbXmlStream reader(&in);
    reader.SetMaxTextLength(1 << 16);
    LbMidiStudio studio(addons);
    studio.ReadFrom(&reader);
    *devices = studio.CountDevices();
    BMallocIO out;
    LbXmlStream writer(&out);
    studio.WriteTo(&writer);
    return Text(out);
}

// The model's tables from a cache document, written back as the device does.
std::string ReadAndWriteCache(LbDeviceAddons* addons, const void* bytes, size_t size)
{
    LbEmuMorpheus::DeleteMaps();
    LbDeviceI* device = addons->AddonAt(0)->NewDevice();   // no MIDI service: asks nobody
    BMemoryIO in(bytes, size);
    device->Initialize(nullptr, &in, false);
    BMallocIO out;
    device->Uninitialize(&out);
    delete device;
    return Text(out);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static OfflineMorpheus morpheus;
    int32 devices = 0, again = 0;
    std::string studio = ReadAndWriteStudio(&morpheus.addons, data, size, &devices);
    if (ReadAndWriteStudio(&morpheus.addons, studio.data(), studio.size(), &again) != studio || again != devices)
        abort();

    std::string cache = ReadAndWriteCache(&morpheus.addons, data, size);
    if (ReadAndWriteCache(&morpheus.addons, cache.data(), cache.size()) != cache) abort();
    return 0;
}
