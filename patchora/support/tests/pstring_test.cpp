#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "support/OrbPStrings.h"

TEST(PStrings, InPlaceRoundTripAndLimit)
{
    char buffer[400];
    std::strcpy(buffer, "Morpheus");
    i2pstr(buffer);
    EXPECT_EQ(buffer[0], 8);
    EXPECT_EQ(std::memcmp(buffer + 1, "Morpheus", 8), 0);
    p2istr(buffer);
    EXPECT_STREQ(buffer, "Morpheus");

    std::string longText(300, 'a');
    longText[254] = 'Z';
    longText[255] = 'Y';
    std::strcpy(buffer, longText.c_str());
    i2pstr(buffer);
    EXPECT_EQ(static_cast<unsigned char>(buffer[0]), 255);
    EXPECT_EQ(buffer[255], 'Z');
    p2istr(buffer);
    EXPECT_EQ(std::strlen(buffer), 255u);
    EXPECT_EQ(buffer[254], 'Z');

    // Lengths above 127 are read unsigned.
    buffer[0] = char(200);
    std::memset(buffer + 1, 'q', 200);
    p2istr(buffer);
    EXPECT_EQ(std::strlen(buffer), 200u);

    buffer[0] = '\0';
    i2pstr(buffer);
    EXPECT_EQ(buffer[0], 0);
    p2istr(buffer);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(p2istr(nullptr), nullptr);
    EXPECT_EQ(i2pstr(nullptr), nullptr);
}

TEST(PStrings, BoundedCopies)
{
    const char pascal[] = "\x05Hello";
    char out[16];
    std::memset(out, '#', sizeof out);
    p2istrncpy(out, pascal, 4);   // at most 3 characters
    EXPECT_STREQ(out, "Hel");
    EXPECT_EQ(out[4], '#');
    p2istrncpy(out, pascal, sizeof out);
    EXPECT_STREQ(out, "Hello");
    std::memset(out, '#', sizeof out);
    p2istrncpy(out, pascal, 0);
    EXPECT_EQ(out[0], '#');
    p2istrncpy(out, pascal, 1);
    EXPECT_STREQ(out, "");

    std::memset(out, '#', sizeof out);
    i2pstrncpy(out, "Hello", 4);
    EXPECT_EQ(out[0], 3);
    EXPECT_EQ(std::memcmp(out + 1, "Hel", 3), 0);
    EXPECT_EQ(out[4], '#');
    i2pstrncpy(out, "Hi", sizeof out);
    EXPECT_EQ(out[0], 2);
    EXPECT_EQ(std::memcmp(out + 1, "Hi", 2), 0);
    std::memset(out, '#', sizeof out);
    i2pstrncpy(out, "Hi", 0);
    EXPECT_EQ(out[0], '#');

    // Never more than 255 characters, however large the buffer.
    std::string longText(300, 'b');
    char big[400];
    i2pstrncpy(big, longText.c_str(), sizeof big);
    EXPECT_EQ(static_cast<unsigned char>(big[0]), 255);
}
