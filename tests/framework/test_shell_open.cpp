#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QFile>
#include <QThread>

#include "framework/qs_tools.h"
#include "platform/desktop_open.h"
#include "tests/support/recording_opener.h"
#include "tests/support/test_env.h"

namespace {

using testenv::RecordingOpener;

QString ErrorOf(const QString& target) {
  try {
    ShellOpen(target);
  } catch (const EToolsError& e) {
    return e.Message();
  }
  return QStringLiteral("<no error>");
}

}  // namespace

TEST(ShellOpen, OpensAnExistingFileOnceAsAFileUrl) {
  RecordingOpener opener(0);
  const QString file = testenv::NewTempDir() + "/My Movie.avi";
  ASSERT_TRUE(testenv::WriteFile(file, "x"));
  ShellOpen(file);
  EXPECT_EQ(opener.Calls(), QStringList({"file://" + QString(file).replace(" ", "%20")}));
}

TEST(ShellOpen, WebAddressesReachTheOpenerUnchanged) {
  RecordingOpener opener(0);
  ShellOpen("https://example.invalid/V2/articles.php?lng=fr&pg=11");
  EXPECT_EQ(opener.Calls(), QStringList({"https://example.invalid/V2/articles.php?lng=fr&pg=11"}));
  EXPECT_EQ(platform::OpenerArgument("file:mailto:someone@example.invalid"), "mailto:someone@example.invalid");
}

TEST(ShellOpen, FailuresRaiseTheirMessagesAndNeverPassAsSuccess) {
  RecordingOpener noTool(3);
  const QString dir = testenv::NewTempDir();
  EXPECT_EQ(ErrorOf(dir + "/missing.avi"), "The specified file was not found.");
  EXPECT_EQ(ErrorOf(dir + "/no/such/dir/missing.avi"), "The specified path was not found.");
  EXPECT_TRUE(noTool.Calls().isEmpty());  // nothing to open: the opener is not asked

  ASSERT_TRUE(testenv::WriteFile(dir + "/notes.xyz", "x"));
  EXPECT_EQ(ErrorOf(dir + "/notes.xyz"), "There is no application associated with the given filename extension.");
  EXPECT_EQ(noTool.Calls().size(), 1);

  qputenv("CINVO_OPENER", "/nonexistent/opener");
  EXPECT_EQ(ErrorOf(dir + "/notes.xyz"), "There is no application associated with the given filename extension.");
}

TEST(ShellOpen, AProgramTheOpenerLeavesRunningOutlivesItsOutput) {
  // Openers commonly start the program in the background and exit; the
  // program keeps their standard output and error.
  const QString dir = testenv::NewTempDir("opener");
  const QString marker = dir + "/still-alive";
  const QString script = dir + "/opener.sh";
  ASSERT_TRUE(testenv::WriteFile(
      script, QStringLiteral("#!/bin/sh\n(sleep 0.3; echo playing; echo warning >&2; touch '%1') &\nexit 0\n")
                  .arg(marker)
                  .toUtf8()));
  QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  qputenv("CINVO_OPENER", script.toLocal8Bit());
  const QString movie = dir + "/movie.avi";
  ASSERT_TRUE(testenv::WriteFile(movie, "x"));
  ShellOpen(movie);
  testenv::DrainEvents();  // the opener's process object goes away
  for (QDeadlineTimer deadline(15000); !QFile::exists(marker) && !deadline.hasExpired();) QThread::msleep(20);
  qunsetenv("CINVO_OPENER");
  EXPECT_TRUE(QFile::exists(marker));
}

TEST(ShellOpen, ErrorTextTable) {
  EXPECT_EQ(ShellErrorText(2), "The specified file was not found.");
  EXPECT_EQ(ShellErrorText(31), "There is no application associated with the given filename extension.");
  EXPECT_EQ(ShellErrorText(0), "The operating system is out of memory or resources.");
  EXPECT_EQ(ShellErrorText(4), "");
  EXPECT_EQ(ShellErrorText(33), "");
}
