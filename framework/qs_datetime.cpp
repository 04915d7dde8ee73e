#include "framework/qs_datetime.h"

#include <QLocale>

#include <cmath>

namespace {

const QDate kDayZero(1899, 12, 30);
constexpr double kMsecsPerDay = 86400000.0;

// The long time format without the time-zone name, which the day number
// does not carry.
QString LongTimeFormat(const QLocale& locale) {
  QString format = locale.timeFormat(QLocale::LongFormat);
  QString out;
  bool quoted = false;
  for (const QChar c : format) {
    if (c == QLatin1Char('\'')) quoted = !quoted;
    if (!quoted && c == QLatin1Char('t')) continue;
    out += c;
  }
  return out.trimmed();
}

}  // namespace

TDateTime DateTimeToDayNumber(const QDateTime& dateTime) {
  const QDateTime local = dateTime.toLocalTime();
  return DayNumberOf(local.date(), local.time());
}

TDateTime DayNumberOf(const QDate& date, const QTime& time) {
  return static_cast<double>(kDayZero.daysTo(date)) + time.msecsSinceStartOfDay() / kMsecsPerDay;
}

QDateTime DayNumberToDateTime(TDateTime value) {
  const double days = std::floor(value);
  qint64 msecs = std::llround((value - days) * kMsecsPerDay);
  qint64 dayCount = static_cast<qint64>(days);
  if (msecs >= static_cast<qint64>(kMsecsPerDay)) {  // rounding reached the next day
    msecs -= static_cast<qint64>(kMsecsPerDay);
    ++dayCount;
  }
  return QDateTime(kDayZero.addDays(dayCount), QTime::fromMSecsSinceStartOfDay(static_cast<int>(msecs)),
                   Qt::LocalTime);
}

TDateTime NowDayNumber() { return DateTimeToDayNumber(QDateTime::currentDateTime()); }

QString DateTimeText(TDateTime value) {
  const QLocale locale;
  const QDateTime dt = DayNumberToDateTime(value);
  QString text = locale.toString(dt.date(), QLocale::ShortFormat);
  if (dt.time() != QTime(0, 0)) text += QLatin1Char(' ') + locale.toString(dt.time(), LongTimeFormat(locale));
  return text;
}
