// Fuzz target for patch-library documents above the tag reader: the document roots, the
// device and bank snapshots, the patches and their hex data (libFuzzer; scripts/fuzz
// builds and runs it). What is read from any bytes is written out, and reading that back
// writes the same bytes again.
#include "app/LbXmlStream.h"
#include "librarian/LbDeviceSnapshotI.h"
#include "librarian/LbXmlRoots.h"
#include "storage/DataIO.h"

#include "librarian/fuzz/offline_morpheus.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Reads every document of the bytes and writes the snapshots out again.
std::string ReadAndWrite(const LbMidiStudio* studio, const void* bytes, size_t size, size_t* problems)
{
    BMemoryIO in(bytes, size);
    LbXmlStream reader(&in);
    reader.SetMaxTextLength(1 << 16);
    LbXmlRoots roots(studio);
    for (int documents = 0; documents < 8 && roots.ReadFrom(&reader) != B_BAD_DATA; documents++) {
    }
    *problems = reader.ProblemCount();
    BMallocIO out;
    LbXmlStream writer(&out);
    for (LbDeviceSnapshotI* snapshot : roots.Snapshots()) snapshot->WriteTo(&writer, nullptr);
    return std::string(static_cast<const char*>(out.Buffer()), out.BufferLength());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static OfflineMorpheus morpheus;
    size_t problems = 0, again = 0;
    std::string first = ReadAndWrite(morpheus.studio, data, size, &problems);
    std::string second = ReadAndWrite(morpheus.studio, first.data(), first.size(), &again);
    if (first != second || again != 0) abort();
    return 0;
}
