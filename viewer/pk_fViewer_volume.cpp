// The viewer's sound level: keys, wheel and menu change it, it shows over
// the picture for a moment, and it is the preview's level too.
#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QTimer>

#include <algorithm>

#include "app/pk_param.h"
#include "app/pk_str.h"
#include "framework/qs_components.h"
#include "framework/qs_stringlist.h"
#include "platform/mpris_service.h"
#include "viewer/filter_graph.h"
#include "viewer/pk_fViewer.h"
#include "viewer/video_window.h"

void TFrmViewer::BuildVolume() {
  cmVolume = MenuItem(this, "cmVolume", QStringLiteral("Volume"));
  cmVolume->setMenu(new QMenu(PopupMenu));
  cmVolumeUp = MenuItem(this, "cmVolumeUp", QStringLiteral("Louder"));
  cmVolumeDown = MenuItem(this, "cmVolumeDown", QStringLiteral("Quieter"));
  cmMute = MenuItem(this, "cmMute", QStringLiteral("Mute"));
  cmMute->setCheckable(true);
  cmVolume->menu()->addActions({cmVolumeUp, cmVolumeDown, cmMute});
  connect(cmVolumeUp, &QAction::triggered, this, [this] { ChangeVolume(1); });
  connect(cmVolumeDown, &QAction::triggered, this, [this] { ChangeVolume(-1); });
  connect(cmMute, &QAction::triggered, this, [this] { ToggleMute(); });

  _lbVolume = Named(new QLabel(DSVideoWindow), "_lbVolume");
  _lbVolume->setAttribute(Qt::WA_TransparentForMouseEvents);  // clicks still pause
  _lbVolume->setStyleSheet(QStringLiteral(
      "QLabel { color: white; background: rgba(0, 0, 0, 160); border-radius: 4px; padding: 6px 12px; }"));
  QFont font = _lbVolume->font();
  font.setPixelSize(22);
  font.setBold(true);
  _lbVolume->setFont(font);
  _lbVolume->hide();
  fVolumeShown = new QTimer(this);
  fVolumeShown->setSingleShot(true);
  fVolumeShown->setInterval(VolumeShownMs);
  connect(fVolumeShown, &QTimer::timeout, _lbVolume, &QWidget::hide);

  // One step per notch; a fine-grained wheel adds up to notches.
  DSVideoWindow->SetOnMouseWheel([this, pending = 0](QObject*, Qt::KeyboardModifiers, int delta, QPoint,
                                                     bool& handled) mutable {
    pending += delta;
    const int notches = pending / 120;
    pending %= 120;
    if (notches != 0) ChangeVolume(notches);
    handled = true;
  });
}

void TFrmViewer::ChangeVolume(int steps) {
  TRBParameters& p = Parameters();
  p.Volume = std::clamp(p.Volume + steps * VolumeStep, 0, 100);
  p.Muted = false;
  ApplyVolume(true);
}

void TFrmViewer::ToggleMute() {
  Parameters().Muted = !Parameters().Muted;
  ApplyVolume(true);
}

void TFrmViewer::ApplyVolume(bool show) {
  const TRBParameters& p = Parameters();
  FilterGraph->SetVolume(p.GraphVolume());
  cmMute->setChecked(p.Muted);
  if (fShowing) platform::MediaPlayerChanged(this);
  if (!show) return;
  const TqsStringList& texts = *AppStrings;
  QString text = p.Muted ? texts[sSoundOff] : texts[sVolumeLevel];
  text.replace(QStringLiteral("%d"), QString::number(p.Volume));
  _lbVolume->setText(text);
  _lbVolume->adjustSize();
  // Top left of the part of the picture that can be seen.
  QRect visible = DSVideoWindow->PictureRect() & DSVideoWindow->rect();
  visible &= QRect(DSVideoWindow->mapFrom(this, QPoint(0, 0)), size());
  if (visible.isEmpty()) visible = DSVideoWindow->rect();
  _lbVolume->move(visible.topLeft() + QPoint(24, 24));
  _lbVolume->show();
  _lbVolume->raise();
  fVolumeShown->start();
}

double TFrmViewer::MediaVolume() const { return Parameters().SoundLevel(); }

void TFrmViewer::MediaSetVolume(double level) {
  Parameters().SetSoundLevel(level);
  ApplyVolume(true);
}
