#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "app/LbXmlStream.h"
#include "storage/DataIO.h"
#include "storage/File.h"

#include <unistd.h>

namespace {

// A patch library of banks like the program writes: LbBank with a name, LbPatch elements
// each with a data child holding a 564-byte SysEx block as hex text.
std::string PatchLibrary(int patches)
{
    BMallocIO io;
    LbXmlStream out(&io);
    std::string hex;
    for (int i = 0; i < 564; i++)
        hex += "0123456789ABCDEF"[i % 16], hex += "0123456789ABCDEF"[(i * 7) % 16];
    LbXmlStreamI::ConstStringList keys{"name"}, values{"Preset - RAM"};
    out.WriteStartTag("LbBank", &keys, &values);
    out.WriteCR();
    out.PushTab();
    for (int p = 0; p < patches; p++) {
        out.WriteStartTag("LbPatch");
        out.WriteCR();
        out.PushTab();
        out.WriteStartTag("data");
        out.Write(hex.data(), hex.size());
        out.WriteEndTag("data");
        out.PopTab();
        out.WriteTabs();
        out.WriteEndTag("LbPatch");
    }
    out.PopTab();
    out.WriteEndTag("LbBank");
    return std::string(static_cast<const char*>(io.Buffer()), io.BufferLength());
}

int64_t ReadPatches(BPositionIO& io)
{
    LbXmlStream in(&io);
    int64_t patches = 0;
    while (char* tag = in.ReadNextTag()) {
        if (strcmp(tag, "data") == 0) {
            char* hex = in.ReadStrToTag("data");
            benchmark::DoNotOptimize(hex);
            patches += hex != nullptr;
            free(hex);
        }
        free(tag);
    }
    return patches;
}

void ReadLibrary(benchmark::State& state)
{
    std::string document = PatchLibrary(static_cast<int>(state.range(0)));
    int64_t patches = 0;
    for (auto _ : state) {
        BMemoryIO io(static_cast<const void*>(document.data()), document.size());
        patches = ReadPatches(io);
    }
    if (patches != state.range(0))
        state.SkipWithError("patches lost while reading");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * document.size()));
    state.counters["doc_bytes"] = static_cast<double>(document.size());
}

// The same from a file on disk (in the page cache), as the librarian opens documents.
void ReadLibraryFile(benchmark::State& state)
{
    std::string document = PatchLibrary(static_cast<int>(state.range(0)));
    char path[] = "/tmp/xml-stream-bench-XXXXXX";
    int fd = mkstemp(path);
    if (fd < 0 || write(fd, document.data(), document.size()) != static_cast<ssize_t>(document.size())) {
        state.SkipWithError("cannot write the document file");
        return;
    }
    close(fd);
    int64_t patches = 0;
    for (auto _ : state) {
        BFile file(path, B_READ_ONLY);
        patches = ReadPatches(file);
    }
    unlink(path);
    if (patches != state.range(0))
        state.SkipWithError("patches lost while reading");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * document.size()));
}

}  // namespace

BENCHMARK(ReadLibrary)->Arg(400)->Arg(4000)->Unit(benchmark::kMillisecond);
BENCHMARK(ReadLibraryFile)->Arg(400)->Arg(4000)->Unit(benchmark::kMillisecond);
