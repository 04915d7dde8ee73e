#include "controls/qs_ShellNotify.h"

#include <QElapsedTimer>

#include "framework/qs_application.h"
#include "framework/qs_exception.h"
#include "platform/change_source.h"

namespace {

struct TEventKind {
  std::uint32_t Code;
  bool TwoPaths;
};

// In the order of the event setters' indexes.
constexpr std::array<TEventKind, 19> kEvents = {{
    {0x00000001, true},   // OnRenameItem
    {0x00000002, false},  // OnCreate
    {0x00000004, false},  // OnDelete
    {0x00000008, false},  // OnMkDir
    {0x00000010, false},  // OnRmDir
    {0x00000020, false},  // OnMediaInserted
    {0x00000040, false},  // OnMediaRemoved
    {0x00000080, false},  // OnDriveRemoved
    {0x00000100, false},  // OnDriveAdd
    {0x00000200, false},  // OnNetShare
    {0x00000400, false},  // OnNetUnshare
    {0x00000800, false},  // OnAttributes
    {0x00001000, false},  // OnUpdateDir
    {0x00002000, false},  // OnUpdateItem
    {0x00004000, false},  // OnServerDisconnect
    {0x00008000, false},  // OnUpdateImage
    {0x00010000, false},  // OnDriveAddGUI
    {0x00020000, true},   // OnRenameFolder
    {0x08000000, true},   // OnAssocChanged
}};

int IndexOf(std::uint32_t code) {
  for (std::size_t i = 0; i < kEvents.size(); ++i)
    if (kEvents[i].Code == code) return static_cast<int>(i);
  return -1;
}

QString Converted(const QString& path, TTextCase textCase) {
  switch (textCase) {
    case tcUppercase:
      return path.toUpper();
    case tcLowercase:
      return path.toLower();
    case tcAsIs:
      break;
  }
  return path;
}

// The limit message is worth reading once per run, not at every registration.
bool gLimitReported = false;

}  // namespace

// ---- the message ----

TSHNotifyMessage::TSHNotifyMessage(unsigned message, std::uint32_t code, const QString& path1,
                                   const QString& path2, std::optional<qint64> timeMs)
    : TSHNotifyMessage(message, code, std::make_unique<TPaths>(TPaths{path1, path2}),
                       timeMs ? *timeMs : TSHChangeNotify::Now()) {}

TSHNotifyMessage::TSHNotifyMessage(unsigned message, std::uint32_t code, std::unique_ptr<TPaths> paths,
                                   qint64 timeMs)
    : TqsMessageEvent(message, reinterpret_cast<intptr_t>(paths.get()), static_cast<intptr_t>(code)),
      fPaths(std::move(paths)),
      fTimeMs(timeMs) {}

TSHNotifyMessage::~TSHNotifyMessage() = default;

// ---- the hidden window ----

class TSHNotifyWindow : public QObject {
 public:
  explicit TSHNotifyWindow(TSHChangeNotify* owner) : QObject(owner), fOwner(owner) {}
  bool event(QEvent* e) override {
    if (e->type() == TqsMessageEvent::MessageEventType() &&
        fOwner->HandleMessage(*static_cast<const TqsMessageEvent*>(e)))
      return true;
    return QObject::event(e);
  }

 private:
  TSHChangeNotify* fOwner;
};

// ---- the component ----

TSHChangeNotify::TSHChangeNotify(QObject* owner)
    : QObject(owner), fNotifyWindow(new TSHNotifyWindow(this)), fSource(std::make_unique<platform::ChangeSource>()) {
  fSource->SetChangeHandler(
      [this](std::uint32_t code, const QString& path1, const QString& path2) { PostChange(code, path1, path2); });
  fSource->SetLimitHandler([](const QString& message) {
    if (gLimitReported) return;
    gLimitReported = true;
    ReportErrorLater(message);
  });
  UpdateRegistration();
}

TSHChangeNotify::~TSHChangeNotify() {
  Unregister();
  // The hidden window goes with its parent, taking undelivered messages along.
}

qint64 TSHChangeNotify::Now() {
  static QElapsedTimer clock = [] {
    QElapsedTimer t;
    t.start();
    return t;
  }();
  return clock.elapsed();
}

void TSHChangeNotify::SetWatchedTrees(const QStringList& trees) {
  if (trees == fWatchedTrees) return;
  fWatchedTrees = trees;
  UpdateRegistration();
}

void TSHChangeNotify::SetOne(int index, TOneParmEvent handler) {
  fOne[index] = std::move(handler);
  UpdateRegistration();
}

void TSHChangeNotify::SetTwo(int index, TTwoParmEvent handler) {
  fTwo[index] = std::move(handler);
  UpdateRegistration();
}

bool TSHChangeNotify::HasHandler(int index) const {
  return kEvents[index].TwoPaths ? static_cast<bool>(fTwo[index]) : static_cast<bool>(fOne[index]);
}

std::uint32_t TSHChangeNotify::EventMask() const {
  std::uint32_t mask = 0;
  for (std::size_t i = 0; i < kEvents.size(); ++i)
    if (HasHandler(static_cast<int>(i))) mask |= kEvents[i].Code;
  return mask;
}

void TSHChangeNotify::Unregister() {
  fNotifyEntry.reset();
  if (fNotifyHandle != 0) fSource->Stop();
  fNotifyHandle = 0;
}

void TSHChangeNotify::UpdateRegistration() {
  Unregister();
  const std::uint32_t mask = EventMask();
  if (mask == 0) return;
  fNotifyEntry = TNotifyEntry{fWatchedTrees, true};
  fRegisteredMessageNo = fMessageNo;
  if (!fSource->Start(mask, fNotifyEntry->Trees)) throw Exception(QStringLiteral("Could not register SHChangeNotify"));
  static std::uint32_t lastHandle = 0;
  if (++lastHandle == 0) ++lastHandle;
  fNotifyHandle = lastHandle;
}

void TSHChangeNotify::PostChange(std::uint32_t code, const QString& path1, const QString& path2) {
  QCoreApplication::postEvent(fNotifyWindow,
                              new TSHNotifyMessage(static_cast<unsigned>(fRegisteredMessageNo), code, path1, path2));
}

bool TSHChangeNotify::HandleMessage(const TqsMessageEvent& message) {
  if (fMessageNo < 0 || message.Message() != static_cast<unsigned>(fMessageNo)) return false;

  const std::uint32_t code = static_cast<std::uint32_t>(message.LParam()) & ~kInterruptLevel;
  const int index = IndexOf(code);
  if (index < 0 || !HasHandler(index)) return true;

  // Paths travel only in our own messages; anything else carries none.
  const auto* notification = dynamic_cast<const TSHNotifyMessage*>(&message);
  QString path1 = notification ? notification->Paths().Path1 : QString();
  QString path2 = notification ? notification->Paths().Path2 : QString();
  const qint64 when = notification ? notification->TimeMs() : Now();

  // One report given twice; the same event much later is a new change (a
  // second file added to a directory must refresh its list again).
  if (code == fLastEvent && when - fLastTimeMs < kRepeatWindowMs &&
      path1.compare(fLastPath1, Qt::CaseInsensitive) == 0 && path2.compare(fLastPath2, Qt::CaseInsensitive) == 0)
    return true;
  fLastEvent = code;
  fLastPath1 = path1;
  fLastPath2 = path2;
  fLastTimeMs = when;

  path1 = Converted(path1, fTextCase);
  path2 = Converted(path2, fTextCase);
  if (kEvents[index].TwoPaths)
    fTwo[index](this, code, path1, path2);
  else
    fOne[index](this, code, path1);
  return true;
}
