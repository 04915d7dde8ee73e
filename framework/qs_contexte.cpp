#include "framework/qs_contexte.h"

#include <QFileInfo>
#include <QVariant>

#include "framework/qs_language.h"
#include "framework/qs_str.h"
#include "framework/qs_stringlist.h"
#include "framework/qs_tools.h"
#include "platform/program_path.h"
#include "platform/registry.h"

TqsContexte* Contexte = nullptr;
TqsStringList* AppStrings = nullptr;

namespace {

const char* const kBorderStyleProperty = "BorderStyle";

bool IsNormalState(const QWidget* form) {
  return !(form->windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen));
}

}  // namespace

TFormBorderStyle FormBorderStyle(const QWidget* form) {
  const QVariant v = form->property(kBorderStyleProperty);
  return v.isValid() ? static_cast<TFormBorderStyle>(v.toInt()) : TFormBorderStyle::bsSizeable;
}

void SetFormBorderStyle(QWidget* form, TFormBorderStyle style) {
  form->setProperty(kBorderStyleProperty, static_cast<int>(style));
  if (style == TFormBorderStyle::bsSizeable || style == TFormBorderStyle::bsSizeToolWin) {
    form->setMinimumSize(0, 0);
    form->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
  } else {
    form->setFixedSize(form->size());
  }
}

TqsForm::TqsForm(QWidget* parent) : QWidget(parent) {}

QString MakeAppKey(const QString& appName) {
  QString name;
  name.reserve(appName.size());
  for (const QChar c : appName)
    name += (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) ? QChar(c.unicode() - 'A' + 'a') : c;
  if (!name.isEmpty() && name[0] >= QLatin1Char('a') && name[0] <= QLatin1Char('z')) name[0] = UpperChar(name[0]);
  return QStringLiteral("\\Software\\Vessa\\") + name;
}

TqsContexte::TqsContexte(const QString& hivePath)
    : fRegistry(std::make_unique<platform::TRegistry>(hivePath.isEmpty() ? platform::DefaultHivePath()
                                                                          : hivePath)) {
  if (!Contexte) Contexte = this;
}

TqsContexte::~TqsContexte() {
  // Any store going away empties the global reference.
  Contexte = nullptr;
}

QString TqsContexte::AppName() { return QFileInfo(platform::ProgramFilePath()).completeBaseName(); }

QString TqsContexte::AppKey() {
  if (fAppKey.isEmpty()) fAppKey = MakeAppKey(AppName());
  return fAppKey;
}

bool TqsContexte::OpenSection(const QString& section, bool mayCreate) {
  // Registry key paths use "\" whatever the platform's file separator.
  QString path = AppKey();
  if (!path.endsWith(QLatin1Char('\\'))) path += QLatin1Char('\\');
  return fRegistry->OpenKey(path + section, mayCreate);
}

template <typename Write>
void TqsContexte::WriteValue(const QString& section, Write write) {
  try {
    if (!OpenSection(section, true)) return;
    try {
      write();
    } catch (...) {
      fRegistry->CloseKey();
      throw;
    }
    fRegistry->CloseKey();
  } catch (const platform::RegistryError& e) {
    // A read-only settings file: the user hears of it at the first write of
    // the run; the others are refused without a word.
    if (e.kind() != platform::RegistryError::Kind::Denied) throw;
    if (fDeniedReported) return;
    fDeniedReported = true;
    throw;
  }
}

QString TqsContexte::ReadString(const QString& section, const QString& name, const QString& def) {
  QString result = def;
  if (OpenSection(section, false)) {
    try {
      if (fRegistry->ValueExists(name)) result = fRegistry->ReadString(name);
    } catch (const platform::RegistryError&) {
      result = def;
    }
    fRegistry->CloseKey();
  }
  return result;
}

QString TqsContexte::ReadString(const QString& name, const QString& def) {
  return ReadString(kDefaultSection, name, def);
}

QString TqsContexte::ReadString(const QString& name) { return ReadString(kDefaultSection, name, QString()); }

void TqsContexte::WriteString(const QString& section, const QString& name, const QString& value) {
  WriteValue(section, [&] { fRegistry->WriteString(name, value); });
}

void TqsContexte::WriteString(const QString& name, const QString& value) { WriteString(kDefaultSection, name, value); }

int TqsContexte::ReadInteger(const QString& section, const QString& name, int def) {
  int result = def;
  if (OpenSection(section, false)) {
    try {
      if (fRegistry->ValueExists(name)) result = fRegistry->ReadInteger(name);
    } catch (const platform::RegistryError&) {
      result = def;
    }
    fRegistry->CloseKey();
  }
  return result;
}

int TqsContexte::ReadInteger(const QString& name, int def) { return ReadInteger(kDefaultSection, name, def); }

int TqsContexte::ReadInteger(const QString& name) { return ReadInteger(kDefaultSection, name, 0); }

void TqsContexte::WriteInteger(const QString& section, const QString& name, int value) {
  WriteValue(section, [&] { fRegistry->WriteInteger(name, value); });
}

void TqsContexte::WriteInteger(const QString& name, int value) { WriteInteger(kDefaultSection, name, value); }

bool TqsContexte::ReadBool(const QString& section, const QString& name, bool def) {
  return ReadInteger(section, name, def ? 1 : 0) != 0;
}

bool TqsContexte::ReadBool(const QString& name, bool def) { return ReadBool(kDefaultSection, name, def); }

bool TqsContexte::ReadBool(const QString& name) { return ReadBool(kDefaultSection, name, false); }

void TqsContexte::WriteBool(const QString& name, bool value) { WriteInteger(kDefaultSection, name, value ? 1 : 0); }

QString TqsContexte::FormSection(const QWidget* form, const QString& section) const {
  if (!section.isEmpty()) return section;
  if (const auto* qsForm = qobject_cast<const TqsForm*>(form); qsForm && !qsForm->SettingsSection().isEmpty())
    return QStringLiteral("Settings\\") + qsForm->SettingsSection();
  QString className = QString::fromLatin1(form->metaObject()->className());
  className = className.mid(className.lastIndexOf(QLatin1Char(':')) + 1);
  return QStringLiteral("Settings\\") + className.mid(1);
}

void TqsContexte::RestoreForm(QWidget* form, const QString& section) {
  if (!form || !IsNormalState(form)) return;
  const QString s = FormSection(form, section);
  form->move(ReadInteger(s, QStringLiteral("Left"), form->x()), form->y());
  form->move(form->x(), ReadInteger(s, QStringLiteral("Top"), form->y()));
  const TFormBorderStyle style = FormBorderStyle(form);
  if (style == TFormBorderStyle::bsSizeable || style == TFormBorderStyle::bsSizeToolWin) {
    form->resize(form->width(), ReadInteger(s, QStringLiteral("Height"), form->height()));
    form->resize(ReadInteger(s, QStringLiteral("Width"), form->width()), form->height());
  }
}

void TqsContexte::SaveForm(QWidget* form, const QString& section) {
  if (!form || !IsNormalState(form)) return;
  const QString s = FormSection(form, section);
  WriteInteger(s, QStringLiteral("Left"), form->x());
  WriteInteger(s, QStringLiteral("Top"), form->y());
  WriteInteger(s, QStringLiteral("Height"), form->height());
  WriteInteger(s, QStringLiteral("Width"), form->width());
}

void InitializeSettingsUnit() {
  // The string table first: every other unit registers its texts in it.
  if (!AppStrings) {
    AppStrings = new TqsStringList();
    InitializeFrameworkStrings();
  }
  if (!Contexte) new TqsContexte();
  if (!Language) new TqsLanguage();
}

void FinalizeSettingsUnit() {
  delete Language;
  delete Contexte;
  delete AppStrings;
  AppStrings = nullptr;
}
