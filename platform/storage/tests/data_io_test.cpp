#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "storage/BufferIO.h"
#include "storage/DataIO.h"

namespace {

std::string Contents(const BMallocIO& io)
{
    return std::string(static_cast<const char*>(io.Buffer()), io.BufferLength());
}

// Counts the calls that reach the wrapped stream.
class CountingIO : public BMallocIO {
public:
    ssize_t ReadAt(off_t position, void* buffer, size_t size) override
    {
        reads++;
        return BMallocIO::ReadAt(position, buffer, size);
    }
    ssize_t WriteAt(off_t position, const void* buffer, size_t size) override
    {
        writes++;
        if (failWrites)
            return B_DEVICE_FULL;
        return BMallocIO::WriteAt(position, buffer, size);
    }
    int reads = 0;
    int writes = 0;
    bool failWrites = false;
};

}  // namespace

TEST(MallocIO, GrowsSeeksAndFillsGapsWithZeros)
{
    BMallocIO io;
    EXPECT_EQ(io.Write("abc", 3), 3);
    EXPECT_EQ(io.Position(), 3);
    EXPECT_EQ(io.Seek(5, SEEK_CUR), 8);
    EXPECT_EQ(io.Write("z", 1), 1);
    EXPECT_EQ(Contents(io), std::string("abc\0\0\0\0\0z", 9));

    // A large write past the first block keeps every byte.
    std::string big(100000, 'x');
    EXPECT_EQ(io.WriteAt(9, big.data(), big.size()), static_cast<ssize_t>(big.size()));
    EXPECT_EQ(io.BufferLength(), 9 + big.size());

    char out[4] = {};
    EXPECT_EQ(io.Seek(-2, SEEK_END), static_cast<off_t>(io.BufferLength() - 2));
    EXPECT_EQ(io.Read(out, 4), 2);
    EXPECT_EQ(io.Read(out, 4), 0);  // at the end

    // A seek before the start fails and leaves the position alone.
    off_t before = io.Position();
    EXPECT_EQ(io.Seek(-1, SEEK_SET), B_BAD_VALUE);
    EXPECT_EQ(io.Seek(-before - 1, SEEK_CUR), B_BAD_VALUE);
    EXPECT_EQ(io.Position(), before);
    EXPECT_EQ(io.Seek(0, 7), B_BAD_VALUE);

    EXPECT_EQ(io.SetSize(2), B_OK);
    EXPECT_EQ(Contents(io), "ab");
    off_t size = 0;
    EXPECT_EQ(io.GetSize(&size), B_OK);
    EXPECT_EQ(size, 2);
}

TEST(MemoryIO, ReadOnlyRefusesWritesAndFixedBufferStopsAtItsEnd)
{
    const char text[] = "hello";
    BMemoryIO readOnly(static_cast<const void*>(text), 5);
    char out[8] = {};
    EXPECT_EQ(readOnly.Read(out, 8), 5);
    EXPECT_STREQ(out, "hello");
    EXPECT_EQ(readOnly.WriteAt(0, "x", 1), B_NOT_ALLOWED);

    char room[4] = {};
    BMemoryIO fixed(static_cast<void*>(room), 4);
    EXPECT_EQ(fixed.WriteAt(2, "xyz", 3), 2);
    EXPECT_EQ(fixed.WriteAt(4, "x", 1), B_DEVICE_FULL);
    EXPECT_EQ(room[3], 'y');
}

TEST(BufferIO, ServesSmallReadsFromOneFillAndSeesItsOwnWrites)
{
    auto* source = new CountingIO;
    std::string text;
    for (int i = 0; i < 100000; i++)
        text += static_cast<char>('a' + i % 26);
    source->WriteAt(0, text.data(), text.size());
    BBufferIO buffered(source, 65536, true);

    std::string read;
    char c;
    while (buffered.Read(&c, 1) == 1)
        read += c;
    EXPECT_EQ(read, text);
    EXPECT_LE(source->reads, 4);  // two fills and the end, not one call per byte

    // A write through the buffer is seen by a following read at that place.
    EXPECT_EQ(buffered.WriteAt(10, "XY", 2), 2);
    char out[4] = {};
    EXPECT_EQ(buffered.ReadAt(9, out, 4), 4);
    EXPECT_EQ(std::string(out, 4), std::string("jXYm"));

    // Seeking from the end counts bytes still waiting in the buffer.
    buffered.Seek(0, SEEK_END);
    EXPECT_EQ(buffered.Write("tail", 4), 4);
    off_t size = 0;
    EXPECT_EQ(buffered.GetSize(&size), B_OK);
    EXPECT_EQ(size, 100004);
    EXPECT_EQ(buffered.Flush(), B_OK);
    EXPECT_EQ(Contents(*source).substr(100000), "tail");

    // A read that straddles the buffered window and the rest of the stream.
    std::string large(70000, '\0');
    EXPECT_EQ(buffered.ReadAt(50000, large.data(), large.size()), 50004);
    EXPECT_EQ(large.substr(0, 10), text.substr(50000, 10));
}

TEST(BufferIO, GathersWritesAndReportsAFailedFlush)
{
    auto* sink = new CountingIO;
    {
        BBufferIO buffered(sink, 65536, false);
        for (int i = 0; i < 1000; i++)
            ASSERT_EQ(buffered.Write("0123456789", 10), 10);
        EXPECT_EQ(sink->writes, 0);
        EXPECT_EQ(buffered.Flush(), B_OK);
        EXPECT_EQ(sink->writes, 1);
        EXPECT_EQ(sink->BufferLength(), 10000u);

        sink->failWrites = true;
        ASSERT_EQ(buffered.Write("lost?", 5), 5);
        EXPECT_EQ(buffered.Flush(), B_DEVICE_FULL);
        sink->failWrites = false;
        EXPECT_EQ(buffered.Flush(), B_OK);  // the pending bytes are still there to retry
        EXPECT_EQ(Contents(*sink).substr(10000), "lost?");
    }
    delete sink;
}
