#include <gtest/gtest.h>

#include "platform/text_codec.h"

using namespace velmo::text;

TEST(TextCodec, FrenchLettersAndWindowsOnlySignsSurviveEveryConversion) {
    // Literals are compiled to CP1252: "é" is the single byte E9.
    const std::string french = "Créé par Hélène, « déjà » à 5 € – œuvre";
    ASSERT_EQ(static_cast<unsigned char>(std::string("é")[0]), 0xE9);
    const std::string utf8 = cp1252ToUtf8(french);
    EXPECT_EQ(utf8.substr(0, 6), "Cr\xC3\xA9\xC3\xA9");
    EXPECT_NE(utf8.find("\xE2\x82\xAC"), std::string::npos);  // euro sign
    EXPECT_EQ(utf8ToCp1252(utf8), french);
    const std::u16string wide = cp1252ToUtf16(french);
    EXPECT_EQ(wide[2], u'\u00E9');
    EXPECT_NE(wide.find(u'\u20AC'), std::u16string::npos);
    EXPECT_NE(wide.find(u'\u0153'), std::u16string::npos);  // oe ligature
    EXPECT_EQ(utf16ToCp1252(wide), french);
}

TEST(TextCodec, TextWithoutACp1252FormOrBrokenUtf8BecomesQuestionMarks) {
    EXPECT_EQ(utf8ToCp1252("a\xE4\xB8\xAD" "b"), "a?b");        // a CJK character
    EXPECT_EQ(utf8ToCp1252("a\xC3"), "a?");                      // cut sequence
    EXPECT_EQ(utf8ToCp1252("\x80x"), "?x");                      // stray continuation
    EXPECT_EQ(utf16ToCp1252(u"x\U0001F600y"), "x?y");            // surrogate pair
}

TEST(TextCodec, TrimAndDecimalFollowTheFormRules) {
    EXPECT_EQ(trimBlanks("  ftp.exemple.fr  "), "ftp.exemple.fr");
    EXPECT_EQ(trimBlanks("\tx\t"), "\tx\t");  // only the blank is trimmed
    EXPECT_EQ(trimBlanks("   "), "");
    EXPECT_EQ(parseDecimal("  2121  "), 2121);
    EXPECT_EQ(parseDecimal("21abc"), 21);
    EXPECT_EQ(parseDecimal(""), 0);
    EXPECT_EQ(parseDecimal("abc"), 0);
    EXPECT_EQ(parseDecimal("-5"), -5);
    EXPECT_EQ(parseDecimal("99999999999999999999999999"), 1000000000000000000LL);
}
