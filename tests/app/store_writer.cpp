// A second copy of the program as far as the records and settings files
// are concerned: the tests run it next to themselves (and kill it) to see
// what two processes sharing those files, or a killed writer, do to them.
//
//   store_writer ini  <file> <prefix> <movies> <rounds> [go-file]
//   store_writer hive <file> <prefix> <writes> [go-file]
//   store_writer edit <file> <stop-file> [go-file]  (a person's editor: edits
//                     until stop-file exists, then prints "edits=N")
//   store_writer ini-loop  <file> <movies>     (until killed)
//   store_writer hive-loop <file> <values>     (until killed)
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QThread>

#include <cstdio>

#include "app/pk_param.h"
#include "framework/qs_application.h"
#include "platform/registry.h"

namespace {

const QString kKey = QStringLiteral("\\Software\\Vessa\\Store\\Initial");

int gFailures = 0;

// Both processes start their writes together, so neither runs alone first.
void WaitForGo(const QString& goFile) {
  if (goFile.isEmpty()) return;
  std::printf("ready\n");
  std::fflush(stdout);
  while (!QFile::exists(goFile)) QThread::usleep(500);
}

int RecordViews(const QString& prefix, int movies, int rounds) {
  // One record per movie kept for the run, as the library keeps them.
  std::vector<std::unique_ptr<TMovieData>> records;
  for (int i = 0; i < movies; ++i)
    records.push_back(std::make_unique<TMovieData>(QStringLiteral("/m/%1%2.avi").arg(prefix).arg(i), true));
  for (int round = 0; round < rounds; ++round)
    for (auto& record : records) record->RecordView();
  return gFailures;
}

int WriteSettings(const QString& file, const QString& prefix, int writes) {
  const QString other = prefix == QLatin1String("a") ? QStringLiteral("b") : QStringLiteral("a");
  platform::TRegistry reg(file);
  qint64 slowest = 0;
  int otherSeen = 0;
  for (int i = 1; i <= writes; ++i) {
    QElapsedTimer timer;
    timer.start();
    try {
      if (!reg.OpenKey(kKey, true)) throw platform::RegistryError(QStringLiteral("key not opened"));
      reg.WriteInteger(QStringLiteral("Count") + prefix, i);
      if (reg.OpenKey(kKey, false) && reg.ValueExists(QStringLiteral("Count") + other))
        otherSeen = reg.ReadInteger(QStringLiteral("Count") + other);
      reg.CloseKey();
    } catch (const platform::RegistryError& e) {
      std::fprintf(stderr, "%s\n", e.what());
      ++gFailures;
    }
    slowest = std::max(slowest, timer.elapsed());
  }
  // How far the other writer had got when this one finished.
  std::printf("other=%d slowest_ms=%lld\n", otherSeen, static_cast<long long>(slowest));
  return gFailures;
}

// An editor saving the file the way editors do, without the program's lock:
// a new file renamed over it, or a line appended in place, in turns. Each
// edit adds a section of its own, so the test can count the edits kept.
int EditByHand(const QString& file, const QString& stopFile) {
  int edits = 0;
  while (!QFile::exists(stopFile)) {
    ++edits;
    const QByteArray edit = "[Edit " + QByteArray::number(edits) + "]\r\nNote=" + QByteArray::number(edits) + "\r\n";
    if (edits % 2) {
      QFile current(file);
      QByteArray text;
      if (current.open(QIODevice::ReadOnly)) text = current.readAll();
      current.close();
      QFile next(file + QStringLiteral(".by-hand"));
      if (!next.open(QIODevice::WriteOnly | QIODevice::Truncate) || next.write(text + edit) != text.size() + edit.size())
        return 1;
      next.close();
      if (std::rename(QFile::encodeName(next.fileName()).constData(), QFile::encodeName(file).constData()) != 0)
        return 1;
    } else {
      QFile current(file);
      if (!current.open(QIODevice::Append) || current.write(edit) != edit.size()) return 1;
    }
    // A person's editor saves now and then, not back to back.
    QThread::usleep(10000);
  }
  std::printf("edits=%d\n", edits);
  return 0;
}

[[noreturn]] void RecordViewsUntilKilled(int movies) {
  std::vector<std::unique_ptr<TMovieData>> records;
  for (int i = 0; i < movies; ++i)
    records.push_back(std::make_unique<TMovieData>(QStringLiteral("/m/Movie number %1.avi").arg(i), true));
  std::printf("ready\n");
  std::fflush(stdout);
  for (;;) {
    TMovieData& movie = *records[QRandomGenerator::global()->bounded(movies)];
    movie.ReadRecord();
    movie.ViewPosition = QRandomGenerator::global()->bounded(7200);
    if (QRandomGenerator::global()->bounded(2)) movie.RecordView(); else movie.SavePosition();
  }
}

[[noreturn]] void WriteSettingsUntilKilled(const QString& file, int values) {
  platform::TRegistry reg(file);
  std::printf("ready\n");
  std::fflush(stdout);
  for (;;) {
    try {
      if (reg.OpenKey(kKey, true))
        reg.WriteInteger(QStringLiteral("Value%1").arg(QRandomGenerator::global()->bounded(values)),
                         QRandomGenerator::global()->bounded(1000000));
      reg.CloseKey();
    } catch (const platform::RegistryError& e) {
      std::fprintf(stderr, "%s\n", e.what());
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: see the head of store_writer.cpp\n");
    return 2;
  }
  SetErrorDisplay([](const QString& message) {
    std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
    ++gFailures;
  });
  const QString mode = QString::fromLocal8Bit(argv[1]);
  const QString file = QString::fromLocal8Bit(argv[2]);
  const auto arg = [&](int i) { return i < argc ? QString::fromLocal8Bit(argv[i]) : QString(); };
  if (mode == QLatin1String("ini") || mode == QLatin1String("ini-loop")) qputenv("CINVO_MOVIELIST", argv[2]);
  if (mode == QLatin1String("ini") && argc >= 6) {
    WaitForGo(arg(6));
    return RecordViews(arg(3), arg(4).toInt(), arg(5).toInt());
  }
  if (mode == QLatin1String("hive") && argc >= 5) {
    WaitForGo(arg(5));
    return WriteSettings(file, arg(3), arg(4).toInt());
  }
  if (mode == QLatin1String("edit")) {
    WaitForGo(arg(4));
    return EditByHand(file, arg(3));
  }
  if (mode == QLatin1String("ini-loop")) RecordViewsUntilKilled(arg(3).toInt());
  if (mode == QLatin1String("hive-loop")) WriteSettingsUntilKilled(file, arg(3).toInt());
  return 2;
}
