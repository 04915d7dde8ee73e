#include "platform/mpris_service.h"

#include <QCoreApplication>
#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <QUrl>
#include <QVariantMap>

#include <algorithm>
#include <functional>
#include <unistd.h>

#include "platform/session_bus.h"
#include "platform/thumbnail_cache.h"

namespace platform {

namespace {

const QString kServiceName = QStringLiteral("org.mpris.MediaPlayer2.cinvo");
const QString kObjectPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString kRootInterface = QStringLiteral("org.mpris.MediaPlayer2");
const QString kPlayerInterface = QStringLiteral("org.mpris.MediaPlayer2.Player");
const QString kNoTrack = QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack");

// The controlled player is the last one started that still plays.
class TMediaService {
 public:
  QList<IMediaPlayer*> Players;
  QPointer<QObject> Root;  // the object on the bus, carrying both interfaces
  QString Name;            // the bus name held, empty when not published
  int Track = 0;           // numbers the movies, for their track ids
  QString SentStatus;
  QVariantMap SentMetadata;
  double SentVolume = -1;
  bool SentFullscreen = false;

  IMediaPlayer* Active() const { return Players.isEmpty() ? nullptr : Players.last(); }
  double Volume() const {
    const IMediaPlayer* player = Active();
    return player ? player->MediaVolume() : 1.0;
  }
  QString TrackId() const { return QStringLiteral("/org/mpris/MediaPlayer2/cinvo/track/%1").arg(Track); }

  QString Status() const {
    const IMediaPlayer* player = Active();
    if (!player) return QStringLiteral("Stopped");
    return player->MediaPlaying() ? QStringLiteral("Playing") : QStringLiteral("Paused");
  }

  bool Fullscreen() const {
    const IMediaPlayer* player = Active();
    return player && player->MediaFullscreen();
  }

  QVariantMap Metadata() const {
    QVariantMap map;
    const IMediaPlayer* player = Active();
    if (!player) {
      map.insert(QStringLiteral("mpris:trackid"), QVariant::fromValue(QDBusObjectPath(kNoTrack)));
      return map;
    }
    map.insert(QStringLiteral("mpris:trackid"), QVariant::fromValue(QDBusObjectPath(TrackId())));
    const int64_t length = player->MediaDurationUs();
    if (length > 0) map.insert(QStringLiteral("mpris:length"), QVariant::fromValue(qlonglong(length)));
    map.insert(QStringLiteral("xesam:title"), player->MediaTitle());
    map.insert(QStringLiteral("xesam:url"), QUrl::fromLocalFile(player->MediaFileName()).toString(QUrl::FullyEncoded));
    // The movie's picture, once its thumbnail is in the desktop's cache.
    const QString art = CachedThumbnail(player->MediaFileName());
    if (!art.isEmpty()) map.insert(QStringLiteral("mpris:artUrl"), QUrl::fromLocalFile(art).toString(QUrl::FullyEncoded));
    return map;
  }

  void Publish();
  void Withdraw();
  void AnnounceChanges(bool always);
  void SendPropertiesChanged(const QString& interface, const QVariantMap& changed);
};

TMediaService& Service() {
  // Never destroyed: it may outlive the application object, and must not
  // touch the bus after it.
  static TMediaService* service = new TMediaService;
  return *service;
}

// Runs `action` on the active player from the event loop, after the bus call
// has been answered: a stop may close the window and take the service off the
// bus, which must not happen inside the call being served.
void Later(std::function<void(IMediaPlayer*)> action) {
  QTimer::singleShot(0, QCoreApplication::instance(), [action = std::move(action)] {
    if (IMediaPlayer* player = Service().Active()) action(player);
  });
}

}  // namespace

// ------------------------------------------------- org.mpris.MediaPlayer2

class TMprisRoot : public QDBusAbstractAdaptor {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
  Q_PROPERTY(bool CanQuit READ CanQuit)
  Q_PROPERTY(bool CanRaise READ CanRaise)
  Q_PROPERTY(bool Fullscreen READ Fullscreen WRITE SetFullscreen)
  Q_PROPERTY(bool CanSetFullscreen READ CanSetFullscreen)
  Q_PROPERTY(bool HasTrackList READ HasTrackList)
  Q_PROPERTY(QString Identity READ Identity)
  Q_PROPERTY(QString DesktopEntry READ DesktopEntry)
  Q_PROPERTY(QStringList SupportedUriSchemes READ SupportedUriSchemes)
  Q_PROPERTY(QStringList SupportedMimeTypes READ SupportedMimeTypes)

 public:
  explicit TMprisRoot(QObject* parent) : QDBusAbstractAdaptor(parent) {}
  bool CanQuit() const { return true; }
  bool CanRaise() const { return true; }
  bool Fullscreen() const { return Service().Fullscreen(); }
  // The viewer is always full screen and the preview never: nothing to set.
  void SetFullscreen(bool) {}
  bool CanSetFullscreen() const { return false; }
  bool HasTrackList() const { return false; }
  QString Identity() const { return QStringLiteral("Cinvo"); }
  QString DesktopEntry() const { return QStringLiteral("com.vessa.Cinvo"); }
  QStringList SupportedUriSchemes() const { return {QStringLiteral("file")}; }
  // The types the graph plays, as the desktop entry announces them.
  QStringList SupportedMimeTypes() const {
    return {QStringLiteral("video/x-msvideo"), QStringLiteral("video/avi"),       QStringLiteral("video/msvideo"),
            QStringLiteral("video/vnd.avi"),   QStringLiteral("video/x-matroska"), QStringLiteral("video/mp4"),
            QStringLiteral("video/x-m4v"),     QStringLiteral("video/webm"),       QStringLiteral("video/quicktime"),
            QStringLiteral("video/mpeg"),      QStringLiteral("video/mp2t"),       QStringLiteral("video/ogg"),
            QStringLiteral("video/x-ms-wmv"),  QStringLiteral("video/x-flv"),      QStringLiteral("video/3gpp")};
  }

 public Q_SLOTS:
  void Raise() {
    Later([](IMediaPlayer* p) { p->MediaRaise(); });
  }
  void Quit() {
    Later([](IMediaPlayer* p) { p->MediaQuit(); });
  }
};

// ------------------------------------------ org.mpris.MediaPlayer2.Player

class TMprisPlayer : public QDBusAbstractAdaptor {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
  Q_PROPERTY(QString PlaybackStatus READ PlaybackStatus)
  Q_PROPERTY(double Rate READ Rate WRITE SetRate)
  Q_PROPERTY(double MinimumRate READ Rate)
  Q_PROPERTY(double MaximumRate READ Rate)
  Q_PROPERTY(QVariantMap Metadata READ Metadata)
  Q_PROPERTY(double Volume READ Volume WRITE SetVolume)
  Q_PROPERTY(qlonglong Position READ Position)
  Q_PROPERTY(bool CanGoNext READ No)
  Q_PROPERTY(bool CanGoPrevious READ No)
  Q_PROPERTY(bool CanPlay READ Playable)
  Q_PROPERTY(bool CanPause READ Playable)
  Q_PROPERTY(bool CanSeek READ Playable)
  Q_PROPERTY(bool CanControl READ Yes)

 public:
  explicit TMprisPlayer(QObject* parent) : QDBusAbstractAdaptor(parent) {}
  QString PlaybackStatus() const { return Service().Status(); }
  double Rate() const { return 1.0; }
  void SetRate(double) {}  // movies play at their own speed only
  QVariantMap Metadata() const { return Service().Metadata(); }
  double Volume() const {
    const IMediaPlayer* player = Service().Active();
    return player ? player->MediaVolume() : 1.0;
  }
  void SetVolume(double level) {
    // Beyond full the movie would only distort; below silence is silence.
    level = std::clamp(level, 0.0, 1.0);
    Later([level](IMediaPlayer* p) { p->MediaSetVolume(level); });
  }
  qlonglong Position() const {
    const IMediaPlayer* player = Service().Active();
    const int64_t position = player ? player->MediaPositionUs() : 0;
    return position < 0 ? 0 : position;
  }
  bool No() const { return false; }
  bool Yes() const { return true; }
  bool Playable() const { return Service().Active() != nullptr; }

 public Q_SLOTS:
  void Next() {}
  void Previous() {}
  void Play() {
    Later([](IMediaPlayer* p) { p->MediaPlay(); });
  }
  void Pause() {
    Later([](IMediaPlayer* p) { p->MediaPause(); });
  }
  void PlayPause() {
    Later([](IMediaPlayer* p) { p->MediaPlaying() ? p->MediaPause() : p->MediaPlay(); });
  }
  void Stop() {
    Later([](IMediaPlayer* p) { p->MediaStop(); });
  }
  void Seek(qlonglong offset) {
    Later([offset](IMediaPlayer* p) {
      const int64_t length = p->MediaDurationUs();
      int64_t target = std::max<int64_t>(0, std::max<int64_t>(0, p->MediaPositionUs()) + offset);
      // Past the end there is no next movie to go to: the seek is ignored,
      // as the viewer's own keys ignore a step past the end.
      if (length > 0 && target >= length) return;
      p->MediaSetPositionUs(target);  // the player announces the jump
    });
  }
  void SetPosition(const QDBusObjectPath& track, qlonglong position) {
    const QString wanted = track.path();
    Later([wanted, position](IMediaPlayer* p) {
      // A position for another movie, or outside this one, is ignored.
      if (wanted != Service().TrackId() || position < 0) return;
      const int64_t length = p->MediaDurationUs();
      if (length > 0 && position > length) return;
      p->MediaSetPositionUs(position);
    });
  }
  void OpenUri(const QString&, const QDBusMessage& message) {
    // Movies are opened from the library or the file manager; the running
    // player does not switch movies on request, and says so.
    message.setDelayedReply(true);
    QDBusConnection::sessionBus().send(
        message.createErrorReply(QStringLiteral("org.mpris.MediaPlayer2.Player.Error.NotSupported"),
                                 QStringLiteral("Cinvo opens movies from its library or the file manager.")));
  }

 Q_SIGNALS:
  void Seeked(qlonglong position);
};

// ---------------------------------------------------------------- service

namespace {

void TMediaService::Publish() {
  if (!Name.isEmpty() || !SessionBusKnown()) return;
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) return;
  auto* root = new QObject;
  new TMprisRoot(root);
  new TMprisPlayer(root);
  if (!bus.registerObject(kObjectPath, root)) {
    delete root;
    return;
  }
  // A second program file of ours may hold the plain name: the usual
  // per-instance suffix keeps both reachable.
  QString name = kServiceName;
  if (!bus.registerService(name)) {
    name = kServiceName + QStringLiteral(".instance%1").arg(::getpid());
    if (!bus.registerService(name)) {
      bus.unregisterObject(kObjectPath);
      delete root;
      return;
    }
  }
  Root = root;
  Name = name;
  SentStatus = Status();
  SentMetadata = Metadata();
  SentVolume = Volume();
  SentFullscreen = Fullscreen();
}

void TMediaService::Withdraw() {
  if (Name.isEmpty()) return;
  QDBusConnection bus = QDBusConnection::sessionBus();
  bus.unregisterService(Name);
  bus.unregisterObject(kObjectPath);
  delete Root.data();
  Name.clear();
}

void TMediaService::AnnounceChanges(bool always) {
  if (Name.isEmpty()) return;
  QVariantMap changed;
  const QString status = Status();
  if (always || status != SentStatus) changed.insert(QStringLiteral("PlaybackStatus"), status);
  const QVariantMap metadata = Metadata();
  if (always || metadata != SentMetadata) changed.insert(QStringLiteral("Metadata"), metadata);
  const double volume = Volume();
  if (always || volume != SentVolume) changed.insert(QStringLiteral("Volume"), volume);
  SentStatus = status;
  SentMetadata = metadata;
  SentVolume = volume;
  if (!changed.isEmpty()) SendPropertiesChanged(kPlayerInterface, changed);
  const bool fullscreen = Fullscreen();
  if (always || fullscreen != SentFullscreen)
    SendPropertiesChanged(kRootInterface, {{QStringLiteral("Fullscreen"), fullscreen}});
  SentFullscreen = fullscreen;
}

void TMediaService::SendPropertiesChanged(const QString& interface, const QVariantMap& changed) {
  QDBusMessage signal = QDBusMessage::createSignal(kObjectPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                                   QStringLiteral("PropertiesChanged"));
  signal << interface << changed << QStringList();
  QDBusConnection::sessionBus().send(signal);
}

}  // namespace

void MediaPlayerStarted(IMediaPlayer* player) {
  if (!player) return;
  TMediaService& service = Service();
  service.Players.removeAll(player);
  service.Players.append(player);
  ++service.Track;
  if (service.Name.isEmpty())
    service.Publish();
  else
    service.AnnounceChanges(true);
}

void MediaPlayerChanged(IMediaPlayer* player, bool seeked) {
  TMediaService& service = Service();
  if (!player || player != service.Active() || service.Name.isEmpty()) return;
  service.AnnounceChanges(false);
  if (seeked)
    if (auto* adaptor = service.Root ? service.Root->findChild<TMprisPlayer*>() : nullptr)
      Q_EMIT adaptor->Seeked(adaptor->Position());
}

void MediaPlayerEnded(IMediaPlayer* player) {
  TMediaService& service = Service();
  const bool wasActive = player && player == service.Active();
  service.Players.removeAll(player);
  if (service.Players.isEmpty())
    service.Withdraw();
  else if (wasActive) {
    ++service.Track;
    service.AnnounceChanges(true);
  }
}

}  // namespace platform

#include "mpris_service.moc"
