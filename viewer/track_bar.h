#pragma once
// TDSTrackBar: a horizontal slider bound to a media graph. While the movie
// plays, a timer moves the thumb to the playing position and reports
// position and duration; releasing the thumb with the left button makes
// the graph jump to the matching point of the movie.
#include <QSlider>

#include <cstdint>
#include <functional>

#include "viewer/filter_graph.h"

class QTimer;

class TDSTrackBar : public QSlider, public IGraphListener {
  Q_OBJECT
 public:
  explicit TDSTrackBar(QWidget* parent = nullptr);
  ~TDSTrackBar() override;

  using TTimerEvent = std::function<void(QObject* sender, uint32_t currentPos, uint32_t stopPos)>;
  using TNotifyEvent = std::function<void(QObject* sender)>;

  // Published properties and events.
  TFilterGraph* FilterGraph() const { return fFilterGraph; }
  void SetFilterGraph(TFilterGraph* value);
  uint32_t TimerInterval() const { return fTimerInterval; }
  void SetTimerInterval(uint32_t value);
  void SetOnTimer(TTimerEvent handler);
  // Raised when the thumb position changes.
  void SetOnChange(TNotifyEvent handler) { fOnChange = std::move(handler); }

  bool Tracking() const { return fTracking; }
  bool TimerEnabled() const { return fTimerEnabled; }
  // The update timer runs.
  bool TimerActive() const;
  // The graph's seeking interface while the bound graph is active.
  IMediaSeeking* Seeking() const { return fSeeking; }

  // IGraphListener
  void HandleGraphEvent(long code, intptr_t param1, intptr_t param2) override;
  void HandleControlEvent(int code, int value) override;

  // One tick of the update timer.
  void TimerTick();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void SetTimerEnabled(bool value);
  void UpdateTimer();

  TFilterGraph* fFilterGraph = nullptr;
  QMetaObject::Connection fGraphGone;
  uint32_t fTimerInterval = 1000;
  TTimerEvent fOnTimer;
  TNotifyEvent fOnChange;
  bool fTracking = false;
  bool fTimerEnabled = false;
  QTimer* fTimer;  // the timer window's timer 1
  IMediaSeeking* fSeeking = nullptr;
};
