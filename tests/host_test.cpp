#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "host/host.h"
#include "scratch.h"

TEST(HostNames, EveryTrackGetsItsUtf8Title)
{
    for (int i = 0; i < TRACK_COUNT; i++) {
        SCOPED_TRACE(i + 1);
        host_name name;
        ASSERT_TRUE(host_name_for_track(i, name));
        EXPECT_STREQ(name.path, UTF8_NAMES[i]);
        EXPECT_EQ(std::string(name.part_path), std::string(UTF8_NAMES[i]) + ".part");
        EXPECT_EQ(name.table_bytes, track_names[i]);
    }
}

TEST(HostNames, ABackslashTrailByteStaysInsideItsCharacter)
{
    // ソ is 0x83 0x5C in code page 932: the 0x5C must not survive as a
    // backslash, nor anything else become a path separator.
    for (const int index : {5, 10}) {
        host_name name;
        ASSERT_TRUE(host_name_for_track(index, name));
        EXPECT_EQ(std::strchr(name.path, '\\'), nullptr);
        EXPECT_EQ(std::strchr(name.path, '/'), nullptr);
    }
    host_name name;
    ASSERT_TRUE(host_name_for_track(5, name));
    EXPECT_EQ(std::string(name.path).substr(3, 3), "\xE3\x82\xBD");  // ソ in UTF-8
}
