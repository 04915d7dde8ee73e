#include "platform/desktop_open.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTimer>
#include <QUrl>

namespace platform {

namespace {

constexpr int kReportWaitMs = 5000;

bool IsWebAddress(const QString& target) {
  static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]+:"));
  // "C:" alone is no scheme; "http:", "mailto:" and the like are.
  return scheme.match(target).hasMatch() && !target.startsWith(QLatin1Char('/'));
}

QString TargetOf(const QString& request) {
  return request.startsWith(QStringLiteral("file:")) ? request.mid(5) : request;
}

// xdg-open: 0 success, 1 bad command line, 2 no such file, 3 no tool for
// it, 4 the tool failed.
int CodeForExit(int exitCode) {
  switch (exitCode) {
    case 0: return kOpenSucceeded;
    case 2: return kOpenFileNotFound;
    case 3:
    case 4: return kOpenNoAssociation;
    default: return kOpenAssociationIncomplete;
  }
}

}  // namespace

QString OpenerArgument(const QString& request) {
  const QString target = TargetOf(request);
  if (target.isEmpty()) return {};
  if (IsWebAddress(target)) return target;
  return QUrl::fromLocalFile(QFileInfo(target).absoluteFilePath()).toString(QUrl::FullyEncoded);
}

int DesktopOpen(const QString& request) {
  const QString target = TargetOf(request);
  if (target.isEmpty()) return kOpenFileNotFound;
  if (!IsWebAddress(target)) {
    const QFileInfo info(target);
    if (!info.exists()) return info.absoluteDir().exists() ? kOpenFileNotFound : kOpenPathNotFound;
    if (!info.isReadable()) return kOpenAccessDenied;
  }

  QString opener = qEnvironmentVariable("CINVO_OPENER");
  if (opener.isEmpty()) opener = QStringLiteral("xdg-open");

  // Owned by the application, so a program the opener keeps running in the
  // foreground is not killed when this call returns.
  auto* process = new QProcess(QCoreApplication::instance());
  // No pipes: the program the opener starts inherits them, and would die
  // writing to one once this process object is gone.
  process->setStandardInputFile(QProcess::nullDevice());
  process->setStandardOutputFile(QProcess::nullDevice());
  process->setStandardErrorFile(QProcess::nullDevice());
  process->start(opener, {OpenerArgument(request)});
  if (!process->waitForStarted(kReportWaitMs)) {
    process->deleteLater();
    return kOpenNoAssociation;
  }
  QEventLoop loop;
  QTimer timer;
  timer.setSingleShot(true);
  QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
  QObject::connect(process, &QProcess::finished, &loop, &QEventLoop::quit);
  timer.start(kReportWaitMs);
  if (process->state() != QProcess::NotRunning) loop.exec(QEventLoop::ExcludeUserInputEvents);
  if (process->state() != QProcess::NotRunning) {
    // Still busy opening: taken as started. Released once it ends; a
    // deletion armed before the wait could have run inside it.
    QObject::connect(process, &QProcess::finished, process, &QObject::deleteLater);
    if (process->state() == QProcess::NotRunning) process->deleteLater();
    return kOpenSucceeded;
  }
  const int result = process->exitStatus() == QProcess::NormalExit ? CodeForExit(process->exitCode())
                                                                   : kOpenAssociationIncomplete;
  process->deleteLater();
  return result;
}

}  // namespace platform
