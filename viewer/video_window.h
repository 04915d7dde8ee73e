#pragma once
// TDSVideoWindowEx2: the control that shows a movie's picture. Bound to a
// media graph, it puts its own renderer into the graph (a member filter),
// routes the decoded video through a colour stage ("Overlay Mixer") that its
// ColorControl steers, and paints the frames itself: letter box, crop or
// stretch, source rectangle and digital zoom, with Color around the picture.
// It hides the idle mouse cursor and can keep the screen saver off while
// shown.
#include <gst/gst.h>

#include <QColor>
#include <QCursor>
#include <QImage>
#include <QPointer>
#include <QRect>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "viewer/filter_graph.h"

class QPainter;
class TColorControl;
class TVideoRenderer;
class TDSVideoWindowEx2;

enum TRatioModes { rmStretched = 0, rmLetterBox = 1, rmCrop = 2 };

// What the current rendering path allows.
class TDSVideoWindowEx2Caps {
 public:
  explicit TDSVideoWindowEx2Caps(TDSVideoWindowEx2* owner) : fOwner(owner) {}
  bool CanOverlayGraphic() const;
  bool CanControlBrigtness() const { return Flag(0); }
  bool CanControlContrast() const { return Flag(1); }
  bool CanControlHue() const { return Flag(2); }
  bool CanControlSaturation() const { return Flag(3); }
  bool CanControlSharpness() const { return Flag(4); }
  bool CanControlGamma() const { return Flag(5); }
  bool CanControlColorEnabled() const { return Flag(6); }

 private:
  bool Flag(int bit) const;
  TDSVideoWindowEx2* fOwner;
};

// Fits picture rectangle P into outer rectangle O keeping its aspect, centred.
// An empty picture gives an empty rectangle at O's centre.
QRect FitRect(const QRect& outer, const QRect& picture);
// a * b / c with a 64-bit intermediate, rounded half away from zero; -1
// when c is 0.
int MulDiv(int a, int b, int c);

class TDSVideoWindowEx2 : public QWidget, public IMemberFilter, public IGraphListener {
  Q_OBJECT
 public:
  explicit TDSVideoWindowEx2(QWidget* parent = nullptr);
  ~TDSVideoWindowEx2() override;

  // Published properties.
  TRatioModes AspectRatio() const { return fAspectRatio; }
  void SetAspectRatio(TRatioModes value);
  int AutoHideCursor() const { return fAutoHideCursor; }
  void SetAutoHideCursor(int value) { fAutoHideCursor = value; }
  int DigitalZoom() const { return fDigitalZoom; }
  // 0..99, else Exception "Value %d out of range. Value must bee between 0 -> 99".
  void SetDigitalZoom(int value);
  TFilterGraph* FilterGraph() const { return fFilterGraph; }
  void SetFilterGraph(TFilterGraph* value);
  TColorControl* ColorControl() const { return fColorControl; }
  bool NoScreenSaver() const { return fNoScreenSaver; }
  void SetNoScreenSaver(bool value);
  QColor Color() const { return fColor; }
  void SetColor(const QColor& value);
  const TDSVideoWindowEx2Caps& Caps() const { return fCaps; }

  // Published events.
  using TNotifyEvent = std::function<void(QObject* sender)>;
  using TVisibleEvent = std::function<void(QObject* sender, bool visible)>;
  using TMouseEvent = std::function<void(QObject* sender, Qt::MouseButton button, Qt::KeyboardModifiers shift,
                                         int x, int y)>;
  using TMouseMoveEvent = std::function<void(QObject* sender, Qt::KeyboardModifiers shift, int x, int y)>;
  using TMouseWheelEvent = std::function<void(QObject* sender, Qt::KeyboardModifiers shift, int wheelDelta,
                                              QPoint mousePos, bool& handled)>;
  using TKeyEvent = std::function<void(QObject* sender, int& key, Qt::KeyboardModifiers shift)>;
  using TKeyPressEvent = std::function<void(QObject* sender, QString& key)>;
  void SetOnPaint(TNotifyEvent h) { fOnPaint = std::move(h); }
  void SetOnColorKeyChanged(TNotifyEvent h) { fOnColorKeyChanged = std::move(h); }
  void SetOnOverlayVisible(TVisibleEvent h) { fOnOverlayVisible = std::move(h); }
  void SetOnCursorShowHide(TVisibleEvent h) { fOnCursorShowHide = std::move(h); }
  void SetOnClick(TNotifyEvent h) { fOnClick = std::move(h); }
  void SetOnDblClick(TNotifyEvent h) { fOnDblClick = std::move(h); }
  void SetOnEnter(TNotifyEvent h) { fOnEnter = std::move(h); }
  void SetOnExit(TNotifyEvent h) { fOnExit = std::move(h); }
  void SetOnResize(TNotifyEvent h) { fOnResize = std::move(h); }
  void SetOnMouseDown(TMouseEvent h) { fOnMouseDown = std::move(h); }
  void SetOnMouseUp(TMouseEvent h) { fOnMouseUp = std::move(h); }
  void SetOnMouseMove(TMouseMoveEvent h) { fOnMouseMove = std::move(h); }
  void SetOnMouseWheel(TMouseWheelEvent h) { fOnMouseWheel = std::move(h); }
  void SetOnMouseWheelDown(TMouseWheelEvent h) { fOnMouseWheelDown = std::move(h); }
  void SetOnMouseWheelUp(TMouseWheelEvent h) { fOnMouseWheelUp = std::move(h); }
  void SetOnKeyDown(TKeyEvent h) { fOnKeyDown = std::move(h); }
  void SetOnKeyUp(TKeyEvent h) { fOnKeyUp = std::move(h); }
  void SetOnKeyPress(TKeyPressEvent h) { fOnKeyPress = std::move(h); }

  // Public surface the forms use.
  // The renderer found in the graph by the overlay insertion: its source
  // rectangle operations stand in for the basic-video interface.
  TVideoRenderer* GraphRenderer() const;
  // The renderer this window put into the graph (nullptr when not joined).
  TVideoRenderer* OwnRenderer() const { return fOwnRenderer.get(); }
  GstElement* Mixer() const { return fMixer; }
  QRect OverlayRect() const { return fOverlayRect; }
  // Recomputes OverlayRect; E_FAIL (and OverlayRect unchanged) without a
  // joined renderer that knows its picture size.
  HRESULT UpdateOverlayRect();
  bool OverlayInUse() const { return fOverlayInUse; }
  bool OverlayVisible() const { return fOverlayVisible; }
  bool OverlayTried() const { return fOverlayTried; }
  QRgb ColorKey() const { return fColorKey; }
  bool CursorHidden() const { return fCursorHidden != 0; }
  // Where the picture (its source rectangle) is painted, in client pixels;
  // empty when there is nothing to paint.
  QRect PictureRect() const;
  // The frame being shown, at the size it is painted from (null before the
  // first one).
  QImage CurrentFrame() const;
  // The frames painted since creation, each once however often repainted.
  quint64 FramesPainted() const { return fFramesPainted; }

  // IMemberFilter
  GstElement* GetFilterObject() override;
  QString GetFilterName() override { return objectName(); }
  void FilterNotify(int operation, int value) override;
  // IGraphListener
  void HandleGraphEvent(long code, intptr_t param1, intptr_t param2) override;
  void HandleControlEvent(int code, int value) override;

  // The tick count the cursor check uses (milliseconds, wraps at 2^32).
  static uint32_t TickCount();

 protected:
  // The colour stage the overlay insertion puts into the graph.
  virtual GstElement* CreateOverlayMixer();
  // The application's idle moment (the event loop is about to wait).
  void ApplicationIdle();

  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  friend class TDSVideoWindowEx2Caps;
  struct TLogEntry {
    GstPad* output;
    GstPad* input;
    bool made;  // a new connection (else a broken one)
  };

  HRESULT InsertOverlay();
  void Rollback(std::vector<TLogEntry>& log, GstElement* mixingRenderer);
  void OverlayStep(int code);
  void AttachVideoWindow();
  void RefreshColorKey();
  void ApplyZoom();
  void FrameArrived();
  bool HasFrame() const;  // the renderer holds a frame to paint
  // Converts the frame straight into the pixels `painter` paints into;
  // false when they cannot be reached that way.
  bool PaintFrameDirectly(QPainter& painter, const QRect& target);
  void UpdateScaleLimit();
  void ReShowCursor();
  void ShowCursorOnButton(const QPoint& p);
  void SetScreenSaving(bool suppressed);
  void ForgetGraph();
  void ReleaseFilters();
  void RemoveRetiredRenderer();

  TRatioModes fAspectRatio = rmLetterBox;
  int fAutoHideCursor = 0;
  int fDigitalZoom = 0;
  TFilterGraph* fFilterGraph = nullptr;
  QMetaObject::Connection fGraphGone;
  TColorControl* fColorControl;
  TDSVideoWindowEx2Caps fCaps;
  bool fNoScreenSaver = false;
  QColor fColor = Qt::black;

  // Internal state.
  bool fVideoWindow = false;  // the renderer is joined and shows here
  std::unique_ptr<TVideoRenderer> fOwnRenderer;
  GstElement* fMixer = nullptr;          // referenced
  GstElement* fGraphRenderer = nullptr;  // referenced
  GstElement* fRetiredRenderer = nullptr;  // referenced; removed after our first frame
  QRgb fColorKey = qRgb(16, 0, 16);
  QRect fOverlayRect;
  bool fOverlayTried = false;
  bool fOverlayInUse = false;
  bool fOverlayVisible = false;
  int fLastMouseX = 0;
  int fLastMouseY = 0;
  uint32_t fLastMouseTick = 0;
  QCursor fSavedCursor;
  int fCursorHidden = 0;
  QSize fFrameVideoSize;
  quint64 fFramesPainted = 0;
  bool fFrameCounted = false;  // the frame shown is in fFramesPainted
  bool fPressed = false;
  // Screen-saving phases this window switched off while shown.
  bool fSavingSuppressed = false;
  bool fSaverOff = false, fLowPowerOff = false, fPowerOff = false;
  class QTimer* fIdleWake;

  TNotifyEvent fOnPaint, fOnColorKeyChanged, fOnClick, fOnDblClick, fOnEnter, fOnExit, fOnResize;
  TVisibleEvent fOnOverlayVisible, fOnCursorShowHide;
  TMouseEvent fOnMouseDown, fOnMouseUp;
  TMouseMoveEvent fOnMouseMove;
  TMouseWheelEvent fOnMouseWheel, fOnMouseWheelDown, fOnMouseWheelUp;
  TKeyEvent fOnKeyDown, fOnKeyUp;
  TKeyPressEvent fOnKeyPress;
};
