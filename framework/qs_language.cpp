#include "framework/qs_language.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>

#include <algorithm>
#include <memory>
#include <vector>

#include "framework/qs_application.h"
#include "framework/qs_captions.h"
#include "framework/qs_contexte.h"
#include "framework/qs_datadirs.h"
#include "framework/qs_tools.h"
#include "platform/directory.h"

TqsLanguage* Language = nullptr;

namespace {

const QString kCaptionFile = QStringLiteral("CaptionList.txt");
const QString kAboutFile = QStringLiteral("About.txt");

// `relative` (inside Languages) in the user's directory when it is there,
// else in the installed one when it is there, else the user's path.
QString ReadablePath(const QString& relative) {
  const QString own = AddBackslash(TqsLanguage::LanguagesDir()) + relative;
  if (QFileInfo::exists(own)) return own;
  const QString installed = TqsLanguage::InstalledLanguagesDir();
  if (!installed.isEmpty() && QFileInfo::exists(AddBackslash(installed) + relative))
    return AddBackslash(installed) + relative;
  return own;
}

// The installed copy of `relative`, or empty when there is none.
QString InstalledPath(const QString& relative) {
  const QString installed = TqsLanguage::InstalledLanguagesDir();
  if (installed.isEmpty()) return QString();
  const QString path = AddBackslash(installed) + relative;
  return QFileInfo::exists(path) ? path : QString();
}

QString LanguageRelative(const QString& name, const QString& file) {
  return name.isEmpty() ? file : name + QLatin1Char('/') + file;
}

std::vector<std::function<QWidget*()>>& TemplateForms() {
  static std::vector<std::function<QWidget*()>> makers;
  return makers;
}

// A component's texts as built, kept before a language first replaces them.
const char* const kDesignedCaption = "qsDesignedCaption";
const char* const kDesignedHint = "qsDesignedHint";

void KeepDesigned(QObject* component, const char* property, const QString& text) {
  if (!component->property(property).isValid()) component->setProperty(property, text);
}

QString Designed(const QObject* component, const char* property, const QString& current) {
  const QVariant kept = component->property(property);
  return kept.isValid() ? kept.toString() : current;
}

// Captions of components named with a leading "_", or unnamed, are filled
// by the program: they have no designed text to go back to.
bool HasDesignedCaption(const QString& name) { return !name.isEmpty() && !name.startsWith(QLatin1Char('_')); }

}  // namespace

void AddTemplateForm(std::function<QWidget*()> make) { TemplateForms().push_back(std::move(make)); }

TqsLanguage::TqsLanguage(const QString& localeLanguage) {
  fLanguageIndex = localeLanguage.left(10).compare(QStringLiteral("French"), Qt::CaseInsensitive) == 0 ? 1 : 0;
  if (!Language) Language = this;
}

TqsLanguage::~TqsLanguage() {
  if (Language == this) Language = nullptr;
}

QString TqsLanguage::SystemLanguageName() {
  return QLocale::languageToString(QLocale::system().language()).left(10);
}

QString TqsLanguage::LanguagesDir() {
  QString dir = qEnvironmentVariable("CINVO_LANGUAGES");
  if (dir.isEmpty()) return UserDataDir() + QStringLiteral("Languages");
  while (dir.size() > 1 && dir.endsWith(QLatin1Char('/'))) dir.chop(1);
  return dir;
}

QString TqsLanguage::InstalledLanguagesDir() {
  const QString data = InstalledDataDir();
  return data.isEmpty() ? QString() : data + QStringLiteral("Languages");
}

QString TqsLanguage::FormKey(const QWidget* form) { return ::FormKey(form); }

void TqsLanguage::ListLanguages(TqsStringList& list) {
  list.Clear();
  list.Add(QStringLiteral("English"));
  QStringList names;
  // The user's own languages and, for an installed program, the installed
  // ones; a language in both is listed once (the user's copy is the one read).
  QStringList dirs{LanguagesDir()};
  if (!InstalledLanguagesDir().isEmpty()) dirs.append(InstalledLanguagesDir());
  for (const QString& dir : dirs)
    for (const platform::DirEntry& entry : platform::ListDirectory(AddBackslash(dir)))
      if (entry.Directory && !entry.Hidden && !names.contains(entry.Name)) names.append(entry.Name);
  // A stored language index must mean the same language on every run, so
  // the order is by name, not the file system's own.
  std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
    const int c = QString::compare(a, b, Qt::CaseInsensitive);
    return c != 0 ? c < 0 : a < b;
  });
  for (const QString& name : names) list.Add(name);
}

void TqsLanguage::LoadLanguageList() {
  if (fListLoaded) return;
  ListLanguages(fLanguageList);
  fListLoaded = true;
  if (fLanguageIndex >= fLanguageList.Count()) fLanguageIndex = 0;
}

int TqsLanguage::IndexOfLanguage(const QString& name) const {
  return name.isEmpty() ? -1 : int(fLanguageList.Lines().indexOf(name, 1));
}

void TqsLanguage::Relist() {
  const QString current = LanguageName();
  ListLanguages(fLanguageList);
  fListLoaded = true;
  // The list is in name order: a new name can move the current language.
  const int index = IndexOfLanguage(current);
  if (index > 0) fLanguageIndex = index;
}

QString TqsLanguage::LanguageName() const {
  if (fLanguageIndex <= 0 || fLanguageIndex >= fLanguageList.Count()) return QString();
  return fLanguageList[fLanguageIndex];
}

void TqsLanguage::SetLanguage(int index) {
  fInUse = true;
  if (!fReloadPending && index == fLanguageIndex) return;
  fLanguageIndex = index;
  if (fLanguageIndex >= fLanguageList.Count()) fLanguageIndex = 0;
  if (index < 0) return;
  if (index < fLanguageList.Count()) {
    LoadCaptions();
    TranslateAll();
    fReloadPending = false;
  }
}

QString TqsLanguage::LanguageDir(const QString& name) const {
  return AddBackslash(AddBackslash(LanguagesDir()) + name);
}

void TqsLanguage::LoadCaptions() {
  const QString path = ReadablePath(LanguageRelative(LanguageName(), kCaptionFile));
  if (!QFileInfo::exists(path)) {
    // Nothing to translate with: the texts as designed, not those of the
    // language shown before.
    fCaptions.Clear();
    return;
  }
  QStringList lines;
  QString error;
  if (ReadCaptionFile(path, lines, error))
    fCaptions.Assign(lines);
  else  // the texts stay as they are; the user learns why
    ReportErrorLater(QStringLiteral("The language file \"%1\" cannot be read: %2").arg(path, error));
}

void TqsLanguage::KeepDesignedStrings() {
  if (!AppStrings) return;
  for (int n = int(fDesignedStrings.size()); n < AppStrings->Count(); ++n) fDesignedStrings.append((*AppStrings)[n]);
}

void TqsLanguage::TranslateAll() {
  if (AppStrings) {
    KeepDesignedStrings();
    for (int n = 0; n < AppStrings->Count(); ++n) {
      const QString value = fCaptions.Values(QStringLiteral("strings.%1").arg(n));
      (*AppStrings)[n] = value.isEmpty() ? fDesignedStrings.at(n) : value;
    }
  }
  for (QWidget* form : OpenForms()) TranslateForm(form);
}

void TqsLanguage::TranslateForm(QWidget* form) {
  if (!form) return;
  const QString key = FormKey(form);
  for (QObject* component : FormComponents(form)) {
    const QString name = component->objectName();
    if (const auto caption = ComponentCaption(component)) {
      const bool designed = HasDesignedCaption(name);
      if (designed) KeepDesigned(component, kDesignedCaption, *caption);
      const QString value = fCaptions.Values(QStringLiteral("%1.%2.Caption").arg(key, name));
      if (!value.isEmpty())
        SetComponentCaption(component, value);
      else if (designed && Designed(component, kDesignedCaption, *caption) != *caption)
        SetComponentCaption(component, Designed(component, kDesignedCaption, *caption));
    }
    if (const auto hint = ComponentHint(component)) {
      const bool designed = !name.isEmpty();
      if (designed) KeepDesigned(component, kDesignedHint, *hint);
      const QString value = fCaptions.Values(QStringLiteral("%1.%2.Hint").arg(key, name));
      if (!value.isEmpty())
        SetComponentHint(component, value);
      else if (designed && Designed(component, kDesignedHint, *hint) != *hint)
        SetComponentHint(component, Designed(component, kDesignedHint, *hint));
    }
  }
  if (auto* qsForm = qobject_cast<TqsForm*>(form); qsForm && qsForm->OnTranslate()) qsForm->OnTranslate()(form);
}

QStringList TqsLanguage::CaptionLines(bool designed) {
  QList<QWidget*> forms = OpenForms();
  // Windows that are only ever open modally are made, unshown, for the
  // write, unless one is open now.
  std::vector<std::unique_ptr<QWidget>> made;
  for (const auto& make : TemplateForms()) {
    std::unique_ptr<QWidget> form(make());
    const QString key = FormKey(form.get());
    if (std::none_of(forms.begin(), forms.end(), [&](const QWidget* open) { return FormKey(open) == key; })) {
      forms.append(form.get());
      made.push_back(std::move(form));
    }
  }
  SortForms(forms);

  QStringList lines;
  for (QWidget* form : forms) {
    const QString key = FormKey(form);
    for (QObject* component : FormComponents(form)) {
      const QString name = component->objectName();
      if (name.isEmpty()) continue;
      if (!name.startsWith(QLatin1Char('_'))) {
        if (auto caption = ComponentCaption(component)) {
          if (designed) caption = Designed(component, kDesignedCaption, *caption);
          if (!caption->isEmpty()) lines.append(QStringLiteral("%1.%2.Caption=%3").arg(key, name, *caption));
        }
      }
      if (auto hint = ComponentHint(component)) {
        if (designed) hint = Designed(component, kDesignedHint, *hint);
        if (!hint->isEmpty()) lines.append(QStringLiteral("%1.%2.Hint=%3").arg(key, name, *hint));
      }
    }
  }
  if (AppStrings) {
    KeepDesignedStrings();
    for (int n = 0; n < AppStrings->Count(); ++n)
      lines.append(QStringLiteral("strings.%1=%2").arg(n).arg(designed ? fDesignedStrings.at(n) : (*AppStrings)[n]));
  }
  return lines;
}

void TqsLanguage::WriteCaptionList(const QString& fileName) { WriteCaptionFile(fileName, CaptionLines(false)); }

void TqsLanguage::WriteTemplate(const QString& fileName) {
  // English is the program's own texts, whatever language shows now.
  QDir().mkpath(LanguagesDir());
  WriteCaptionFile(fileName, CaptionLines(true));
}

QString TqsLanguage::CreateLanguage(const QString& name) {
  const QString dir = AddBackslash(LanguagesDir()) + name;
  const bool existed = QFileInfo(dir).isDir();
  if (!QDir().mkpath(dir))
    throw EQSException(QStringLiteral("The language \"%1\" cannot be added: the directory \"%2\" cannot be created.")
                           .arg(name, dir));
  const QString file = LanguageDir(name) + kCaptionFile;
  // A translator's existing file is never overwritten by the template; an
  // installed language edited for the first time starts from its own file.
  if (!QFileInfo::exists(file)) {
    try {
      QString from = InstalledPath(LanguageRelative(name, kCaptionFile));
      if (from.isEmpty()) from = ReadablePath(kCaptionFile);
      if (!QFileInfo::exists(from)) WriteTemplate(from);  // English was never edited
      ShellCopyFile(from, file, false, false);
      if (!QFileInfo::exists(file))
        throw EQSException(QStringLiteral("The language \"%1\" cannot be added: its file \"%2\" cannot be written.")
                               .arg(name, file));
    } catch (...) {
      // No empty directory is left to be listed as a language.
      if (!existed) QDir().rmdir(dir);
      throw;
    }
  }
  Relist();
  return file;
}

void TqsLanguage::AddLanguage(const QString& name) {
  if (name.isEmpty()) return;
  // The name becomes one directory inside Languages, visible in the list.
  if (name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')) || name.contains(QChar(0)) ||
      name.startsWith(QLatin1Char('.')) || name.trimmed().isEmpty())
    throw EQSException(QStringLiteral("The language \"%1\" cannot be added: a language name cannot contain \"/\" "
                                      "or \"\\\", begin with \".\" or be blank.")
                           .arg(name));
  ShellOpen(CreateLanguage(name));
}

void TqsLanguage::EditLanguage() {
  const QString name = LanguageName();
  const QString path = LanguageDir(name) + kCaptionFile;
  if (!QFileInfo::exists(path)) {
    if (!name.isEmpty()) {
      CreateLanguage(name);
    } else {
      QDir().mkpath(LanguagesDir());
      const QString installed = InstalledPath(kCaptionFile);
      if (installed.isEmpty())
        WriteTemplate(path);
      else
        ShellCopyFile(installed, path, false, false);
    }
  }
  ShellOpen(path);
}

QString TqsLanguage::AboutFile() const {
  const QString path = ReadablePath(LanguageRelative(LanguageName(), kAboutFile));
  if (IsExistingFile(path)) return path;
  return ReadablePath(kAboutFile);
}

QString TqsLanguage::AboutFileForEdit() const {
  const QString path = LanguageDir(LanguageName()) + kAboutFile;
  if (!QFileInfo::exists(path)) {
    // An installed about text is edited as the user's own copy of it.
    const QString installed = InstalledPath(LanguageRelative(LanguageName(), kAboutFile));
    if (!installed.isEmpty() && QDir().mkpath(LanguageDir(LanguageName())) && QFile::copy(installed, path)) {
      QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::WriteOwner);
      return path;
    }
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
      QString dir = LanguageDir(LanguageName());
      dir.chop(1);
      throw EToolsError(QFileInfo(dir).isDir()
                            ? QStringLiteral("The about file \"%1\" cannot be created: the directory \"%2\" cannot be written.")
                                  .arg(path, dir)
                            : QStringLiteral("The about file \"%1\" cannot be created: the directory \"%2\" does not exist.")
                                  .arg(path, dir));
    }
  }
  return path;
}
