// Kills writers of a 2,000-record MovieList.ini and of a 360-value settings
// hive at random moments while they write, then counts the files found
// damaged and the temporary copies left behind after the next write.
//   bench_killed_writers [kills per file, default 300] [largest delay in ms, default 60]
#include <QCoreApplication>
#include <QTemporaryDir>

#include <cstdio>

#include "tests/app/killed_writers.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  const int kills = argc > 1 ? std::atoi(argv[1]) : 300;
  const int delay = argc > 2 ? std::atoi(argv[2]) : 60;
  QTemporaryDir dir;
  bool sound = true;
  for (const auto kind : {killtest::TStoreFile::MovieList, killtest::TStoreFile::Hive}) {
    const bool ini = kind == killtest::TStoreFile::MovieList;
    const QString path = dir.filePath(ini ? "MovieList.ini" : "registry.json");
    killtest::Prepare(kind, path);
    const killtest::TOutcome o = killtest::KillWriters(QStringLiteral(CINVO_STORE_WRITER), kind, path, kills, delay);
    std::printf("%-38s kills %d, damaged after a kill %d, kills that left a copy %d (at most %d at once), "
                "next write %s, left after it %d, whole at the end %s\n",
                ini ? "MovieList.ini (2,000 records):" : "settings hive (360 values):", o.Kills, o.Damaged,
                o.KillsLeavingCopies, o.MostLeftovers, o.NextWriteDone ? "done" : "FAILED", o.LeftoversAtEnd, o.WholeAtEnd ? "yes" : "NO");
    sound = sound && o.Damaged == 0 && o.NextWriteDone && o.LeftoversAtEnd == 0 && o.WholeAtEnd;
    if (o.LeftoversAtEnd > 0)
      std::printf("  left: %s\n", killtest::Leftovers(path).join(' ').toLocal8Bit().constData());
  }
  return sound ? 0 : 1;
}
