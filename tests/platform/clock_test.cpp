#include <gtest/gtest.h>

#include "platform/clock.h"

using namespace velmo::clock;

TEST(DateMask, JournalAndBackupMasksGiveZeroPaddedFields) {
    LocalDateTime t{2026, 3, 7, 9, 5, 4};
    EXPECT_EQ(formatDateMask("%dd/%mm/%yyyy", t), "07/03/2026");
    EXPECT_EQ(formatDateMask("%hh:%ii:%ss", t), "09:05:04");
    EXPECT_EQ(formatDateMask("%yyyy_%mm_%dd__%hh_%ii_%ss", t), "2026_03_07__09_05_04");
    LocalDateTime late{999, 12, 31, 23, 59, 59};
    EXPECT_EQ(formatDateMask("%yyyy %hh", late), "0999 23");
    // Anything that is not a known field is copied as it stands.
    EXPECT_EQ(formatDateMask("%x %y %% 100%", t), "%x %y %% 100%");
}

TEST(DateMask, LocalNowIsAPlausibleCalendarDate) {
    LocalDateTime t = localNow();
    EXPECT_GE(t.year, 2024);
    EXPECT_GE(t.month, 1);
    EXPECT_LE(t.month, 12);
    EXPECT_GE(t.day, 1);
    EXPECT_LE(t.day, 31);
    EXPECT_LE(t.hour, 23);
}
