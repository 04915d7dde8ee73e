#pragma once
// The launcher's persistent data: the user's parameters (settings store) and
// the per-movie records (MovieList.ini beside the program).
#include <QString>
#include <QStringList>

#include <SimpleIni.h>

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "framework/qs_datetime.h"
#include "platform/directory.h"
#include "platform/atomic_write.h"

class TRBParameters {
 public:
  bool Recurse = false;
  QString MovieDir;
  QString CDReader;
  bool ExitOnView = false;
  bool InternalViewer = false;
  bool CopyFromCD = false;
  std::uint8_t ScreenSettingsMode = 0;
  std::int32_t Brightness = 0;
  // The file patterns the library lists ("*.avi *.mkv", see MovieTypePatterns).
  QString MovieTypes;
  // The sound level of the viewer and the preview, 0 to 100, and whether
  // it is muted.
  int Volume = 100;
  bool Muted = false;
  // The media graph's Volume (0 to 10000) for the level and the mute.
  int GraphVolume() const { return Muted ? 0 : Volume * 100; }
  // The level as the desktop's media controls give it, 0.0 to 1.0; giving
  // one unmutes.
  double SoundLevel() const { return Muted ? 0.0 : Volume / 100.0; }
  void SetSoundLevel(double level);

  void Load();
  void Save() const;
};

// The movie types of today's players, offered beside the default.
extern const QString kDefaultMovieTypes;  // "*.avi"
extern const QString kCommonMovieTypes;
// The patterns of a list typed by hand: separated by blanks, "," or ";";
// an extension alone ("mkv", ".mkv") stands for "*.mkv"; a pattern with a
// directory separator is dropped.
QStringList MovieTypePatterns(const QString& types);
// The mask of a directory for those patterns, for ForEachFile.
QString MovieMask(const QString& directory, const QString& types);

// The single parameters record, created empty on first call; Load sets the
// defaults.
TRBParameters& Parameters();
void ReleaseParameters();

// The in-memory copy of MovieList.ini: read once, written whole at each
// flush. Section and key names compare without regard to case. Another
// process may share the file, and a person may edit it meanwhile: a flush
// that finds it changed since it was read starts from the file as it is
// now and applies only the changes this document made since, so neither
// loses the other's records; a view adds to the count the file holds then.
class TMovieListDocument {
 public:
  explicit TMovieListDocument(QString fileName);
  ~TMovieListDocument();

  // A change that belongs to one view: it applies only while the record
  // holds no later number under `Key` than `Value` (a later view counted by
  // another copy of the program keeps its dates and position).
  struct TAsOf {
    QString Key, Value;
  };

  const QString& FileName() const { return fFileName; }
  QString ReadString(const QString& movieName, const QString& key, const QString& def = QString()) const;
  // Nothing when the record has no such key.
  std::optional<QString> ReadValue(const QString& movieName, const QString& key) const;
  // The values of `keys` in the record of `movieName`, empty where missing;
  // one search for the record, however many keys.
  QStringList ReadStrings(const QString& movieName, std::initializer_list<QString> keys) const;
  void WriteString(const QString& movieName, const QString& key, const QString& value,
                   const std::optional<TAsOf>& asOf = std::nullopt);
  // Adds `delta` to the number under `key` as the file holds it when it is
  // saved (missing or unreadable: 0), kept within 0 and the 32-bit maximum.
  // `removeAtZero`: a key that comes to 0 goes (it was not there before).
  void AddToInteger(const QString& movieName, const QString& key, int delta, bool removeAtZero = false);
  // Removes the key, and the record when nothing is left in it.
  void RemoveKey(const QString& movieName, const QString& key, const std::optional<TAsOf>& asOf = std::nullopt);
  bool SectionExists(const QString& movieName) const;
  // Replaces the file atomically, under the file's lock (both beside the
  // file a symbolic link leads to). A failure keeps the previous file and
  // the document (the next flush writes what this one could not), tells the
  // user once control returns to the event loop (a file the user cannot
  // write: once per run), and gives false.
  bool Flush();

  // The section name of a movie file name: the name as it stands, in UTF-8,
  // when INI text can hold it unchanged; else a "#"-marked form in which
  // only what would break the format is escaped, and that reads back exactly.
  static QByteArray SectionName(const QString& movieName);
  // The forms older versions wrote the same name in (everything but letters
  // and digits escaped; an 8-bit code page). Still found; a record found
  // that way is written back under SectionName at its next change.
  static std::vector<QByteArray> OlderSectionNames(const QString& movieName);

 private:
  struct TChange {
    enum class TKind { Set, Add, Remove };
    TKind Kind = TKind::Set;
    std::string Section, Key, Value;
    std::vector<std::string> Older;  // the section's older names
    std::int64_t Delta = 0;
    bool RemoveAtZero = false;
    std::string AsOfKey, AsOfValue;  // empty: applies whatever the file holds
  };
  // Reads the file into a new document; null when it cannot be read or is
  // not text. `stamp` is the version read.
  std::unique_ptr<CSimpleIniA> ReadFile(platform::TFileStamp& stamp) const;
  // Brings in what others wrote since the document was read.
  void MergeFileChanges();
  // The name the movie's record has in `ini` now (its plain name when none).
  QByteArray FoundSection(const CSimpleIniA& ini, const QString& movieName) const;
  TChange NewChange(TChange::TKind kind, const QString& movieName, const QString& key) const;
  // Makes the change here and keeps it for the next flush.
  void Record(TChange change);
  static void ApplyAll(CSimpleIniA& ini, const std::vector<TChange>& changes);
  void ReportFailure(const QString& message, bool denied);

  QString fFileName;
  std::unique_ptr<CSimpleIniA> fIni;  // names compare without regard to case
  platform::TFileStamp fReadStamp;    // the version of the file the document holds
  bool fSetAsideBeforeWrite = false;  // the file on disk could not be read
  bool fDeniedReported = false;       // a file the user cannot write was reported
  std::vector<TChange> fChanges;      // made here since the file was read, in order
};

// $CINVO_MOVIELIST, else "MovieList.ini" in UserDataDir (beside the program,
// or $XDG_DATA_HOME/Cinvo/ when installed).
QString MovieListPath();
// The single document, read on first call.
TMovieListDocument& MovieList();
// Releases it without writing (the end of the run).
void ReleaseMovieList();

class TMovieData {
 public:
  TMovieData(const QString& fileName, bool origin);

  QString FileName;
  bool Origin;  // true: hard disk or command line; false: the CD
  std::int32_t ViewCount = 0;
  TDateTime ViewDate = 0;
  std::int64_t ViewPosition = 0;  // whole seconds
  TDateTime CreationDate = 0;
  std::int64_t FileSize = 0;

  void ReadRecord();
  // The two halves of ReadRecord, for callers that already have the file's
  // directory entry (null: no such file, date and size 0) ...
  void SetFileStamp(const platform::DirEntry* entry);
  // ... and the stored view count, date and position.
  void ReadStoredRecord();
  // Counts one view and saves the record.
  void RecordView();
  // The movie could not be played after all: the count and dates go back to
  // what they were before the last RecordView (unless another copy of the
  // program has counted a later view meanwhile), and the record is saved.
  void TakeBackView();
  void SavePosition();
  // The subtitle track chosen for the movie (0: none); -1 when no choice
  // was ever made. Saving writes only that key.
  int StoredSubtitle() const;
  void SaveSubtitle(int track);

 private:
  QString Section() const;

  // The record as the document held it before the last RecordView.
  struct TBeforeView {
    bool Taken = false;  // a view to take back
    std::optional<QString> Count, Date, StrDate, Position;
    QString ViewDateText;  // the taken view's date, as written
  };
  TBeforeView fBeforeView;
};

// Size in bytes of the file; 0 when there is none.
std::int64_t FileSizeOf(const QString& path);
