#include "viewer/track_bar.h"

#include <QMouseEvent>
#include <QTimer>

#include <limits>

TDSTrackBar::TDSTrackBar(QWidget* parent) : QSlider(Qt::Horizontal, parent), fTimer(new QTimer(this)) {
  setRange(0, 10);
  connect(fTimer, &QTimer::timeout, this, &TDSTrackBar::TimerTick);
  connect(this, &QSlider::valueChanged, this, [this] {
    if (fOnChange) fOnChange(this);
  });
}

TDSTrackBar::~TDSTrackBar() {
  SetTimerEnabled(false);
  UpdateTimer();
  if (fFilterGraph) {
    disconnect(fGraphGone);
    fFilterGraph->RemoveListener(this);
  }
  fFilterGraph = nullptr;
  fSeeking = nullptr;
}

void TDSTrackBar::SetFilterGraph(TFilterGraph* value) {
  if (value == fFilterGraph) return;
  if (fFilterGraph) {
    disconnect(fGraphGone);
    fFilterGraph->RemoveListener(this);
    fSeeking = nullptr;
  }
  if (value) {
    value->AddListener(this);
    // A graph that is already running hands its seeking interface now.
    fSeeking = value->MediaSeeking();
    fGraphGone = connect(value, &QObject::destroyed, this, [this] {
      fFilterGraph = nullptr;
      fSeeking = nullptr;
      SetTimerEnabled(false);
    });
  }
  fFilterGraph = value;
}

void TDSTrackBar::SetTimerInterval(uint32_t value) {
  if (value == fTimerInterval) return;
  fTimerInterval = value;
  UpdateTimer();
}

void TDSTrackBar::SetOnTimer(TTimerEvent handler) {
  fOnTimer = std::move(handler);
  UpdateTimer();
}

bool TDSTrackBar::TimerActive() const { return fTimer->isActive(); }

void TDSTrackBar::SetTimerEnabled(bool value) {
  if (value == fTimerEnabled) return;
  fTimerEnabled = value;
  UpdateTimer();
}

void TDSTrackBar::UpdateTimer() {
  fTimer->stop();
  if (fTimerInterval == 0 || !fTimerEnabled) return;
  // QTimer takes an int period.
  fTimer->start(static_cast<int>(std::min<uint32_t>(fTimerInterval, std::numeric_limits<int>::max())));
}

void TDSTrackBar::HandleControlEvent(int code, int value) {
  switch (code) {
    case ControlPlay:
      SetTimerEnabled(isEnabled());
      break;
    case ControlPause:
    case ControlStop:
      SetTimerEnabled(false);
      break;
    case ControlActivation:
      fSeeking = value == 1 && fFilterGraph ? fFilterGraph->MediaSeeking() : nullptr;
      break;
    default:
      break;
  }
}

void TDSTrackBar::HandleGraphEvent(long code, intptr_t, intptr_t) {
  if (code != EC_CLOCK_CHANGED || !fSeeking) return;
  int64_t duration = 0;
  fSeeking->GetDuration(&duration);
  int64_t current = 0;
  fSeeking->SetPositions(&current, AM_SEEKING_AbsolutePositioning, &duration, AM_SEEKING_NoPositioning);
}

void TDSTrackBar::TimerTick() {
  if (!fSeeking || fTracking || fTimerInterval == 0) return;
  int64_t duration = 0, position = 0;
  if (Failed(fSeeking->GetDuration(&duration)) || Failed(fSeeking->GetCurrentPosition(&position))) return;
  // Milliseconds, as unsigned 32-bit values.
  const auto p = static_cast<uint32_t>(position / 10000);
  const auto d = static_cast<uint32_t>(duration / 10000);
  const auto clampInt = [](uint32_t v) { return static_cast<int>(std::min<uint32_t>(v, std::numeric_limits<int>::max())); };
  setMinimum(0);
  setMaximum(clampInt(d / fTimerInterval));
  setValue(clampInt(p / fTimerInterval));
  if (fOnTimer) fOnTimer(this, p, d);
}

void TDSTrackBar::mousePressEvent(QMouseEvent* event) {
  QSlider::mousePressEvent(event);
  if (event->button() == Qt::LeftButton) fTracking = true;
}

void TDSTrackBar::mouseReleaseEvent(QMouseEvent* event) {
  QSlider::mouseReleaseEvent(event);
  // A bar of maximum 0 (a movie shorter than one step) has no point to
  // map the thumb to: the release leaves the movie where it is.
  bool moved = false;
  if (event->button() == Qt::LeftButton && fSeeking && maximum() > 0) {
    int64_t stop = 0;
    if (Succeeded(fSeeking->GetStopPosition(&stop))) {
      int64_t target = stop * value() / maximum();
      moved = Succeeded(
          fSeeking->SetPositions(&target, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning));
    }
  }
  fTracking = false;
  // The bar and its owner learn at once where the graph is now: a paused
  // graph runs no timer that would tell them.
  if (moved) TimerTick();
}
