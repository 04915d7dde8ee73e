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

// Characters INI text cannot carry unchanged in a section name.
bool IsOrdinaryName(const QString& name) {
  if (name.isEmpty() || name.front().isSpace() || name.back().isSpace()) return false;
  for (const QChar c : name) {
    if (c.unicode() < 0x20 || c.unicode() >= 0x7f) return false;
    if (QStringLiteral("[]=;#").contains(c)) return false;
  }
  return true;
}

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

}  // namespace

// ---------------------------------------------------------------- parameters

void TRBParameters::Load() {
  Recurse = Contexte->ReadBool(QStringLiteral("Recurse"), false);
  MovieDir = Contexte->ReadString(QStringLiteral("MovieDir"), DefaultMovieDir());
  CDReader = Contexte->ReadString(QStringLiteral("CDReader"), QString());
  ExitOnView = Contexte->ReadBool(QStringLiteral("ExitOnView"), false);
  InternalViewer = Contexte->ReadBool(QStringLiteral("InternalViewer"), true);
  CopyFromCD = Contexte->ReadBool(QStringLiteral("CopyFromCD"), true);
  ScreenSettingsMode = static_cast<std::uint8_t>(Contexte->ReadInteger(QStringLiteral("ScreenSettingsMode"), 0));
  Brightness = Contexte->ReadInteger(QStringLiteral("Brightness"), 5000);
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
  if (!now.Exists || (now == fReadStamp && !fSetAsideBeforeWrite)) return;
  platform::TFileStamp stamp;
  std::unique_ptr<CSimpleIniA> fresh = ReadFile(stamp);
  if (!fresh) {
    fSetAsideBeforeWrite = true;  // this document replaces it, after it is kept aside
    return;
  }
  for (const TChange& change : fChanges)
    fresh->SetValue(change.Section.c_str(), change.Key.c_str(), change.Value.c_str());
  fIni = std::move(fresh);
  fReadStamp = stamp;
  fSetAsideBeforeWrite = false;
}

QByteArray TMovieListDocument::SectionName(const QString& movieName) {
  if (IsOrdinaryName(movieName)) return movieName.toLatin1();
  QByteArray name("#");
  for (const char byte : movieName.toUtf8()) {
    const auto u = static_cast<unsigned char>(byte);
    if ((u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || u == '.' || u == '_' ||
        u == '-')
      name += byte;
    else
      name += '%' + QByteArray::number(u, 16).toUpper().rightJustified(2, '0');
  }
  return name;
}

QString TMovieListDocument::ReadString(const QString& movieName, const QString& key, const QString& def) const {
  const char* value = fIni->GetValue(SectionName(movieName).constData(), key.toLatin1().constData(), nullptr);
  return value ? QString::fromUtf8(value) : def;
}

QStringList TMovieListDocument::ReadStrings(const QString& movieName, std::initializer_list<QString> keys) const {
  QStringList values;
  values.reserve(qsizetype(keys.size()));
  const CSimpleIniA::TKeyVal* section = fIni->GetSection(SectionName(movieName).constData());
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

void TMovieListDocument::WriteString(const QString& movieName, const QString& key, const QString& value) {
  TChange change{SectionName(movieName).toStdString(), key.toLatin1().toStdString(), value.toUtf8().toStdString()};
  fIni->SetValue(change.Section.c_str(), change.Key.c_str(), change.Value.c_str());
  for (TChange& earlier : fChanges)
    if (SameName(earlier.Section, change.Section) && SameName(earlier.Key, change.Key)) {
      earlier.Value = std::move(change.Value);
      return;
    }
  fChanges.push_back(std::move(change));
}

bool TMovieListDocument::SectionExists(const QString& movieName) const {
  return fIni->GetSectionSize(SectionName(movieName).constData()) >= 0;
}

bool TMovieListDocument::Flush() {
  platform::TFileLock lock(fFileName + QStringLiteral(".lock"));
  switch (lock.Lock(5000)) {
    case platform::TFileLock::Result::Locked:
    case platform::TFileLock::Result::Unsupported:  // a file system without locks: write unlocked
      break;
    case platform::TFileLock::Result::TimedOut:
      ReportErrorLater(QStringLiteral("The movie records file %1 is locked by another program. "
                                      "The records will be saved with the next change.")
                           .arg(fFileName));
      return false;
    case platform::TFileLock::Result::Failed:
      ReportErrorLater(SaveFailureText(fFileName, lock.ErrorCode() == ENOSPC || lock.ErrorCode() == EDQUOT
                                                      ? platform::TWriteFailure::DiskFull
                                                      : platform::TWriteFailure::Other,
                                       lock.Error()));
      return false;
  }
  MergeFileChanges();

  std::string text;
  if (fIni->Save(text) < 0) {
    ReportErrorLater(QStringLiteral("The movie records could not be prepared for %1.").arg(fFileName));
    return false;
  }
  if (fSetAsideBeforeWrite && QFile::exists(fFileName)) {
    const QString aside =
        fFileName + QStringLiteral(".unreadable-") + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    if (!QFile::rename(fFileName, aside)) {
      ReportErrorLater(QStringLiteral("The movie records file %1 cannot be read and cannot be set aside, "
                                      "so it was not replaced.")
                           .arg(fFileName));
      return false;
    }
  }
  fSetAsideBeforeWrite = false;
  platform::RemoveLeftoverCopies(fFileName, lock.Held());
  const platform::TWriteResult written =
      platform::ReplaceFileContents(fFileName, QByteArray::fromRawData(text.data(), static_cast<qsizetype>(text.size())));
  if (!written.Ok()) {
    ReportErrorLater(SaveFailureText(fFileName, written.Failure, written.Error));
    return false;
  }
  fChanges.clear();
  fReadStamp = platform::StampOf(fFileName);
  return true;
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
  // A hand-edited count at the top of the range stays there.
  if (ViewCount < std::numeric_limits<std::int32_t>::max()) ++ViewCount;
  doc.WriteString(section, kViewCount, QString::number(ViewCount));
  ViewDate = NowDayNumber();
  doc.WriteString(section, kViewDate, FloatText(ViewDate));
  doc.WriteString(section, kViewStrDate, DateTimeText(ViewDate));
  doc.WriteString(section, kViewPosition, QString::number(ViewPosition));
  doc.Flush();
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
