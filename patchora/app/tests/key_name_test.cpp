#include "app/LbKeyName.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

TEST(KeyName, NamesPitchAndOctave)
{
    EXPECT_STREQ("C-2", KeyName(0));
    EXPECT_STREQ("C#-2", KeyName(1));
    EXPECT_STREQ("B-1", KeyName(23));
    EXPECT_STREQ("C3", KeyName(60));
    EXPECT_STREQ("G#3", KeyName(68));
    EXPECT_STREQ("G8", KeyName(127));
    EXPECT_STREQ("G#8", KeyName(128));
    EXPECT_EQ(nullptr, KeyName(-1));
    std::set<std::string> distinct;
    for (int32 note = 0; note < 128; note++) distinct.insert(KeyName(note));
    EXPECT_EQ(128u, distinct.size());
}
