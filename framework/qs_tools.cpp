#include "framework/qs_tools.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>

#include <charconv>
#include <set>

#include "platform/desktop_open.h"
#include "platform/program_path.h"
#include "platform/volume.h"

namespace {

constexpr QChar kSeparator = QLatin1Char(platform::PathSeparator);

struct MaskParts {
  QString Directory;  // absolute, with trailing separator
  QString Pattern;
};

MaskParts SplitMask(const QString& mask) {
  const QFileInfo info(mask);
  QString pattern = info.fileName();
  QString dir = info.absolutePath();
  if (mask.endsWith(kSeparator)) {  // a bare directory: every file
    pattern = QStringLiteral("*");
    dir = QFileInfo(mask.chopped(1)).absoluteFilePath();
  }
  return {AddBackslash(QDir::cleanPath(dir)), pattern};
}

QRegularExpression PatternMatcher(const QString& pattern) {
  // Several wildcards separated by ";" match a file when any one does.
  QStringList alternatives;
  for (const QString& part : pattern.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
    // "*.*" means every file, also those without an extension.
    const QString wildcard = part == QStringLiteral("*.*") ? QStringLiteral("*") : part;
    // Anchored: "*.avi" must not take "x.avi.part" or "x.avix".
    alternatives << QStringLiteral("(?:%1)").arg(QRegularExpression::wildcardToRegularExpression(wildcard));
  }
  if (alternatives.isEmpty()) alternatives << QStringLiteral("(?!)");  // nothing matches
  return QRegularExpression(alternatives.join(QLatin1Char('|')), QRegularExpression::CaseInsensitiveOption);
}

void ListFiles(const MaskParts& mask, const QList<TSearchRec>& entries, const QRegularExpression& matcher,
               const TFileCallback& callback) {
  for (const TSearchRec& entry : entries) {
    if (entry.Directory || entry.Hidden) continue;
    if (!matcher.match(entry.Name).hasMatch()) continue;
    callback(mask.Directory + entry.Name, entry);
  }
}

void ListFiles(const MaskParts& mask, const TFileCallback& callback) {
  ListFiles(mask, platform::ListDirectory(mask.Directory), PatternMatcher(mask.Pattern), callback);
}

void WalkTree(const MaskParts& mask, const QRegularExpression& matcher, int depth, const TFileCallback& callback,
              std::set<platform::DirIdentity>& visited) {
  if (depth == 0) return;
  const auto identity = platform::DirectoryIdentity(mask.Directory);
  if (!identity || !visited.insert(*identity).second) return;  // gone, or walked already
  // One listing for both passes: every entry is stated and dated once, which
  // is most of a walk's cost.
  const QList<TSearchRec> entries = platform::ListDirectory(mask.Directory);
  if (depth != 1) {
    for (const TSearchRec& entry : entries) {
      if (!entry.Directory || entry.Hidden) continue;
      WalkTree({mask.Directory + entry.Name + kSeparator, mask.Pattern}, matcher, depth - 1, callback, visited);
    }
  }
  ListFiles(mask, entries, matcher, callback);
}

}  // namespace

QString AppDir() {
  static const QString dir = AddBackslash(QFileInfo(platform::ProgramFilePath()).absolutePath());
  return dir;
}

QString AddBackslash(const QString& path) {
  if (path.endsWith(kSeparator)) return path;
  return path + kSeparator;
}

bool IsExistingFile(const QString& name) {
  if (name.isEmpty()) return false;
  const QFileInfo info(name);
  return info.exists() && !info.isDir();
}

bool DriveReady(const QString& drive) {
  if (drive.isEmpty()) return false;
  // A lone drive letter names the root of that drive ("/" stays the root).
  const QString root = drive.size() == 1 && drive[0].isLetter() ? drive + QStringLiteral(":\\") : drive;
  return platform::VolumeReady(root);
}

void ForEachFile(const QString& mask, const TFileCallback& callback) { ListFiles(SplitMask(mask), callback); }

void ForEachFileTree(const QString& mask, int depth, const TFileCallback& callback) {
  std::set<platform::DirIdentity> visited;
  const MaskParts parts = SplitMask(mask);
  WalkTree(parts, PatternMatcher(parts.Pattern), depth, callback, visited);
}

int MinOf(int a, int b) { return a < b ? a : b; }
int MaxOf(int a, int b) { return a > b ? a : b; }

namespace {

// "-" at most, digits, then a mark and digits at most: the form the records
// are written in, read without the locale (each locale look-up asks the
// system, which costs more than the rest of a record).
bool IsPlainDecimal(const QString& text, qsizetype& mark) {
  mark = -1;
  qsizetype i = text.startsWith(QLatin1Char('-')) ? 1 : 0;
  const qsizetype firstDigit = i;
  for (; i < text.size(); ++i) {
    const char16_t c = text[i].unicode();
    if (c >= u'0' && c <= u'9') continue;
    if ((c == u'.' || c == u',') && mark < 0 && i > firstDigit) {
      mark = i;
      continue;
    }
    return false;
  }
  const qsizetype lastDigit = text.size() - 1;
  return lastDigit >= firstDigit && mark != lastDigit;
}

}  // namespace

double TextToFloat(const QString& text, double def) {
  qsizetype mark = -1;
  if (IsPlainDecimal(text, mark)) {
    QByteArray ascii = text.toLatin1();
    if (mark >= 0) ascii[mark] = '.';
    double value = 0;
    const auto [end, error] = std::from_chars(ascii.constData(), ascii.constData() + ascii.size(), value);
    return error == std::errc() && end == ascii.constData() + ascii.size() ? value : def;
  }
  QLocale locale;
  locale.setNumberOptions(QLocale::RejectGroupSeparator);
  const QString separator = locale.decimalPoint();
  QString normalised;
  normalised.reserve(text.size());
  for (const QChar c : text) {
    if (c == QLatin1Char(',') || c == QLatin1Char('.'))
      normalised += separator;
    else
      normalised += c;
  }
  bool ok = false;
  const double value = locale.toDouble(normalised, &ok);
  return ok ? value : def;
}

QString SecondsToText(qint64 seconds) {
  if (seconds <= 3600)
    return QString::asprintf("%lld:%2.2lld", static_cast<long long>(seconds / 60),
                             static_cast<long long>(seconds % 60));
  return QString::asprintf("%lld:%2.2lld:%2.2lld", static_cast<long long>(seconds / 3600),
                           static_cast<long long>((seconds % 3600) / 60), static_cast<long long>(seconds % 60));
}

QString IfThenText(bool flag, const QString& whenTrue, const QString& whenFalse) {
  return flag ? whenTrue : whenFalse;
}

QChar UpperChar(QChar c) {
  if (c >= QLatin1Char('a') && c <= QLatin1Char('z')) return QChar(c.unicode() - 'a' + 'A');
  return c;
}

// ------------------------------------------------------------ desktop tools

QString ShellErrorText(int code) {
  switch (code) {
    case 0: return QStringLiteral("The operating system is out of memory or resources.");
    case 2: return QStringLiteral("The specified file was not found.");
    case 3: return QStringLiteral("The specified path was not found.");
    case 5: return QStringLiteral("The operating system denied access to the specified file.");
    case 8: return QStringLiteral("There was not enough memory to complete the operation.");
    case 11: return QStringLiteral("The .EXE file is invalid (non-Win32 .EXE or error in .EXE image).");
    case 26: return QStringLiteral("A sharing violation occurred.");
    case 27: return QStringLiteral("The filename association is incomplete or invalid.");
    case 28: return QStringLiteral("The DDE transaction could not be completed because the request timed out.");
    case 29: return QStringLiteral("The DDE transaction failed.");
    case 30:
      return QStringLiteral(
          "The DDE transaction could not be completed because other DDE transactions were being processed.");
    case 31: return QStringLiteral("There is no application associated with the given filename extension.");
    case 32: return QStringLiteral("The specified dynamic-link library was not found.");
    default: return QString();
  }
}

void ShellOpen(const QString& target) {
  const int result = platform::DesktopOpen(QStringLiteral("file:") + target);
  if (result <= 32) throw EToolsError(ShellErrorText(result));
}
