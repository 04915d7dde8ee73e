#pragma once
// The launcher's translatable texts: their indexes in AppStrings.

extern int sSelectMovieDir;  // "Select movies directory"
extern int sSeenTimes;       // "Seen %d times"
extern int sLastSeen;        // "Last seen the "
extern int sCreatedThe;      // "Created the "
extern int sSize;            // "Size "
extern int sNoFreeSpace;     // "Not enough free space on hard disk to copy the movie."
extern int sSubtitleFiles;   // "Subtitle files : %d"
extern int sIniFile;         // "Ini file : %s"
extern int sNoChange;        // "No change"
extern int sSettings;        // "Settings"
extern int sPosition;        // "Position : %s"
extern int sGoToPosition;    // "Go to position"
extern int sMovieGone;       // "The movie %s is no longer there."
extern int sNoMovieDir;      // "No movies directory is set."
extern int sMovieDirMissing; // "The movies directory %s does not exist."
extern int sNoMoviesIn;      // "No movies found in %s"
extern int sTypesSearched;   // "Types searched: %s"
extern int sChangeInParameters;  // "\"Parameters\" in the right-click menu changes them."
extern int sAviOnly;         // "AVI only"
extern int sCommonVideoFiles;  // "Common video files"
extern int sVolumeLevel;     // "Volume %d %"
extern int sSoundOff;        // "Sound off"

// Registers the texts after the framework's (entries 9 to 21); start-up
// calls it once, after the settings unit.
void InitializeLauncherStrings();
