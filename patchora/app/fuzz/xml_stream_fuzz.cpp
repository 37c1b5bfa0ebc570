// Fuzz target for the document stream reader (libFuzzer; scripts/fuzz builds and runs it).
// Every input must end in null from ReadNextTag after at most one tag per input byte.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "app/LbXmlStream.h"
#include "storage/DataIO.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    BMemoryIO io(static_cast<const void*>(data), size);
    LbXmlStream in(&io);
    in.SetMaxTextLength(4096);
    size_t tags = 0;
    for (;;) {
        LbXmlStreamI::StringList keys, values;
        char* tag = in.ReadNextTag(&keys, &values);
        if (keys.size() != values.size())
            abort();
        LbFreeStrings(keys);
        LbFreeStrings(values);
        if (tag == nullptr)
            break;
        if (++tags > size)
            abort();  // reading must always move forward
        // Alternate between reading the content and going on to the next tag.
        if (tags % 2 == 1)
            free(in.ReadStrToTag(tag));
        free(tag);
    }
    return 0;
}
