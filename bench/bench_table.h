#pragma once
// One row of the table `make bench` prints at the end: a figure, its value,
// the reference measured in the same run and the aim. Rows are tagged lines
// of a benchmark's output; the human-readable lines around them stay.
#include <cstdio>

#include <QString>

namespace benchtable {

inline void Row(const QString& figure, const QString& value, const QString& reference, const QString& aim) {
  std::printf("@row\t%s\t%s\t%s\t%s\n", qPrintable(figure), qPrintable(value), qPrintable(reference),
              qPrintable(aim));
  std::fflush(stdout);
}

}  // namespace benchtable
