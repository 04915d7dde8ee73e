#pragma once
// The language manager: which languages exist, the current one, and
// applying its language file to the open windows and the string table.
#include <QString>
#include <QWidget>

#include <functional>

#include "framework/qs_captionfile.h"
#include "framework/qs_stringlist.h"

class TqsLanguage {
 public:
  // `localeLanguage`: the English name of the user's language; French
  // starts on the first added language.
  explicit TqsLanguage(const QString& localeLanguage = SystemLanguageName());
  ~TqsLanguage();
  TqsLanguage(const TqsLanguage&) = delete;
  TqsLanguage& operator=(const TqsLanguage&) = delete;

  // The English name of the user's default language, at most 10 characters.
  static QString SystemLanguageName();
  // "Languages" in UserDataDir (beside the program, or the user's data
  // directory when installed), or $CINVO_LANGUAGES; no trailing separator.
  // Languages are added and edited here.
  static QString LanguagesDir();
  // The installed program's read-only languages, listed and read after the
  // user's own; empty when the program runs from a writable directory.
  static QString InstalledLanguagesDir();
  // The window's class name without its first character.
  static QString FormKey(const QWidget* form);

  const TqsStringList& LanguageList() const { return fLanguageList; }
  int LanguageIndex() const { return fLanguageIndex; }
  void SetLanguageIndex(int value) { fLanguageIndex = value; }
  const TqsStringList& Captions() const { return fCaptions; }
  bool ReloadPending() const { return fReloadPending; }
  const QString& HelpURL() const { return fHelpURL; }
  void SetHelpURL(const QString& value) { fHelpURL = value; }
  bool ListLoaded() const { return fListLoaded; }
  // A language has been set in this run: a window made now takes it as it
  // is instead of the stored choice.
  bool InUse() const { return fInUse; }
  // The index of the added language of that directory name; -1 when none.
  int IndexOfLanguage(const QString& name) const;

  // "English", then the visible sub-directories of LanguagesDir and
  // InstalledLanguagesDir, by name.
  static void ListLanguages(TqsStringList& list);
  // Builds LanguageList once per run.
  void LoadLanguageList();
  // Empty for English (or a negative index), else the language's name.
  QString LanguageName() const;
  void SetLanguage(int index);
  void ForceReload() { fReloadPending = true; }
  // An absent file gives no translation: every text as designed.
  void LoadCaptions();
  void TranslateAll();
  // A component (or string) whose key the language lacks gets its designed
  // text back; captions the program fills (names beginning with "_") are
  // left alone.
  void TranslateForm(QWidget* form);
  // Writes a complete language file from the open windows, the windows made
  // for the template only (see AddTemplateForm) and the string table, with
  // their current texts; raises EInOutError when it cannot.
  void WriteCaptionList(const QString& fileName);
  // Creates a language from the template and opens its file for editing;
  // raises EQSException for a name that cannot be a language directory.
  void AddLanguage(const QString& name);
  void EditLanguage();
  QString AboutFile() const;
  // Raises EToolsError when the file is missing and cannot be created.
  QString AboutFileForEdit() const;

 private:
  QString LanguageDir(const QString& name) const;
  // Creates the language's directory and its file from the template
  // (an existing file is kept; a missing template is written first), then
  // lists the languages again.
  QString CreateLanguage(const QString& name);
  // Lists the languages again; the current one stays current.
  void Relist();
  void KeepDesignedStrings();
  // The lines of a complete language file; `designed`: the texts as the
  // program was built with them (the English template) instead of the
  // current ones.
  QStringList CaptionLines(bool designed);
  void WriteTemplate(const QString& fileName);

  TqsStringList fLanguageList;
  int fLanguageIndex = 0;
  TqsStringList fCaptions;
  bool fReloadPending = false;
  QString fHelpURL;
  bool fListLoaded = false;
  bool fInUse = false;
  QStringList fDesignedStrings;
};

// A window that is never open when the template is written (a modal
// dialog): `make` creates it unshown, for the write only.
void AddTemplateForm(std::function<QWidget*()> make);

// The single language manager; the first one created becomes it.
extern TqsLanguage* Language;
