#include "app/pk_str.h"

#include "framework/qs_stringlist.h"

int sSelectMovieDir = -1;
int sSeenTimes = -1;
int sLastSeen = -1;
int sCreatedThe = -1;
int sSize = -1;
int sNoFreeSpace = -1;
int sSubtitleFiles = -1;
int sIniFile = -1;
int sNoChange = -1;
int sSettings = -1;
int sPosition = -1;
int sGoToPosition = -1;
int sMovieGone = -1;
int sNoMovieDir = -1;
int sMovieDirMissing = -1;
int sNoMoviesIn = -1;
int sTypesSearched = -1;
int sChangeInParameters = -1;
int sAviOnly = -1;
int sCommonVideoFiles = -1;
int sVolumeLevel = -1;
int sSoundOff = -1;

void InitializeLauncherStrings() {
  // The order is the numbering of the language files' strings.N keys;
  // trailing blanks belong to the texts.
  sSelectMovieDir = AppStrings->Add(QStringLiteral("Select movies directory"));
  sSeenTimes = AppStrings->Add(QStringLiteral("Seen %d times"));
  sLastSeen = AppStrings->Add(QStringLiteral("Last seen the "));
  sCreatedThe = AppStrings->Add(QStringLiteral("Created the "));
  sSize = AppStrings->Add(QStringLiteral("Size "));
  sNoFreeSpace = AppStrings->Add(QStringLiteral("Not enough free space on hard disk to copy the movie."));
  sSubtitleFiles = AppStrings->Add(QStringLiteral("Subtitle files : %d"));
  sIniFile = AppStrings->Add(QStringLiteral("Ini file : %s"));
  sNoChange = AppStrings->Add(QStringLiteral("No change"));
  sSettings = AppStrings->Add(QStringLiteral("Settings"));
  sPosition = AppStrings->Add(QStringLiteral("Position : %s"));
  sGoToPosition = AppStrings->Add(QStringLiteral("Go to position"));
  // After the original twelve, so that existing language files keep their
  // numbering.
  sMovieGone = AppStrings->Add(QStringLiteral("The movie %s is no longer there."));
  // Why the list is empty, and the movie type presets.
  sNoMovieDir = AppStrings->Add(QStringLiteral("No movies directory is set."));
  sMovieDirMissing = AppStrings->Add(QStringLiteral("The movies directory %s does not exist."));
  sNoMoviesIn = AppStrings->Add(QStringLiteral("No movies found in %s"));
  sTypesSearched = AppStrings->Add(QStringLiteral("Types searched: %s"));
  sChangeInParameters = AppStrings->Add(QStringLiteral("\"Parameters\" in the right-click menu changes them."));
  sAviOnly = AppStrings->Add(QStringLiteral("AVI only"));
  sCommonVideoFiles = AppStrings->Add(QStringLiteral("Common video files"));
  // The viewer's sound level over the picture.
  sVolumeLevel = AppStrings->Add(QStringLiteral("Volume %d %"));
  sSoundOff = AppStrings->Add(QStringLiteral("Sound off"));
}
