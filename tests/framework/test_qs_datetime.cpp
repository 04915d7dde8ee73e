#include <gtest/gtest.h>

#include <QLocale>

#include "framework/qs_datetime.h"

TEST(QsDateTime, DayNumbersRoundTripThroughDateTimes) {
  EXPECT_DOUBLE_EQ(DateTimeToDayNumber(QDateTime(QDate(1899, 12, 30), QTime(0, 0))), 0);
  EXPECT_DOUBLE_EQ(DateTimeToDayNumber(QDateTime(QDate(1900, 1, 1), QTime(12, 0))), 2.5);
  const QDateTime when(QDate(2026, 12, 8), QTime(21, 45, 30));
  EXPECT_EQ(DayNumberToDateTime(DateTimeToDayNumber(when)), when);
  // Rounding up to the next midnight lands on the next day.
  EXPECT_EQ(DayNumberToDateTime(45000.9999999999), QDateTime(QDate(1899, 12, 30).addDays(45001), QTime(0, 0)));
  const double now = NowDayNumber();
  EXPECT_GT(now, 46000);
}

TEST(QsDateTime, DateTimeTextLeavesOutTheTimeAtMidnight) {
  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  const double day = DateTimeToDayNumber(QDateTime(QDate(2024, 3, 9), QTime(0, 0)));
  EXPECT_EQ(DateTimeText(day), "09.03.24");
  EXPECT_EQ(DateTimeText(day + 0.5), "09.03.24 12:00:00");
  QLocale::setDefault(QLocale::c());
}
