#include "framework/qs_language.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>

#include <algorithm>

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

}  // namespace

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

QString TqsLanguage::LanguageName() const {
  if (fLanguageIndex <= 0 || fLanguageIndex >= fLanguageList.Count()) return QString();
  return fLanguageList[fLanguageIndex];
}

void TqsLanguage::SetLanguage(int index) {
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
  if (!QFileInfo::exists(path)) return;
  QStringList lines;
  QString error;
  if (ReadCaptionFile(path, lines, error))
    fCaptions.Assign(lines);
  else  // the texts stay as they are; the user learns why
    ReportErrorLater(QStringLiteral("The language file \"%1\" cannot be read: %2").arg(path, error));
}

void TqsLanguage::TranslateAll() {
  if (AppStrings) {
    for (int n = 0; n < AppStrings->Count(); ++n) {
      const QString value = fCaptions.Values(QStringLiteral("strings.%1").arg(n));
      if (!value.isEmpty()) (*AppStrings)[n] = value;
    }
  }
  for (QWidget* form : OpenForms()) TranslateForm(form);
}

void TqsLanguage::TranslateForm(QWidget* form) {
  if (!form) return;
  const QString key = FormKey(form);
  for (QObject* component : FormComponents(form)) {
    const QString name = component->objectName();
    if (ComponentCaption(component)) {
      const QString value = fCaptions.Values(QStringLiteral("%1.%2.Caption").arg(key, name));
      if (!value.isEmpty()) SetComponentCaption(component, value);
    }
    if (ComponentHint(component)) {
      const QString value = fCaptions.Values(QStringLiteral("%1.%2.Hint").arg(key, name));
      if (!value.isEmpty()) SetComponentHint(component, value);
    }
  }
  if (auto* qsForm = qobject_cast<TqsForm*>(form); qsForm && qsForm->OnTranslate()) qsForm->OnTranslate()(form);
}

void TqsLanguage::WriteCaptionList(const QString& fileName) {
  QStringList lines;
  for (QWidget* form : OpenForms()) {
    const QString key = FormKey(form);
    for (QObject* component : FormComponents(form)) {
      const QString name = component->objectName();
      if (name.isEmpty()) continue;
      if (!name.startsWith(QLatin1Char('_'))) {
        const auto caption = ComponentCaption(component);
        if (caption && !caption->isEmpty()) lines.append(QStringLiteral("%1.%2.Caption=%3").arg(key, name, *caption));
      }
      const auto hint = ComponentHint(component);
      if (hint && !hint->isEmpty()) lines.append(QStringLiteral("%1.%2.Hint=%3").arg(key, name, *hint));
    }
  }
  if (AppStrings)
    for (int n = 0; n < AppStrings->Count(); ++n) lines.append(QStringLiteral("strings.%1=%2").arg(n).arg((*AppStrings)[n]));
  WriteCaptionFile(fileName, lines);
}

QString TqsLanguage::CreateLanguage(const QString& name) {
  const QString dir = AddBackslash(LanguagesDir()) + name;
  if (!QDir().mkpath(dir))
    throw EQSException(QStringLiteral("The language \"%1\" cannot be added: the directory \"%2\" cannot be created.")
                           .arg(name, dir));
  const QString file = LanguageDir(name) + kCaptionFile;
  // A translator's existing file is never overwritten by the template; an
  // installed language edited for the first time starts from its own file.
  if (!QFileInfo::exists(file)) {
    const QString installed = InstalledPath(LanguageRelative(name, kCaptionFile));
    ShellCopyFile(installed.isEmpty() ? ReadablePath(kCaptionFile) : installed, file, false, false);
  }
  ListLanguages(fLanguageList);
  fListLoaded = true;
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
        WriteCaptionList(path);
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
    if (file.open(QIODevice::WriteOnly)) file.close();  // a failure shows when the file is opened
  }
  return path;
}
