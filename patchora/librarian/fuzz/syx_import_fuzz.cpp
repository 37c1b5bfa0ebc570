// Fuzz target for raw System Exclusive files: the splitter that offers each message to the
// banks, and the file-type guess from content (libFuzzer; scripts/fuzz builds and runs it).
#include "librarian/LbDeviceSnapshot.h"
#include "librarian/LbLibrarian.h"
#include "storage/MimeType.h"

#include "librarian/fuzz/offline_morpheus.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static OfflineMorpheus morpheus;
    static bool typesInstalled = (LbInstallFileTypes(), true);
    (void)typesInstalled;
    LbDeviceSnapshot snapshot(morpheus.device);
    LbImportCounts counts;
    LbImportSysEx(data, size, &snapshot, &counts);
    if (counts.taken > counts.offered || counts.replaced > counts.taken ||
        counts.taken + counts.unplaced > counts.offered)
        abort();

    // The guess reads a file: the bytes live in an anonymous one of this process.
    static int fd = memfd_create("syx-fuzz", 0);
    if (fd < 0 || ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != ssize_t(size)) abort();
    std::string type;
    if (guess_mime_type(("/proc/self/fd/" + std::to_string(fd)).c_str(), &type) == B_OK && type.empty()) abort();
    return 0;
}
