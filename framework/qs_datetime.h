#pragma once
// Dates as day numbers: days since 30 December 1899, time of day as the
// fraction. Movie records keep this form.
#include <QDateTime>
#include <QString>

using TDateTime = double;

TDateTime DateTimeToDayNumber(const QDateTime& dateTime);
// The day number of a local date and time (no zone work: cheap).
TDateTime DayNumberOf(const QDate& date, const QTime& time);
// Local date-time of a day number.
QDateTime DayNumberToDateTime(TDateTime value);
// The current local date-time as a day number.
TDateTime NowDayNumber();
// The user's short date, a blank, then the user's long time; the time is
// left out when the value is exactly midnight.
QString DateTimeText(TDateTime value);
