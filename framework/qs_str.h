#pragma once
// The framework's translatable texts: their indexes in AppStrings.

extern int sLanguageToAdd;   // "Language to add"
extern int sLanguageName;    // "Name :"
extern int sAbout;           // "About"
extern int sEditAboutFile;   // "Edit about file"
extern int sOK;              // "OK"
extern int sCancel;          // "Cancel"
extern int sAdd;             // "Add"
extern int sDelete;          // "Delete"
extern int sReplace;         // "Replace"

// Registers the texts (entries 0 to 8 of a fresh table); the settings unit
// calls it right after creating AppStrings.
void InitializeFrameworkStrings();
