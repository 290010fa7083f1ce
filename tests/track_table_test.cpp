#include <cstddef>
#include <cstring>
#include <string>

#include <iconv.h>

#include <gtest/gtest.h>

#include "render/track_table.h"

TEST(TrackTable, FirstAndLastTrackAreAbsolute)
{
    EXPECT_EQ(track_table[0].start, 44);
    EXPECT_EQ(track_table[0].loop, 1313320);
    EXPECT_EQ(track_table[0].end, 14198200);
    EXPECT_EQ(track_table[12].start, 62141920);
    EXPECT_EQ(track_table[12].loop, 63907992);
    EXPECT_EQ(track_table[12].end, 67671140);
}

TEST(TrackTable, LayoutLeavesRoomForAHeaderBeforeEveryTrack)
{
    // Track 2 follows track 1's loop end after 1006196 further bytes and a
    // 44-byte header; track 13 follows track 12 after 950628 bytes.
    EXPECT_EQ(track_table[1].start, track_table[0].end + 1006196 + 44);
    EXPECT_EQ(track_table[12].start, track_table[11].end + 950628 + 44);
    for (int i = 1; i <= 10; i++) {  // tracks 2 to 11
        SCOPED_TRACE(i + 1);
        EXPECT_EQ(track_table[i + 1].start, track_table[i].end + 44);
        EXPECT_EQ(track_table[i].loop, track_table[i].start);  // loops whole
    }
}

TEST(TrackTable, EveryTrackLiesBelowTheLastLoopEnd)
{
    for (int i = 0; i < TRACK_COUNT; i++) {
        SCOPED_TRACE(i + 1);
        EXPECT_GE(track_table[i].start, 44);
        EXPECT_LT(track_table[i].loop, track_table[i].end);
        EXPECT_LE(track_table[i].end, 67671140);
        if (i > 0) {
            EXPECT_GT(track_table[i].start, track_table[i - 1].end);
        }
    }
}

// Whether byte i of name starts a double-byte code page 932 character.
static bool is_lead_byte(unsigned char byte)
{
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

TEST(TrackNames, HaveTheirFormAndAreNulFilled)
{
    for (int i = 0; i < TRACK_COUNT; i++) {
        SCOPED_TRACE(i + 1);
        const char *name = track_names[i];
        const std::size_t length = std::strlen(name);
        EXPECT_GE(length, 15u);
        EXPECT_LE(length, 32u);
        const char number[4] = {char('0' + (i + 1) / 10), char('0' + (i + 1) % 10), ' ', '\0'};
        EXPECT_EQ(std::strncmp(name, number, 3), 0);
        EXPECT_STREQ(name + length - 4, ".wav");
        for (std::size_t j = length; j < NAME_FIELD_BYTES; j++)
            EXPECT_EQ(name[j], '\0');
        for (int k = 0; k < i; k++)
            EXPECT_STRNE(name + 3, track_names[k] + 3);
    }
}

TEST(TrackNames, HoldHalfWidthKatakanaAndABackslashTrailByte)
{
    int half_width = 0;
    int backslash_trail = 0;
    for (const auto &slot : track_names) {
        const auto *name = reinterpret_cast<const unsigned char *>(slot);
        for (std::size_t j = 0; name[j] != 0; j++) {
            if (is_lead_byte(name[j])) {
                ASSERT_NE(name[j + 1], 0);
                backslash_trail += name[j + 1] == 0x5C;
                j++;
            } else {
                half_width += name[j] >= 0xA1 && name[j] <= 0xDF;
                EXPECT_NE(name[j], 0x5C) << "a backslash outside a double-byte character";
            }
        }
    }
    EXPECT_GT(half_width, 0);
    EXPECT_GT(backslash_trail, 0);
}

// The C library's conversion of code page 932 bytes to UTF-8, or "" if
// they do not convert.
static std::string cp932_to_utf8(const char *bytes)
{
    iconv_t converter = iconv_open("UTF-8", "CP932");
    if (converter == reinterpret_cast<iconv_t>(-1))
        return "no converter";
    char input[NAME_FIELD_BYTES] = {};
    std::strncpy(input, bytes, sizeof input - 1);
    char output[4 * NAME_FIELD_BYTES];
    char *in = input, *out = output;
    std::size_t in_left = std::strlen(input), out_left = sizeof output;
    const std::size_t converted = iconv(converter, &in, &in_left, &out, &out_left);
    iconv_close(converter);
    if (converted == static_cast<std::size_t>(-1) || in_left != 0)
        return "";
    return std::string(output, out);
}

TEST(TrackNames, TheUtf8NamesAreTheCodePage932NamesConverted)
{
    for (int i = 0; i < TRACK_COUNT; i++) {
        SCOPED_TRACE(i + 1);
        EXPECT_EQ(track_names_utf8[i], cp932_to_utf8(track_names[i]));
        const std::size_t length = std::strlen(track_names_utf8[i]);
        for (std::size_t j = length; j < UTF8_NAME_BYTES; j++)
            EXPECT_EQ(track_names_utf8[i][j], '\0');
    }
    // The converter refuses what is not code page 932, so an equal name
    // above is a real conversion.
    EXPECT_EQ(cp932_to_utf8("01 \x82.wav"), "");  // a lead byte alone
    EXPECT_EQ(cp932_to_utf8("01 \xFF\xFF.wav"), "");
}
