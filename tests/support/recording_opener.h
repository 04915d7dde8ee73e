#pragma once
// Points CINVO_OPENER at a script that records its arguments and exits with
// the given code, for as long as the object lives.
#include <QFile>
#include <QString>
#include <QStringList>

#include "tests/support/test_env.h"

namespace testenv {

class RecordingOpener {
 public:
  explicit RecordingOpener(int exitCode = 0) {
    const QString dir = NewTempDir(QStringLiteral("opener"));
    log_ = dir + QStringLiteral("/calls.log");
    const QString script = dir + QStringLiteral("/opener.sh");
    WriteFile(script, QStringLiteral("#!/bin/sh\nprintf '%s\\n' \"$*\" >> '%1'\nexit %2\n").arg(log_).arg(exitCode).toUtf8());
    QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("CINVO_OPENER", script.toLocal8Bit());
  }
  ~RecordingOpener() { qunsetenv("CINVO_OPENER"); }
  QStringList Calls() const { return QString::fromUtf8(ReadFile(log_)).split(QLatin1Char('\n'), Qt::SkipEmptyParts); }

 private:
  QString log_;
};

}  // namespace testenv
