#pragma once
// The shell change notifier: a non-visual component that turns the system's
// change notifications (media, files, directories) into events carrying the
// affected path or paths. It listens only for the kinds that have a handler.
//
// Notifications reach a hidden object of the component as posted messages
// numbered MessageNo, so handlers run on the user-interface thread after the
// current handler returns. The directory kinds concern the trees given to
// SetWatchedTrees (the system has no "whole name space" to watch).
#include <QObject>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "framework/qs_messages.h"

namespace platform {
class ChangeSource;
}

enum TTextCase { tcAsIs, tcUppercase, tcLowercase };

class TSHChangeNotify;
using TOneParmEvent = std::function<void(TSHChangeNotify* Sender, std::uint32_t Flags, const QString& Path1)>;
using TTwoParmEvent = std::function<void(TSHChangeNotify* Sender, std::uint32_t Flags, const QString& Path1,
                                         const QString& Path2)>;

// The message that delivers one notification: the event code (top bit: the
// interrupt-level marker) in LParam, the two paths in WParam. The message
// owns its paths, so they are freed whether or not it is ever handled.
class TSHNotifyMessage : public TqsMessageEvent {
 public:
  struct TPaths {
    QString Path1;
    QString Path2;
  };
  // `timeMs`: when the change was seen, on the monotonic clock of
  // TSHChangeNotify::Now(); by default now.
  TSHNotifyMessage(unsigned message, std::uint32_t code, const QString& path1, const QString& path2 = {},
                   std::optional<qint64> timeMs = std::nullopt);
  ~TSHNotifyMessage() override;
  const TPaths& Paths() const { return *fPaths; }
  qint64 TimeMs() const { return fTimeMs; }

 private:
  TSHNotifyMessage(unsigned message, std::uint32_t code, std::unique_ptr<TPaths> paths, qint64 timeMs);
  std::unique_ptr<TPaths> fPaths;
  qint64 fTimeMs;
};

class TSHChangeNotify : public QObject {
  Q_OBJECT
 public:
  static constexpr std::uint32_t kInterruptLevel = 0x80000000u;
  // The same event again within this time counts as one report given twice.
  static constexpr qint64 kRepeatWindowMs = 250;

  explicit TSHChangeNotify(QObject* owner = nullptr);
  ~TSHChangeNotify() override;

  int MessageNo() const { return fMessageNo; }
  void SetMessageNo(int value) { fMessageNo = value; }
  TTextCase TextCase() const { return fTextCase; }
  void SetTextCase(TTextCase value) { fTextCase = value; }

  // The directory trees the directory events concern; a change registers anew.
  QStringList WatchedTrees() const { return fWatchedTrees; }
  void SetWatchedTrees(const QStringList& trees);

  // Assigning a handler registers anew with the kinds that have one.
  TTwoParmEvent OnRenameItem() const { return fTwo[0]; }
  void SetOnRenameItem(TTwoParmEvent handler) { SetTwo(0, std::move(handler)); }
  TOneParmEvent OnCreate() const { return fOne[1]; }
  void SetOnCreate(TOneParmEvent handler) { SetOne(1, std::move(handler)); }
  TOneParmEvent OnDelete() const { return fOne[2]; }
  void SetOnDelete(TOneParmEvent handler) { SetOne(2, std::move(handler)); }
  TOneParmEvent OnMkDir() const { return fOne[3]; }
  void SetOnMkDir(TOneParmEvent handler) { SetOne(3, std::move(handler)); }
  TOneParmEvent OnRmDir() const { return fOne[4]; }
  void SetOnRmDir(TOneParmEvent handler) { SetOne(4, std::move(handler)); }
  TOneParmEvent OnMediaInserted() const { return fOne[5]; }
  void SetOnMediaInserted(TOneParmEvent handler) { SetOne(5, std::move(handler)); }
  TOneParmEvent OnMediaRemoved() const { return fOne[6]; }
  void SetOnMediaRemoved(TOneParmEvent handler) { SetOne(6, std::move(handler)); }
  TOneParmEvent OnDriveRemoved() const { return fOne[7]; }
  void SetOnDriveRemoved(TOneParmEvent handler) { SetOne(7, std::move(handler)); }
  TOneParmEvent OnDriveAdd() const { return fOne[8]; }
  void SetOnDriveAdd(TOneParmEvent handler) { SetOne(8, std::move(handler)); }
  TOneParmEvent OnNetShare() const { return fOne[9]; }
  void SetOnNetShare(TOneParmEvent handler) { SetOne(9, std::move(handler)); }
  TOneParmEvent OnNetUnshare() const { return fOne[10]; }
  void SetOnNetUnshare(TOneParmEvent handler) { SetOne(10, std::move(handler)); }
  TOneParmEvent OnAttributes() const { return fOne[11]; }
  void SetOnAttributes(TOneParmEvent handler) { SetOne(11, std::move(handler)); }
  TOneParmEvent OnUpdateDir() const { return fOne[12]; }
  void SetOnUpdateDir(TOneParmEvent handler) { SetOne(12, std::move(handler)); }
  TOneParmEvent OnUpdateItem() const { return fOne[13]; }
  void SetOnUpdateItem(TOneParmEvent handler) { SetOne(13, std::move(handler)); }
  TOneParmEvent OnServerDisconnect() const { return fOne[14]; }
  void SetOnServerDisconnect(TOneParmEvent handler) { SetOne(14, std::move(handler)); }
  TOneParmEvent OnUpdateImage() const { return fOne[15]; }
  void SetOnUpdateImage(TOneParmEvent handler) { SetOne(15, std::move(handler)); }
  TOneParmEvent OnDriveAddGUI() const { return fOne[16]; }
  void SetOnDriveAddGUI(TOneParmEvent handler) { SetOne(16, std::move(handler)); }
  TTwoParmEvent OnRenameFolder() const { return fTwo[17]; }
  void SetOnRenameFolder(TTwoParmEvent handler) { SetTwo(17, std::move(handler)); }
  TTwoParmEvent OnAssocChanged() const { return fTwo[18]; }
  void SetOnAssocChanged(TTwoParmEvent handler) { SetTwo(18, std::move(handler)); }

  // Unregisters, then registers for the kinds that have a handler (none: stays
  // unregistered). Raises "Could not register SHChangeNotify" when the
  // system's change source cannot be started.
  void UpdateRegistration();
  void Unregister();
  bool Registered() const { return fNotifyHandle != 0; }
  // The union of the codes of the events that have a handler.
  std::uint32_t EventMask() const;

  // The hidden object notifications are posted to.
  QObject* NotifyWindow() const { return fNotifyWindow; }
  // The change source, for tests that narrow the system's limits.
  platform::ChangeSource& Source() { return *fSource; }
  // The monotonic clock of the repeat check, in milliseconds.
  static qint64 Now();

 private:
  friend class TSHNotifyWindow;
  struct TNotifyEntry {
    QStringList Trees;
    bool Recursive = true;
  };

  void SetOne(int index, TOneParmEvent handler);
  void SetTwo(int index, TTwoParmEvent handler);
  bool HasHandler(int index) const;
  // True when the message was ours.
  bool HandleMessage(const TqsMessageEvent& message);
  void PostChange(std::uint32_t code, const QString& path1, const QString& path2);

  QObject* fNotifyWindow;
  std::optional<TNotifyEntry> fNotifyEntry;
  std::uint32_t fNotifyHandle = 0;
  std::uint32_t fLastEvent = 0;
  QString fLastPath1;
  QString fLastPath2;
  qint64 fLastTimeMs = 0;
  std::unique_ptr<platform::ChangeSource> fSource;

  int fMessageNo = 1024;
  int fRegisteredMessageNo = 1024;
  TTextCase fTextCase = tcAsIs;
  QStringList fWatchedTrees;
  std::array<TOneParmEvent, 19> fOne;
  std::array<TTwoParmEvent, 19> fTwo;
};
