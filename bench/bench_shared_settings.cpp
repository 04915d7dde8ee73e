// Two processes writing the settings hive as fast as they can: how far
// each got when the other finished, and the longest any write waited.
//   bench_shared_settings [writes per process, default 1000]
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const QString writes = QString::number(argc > 1 ? std::atoi(argv[1]) : 1000);
  QTemporaryDir dir;
  const QString hive = dir.filePath("registry.json"), go = dir.filePath("go");
  QProcess a, b;
  a.start(QStringLiteral(CINVO_STORE_WRITER), {"hive", hive, "a", writes, go});
  b.start(QStringLiteral(CINVO_STORE_WRITER), {"hive", hive, "b", writes, go});
  if (!a.waitForReadyRead(30000) || !b.waitForReadyRead(30000)) return 1;
  a.readAllStandardOutput();
  b.readAllStandardOutput();
  QElapsedTimer timer;
  timer.start();
  QFile(go).open(QIODevice::WriteOnly);
  a.waitForFinished(-1);
  b.waitForFinished(-1);
  std::printf("%s writes each, %lld ms in all\n", qPrintable(writes), static_cast<long long>(timer.elapsed()));
  bool sound = true;
  for (QProcess* p : {&a, &b}) {
    sound = sound && p->exitCode() == 0;
    std::printf("writer %c: exit %d, %s  %s", p == &a ? 'a' : 'b', p->exitCode(),
                p->readAllStandardOutput().trimmed().constData(),
                p->readAllStandardError().isEmpty() ? "no write failed\n" : "SOME WRITES FAILED\n");
  }
  return sound ? 0 : 1;
}
