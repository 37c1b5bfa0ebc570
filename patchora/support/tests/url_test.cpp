#include <gtest/gtest.h>

#include "support/OrbURL.h"

TEST(OrbURL, Unescape)
{
    OrbString out;
    EXPECT_EQ(OrbUnescapeURL("a%20b", &out), B_OK);
    EXPECT_STREQ(out, "a b");
    EXPECT_EQ(OrbUnescapeURL("%41%62%7e%7E", &out), B_OK);
    EXPECT_STREQ(out, "Ab~~");
    EXPECT_EQ(OrbUnescapeURL("plain", &out), B_OK);
    EXPECT_STREQ(out, "plain");

    // Bad escapes: B_BAD_VALUE, the '%' dropped, decoding goes on.
    EXPECT_EQ(OrbUnescapeURL("x%zzy%41", &out), B_BAD_VALUE);
    EXPECT_STREQ(out, "xzzyA");
    EXPECT_EQ(OrbUnescapeURL("end%4", &out), B_BAD_VALUE);
    EXPECT_STREQ(out, "end4");
    EXPECT_EQ(OrbUnescapeURL("end%", &out), B_BAD_VALUE);
    EXPECT_STREQ(out, "end");
    EXPECT_EQ(OrbUnescapeURL("a%00b", &out), B_BAD_VALUE);  // no hidden 0 bytes
    EXPECT_EQ(out.Length(), 4);

    EXPECT_EQ(OrbUnescapeURL("x", nullptr), B_BAD_VALUE);
    out = "old";
    EXPECT_EQ(OrbUnescapeURL(nullptr, &out), B_OK);
    EXPECT_TRUE(out.IsNull());
}

TEST(OrbURL, Parse)
{
    OrbString scheme, host, path, fragment;
    OrbSTLVector<OrbString> arguments;
    EXPECT_EQ(OrbParseURL("http://example.org/a%20dir/file?x=1?y=%41#top%21", &scheme, &host,
                          &path, &arguments, &fragment),
              B_OK);
    EXPECT_STREQ(scheme, "http");
    EXPECT_STREQ(host, "example.org");
    EXPECT_STREQ(path, "/a dir/file");
    ASSERT_EQ(arguments.size(), 2u);
    EXPECT_STREQ(arguments[0], "x=1");
    EXPECT_STREQ(arguments[1], "y=%41");  // arguments are not unescaped
    EXPECT_STREQ(fragment, "top!");

    EXPECT_EQ(OrbParseURL("input:", &scheme, &host, &path, &arguments, &fragment), B_OK);
    EXPECT_STREQ(scheme, "input");
    EXPECT_TRUE(host.IsNull());
    EXPECT_TRUE(path.IsNull());
    EXPECT_EQ(arguments.size(), 0u);
    EXPECT_TRUE(fragment.IsNull());

    EXPECT_EQ(OrbParseURL("/just/a/path#f", &scheme, &host, &path, nullptr, &fragment), B_OK);
    EXPECT_TRUE(scheme.IsNull());
    EXPECT_STREQ(path, "/just/a/path");
    EXPECT_STREQ(fragment, "f");

    EXPECT_EQ(OrbParseURL("file://host", &scheme, &host, &path, nullptr, nullptr), B_OK);
    EXPECT_STREQ(host, "host");
    EXPECT_TRUE(path.IsNull());

    // A ':' after the first '/' is part of the path, not a scheme.
    EXPECT_EQ(OrbParseURL("dir/a:b", &scheme, nullptr, &path, nullptr, nullptr), B_OK);
    EXPECT_TRUE(scheme.IsNull());
    EXPECT_STREQ(path, "dir/a:b");

    // The first unescaping error is reported; the rest is still split.
    EXPECT_EQ(OrbParseURL("s://h/p%zz#f%41", &scheme, &host, &path, nullptr, &fragment),
              B_BAD_VALUE);
    EXPECT_STREQ(path, "/pzz");
    EXPECT_STREQ(fragment, "fA");
    EXPECT_EQ(OrbParseURL(nullptr, &scheme, nullptr, nullptr, nullptr, nullptr), B_BAD_VALUE);
}

TEST(OrbVector, AdapterAndOutOfRangeAccess)
{
    OrbSTLVector<int> vector;
    OrbVectorI<int>& items = vector;
    items.reserve(8);
    EXPECT_GE(items.capacity(), 8u);
    items.push_back(1);
    items.push_back(2);
    items.resize(4, 9);
    EXPECT_EQ(items.size(), 4u);
    EXPECT_EQ(items.front(), 1);
    EXPECT_EQ(items.back(), 9);
    EXPECT_EQ(items.at(1), 2);
    items[1] = 5;
    EXPECT_EQ(items[1], 5);
    EXPECT_EQ(items.at(100), 0);  // a spare element, no exception
    items.at(100) = 7;            // writing it changes nothing real
    EXPECT_EQ(items.size(), 4u);
    EXPECT_EQ(items.at(100), 0);
    OrbSTLVector<int> empty;
    EXPECT_EQ(empty.back(), 0);
}
