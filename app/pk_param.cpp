#include "app/pk_param.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <limits>
#include <memory>
#include <string>

#include "framework/qs_application.h"
#include "framework/qs_contexte.h"
#include "framework/qs_datadirs.h"
#include "framework/qs_tools.h"
#include "platform/directory.h"
#include "platform/file_lock.h"

namespace {

std::unique_ptr<TRBParameters>& ParametersInstance() {
  static std::unique_ptr<TRBParameters> instance;
  return instance;
}

std::unique_ptr<TMovieListDocument>& MovieListInstance() {
  static std::unique_ptr<TMovieListDocument> instance;
  return instance;
}

const QString kViewCount = QStringLiteral("ViewCount");
const QString kViewDate = QStringLiteral("ViewDate");
const QString kViewStrDate = QStringLiteral("ViewStrDate");
const QString kViewPosition = QStringLiteral("ViewPosition");
const QString kSubtitle = QStringLiteral("Subtitle");

QString FloatText(double value) {
  QString text = QString::number(value, 'g', 15);
  return text.replace(QLatin1Char('.'), QLocale().decimalPoint());
}

// What INI text cannot carry unchanged in a section name: brackets and "="
// anywhere, a comment mark at the start, line breaks and other control
// characters, blanks around it (readers trim them), and "%" once escaped.
bool BreaksSection(char32_t c, bool first) {
  return c < 0x20 || c == 0x7f || c == U'[' || c == U']' || c == U'=' || (first && (c == U';' || c == U'#'));
}

bool IsPlainSectionName(const QString& name) {
  if (name.isEmpty() || name.front().isSpace() || name.back().isSpace()) return false;
  for (qsizetype i = 0; i < name.size(); ++i)
    if (BreaksSection(name[i].unicode(), i == 0)) return false;
  return true;
}

QByteArray PercentByte(unsigned char u) { return '%' + QByteArray::number(u, 16).toUpper().rightJustified(2, '0'); }

// A document as this file has always been written: bytes kept as they are
// (a file written elsewhere in another code page still reads, and is
// written back unchanged), "Key=Value" without blanks.
std::unique_ptr<CSimpleIniA> NewIni() {
  auto ini = std::make_unique<CSimpleIniA>(false, false, false);
  ini->SetUnicode(false);
  ini->SetSpaces(false);
  return ini;
}

// How SimpleIni compares names: ASCII letters without regard to case.
bool SameName(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

QString SaveFailureText(const QString& fileName, platform::TWriteFailure failure, const QString& reason) {
  if (failure == platform::TWriteFailure::DiskFull)
    return QStringLiteral("There is not enough space on the disk to save the movie records in %1. "
                          "The previous file was kept.")
        .arg(fileName);
  return QStringLiteral("The movie records could not be saved to %1: %2. The previous file was kept.")
      .arg(fileName, reason);
}

// Rewrites made again because the file changed just before a rename; the
// last one replaces it whatever happens meanwhile.
constexpr int kMergeAttempts = 20;

}  // namespace

// ---------------------------------------------------------------- parameters

namespace {

// A stored value outside its range (a settings file edited by hand) is
// taken as the default: one bad value must not keep the program from
// starting.
int ReadInRange(const QString& name, int def, int low, int high) {
  const int value = Contexte->ReadInteger(name, def);
  return value >= low && value <= high ? value : def;
}

}  // namespace

void TRBParameters::Load() {
  Recurse = Contexte->ReadBool(QStringLiteral("Recurse"), false);
  MovieDir = Contexte->ReadString(QStringLiteral("MovieDir"), DefaultMovieDir());
  CDReader = Contexte->ReadString(QStringLiteral("CDReader"), QString());
  ExitOnView = Contexte->ReadBool(QStringLiteral("ExitOnView"), false);
  InternalViewer = Contexte->ReadBool(QStringLiteral("InternalViewer"), true);
  CopyFromCD = Contexte->ReadBool(QStringLiteral("CopyFromCD"), true);
  ScreenSettingsMode = static_cast<std::uint8_t>(ReadInRange(QStringLiteral("ScreenSettingsMode"), 0, 0, 1));
  Brightness = ReadInRange(QStringLiteral("Brightness"), 5000, 0, 10000);
  MovieTypes = Contexte->ReadString(QStringLiteral("MovieTypes"), kDefaultMovieTypes);
  Volume = std::clamp(Contexte->ReadInteger(QStringLiteral("Volume"), 100), 0, 100);
  Muted = Contexte->ReadBool(QStringLiteral("Muted"), false);
}

void TRBParameters::Save() const {
  Contexte->WriteBool(QStringLiteral("Recurse"), Recurse);
  Contexte->WriteString(QStringLiteral("MovieDir"), MovieDir);
  Contexte->WriteString(QStringLiteral("CDReader"), CDReader);
  Contexte->WriteBool(QStringLiteral("InternalViewer"), InternalViewer);
  Contexte->WriteBool(QStringLiteral("ExitOnView"), ExitOnView);
  Contexte->WriteBool(QStringLiteral("CopyFromCD"), CopyFromCD);
  Contexte->WriteInteger(QStringLiteral("ScreenSettingsMode"), ScreenSettingsMode);
  Contexte->WriteInteger(QStringLiteral("Brightness"), Brightness);
  Contexte->WriteString(QStringLiteral("MovieTypes"), MovieTypes);
  Contexte->WriteInteger(QStringLiteral("Volume"), Volume);
  Contexte->WriteBool(QStringLiteral("Muted"), Muted);
}

void TRBParameters::SetSoundLevel(double level) {
  Volume = std::clamp(static_cast<int>(std::lround(level * 100)), 0, 100);
  Muted = false;
}

const QString kDefaultMovieTypes = QStringLiteral("*.avi");
const QString kCommonMovieTypes = QStringLiteral(
    "*.avi *.mkv *.mp4 *.m4v *.mov *.webm *.mpg *.mpeg *.ts *.m2ts *.wmv *.ogv *.flv *.3gp");

QStringList MovieTypePatterns(const QString& types) {
  static const QRegularExpression separators(QStringLiteral("[\\s,;]+"));
  QStringList patterns;
  for (QString pattern : types.split(separators, Qt::SkipEmptyParts)) {
    if (pattern.contains(QLatin1Char('/')) || pattern.contains(QLatin1Char('\\'))) continue;
    if (pattern.startsWith(QLatin1Char('.')))
      pattern.prepend(QLatin1Char('*'));
    else if (!pattern.contains(QLatin1Char('*')) && !pattern.contains(QLatin1Char('?')) &&
             !pattern.contains(QLatin1Char('.')))
      pattern.prepend(QStringLiteral("*."));
    if (!patterns.contains(pattern, Qt::CaseInsensitive)) patterns << pattern;
  }
  return patterns;
}

QString MovieMask(const QString& directory, const QString& types) {
  return AddBackslash(directory) + MovieTypePatterns(types).join(QLatin1Char(';'));
}

TRBParameters& Parameters() {
  auto& instance = ParametersInstance();
  if (!instance) instance = std::make_unique<TRBParameters>();
  return *instance;
}

void ReleaseParameters() { ParametersInstance().reset(); }

// ------------------------------------------------------- MovieList document

TMovieListDocument::TMovieListDocument(QString fileName) : fFileName(std::move(fileName)) {
  if (!QFile::exists(fFileName)) {
    fIni = NewIni();
    return;
  }
  fIni = ReadFile(fReadStamp);
  if (!fIni) {
    // Not text or not readable: read as empty, and kept under another name
    // before the first flush replaces it.
    fIni = NewIni();
    fSetAsideBeforeWrite = true;
  }
}

TMovieListDocument::~TMovieListDocument() = default;

std::unique_ptr<CSimpleIniA> TMovieListDocument::ReadFile(platform::TFileStamp& stamp) const {
  QFile file(fFileName);
  if (!file.open(QIODevice::ReadOnly)) return nullptr;
  // The version of exactly the bytes read: a file replaced meanwhile shows
  // as changed at the next flush.
  stamp = platform::StampOfOpenFile(file.handle());
  const QByteArray data = file.readAll();
  if (file.error() != QFileDevice::NoError) return nullptr;
  auto ini = NewIni();
  if (data.contains('\0') || ini->LoadData(data.constData(), static_cast<size_t>(data.size())) < 0) return nullptr;
  return ini;
}

void TMovieListDocument::MergeFileChanges() {
  const platform::TFileStamp now = platform::StampOf(fFileName);
  if (!now.Exists) {
    fReadStamp = now;  // removed meanwhile: this document is all there is
    return;
  }
  if (now == fReadStamp && !fSetAsideBeforeWrite) return;
  platform::TFileStamp stamp;
  std::unique_ptr<CSimpleIniA> fresh = ReadFile(stamp);
  if (!fresh) {
    fSetAsideBeforeWrite = true;  // this document replaces it, after it is kept aside
    return;
  }
  ApplyAll(*fresh, fChanges);
  fIni = std::move(fresh);
  fReadStamp = stamp;
  fSetAsideBeforeWrite = false;
}

QByteArray TMovieListDocument::SectionName(const QString& movieName) {
  if (IsPlainSectionName(movieName)) return movieName.toUtf8();
  QByteArray name("#");
  const QList<uint> characters = movieName.toUcs4();
  for (qsizetype i = 0; i < characters.size(); ++i) {
    const char32_t c = characters[i];
    const bool edge = (i == 0 || i == characters.size() - 1) && QChar::isSpace(c);
    if (c == U'%' || edge || BreaksSection(c, i == 0)) {
      for (const char byte : QString::fromUcs4(&c, 1).toUtf8()) name += PercentByte(static_cast<unsigned char>(byte));
    } else {
      name += QString::fromUcs4(&c, 1).toUtf8();
    }
  }
  return name;
}

std::vector<QByteArray> TMovieListDocument::OlderSectionNames(const QString& movieName) {
  std::vector<QByteArray> names;
  const QByteArray current = SectionName(movieName);
  // Every byte but ASCII letters, digits, ".", "_" and "-" escaped, unless
  // the name was printable ASCII without INI meaning.
  bool ordinary = !movieName.isEmpty() && !movieName.front().isSpace() && !movieName.back().isSpace();
  for (const QChar c : movieName)
    ordinary = ordinary && c.unicode() >= 0x20 && c.unicode() < 0x7f && !QStringLiteral("[]=;#").contains(c);
  QByteArray escaped = ordinary ? movieName.toLatin1() : QByteArray("#");
  if (!ordinary)
    for (const char byte : movieName.toUtf8()) {
      const auto u = static_cast<unsigned char>(byte);
      const bool kept = (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || u == '.' ||
                        u == '_' || u == '-';
      escaped += kept ? QByteArray(1, byte) : PercentByte(u);
    }
  if (escaped != current) names.push_back(escaped);
  // The 8-bit code page a records file from another system was written in.
  bool latin1 = IsPlainSectionName(movieName);
  bool wide = false;
  for (const QChar c : movieName) {
    latin1 = latin1 && c.unicode() < 0x100;
    wide = wide || c.unicode() >= 0x80;
  }
  if (latin1 && wide) names.push_back(movieName.toLatin1());
  return names;
}

QByteArray TMovieListDocument::FoundSection(const CSimpleIniA& ini, const QString& movieName) const {
  const QByteArray name = SectionName(movieName);
  if (ini.GetSectionSize(name.constData()) >= 0) return name;
  for (const QByteArray& older : OlderSectionNames(movieName))
    if (ini.GetSectionSize(older.constData()) >= 0) return older;
  return name;
}

std::optional<QString> TMovieListDocument::ReadValue(const QString& movieName, const QString& key) const {
  const char* value = fIni->GetValue(FoundSection(*fIni, movieName).constData(), key.toLatin1().constData(), nullptr);
  if (!value) return std::nullopt;
  return QString::fromUtf8(value);
}

QString TMovieListDocument::ReadString(const QString& movieName, const QString& key, const QString& def) const {
  return ReadValue(movieName, key).value_or(def);
}

QStringList TMovieListDocument::ReadStrings(const QString& movieName, std::initializer_list<QString> keys) const {
  QStringList values;
  values.reserve(qsizetype(keys.size()));
  const CSimpleIniA::TKeyVal* section = fIni->GetSection(FoundSection(*fIni, movieName).constData());
  for (const QString& key : keys) {
    const QByteArray name = key.toLatin1();
    const char* value = nullptr;
    if (section) {
      const auto found = section->find(CSimpleIniA::Entry(name.constData()));
      if (found != section->end()) value = found->second;
    }
    values << (value ? QString::fromUtf8(value) : QString());
  }
  return values;
}

TMovieListDocument::TChange TMovieListDocument::NewChange(TChange::TKind kind, const QString& movieName,
                                                          const QString& key) const {
  TChange change;
  change.Kind = kind;
  change.Section = SectionName(movieName).toStdString();
  for (const QByteArray& older : OlderSectionNames(movieName)) change.Older.push_back(older.toStdString());
  change.Key = key.toLatin1().toStdString();
  return change;
}

void TMovieListDocument::WriteString(const QString& movieName, const QString& key, const QString& value,
                                     const std::optional<TAsOf>& asOf) {
  TChange change = NewChange(TChange::TKind::Set, movieName, key);
  change.Value = value.toUtf8().toStdString();
  if (asOf) {
    change.AsOfKey = asOf->Key.toLatin1().toStdString();
    change.AsOfValue = asOf->Value.toUtf8().toStdString();
  }
  Record(std::move(change));
}

void TMovieListDocument::AddToInteger(const QString& movieName, const QString& key, int delta, bool removeAtZero) {
  TChange change = NewChange(TChange::TKind::Add, movieName, key);
  change.Delta = delta;
  change.RemoveAtZero = removeAtZero;
  Record(std::move(change));
}

void TMovieListDocument::RemoveKey(const QString& movieName, const QString& key, const std::optional<TAsOf>& asOf) {
  TChange change = NewChange(TChange::TKind::Remove, movieName, key);
  if (asOf) {
    change.AsOfKey = asOf->Key.toLatin1().toStdString();
    change.AsOfValue = asOf->Value.toUtf8().toStdString();
  }
  Record(std::move(change));
}

void TMovieListDocument::Record(TChange change) {
  ApplyAll(*fIni, {change});
  for (auto earlier = fChanges.begin(); earlier != fChanges.end(); ++earlier) {
    if (!SameName(earlier->Section, change.Section) || !SameName(earlier->Key, change.Key)) continue;
    // One change per key: increments add up, anything else replaces.
    if (earlier->Kind == TChange::TKind::Add && change.Kind == TChange::TKind::Add) {
      earlier->Delta += change.Delta;
      earlier->RemoveAtZero = change.RemoveAtZero;
    } else {
      *earlier = std::move(change);
    }
    return;
  }
  fChanges.push_back(std::move(change));
}

void TMovieListDocument::ApplyAll(CSimpleIniA& ini, const std::vector<TChange>& changes) {
  // Whether each view still is the latest is judged on the file as it is,
  // before any of them changes it.
  std::vector<bool> holds;
  holds.reserve(changes.size());
  for (const TChange& change : changes) {
    bool latest = true;
    if (!change.AsOfKey.empty()) {
      std::string section = change.Section;
      for (const std::string& older : change.Older)
        if (ini.GetSectionSize(section.c_str()) < 0 && ini.GetSectionSize(older.c_str()) >= 0) section = older;
      const char* stored = ini.GetValue(section.c_str(), change.AsOfKey.c_str(), nullptr);
      latest = !stored || TextToFloat(QString::fromUtf8(stored), 0) <=
                              TextToFloat(QString::fromStdString(change.AsOfValue), 0);
    }
    holds.push_back(latest);
  }
  for (size_t i = 0; i < changes.size(); ++i) {
    const TChange& change = changes[i];
    const char* section = change.Section.c_str();
    // A record under an older name moves to the current one.
    for (const std::string& older : change.Older) {
      CSimpleIniA::TNamesDepend keys;
      if (!ini.GetAllKeys(older.c_str(), keys)) continue;
      keys.sort(CSimpleIniA::Entry::LoadOrder());
      for (const CSimpleIniA::Entry& key : keys)
        if (!ini.GetValue(section, key.pItem, nullptr))
          ini.SetValue(section, key.pItem, ini.GetValue(older.c_str(), key.pItem, ""));
      ini.Delete(older.c_str(), nullptr);
    }
    if (!holds[i]) continue;
    const char* key = change.Key.c_str();
    switch (change.Kind) {
      case TChange::TKind::Set:
        ini.SetValue(section, key, change.Value.c_str());
        break;
      case TChange::TKind::Remove:
        ini.Delete(section, key, true);
        break;
      case TChange::TKind::Add: {
        bool ok = false;
        const qint64 stored = QByteArray(ini.GetValue(section, key, "")).trimmed().toLongLong(&ok);
        const qint64 sum = std::clamp<qint64>((ok ? stored : 0) + change.Delta, 0,
                                              std::numeric_limits<std::int32_t>::max());
        // A hand-edited number beyond the range stays as it is.
        if (ok && stored >= std::numeric_limits<std::int32_t>::max() && change.Delta >= 0) break;
        if (sum == 0 && change.RemoveAtZero)
          ini.Delete(section, key, true);
        else
          ini.SetValue(section, key, QByteArray::number(sum).constData());
        break;
      }
    }
  }
}

bool TMovieListDocument::SectionExists(const QString& movieName) const {
  return fIni->GetSectionSize(FoundSection(*fIni, movieName).constData()) >= 0;
}

void TMovieListDocument::ReportFailure(const QString& message, bool denied) {
  if (denied) {
    // Nothing the program can change: said once, then the changes wait.
    if (fDeniedReported) return;
    fDeniedReported = true;
  }
  ReportErrorLater(message);
}

bool TMovieListDocument::Flush() {
  // A records file that is a symbolic link is written through to its
  // target, and its lock and copies are made beside that.
  const QString target = platform::WriteTarget(fFileName);
  platform::TFileLock lock(target + QStringLiteral(".lock"));
  switch (lock.Lock(5000)) {
    case platform::TFileLock::Result::Locked:
    case platform::TFileLock::Result::Unsupported:  // a file system without locks: write unlocked
      break;
    case platform::TFileLock::Result::TimedOut:
      ReportErrorLater(QStringLiteral("The movie records file %1 is locked by another program. "
                                      "The records will be saved with the next change.")
                           .arg(fFileName));
      return false;
    case platform::TFileLock::Result::Failed: {
      const int error = lock.ErrorCode();
      ReportFailure(SaveFailureText(fFileName,
                                    error == ENOSPC || error == EDQUOT ? platform::TWriteFailure::DiskFull
                                                                      : platform::TWriteFailure::Other,
                                    lock.Error()),
                    error == EACCES || error == EPERM || error == EROFS);
      return false;
    }
  }
  platform::RemoveLeftoverCopies(target, lock.Held());

  for (int attempt = 1;; ++attempt) {
    MergeFileChanges();
    std::string text;
    if (fIni->Save(text) < 0) {
      ReportErrorLater(QStringLiteral("The movie records could not be prepared for %1.").arg(fFileName));
      return false;
    }
    if (fSetAsideBeforeWrite && QFile::exists(target)) {
      const QString aside = target + QStringLiteral(".unreadable-") +
                            QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
      if (!QFile::rename(target, aside)) {
        ReportErrorLater(QStringLiteral("The movie records file %1 cannot be read and cannot be set aside, "
                                        "so it was not replaced.")
                             .arg(fFileName));
        return false;
      }
      fReadStamp = platform::TFileStamp();
    }
    fSetAsideBeforeWrite = false;
    // An edit made by hand while this copy was written is merged in first.
    platform::TStillCurrent stillCurrent;
    if (attempt < kMergeAttempts) stillCurrent = [&] { return platform::StampOf(target) == fReadStamp; };
    const platform::TWriteResult written = platform::ReplaceFileContents(
        target, QByteArray::fromRawData(text.data(), static_cast<qsizetype>(text.size())), stillCurrent);
    if (written.Failure == platform::TWriteFailure::Changed) continue;
    if (!written.Ok()) {
      ReportFailure(SaveFailureText(fFileName, written.Failure, written.Error),
                    written.Failure == platform::TWriteFailure::Denied);
      return false;
    }
    fChanges.clear();
    fReadStamp = written.Written;
    return true;
  }
}

QString MovieListPath() {
  const QString overridePath = qEnvironmentVariable("CINVO_MOVIELIST");
  return overridePath.isEmpty() ? UserDataDir() + QStringLiteral("MovieList.ini") : overridePath;
}

TMovieListDocument& MovieList() {
  auto& instance = MovieListInstance();
  if (!instance) instance = std::make_unique<TMovieListDocument>(MovieListPath());
  return *instance;
}

void ReleaseMovieList() { MovieListInstance().reset(); }

// ------------------------------------------------------------ movie records

std::int64_t FileSizeOf(const QString& path) {
  const auto entry = platform::StatEntry(path);
  return entry && !entry->Directory ? entry->Size : 0;
}

TMovieData::TMovieData(const QString& fileName, bool origin) : FileName(fileName), Origin(origin) {}

QString TMovieData::Section() const { return QFileInfo(FileName).fileName(); }

void TMovieData::ReadRecord() {
  // A file that vanished since the scan keeps date and size 0; its record
  // still reads.
  const auto entry = platform::StatEntry(FileName);
  SetFileStamp(entry && !entry->Directory ? &*entry : nullptr);
  ReadStoredRecord();
}

void TMovieData::SetFileStamp(const platform::DirEntry* entry) {
  CreationDate = 0;
  FileSize = 0;
  if (!entry) return;
  // The file system's date-stamp form: whole seconds, rounded down to even.
  const platform::LocalClock stamp = entry->LocalModified();
  CreationDate = DayNumberOf(stamp.Date, QTime(stamp.Time.hour(), stamp.Time.minute(), stamp.Time.second() & ~1));
  FileSize = entry->Size;
}

void TMovieData::ReadStoredRecord() {
  const QStringList values = MovieList().ReadStrings(Section(), {kViewCount, kViewDate, kViewPosition});
  bool ok = false;
  ViewCount = values[0].trimmed().toInt(&ok);
  if (!ok) ViewCount = 0;
  ViewDate = values[1].isEmpty() ? 0 : TextToFloat(values[1], 0);
  ViewPosition = values[2].trimmed().toLongLong(&ok);
  if (!ok) ViewPosition = 0;
}

void TMovieData::RecordView() {
  TMovieListDocument& doc = MovieList();
  const QString section = Section();
  fBeforeView = {true, doc.ReadValue(section, kViewCount), doc.ReadValue(section, kViewDate),
                 doc.ReadValue(section, kViewStrDate), doc.ReadValue(section, kViewPosition), QString()};
  // One more than the file holds when it is saved: another copy of the
  // program may have counted views since this record was read.
  doc.AddToInteger(section, kViewCount, 1);
  ViewDate = NowDayNumber();
  fBeforeView.ViewDateText = FloatText(ViewDate);
  const TMovieListDocument::TAsOf asOf{kViewDate, fBeforeView.ViewDateText};
  doc.WriteString(section, kViewDate, fBeforeView.ViewDateText, asOf);
  doc.WriteString(section, kViewStrDate, DateTimeText(ViewDate), asOf);
  doc.WriteString(section, kViewPosition, QString::number(ViewPosition), asOf);
  doc.Flush();
  bool ok = false;
  ViewCount = doc.ReadString(section, kViewCount).trimmed().toInt(&ok);
  if (!ok) ViewCount = std::numeric_limits<std::int32_t>::max();  // a hand-edited count beyond the range
}

void TMovieData::TakeBackView() {
  if (!fBeforeView.Taken) return;
  fBeforeView.Taken = false;
  TMovieListDocument& doc = MovieList();
  const QString section = Section();
  doc.AddToInteger(section, kViewCount, -1, !fBeforeView.Count);
  // Dates and position only while no later view was counted meanwhile.
  const TMovieListDocument::TAsOf asOf{kViewDate, fBeforeView.ViewDateText};
  const auto restore = [&](const QString& key, const std::optional<QString>& before) {
    if (before)
      doc.WriteString(section, key, *before, asOf);
    else
      doc.RemoveKey(section, key, asOf);
  };
  restore(kViewDate, fBeforeView.Date);
  restore(kViewStrDate, fBeforeView.StrDate);
  restore(kViewPosition, fBeforeView.Position);
  doc.Flush();
  const QStringList values = doc.ReadStrings(section, {kViewCount, kViewDate});
  bool ok = false;
  ViewCount = values[0].trimmed().toInt(&ok);
  if (!ok) ViewCount = 0;
  ViewDate = values[1].isEmpty() ? 0 : TextToFloat(values[1], 0);
}

void TMovieData::SavePosition() {
  TMovieListDocument& doc = MovieList();
  doc.WriteString(Section(), kViewPosition, QString::number(ViewPosition));
  doc.Flush();
}

int TMovieData::StoredSubtitle() const {
  bool ok = false;
  const int track = MovieList().ReadString(Section(), kSubtitle).trimmed().toInt(&ok);
  return ok && track >= 0 ? track : -1;
}

void TMovieData::SaveSubtitle(int track) {
  TMovieListDocument& doc = MovieList();
  doc.WriteString(Section(), kSubtitle, QString::number(track));
  doc.Flush();
}
