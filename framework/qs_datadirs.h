#pragma once
// Where the files that belong beside the program are kept. A program run from
// a writable directory (its build or unpacked directory) keeps them there; an
// installed one, whose directory the user cannot write, keeps the user's own
// files under $XDG_DATA_HOME/Cinvo/ and reads the installed defaults from
// <prefix>/share/cinvo/. Every path decision of that kind is made here.
#include <QString>

// True when the program's directory is writable, so its files stay beside it.
bool ProgramDirHoldsData();

// The directory for the user's files that would live beside the program
// (records, added languages), with a trailing separator: AppDir when
// ProgramDirHoldsData, else $XDG_DATA_HOME/Cinvo/ (created on demand).
QString UserDataDir();

// The installed, read-only data of an installed program
// (<prefix>/share/cinvo/, trailing separator); empty when the program runs
// from a writable directory.
QString InstalledDataDir();

// The movies directory used until the user chooses one: "Movies" beside the
// program, or the user's videos directory when installed.
QString DefaultMovieDir();

// Tests: the program's directory taken as `dir`, writable or not, in place
// of the running program's own.
void SetProgramPlaceForTests(const QString& dir, bool writable);
