#include <gtest/gtest.h>

#include "platform/clock.h"
#include "platform/text_codec.h"

using namespace velmo;

TEST(TextCodec, FrenchLettersAndWindowsOnlySignsRoundTripAndTheRestBecomesQuestionMarks) {
    // Literals are compiled to CP1252: "é" is the single byte E9.
    const std::string french = "Créé par Hélène, « déjà » à 5 € – œuvre";
    const std::string utf8 = text::cp1252ToUtf8(french);
    EXPECT_EQ(utf8.substr(0, 6), "Cr\xC3\xA9\xC3\xA9");
    EXPECT_NE(utf8.find("\xE2\x82\xAC"), std::string::npos);  // euro sign
    EXPECT_EQ(text::utf8ToCp1252(utf8), french);
    const std::u16string wide = text::cp1252ToUtf16(french);
    EXPECT_NE(wide.find(u'\u0153'), std::u16string::npos);  // oe ligature
    EXPECT_EQ(text::utf16ToCp1252(wide), french);
    // A CJK character, a cut sequence, a stray continuation byte, a surrogate pair.
    EXPECT_EQ(text::utf8ToCp1252("a\xE4\xB8\xAD" "b\xC3"), "a?b?");
    EXPECT_EQ(text::utf8ToCp1252("\x80x"), "?x");
    EXPECT_EQ(text::utf16ToCp1252(u"x\U0001F600y"), "x?y");
}

TEST(TextCodec, TrimAndDecimalFollowTheFormRules) {
    EXPECT_EQ(text::trimBlanks("  \tx\t  "), "\tx\t");  // only the blank is trimmed
    EXPECT_EQ(text::trimBlanks("   "), "");
    EXPECT_EQ(text::parseDecimal("  -21abc"), -21);
    EXPECT_EQ(text::parseDecimal("abc"), 0);
    EXPECT_EQ(text::parseDecimal("99999999999999999999999999"), 1000000000000000000LL);
    // The files' integers are pinned at the 32-bit ends, never wrapped.
    EXPECT_EQ(text::parseDecimalInt32("2147483648"), 2147483647);
    EXPECT_EQ(text::parseDecimalInt32("-2147483649"), -2147483647 - 1);
    EXPECT_EQ(text::parseDecimalInt32("4294967317"), 2147483647);  // not 21
}

TEST(DateMask, JournalAndBackupMasksGiveZeroPaddedFields) {
    EXPECT_EQ(clock::formatDateMask("%dd/%mm/%yyyy %hh:%ii:%ss", {999, 3, 7, 9, 5, 4}), "07/03/0999 09:05:04");
    EXPECT_EQ(clock::formatDateMask("%yyyy_%mm_%dd__%hh_%ii_%ss", {2026, 12, 31, 23, 59, 58}),
              "2026_12_31__23_59_58");
    // Anything that is not a known field is copied as it stands.
    EXPECT_EQ(clock::formatDateMask("%x %y %% 100%", {}), "%x %y %% 100%");
    const clock::LocalDateTime now = clock::localNow();  // months and days count from 1
    EXPECT_TRUE(now.year >= 2024 && now.month >= 1 && now.month <= 12 && now.day >= 1 && now.day <= 31);
}
