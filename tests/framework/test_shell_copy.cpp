#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>

#include <atomic>
#include <thread>

#include <csignal>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "framework/qs_tools.h"
#include "tests/support/test_env.h"

namespace {

// Files the copy might have left beside its target.
QStringList Leftovers(const QString& dir) {
  return QDir(dir).entryList({QStringLiteral(".*part-*")}, QDir::Files | QDir::Hidden);
}

class ShellCopy : public ::testing::Test {
 protected:
  void SetUp() override {
    testenv::RecordedErrors().clear();
    dir_ = testenv::NewTempDir("copy");
    source_ = dir_ + "/source.avi";
    ASSERT_TRUE(testenv::WriteFile(source_, "new contents"));
  }
  void TearDown() override { SetShellQuestion({}); }

  QString dir_, source_;
};

}  // namespace

TEST_F(ShellCopy, SilentCopyCreatesDirectoriesAndReplacesTheTargetUnasked) {
  int questions = 0;
  SetShellQuestion([&](const QString&) { return ++questions, false; });
  const QString target = dir_ + "/a/b/c/target.avi";
  EXPECT_TRUE(ShellCopyFile(source_, target, false, false));
  EXPECT_EQ(testenv::ReadFile(target), "new contents");

  ASSERT_TRUE(testenv::WriteFile(target, "old contents, longer than the new ones"));
  EXPECT_TRUE(ShellCopyFile(source_, target, false, false));
  EXPECT_EQ(testenv::ReadFile(target), "new contents");
  EXPECT_EQ(questions, 0);
  EXPECT_TRUE(testenv::RecordedErrors().isEmpty());
  EXPECT_TRUE(Leftovers(dir_ + "/a/b/c").isEmpty());
}

TEST_F(ShellCopy, KeepsTheModificationTimeAndCopiesIntoAnExistingDirectory) {
  const QDateTime past = QDateTime::currentDateTime().addDays(-30);
  QFile file(source_);
  ASSERT_TRUE(file.open(QIODevice::ReadWrite));
  ASSERT_TRUE(file.setFileTime(past, QFileDevice::FileModificationTime));
  file.close();
  const QString into = testenv::NewTempDir("into");
  EXPECT_TRUE(ShellCopyFile(source_, into, false, false));
  const QFileInfo copy(into + "/source.avi");
  ASSERT_TRUE(copy.exists());
  EXPECT_EQ(copy.lastModified().toSecsSinceEpoch(), past.toSecsSinceEpoch());
}

TEST_F(ShellCopy, ReplacingAsksFirstAndNoKeepsTheTarget) {
  const QString target = dir_ + "/target.avi";
  ASSERT_TRUE(testenv::WriteFile(target, "keep me"));
  QStringList asked;
  bool answer = false;
  SetShellQuestion([&](const QString& text) { return asked << text, answer; });

  EXPECT_FALSE(ShellCopyFile(source_, target, false, true));
  EXPECT_EQ(testenv::ReadFile(target), "keep me");
  ASSERT_EQ(asked.size(), 1);
  EXPECT_TRUE(asked[0].contains("target.avi"));

  answer = true;
  EXPECT_TRUE(ShellCopyFile(source_, target, false, true));
  EXPECT_EQ(testenv::ReadFile(target), "new contents");
}

TEST_F(ShellCopy, FlagsDecideWhetherAMissingDirectoryIsAskedFor) {
  QStringList asked;
  SetShellQuestion([&](const QString& text) { return asked << text, false; });
  const QString target = dir_ + "/new/target.avi";
  // Confirmation on and no "create directories" flag: asked, refused.
  EXPECT_FALSE(ShellFileOperation(FO_COPY, source_, target, FOF_ALLOWUNDO, false, true));
  EXPECT_EQ(asked.size(), 1);
  EXPECT_FALSE(QFileInfo::exists(dir_ + "/new"));
  // FOF_NOCONFIRMMKDIR alone creates it without a question.
  EXPECT_TRUE(ShellFileOperation(FO_COPY, source_, target, FOF_NOCONFIRMMKDIR, false, true));
  EXPECT_EQ(asked.size(), 1);
  EXPECT_TRUE(QFileInfo::exists(target));
  // Only copying is supported; anything else reports failure.
  EXPECT_FALSE(ShellFileOperation(FO_DELETE, target, QString(), 0, false, false));
  EXPECT_TRUE(QFileInfo::exists(target));
}

TEST_F(ShellCopy, FailuresLeaveNoTargetAndAreShownOnlyWithTheProgressWindow) {
  const QString target = dir_ + "/out/target.avi";
  EXPECT_FALSE(ShellCopyFile(dir_ + "/missing.avi", target, false, false));
  EXPECT_FALSE(ShellCopyFile(dir_, target, false, false));  // a directory
  EXPECT_FALSE(QFileInfo::exists(target));
  EXPECT_TRUE(testenv::RecordedErrors().isEmpty());

  EXPECT_FALSE(ShellCopyFile(dir_ + "/missing.avi", target, true, false));
  ASSERT_EQ(testenv::RecordedErrors().size(), 1);
  EXPECT_TRUE(testenv::RecordedErrors()[0].contains("missing.avi"));

  // Onto itself: refused, the file stays whole.
  EXPECT_FALSE(ShellCopyFile(source_, source_, false, false));
  EXPECT_EQ(testenv::ReadFile(source_), "new contents");
}

TEST_F(ShellCopy, CancellingTheProgressWindowLeavesNoTargetAndKeepsTheOldOne) {
  // A pipe as the source holds the copy open until the test lets it end, so
  // the cancel always lands in the middle of the copy.
  const QString fifo = dir_ + "/stream.avi";
  ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
  const QString target = dir_ + "/target.avi";
  ASSERT_TRUE(testenv::WriteFile(target, "previous"));

  // The copy may stop reading before the writer is done.
  ::signal(SIGPIPE, SIG_IGN);
  std::atomic<bool> cancelled{false};
  std::thread writer([&] {
    const int fd = ::open(QFile::encodeName(fifo).constData(), O_WRONLY);
    const QByteArray chunk(1 << 20, 'x');
    (void)!::write(fd, chunk.constData(), chunk.size());
    while (!cancelled) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    (void)!::write(fd, chunk.constData(), chunk.size());
    ::close(fd);
  });
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* dialog = qobject_cast<QProgressDialog*>(w); dialog && !cancelled) {
        auto* button = dialog->findChild<QPushButton*>();
        ASSERT_NE(button, nullptr);
        button->click();
        cancelled = true;
      }
  });
  poll.start(10);
  const bool copied = ShellCopyFile(fifo, target, true, false);
  poll.stop();
  writer.join();

  EXPECT_TRUE(cancelled);
  EXPECT_FALSE(copied);
  EXPECT_EQ(testenv::ReadFile(target), "previous");
  EXPECT_TRUE(Leftovers(dir_).isEmpty());
  EXPECT_TRUE(testenv::RecordedErrors().isEmpty());  // a cancel is no error
}

TEST_F(ShellCopy, ASparseGigabyteCopiesByteForByte) {
  const qint64 size = (qint64(1) << 30) + 12345;
  const QList<qint64> offsets = {0, 4096, 123456789, 536870912 - 3, 1000000007, size - 16};
  {
    QFile file(source_);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_TRUE(file.resize(size));
    for (qint64 at : offsets) {
      ASSERT_TRUE(file.seek(at));
      ASSERT_EQ(file.write(QByteArray::number(at).leftJustified(16, '#')), 16);
    }
  }
  const QString target = dir_ + "/big/copy.avi";
  ASSERT_TRUE(ShellCopyFile(source_, target, false, false));

  QFile copy(target);
  ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
  EXPECT_EQ(copy.size(), size);
  for (qint64 at : offsets) {
    ASSERT_TRUE(copy.seek(at));
    EXPECT_EQ(copy.read(16), QByteArray::number(at).leftJustified(16, '#')) << at;
  }
  for (qint64 at : {qint64(100000), qint64(700000000), size - 17}) {  // inside holes
    ASSERT_TRUE(copy.seek(at));
    EXPECT_EQ(copy.read(1), QByteArray(1, '\0')) << at;
  }
}
