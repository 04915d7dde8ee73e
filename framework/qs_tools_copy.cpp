// Copying files the way the desktop shell does: progress, questions,
// directories created, the target replaced only when the copy is complete.
#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QMessageBox>
#include <QPointer>
#include <QProgressDialog>
#include <QTimer>

#include <thread>

#include "framework/qs_application.h"
#include "framework/qs_tools.h"
#include "platform/file_copy.h"

namespace {

constexpr int kProgressSteps = 1000;
constexpr int kPollMs = 50;

TShellQuestion& Question() {
  static TShellQuestion question;
  return question;
}

bool Ask(const QString& text) {
  if (Question()) return Question()(text);
  return QMessageBox::question(QApplication::activeWindow(), QApplication::applicationDisplayName(), text,
                               QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes) == QMessageBox::Yes;
}

// Runs the copy on a worker thread; the calling thread keeps handling
// events (painting, the dialog's Cancel) until it is over.
platform::CopyResult RunCopy(const QString& from, const QString& to, bool showProgress) {
  platform::CopyProgress progress;
  platform::CopyResult result;
  std::atomic<bool> finished{false};
  std::thread worker([&] {
    result = platform::CopyFileContents(from, to, progress);
    finished = true;
  });

  QPointer<QProgressDialog> dialog;
  if (showProgress) {
    dialog = new QProgressDialog(QStringLiteral("Copying \"%1\"\nto \"%2\"")
                                     .arg(QFileInfo(from).fileName(), QDir::toNativeSeparators(QFileInfo(to).absolutePath())),
                                 QStringLiteral("Cancel"), 0, kProgressSteps, QApplication::activeWindow());
    dialog->setWindowTitle(QApplication::applicationDisplayName());
    dialog->setWindowModality(Qt::ApplicationModal);
    dialog->setAutoClose(false);
    dialog->setAutoReset(false);
    dialog->setMinimumDuration(500);
    dialog->setValue(0);
    QObject::connect(dialog, &QProgressDialog::canceled, [&progress] { progress.Cancel = true; });
  }

  QEventLoop loop;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
    if (dialog) {
      if (dialog->wasCanceled()) progress.Cancel = true;
      const std::int64_t total = progress.Total;
      if (total < 0) {
        dialog->setMaximum(0);  // busy: the size is unknown
      } else if (total > 0) {
        dialog->setValue(int(progress.Done * kProgressSteps / total));
      }
    }
    if (finished) loop.quit();
  });
  poll.start(kPollMs);
  // Without a window of its own the copy must not let clicks reach the
  // program's windows meanwhile.
  if (!finished) loop.exec(showProgress ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents);
  worker.join();
  delete dialog.data();
  return result;
}

bool CopyFile(const QString& from, QString to, quint16 flags, bool showProgress) {
  const bool askNothing = flags & FOF_NOCONFIRMATION;
  const bool showErrors = showProgress && !(flags & FOF_NOERRORUI);
  auto failure = [&](const QString& message) {
    if (showErrors) ShowErrorMessage(message);
    return false;
  };

  const QFileInfo source(from);
  if (from.isEmpty() || !source.exists())
    return failure(QStringLiteral("Cannot copy \"%1\": the file was not found.").arg(from));
  if (source.isDir()) return failure(QStringLiteral("Cannot copy \"%1\": it is a directory.").arg(from));
  if (to.isEmpty()) return false;
  if (QFileInfo(to).isDir()) to = AddBackslash(to) + source.fileName();

  const QFileInfo target(to);
  if (target.exists()) {
    if (target.isDir()) return failure(QStringLiteral("Cannot copy to \"%1\": it is a directory.").arg(to));
    if (source.canonicalFilePath() == target.canonicalFilePath())
      return failure(QStringLiteral("Cannot copy \"%1\" onto itself.").arg(from));
    if (!askNothing &&
        !Ask(QStringLiteral("The file \"%1\" already exists.\nDo you want to replace it?").arg(target.absoluteFilePath())))
      return false;
  }

  const QString dir = target.absolutePath();
  if (!QFileInfo(dir).isDir()) {
    if (!askNothing && !(flags & FOF_NOCONFIRMMKDIR) &&
        !Ask(QStringLiteral("The directory \"%1\" does not exist.\nDo you want to create it?").arg(dir)))
      return false;
    if (!QDir().mkpath(dir)) return failure(QStringLiteral("Cannot create the directory \"%1\".").arg(dir));
  }

  const platform::CopyResult result = RunCopy(from, to, showProgress);
  if (result.Outcome == platform::CopyOutcome::Failed) return failure(result.Error);
  return result.Outcome == platform::CopyOutcome::Copied;
}

}  // namespace

void SetShellQuestion(TShellQuestion question) { Question() = std::move(question); }

bool ShellFileOperation(int operation, const QString& from, const QString& to, quint16 flags, bool showProgress,
                        bool confirm) {
  if (!confirm) flags |= FOF_NOCONFIRMATION;
  if (!showProgress) flags |= FOF_SILENT;
  if (operation != FO_COPY) return false;  // the program only ever copies
  return CopyFile(from, to, flags, !(flags & FOF_SILENT));
}

bool ShellCopyFile(const QString& from, const QString& to, bool showProgress, bool confirm) {
  return ShellFileOperation(FO_COPY, from, to, FOF_NOCONFIRMMKDIR, showProgress, confirm);
}
