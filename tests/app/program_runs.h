#pragma once
// Running the program and the desktop's tools from a test: bounded waits,
// exit code and output.
#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <QThread>

#include <functional>

// Polls `done` until it holds or `ms` have passed (no event loop needed: the
// program under test is another process).
inline bool WaitUntil(const std::function<bool()>& done, int ms = 30000) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > ms) return false;
    QThread::msleep(50);
  }
  return true;
}

struct TRun {
  int ExitCode = -1;
  bool Finished = false;
  QString Output;
};

inline TRun RunTool(const QString& program, const QStringList& arguments, int ms = 120000,
         const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment()) {
  QProcess process;
  process.setProcessEnvironment(environment);
  process.setProcessChannelMode(QProcess::MergedChannels);
  process.start(program, arguments);
  TRun run;
  if (!process.waitForStarted(ms)) {
    run.Output = process.errorString();
    return run;
  }
  run.Finished = process.waitForFinished(ms);
  if (!run.Finished) process.kill(), process.waitForFinished();
  run.ExitCode = process.exitCode();
  run.Output = QString::fromLocal8Bit(process.readAll());
  return run;
}

