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

// Reports the plain files matching `mask` (case-insensitive wildcards; the
// name part may hold several, separated by ";", as "*.avi;*.mkv"); hidden
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

// Shell file operations and their flags, with the shell's values.
inline constexpr int FO_MOVE = 1;
inline constexpr int FO_COPY = 2;
inline constexpr int FO_DELETE = 3;
inline constexpr int FO_RENAME = 4;
inline constexpr quint16 FOF_SILENT = 4;              // no progress window
inline constexpr quint16 FOF_NOCONFIRMATION = 16;     // yes to every question
inline constexpr quint16 FOF_ALLOWUNDO = 64;
inline constexpr quint16 FOF_NOCONFIRMMKDIR = 512;    // create target directories unasked
inline constexpr quint16 FOF_NOERRORUI = 1024;        // no message when it fails

// Runs a file operation; true exactly when it succeeded. Copying is the
// operation supported here: into a temporary file beside the target,
// renamed over it at the end, so a failed or cancelled copy leaves no
// partial target. The data moves on a worker thread while the window keeps
// painting. `to` may name an existing directory, which receives the file
// under its own name.
bool ShellFileOperation(int operation, const QString& from, const QString& to, quint16 flags, bool showProgress,
                        bool confirm);
// Copies one file (missing target directories created without asking).
bool ShellCopyFile(const QString& from, const QString& to, bool showProgress, bool confirm);

// Answers the shell's yes/no questions (replace a file, create a
// directory); empty restores the message box. Tests answer instead.
using TShellQuestion = std::function<bool(const QString& text)>;
void SetShellQuestion(TShellQuestion question);

// Screen saver, low-power and power-off phases. Each Disable... switches
// its phase off when it is on and returns whether it was on; each
// Enable... switches it on and returns whether the system accepted.
bool DisableScreenSaver();
bool EnableScreenSaver();
bool DisableLowPower();
bool EnableLowPower();
bool DisablePowerOff();
bool EnablePowerOff();

struct TDisplayMode {
  qint32 Width = 0;         // below 1: keep the current width
  qint32 Height = 0;        // below 1: keep the current height
  qint32 BitsPerPixel = 0;  // negative: keep the current value
  qint32 Frequency = 0;     // negative: keep the current value
};

TDisplayMode MakeDisplayMode(int width, int height, int bitsPerPixel, int frequency);
// Switches the display to `mode` for this session; raises EToolsError when
// the display cannot take it. Does nothing when nothing would change or
// there is no display to change.
void ChangeDisplayMode(const TDisplayMode& mode);
// The screen settings mode of the parameters: 1 switches to 800 x 600,
// every other value does nothing.
void ApplyScreenSettingsMode(quint8 screenSettingsMode);
// Back to the mode in force before the first change; the outcome is
// ignored.
void RestoreDisplayMode();

// The system request ChangeDisplayMode builds: `request` with the kept
// fields filled from `current` (whose frequency counts as 0), and the mask
// of fields that differ from it (platform::kChange...). Mask 0: nothing to
// change.
struct TDisplayRequest {
  TDisplayMode Mode;
  unsigned Fields = 0;
};
TDisplayRequest MakeDisplayRequest(const TDisplayMode& current, const TDisplayMode& request);
