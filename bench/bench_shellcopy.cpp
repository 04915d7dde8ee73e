// Throughput of the silent file copy next to cp(1), on a file of real data
// (no holes). Size in MiB as the first argument (default 1024).
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <cstdio>

#include "framework/qs_tools.h"

namespace {

double MiBPerSecond(qint64 bytes, qint64 ms) { return ms > 0 ? bytes / 1048576.0 / (ms / 1000.0) : 0; }

void DropCache(const QString& path) {
  // Best effort: without it both copies read from the page cache alike.
  QProcess::execute(QStringLiteral("dd"), {"of=" + path, "oflag=nocache", "conv=notrunc,fdatasync", "count=0",
                                          "status=none"});
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const qint64 mib = argc > 1 ? QByteArray(argv[1]).toLongLong() : 1024;
  QTemporaryDir dir(QDir::currentPath() + "/bench-copy-XXXXXX");
  const QString source = dir.path() + "/source.bin";
  {
    QFile file(source);
    if (!file.open(QIODevice::WriteOnly)) return 1;
    QByteArray block(1 << 20, Qt::Uninitialized);
    for (qint64 i = 0; i < mib; ++i) {
      QRandomGenerator::global()->fillRange(reinterpret_cast<quint32*>(block.data()), block.size() / 4);
      file.write(block);
    }
  }
  const qint64 bytes = mib << 20;

  DropCache(source);
  QElapsedTimer timer;
  timer.start();
  const bool ok = ShellCopyFile(source, dir.path() + "/shellcopy.bin", false, false);
  const qint64 ours = timer.elapsed();

  DropCache(source);
  timer.restart();
  QProcess::execute(QStringLiteral("sh"), {"-c", "cp '" + source + "' '" + dir.path() + "/cp.bin' && sync '" +
                                                     dir.path() + "/cp.bin'"});
  const qint64 cp = timer.elapsed();

  std::printf("file: %lld MiB\n", static_cast<long long>(mib));
  std::printf("ShellCopyFile: %s, %lld ms, %.0f MiB/s\n", ok ? "ok" : "FAILED", static_cast<long long>(ours),
              MiBPerSecond(bytes, ours));
  std::printf("cp + sync:     %lld ms, %.0f MiB/s\n", static_cast<long long>(cp), MiBPerSecond(bytes, cp));
  return ok ? 0 : 1;
}
