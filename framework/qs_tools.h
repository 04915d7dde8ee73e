#pragma once
// Paths, files and texts: the stateless helpers every part of the program
// calls. None of them raises.
#include <QString>

#include <functional>

#include "framework/qs_exception.h"
#include "platform/directory.h"

// Directory of the running program file, ending with a separator.
QString AppDir();
// `path` with the platform separator appended unless it already ends with
// one; an empty path gives the separator alone.
QString AddBackslash(const QString& path);
bool IsExistingFile(const QString& name);
// Whether the volume at `drive` answers, without ever prompting.
bool DriveReady(const QString& drive);

using TSearchRec = platform::DirEntry;
// Called with the full path (directory with separator, then the name) and
// the entry as the enumeration returned it.
using TFileCallback = std::function<void(const QString& path, const TSearchRec& entry)>;

// Reports the plain files matching `mask` (case-insensitive wildcards); hidden
// entries and directories are left out.
void ForEachFile(const QString& mask, const TFileCallback& callback);
// As ForEachFile, for `depth` levels of directories (negative: all), deepest
// first. Each real directory is walked once, so link loops end.
void ForEachFileTree(const QString& mask, int depth, const TFileCallback& callback);

int MinOf(int a, int b);
int MaxOf(int a, int b);
// Accepts "," or "." as the decimal mark whatever the locale; `def` when the
// text is not a number.
double TextToFloat(const QString& text, double def);
// "m:ss" up to 3600 seconds, "h:mm:ss" above.
QString SecondsToText(qint64 seconds);
QString IfThenText(bool flag, const QString& whenTrue, const QString& whenFalse);
QChar UpperChar(QChar c);

// ------------------------------------------------------------ desktop tools

// Failures of the desktop tools, with a message for the user.
class EToolsError : public Exception {
 public:
  using Exception::Exception;
};

// The message for a shell-execute error code; empty for unknown codes.
QString ShellErrorText(int code);
// Opens a document or web address with its associated program; raises
// EToolsError on failure.
void ShellOpen(const QString& target);
