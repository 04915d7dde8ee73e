#pragma once
// What every test process gets: its own temporary directory, hive and
// MovieList.ini, and an error display that records instead of blocking.
#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>

namespace testenv {

// A directory private to this test process, removed at exit.
QString ProcessTempDir();
// A fresh empty directory below ProcessTempDir().
QString NewTempDir(const QString& hint = QStringLiteral("dir"));
// The hive and movie records files this process uses.
QString HivePath();
QString MovieListFile();

// Messages that reached the default error display.
QStringList& RecordedErrors();
// Runs the event loop until pending queued calls (deferred error reports)
// have run.
void DrainEvents();
// Runs the event loop until `done` holds or `ms` have passed.
bool WaitForEvents(const std::function<bool()>& done, int ms = 20000);

// Writes `data` to `path`, creating directories; false on failure.
bool WriteFile(const QString& path, const QByteArray& data);
QByteArray ReadFile(const QString& path);

}  // namespace testenv
