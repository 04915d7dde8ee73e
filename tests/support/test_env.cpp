#include "tests/support/test_env.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>

namespace testenv {

namespace {

QTemporaryDir& ProcessDir() {
  static QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/cinvo-test-XXXXXX"));
  return dir;
}

}  // namespace

QString ProcessTempDir() { return ProcessDir().path(); }

QString NewTempDir(const QString& hint) {
  static int counter = 0;
  const QString path = ProcessTempDir() + QLatin1Char('/') + hint + QString::number(++counter);
  QDir().mkpath(path);
  return path;
}

QString HivePath() { return ProcessTempDir() + QStringLiteral("/registry.json"); }
QString MovieListFile() { return ProcessTempDir() + QStringLiteral("/MovieList.ini"); }

QStringList& RecordedErrors() {
  static QStringList errors;
  return errors;
}

void DrainEvents() {
  for (int i = 0; i < 3; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents);
}

bool WaitForEvents(const std::function<bool()>& done, int ms) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > ms) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QThread::msleep(2);
  }
  return true;
}

bool WriteFile(const QString& path, const QByteArray& data) {
  QDir().mkpath(QFileInfo(path).absolutePath());
  QFile file(path);
  return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(data) == data.size();
}

QByteArray ReadFile(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace testenv
