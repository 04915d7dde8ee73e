#pragma once
// The settings store: typed values under the program's key of the current
// user's registry, in named sections, and the saved positions of windows.
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>

#include "framework/qs_exception.h"

namespace platform {
class TRegistry;
}

// The program's own errors raised by the settings unit's users.
class EQSException : public Exception {
 public:
  using Exception::Exception;
};

// How a window's border behaves; only sizeable windows get their size back.
enum class TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };

// A window's border style (sizeable unless set).
TFormBorderStyle FormBorderStyle(const QWidget* form);
// Sets it; a fixed style also fixes the window at its current size.
void SetFormBorderStyle(QWidget* form, TFormBorderStyle style);

// The framework's window class.
class TqsForm : public QWidget {
  Q_OBJECT
 public:
  using TNotifyEvent = std::function<void(QObject* sender)>;

  explicit TqsForm(QWidget* parent = nullptr);

  // Overrides the section name of the window's position.
  const QString& SettingsSection() const { return fSettingsSection; }
  void SetSettingsSection(const QString& value) { fSettingsSection = value; }
  // Called by the language manager once it has translated the window.
  const TNotifyEvent& OnTranslate() const { return fOnTranslate; }
  void SetOnTranslate(TNotifyEvent handler) { fOnTranslate = std::move(handler); }

 private:
  QString fSettingsSection;
  TNotifyEvent fOnTranslate;
};

class TqsContexte {
 public:
  // `hivePath` empty: the user's own hive.
  explicit TqsContexte(const QString& hivePath = QString());
  ~TqsContexte();
  TqsContexte(const TqsContexte&) = delete;
  TqsContexte& operator=(const TqsContexte&) = delete;

  static QString AppName();
  QString AppKey();
  bool OpenSection(const QString& section, bool mayCreate);

  QString ReadString(const QString& section, const QString& name, const QString& def);
  QString ReadString(const QString& name, const QString& def);
  QString ReadString(const QString& name);
  void WriteString(const QString& section, const QString& name, const QString& value);
  void WriteString(const QString& name, const QString& value);

  int ReadInteger(const QString& section, const QString& name, int def);
  int ReadInteger(const QString& name, int def);
  int ReadInteger(const QString& name);
  void WriteInteger(const QString& section, const QString& name, int value);
  void WriteInteger(const QString& name, int value);

  bool ReadBool(const QString& section, const QString& name, bool def);
  bool ReadBool(const QString& name, bool def);
  bool ReadBool(const QString& name);
  void WriteBool(const QString& name, bool value);

  QString FormSection(const QWidget* form, const QString& section) const;
  void RestoreForm(QWidget* form, const QString& section);
  void SaveForm(QWidget* form, const QString& section);

 private:
  template <typename Write>
  void WriteValue(const QString& section, Write write);

  QString fAppKey;
  std::unique_ptr<platform::TRegistry> fRegistry;
  bool fDeniedReported = false;  // a settings file the user cannot write is reported once
};

// "\Software\Vessa\" + the program name with only its first letter capital.
QString MakeAppKey(const QString& appName);

inline const QString kDefaultSection = QStringLiteral("Initial");

// The single store; the first TqsContexte created becomes it.
extern TqsContexte* Contexte;

// Sets up the settings unit's single objects before any window exists (the
// string table AppStrings with the framework's texts, then Contexte, then
// the language manager Language), and frees them in reverse order at the
// end of the run.
void InitializeSettingsUnit();
void FinalizeSettingsUnit();
