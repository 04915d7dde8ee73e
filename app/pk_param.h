#pragma once
// The launcher's persistent data: the user's parameters (settings store) and
// the per-movie records (MovieList.ini beside the program).
#include <QString>
#include <QStringList>

#include <SimpleIni.h>

#include <cstdint>
#include <initializer_list>
#include <memory>
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
// process may share the file: a flush that finds it changed since it was
// read starts from the file as it is now and applies only the keys this
// document changed since, so neither loses the other's records.
class TMovieListDocument {
 public:
  explicit TMovieListDocument(QString fileName);
  ~TMovieListDocument();

  const QString& FileName() const { return fFileName; }
  QString ReadString(const QString& movieName, const QString& key, const QString& def = QString()) const;
  // The values of `keys` in the record of `movieName`, empty where missing;
  // one search for the record, however many keys.
  QStringList ReadStrings(const QString& movieName, std::initializer_list<QString> keys) const;
  void WriteString(const QString& movieName, const QString& key, const QString& value);
  bool SectionExists(const QString& movieName) const;
  // Replaces the file atomically, under the file's lock. A failure keeps
  // the previous file and the document (the next flush writes what this one
  // could not), tells the user once control returns to the event loop, and
  // gives false.
  bool Flush();

  // The section name of a movie file name: the name itself when INI text can
  // hold it unchanged, else a "#"-marked escaped form that reads back exactly.
  static QByteArray SectionName(const QString& movieName);

 private:
  struct TChange {
    std::string Section, Key, Value;
  };
  // Reads the file into a new document; null when it cannot be read or is
  // not text. `stamp` is the version read.
  std::unique_ptr<CSimpleIniA> ReadFile(platform::TFileStamp& stamp) const;
  // Brings in what others wrote since the document was read.
  void MergeFileChanges();

  QString fFileName;
  std::unique_ptr<CSimpleIniA> fIni;  // names compare without regard to case
  platform::TFileStamp fReadStamp;    // the version of the file the document holds
  bool fSetAsideBeforeWrite = false;  // the file on disk could not be read
  std::vector<TChange> fChanges;      // written here since the file was read, in order
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
  void RecordView();
  void SavePosition();
  // The subtitle track chosen for the movie (0: none); -1 when no choice
  // was ever made. Saving writes only that key.
  int StoredSubtitle() const;
  void SaveSubtitle(int track);

 private:
  QString Section() const;
};

// Size in bytes of the file; 0 when there is none.
std::int64_t FileSizeOf(const QString& path);
