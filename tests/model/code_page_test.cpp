#include "model/code_page.h"

#include <gtest/gtest.h>

namespace velmo {
namespace {

TEST(Cp1252, EveryByteSurvivesTheRoundTrip) {
    for (int b = 0; b < 256; ++b) {
        const std::string one(1, static_cast<char>(b));
        const std::string utf8 = Cp1252ToUtf8(one);
        EXPECT_EQ(Utf8ToCp1252(utf8), one) << "byte " << b;
    }
}

TEST(Cp1252, MapsHighBytesToTheirCharacters) {
    EXPECT_EQ(Cp1252ToUtf8("SONG"), "SONG");
    EXPECT_EQ(Cp1252ToUtf8("\x80"), "\u20AC");
    EXPECT_EQ(Cp1252ToUtf8("CAF\xC9"), "CAF\u00C9");
    EXPECT_EQ(Cp1252ToUtf8("\x9F"), "\u0178");
    EXPECT_EQ(Cp1252ToUtf8("\x81"), "\u0081");
    EXPECT_EQ(Utf8ToCp1252("\u2122"), "\x99");
}

TEST(Cp1252, RefusesWhatTheCodePageLacksAndBrokenUtf8) {
    for (const char* bad :
         {"\u0100", "\u4E2D", "\U0001F600", "\xC3", "\xC1\xA9", "\xE0\x83\xA9", "\xFF", "A\x80"})
        EXPECT_FALSE(Utf8ToCp1252(bad).has_value()) << bad;
}

} // namespace
} // namespace velmo
