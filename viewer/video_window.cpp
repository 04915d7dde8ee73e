#include "viewer/video_window.h"

#include <QAbstractEventDispatcher>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QPaintEngine>
#include <QPaintEvent>
#include <QPainter>
#include <QRegion>
#include <QTimer>

#include <cmath>
#include <numeric>

#include "framework/qs_exception.h"
#include "framework/qs_tools.h"
#include "viewer/color_control.h"
#include "viewer/overlay_mixer.h"
#include "viewer/video_renderer.h"

namespace {

// The window that holds the application's idle check: the one created last.
TDSVideoWindowEx2* gIdleHolder = nullptr;

}  // namespace

// ------------------------------------------------------------ geometry

int MulDiv(int a, int b, int c) {
  if (c == 0) return -1;
  const int64_t product = static_cast<int64_t>(a) * b;
  const int64_t half = std::abs(static_cast<int64_t>(c)) / 2;
  // Rounded to nearest, halves away from zero.
  const bool negative = (product < 0) != (c < 0);
  const int64_t magnitude = (std::abs(product) + half) / std::abs(static_cast<int64_t>(c));
  return static_cast<int>(negative ? -magnitude : magnitude);
}

QRect FitRect(const QRect& outer, const QRect& picture) {
  const int wo = outer.width(), ho = outer.height();
  const int wp = picture.width(), hp = picture.height();
  if (wp <= 0 || hp <= 0) return QRect(outer.center(), QSize(0, 0));
  int width, height;
  if (static_cast<double>(ho) / hp > static_cast<double>(wo) / wp) {
    width = MulDiv(wp, wo, wp);
    height = MulDiv(hp, wo, wp);
  } else {
    width = MulDiv(wp, ho, hp);
    height = MulDiv(hp, ho, hp);
  }
  return QRect(outer.left() + (wo - width) / 2, outer.top() + (ho - height) / 2, width, height);
}

// ------------------------------------------------------------ caps

bool TDSVideoWindowEx2Caps::CanOverlayGraphic() const { return fOwner->fMixer != nullptr; }

bool TDSVideoWindowEx2Caps::Flag(int bit) const {
  return fOwner->fColorControl && (fOwner->fColorControl->ColorControlRecord().dwFlags & (1u << bit)) != 0;
}

// ------------------------------------------------------------ life

TDSVideoWindowEx2::TDSVideoWindowEx2(QWidget* parent)
    : QWidget(parent), fColorControl(new TColorControl(this)), fCaps(this), fIdleWake(new QTimer(this)) {
  resize(320, 240);
  setFocusPolicy(Qt::StrongFocus);
  setMouseTracking(true);
  // Every pixel is painted by paintEvent, in one pass.
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAttribute(Qt::WA_NoSystemBackground);
  fIdleWake->setSingleShot(true);
  // The cursor check runs when the application falls idle; the connection
  // ends with this window, and only the newest window acts on it.
  gIdleHolder = this;
  if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance())
    connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, &TDSVideoWindowEx2::ApplicationIdle);
  fLastMouseTick = TickCount();
}

TDSVideoWindowEx2::~TDSVideoWindowEx2() {
  if (gIdleHolder == this) gIdleHolder = nullptr;
  SetScreenSaving(false);
  // Leave the graph, so that it never calls a destroyed window.
  if (fFilterGraph) {
    TFilterGraph* graph = fFilterGraph;
    disconnect(fGraphGone);
    graph->RemoveMemberFilter(this);
    graph->RemoveListener(this);
    fFilterGraph = nullptr;
  }
  ReleaseFilters();
}

void TDSVideoWindowEx2::RemoveRetiredRenderer() {
  if (!fRetiredRenderer) return;
  GstElement* retired = fRetiredRenderer;
  fRetiredRenderer = nullptr;
  if (fFilterGraph && fFilterGraph->Graph()) RemoveFilter(fFilterGraph->Graph(), retired);
  gst_object_unref(retired);
}

void TDSVideoWindowEx2::ReleaseFilters() {
  if (fRetiredRenderer) gst_object_unref(fRetiredRenderer);
  fRetiredRenderer = nullptr;
  if (fMixer) gst_object_unref(fMixer);
  fMixer = nullptr;
  if (fGraphRenderer) gst_object_unref(fGraphRenderer);
  fGraphRenderer = nullptr;
  fVideoWindow = false;
  fOwnRenderer.reset();
}

uint32_t TDSVideoWindowEx2::TickCount() {
  static QElapsedTimer clock = [] {
    QElapsedTimer t;
    t.start();
    return t;
  }();
  return static_cast<uint32_t>(clock.elapsed());
}

// ------------------------------------------------------------ properties

void TDSVideoWindowEx2::SetFilterGraph(TFilterGraph* value) {
  if (value == fFilterGraph) return;
  if (fFilterGraph) {
    disconnect(fGraphGone);
    fFilterGraph->RemoveMemberFilter(this);
    fFilterGraph->RemoveListener(this);
  }
  if (value) {
    value->AddMemberFilter(this);
    value->AddListener(this);
    // A graph destroyed first has already taken the window's filter out.
    fGraphGone = connect(value, &QObject::destroyed, this, [this] { ForgetGraph(); });
  }
  fFilterGraph = value;
}

void TDSVideoWindowEx2::ForgetGraph() {
  fFilterGraph = nullptr;
  ReleaseFilters();
  update();
}

void TDSVideoWindowEx2::SetColor(const QColor& value) {
  if (value == fColor) return;
  fColor = value;
  update();
}

void TDSVideoWindowEx2::SetAspectRatio(TRatioModes value) {
  // Our own renderer places the picture, so the mode always applies.
  fAspectRatio = value;
  UpdateOverlayRect();
  UpdateScaleLimit();
  update();
}

void TDSVideoWindowEx2::SetDigitalZoom(int value) {
  if (value < 0 || value > 99)
    throw Exception(QStringLiteral("Value %1 out of range. Value must bee between 0 -> 99").arg(value));
  fDigitalZoom = value;
  ApplyZoom();
}

void TDSVideoWindowEx2::ApplyZoom() {
  TVideoRenderer* renderer = GraphRenderer();
  if (!renderer) return;
  renderer->SetDefaultSourcePosition();
  long left = 0, top = 0, width = 0, height = 0;
  renderer->GetSourcePosition(&left, &top, &width, &height);
  // Without a picture size there is nothing to cut.
  if (width > 0 && height > 0) {
    const double w = width - static_cast<int32_t>(fDigitalZoom * width) / 100.0;
    const double h = w * height / width;
    renderer->put_SourceWidth(static_cast<long>(w));
    renderer->put_SourceHeight(static_cast<long>(h));
    renderer->put_SourceLeft(static_cast<long>((width - w) / 2));
    renderer->put_SourceTop(static_cast<long>((height - h) / 2));
  }
  UpdateScaleLimit();
  update();
}

void TDSVideoWindowEx2::SetNoScreenSaver(bool value) {
  if (value == fNoScreenSaver) return;
  fNoScreenSaver = value;
  SetScreenSaving(value && isVisible());
}

void TDSVideoWindowEx2::SetScreenSaving(bool suppressed) {
  if (suppressed == fSavingSuppressed) return;
  fSavingSuppressed = suppressed;
  if (suppressed) {
    // Only what was on is switched back on later.
    fSaverOff = DisableScreenSaver();
    fLowPowerOff = DisableLowPower();
    fPowerOff = DisablePowerOff();
  } else {
    if (fSaverOff) EnableScreenSaver();
    if (fLowPowerOff) EnableLowPower();
    if (fPowerOff) EnablePowerOff();
    fSaverOff = fLowPowerOff = fPowerOff = false;
  }
}

TVideoRenderer* TDSVideoWindowEx2::GraphRenderer() const { return TVideoRenderer::FromFilter(fGraphRenderer); }

// ------------------------------------------------------------ graph

GstElement* TDSVideoWindowEx2::GetFilterObject() { return fOwnRenderer ? fOwnRenderer->Filter() : nullptr; }

void TDSVideoWindowEx2::FilterNotify(int operation, int) {
  switch (operation) {
    case 0:
      fOverlayTried = false;
      fOwnRenderer = std::make_unique<TVideoRenderer>();
      break;
    case 1:
      if (fOwnRenderer) {
        fVideoWindow = true;
        fOwnRenderer->SetReceiver(this);
      }
      break;
    case 2: {
      if (fMixer) {
        fColorControl->ResetColors();
        TPinList pins(fMixer);
        for (int i = 0; i < pins.Count(); ++i) DisconnectPin(pins.Items(i));
      }
      if (fOwnRenderer) {
        fOwnRenderer->SetReceiver(nullptr);
        TPinList pins(fOwnRenderer->Filter());
        for (int i = 0; i < pins.Count(); ++i) DisconnectPin(pins.Items(i));
      }
      break;
    }
    case 3:
      fOverlayTried = false;
      fOverlayInUse = false;
      fOverlayVisible = false;
      ReleaseFilters();
      update();
      break;
    default:
      break;
  }
}

void TDSVideoWindowEx2::OverlayStep(int code) {
  if (code != ControlFileRendered && fOverlayTried) return;
  fOverlayInUse = Succeeded(InsertOverlay());
  if (fOverlayInUse) {
    fColorControl->ReadHardwareColors();
    fColorControl->ApplyColors();
  }
  if (fOwnRenderer) {
    // The stage may scale first: the picture's own size is read before it.
    GstPad* input = fOverlayInUse && fMixer ? gst_element_get_static_pad(fMixer, "Input") : nullptr;
    fOwnRenderer->WatchPicture(input);
    if (input) gst_object_unref(input);
  }
  AttachVideoWindow();
}

void TDSVideoWindowEx2::HandleControlEvent(int code, int) {
  switch (code) {
    case ControlPlay:
    case ControlPause:
      OverlayStep(code);
      if (fOverlayInUse && !fOverlayVisible) {
        fOverlayVisible = true;
        if (fOnOverlayVisible) fOnOverlayVisible(this, true);
        update();
      }
      break;
    case ControlStop:
      OverlayStep(code);
      if (fOverlayInUse && fOverlayVisible) {
        fOverlayVisible = false;
        update();
        if (fOnOverlayVisible) fOnOverlayVisible(this, false);
      }
      break;
    case ControlFileRendered:
      OverlayStep(code);
      break;
    default:
      break;
  }
}

void TDSVideoWindowEx2::HandleGraphEvent(long code, intptr_t, intptr_t) {
  if (code == EC_PALETTE_CHANGED) {
    AttachVideoWindow();
  } else if (code == EC_CLOCK_CHANGED) {
    if (fOverlayInUse) RefreshColorKey();
    SetDigitalZoom(fDigitalZoom);
    SetAspectRatio(fAspectRatio);
    if (fOverlayInUse) update();
  }
}

void TDSVideoWindowEx2::AttachVideoWindow() {
  if (!fVideoWindow) return;
  fOwnRenderer->SetReceiver(this);
  UpdateOverlayRect();
  UpdateScaleLimit();
  update();
}

void TDSVideoWindowEx2::RefreshColorKey() {
  // The key never changes here: the picture is painted, not keyed. Those
  // who follow it are told it was read again.
  if (fOnColorKeyChanged) fOnColorKeyChanged(this);
}

// ------------------------------------------------------------ frames

bool TDSVideoWindowEx2::event(QEvent* event) {
  if (event->type() == TVideoRenderer::FrameEventType()) {
    FrameArrived();
    return true;
  }
  return QWidget::event(event);
}

bool TDSVideoWindowEx2::HasFrame() const { return fOwnRenderer && fOwnRenderer->HasFrame(); }

void TDSVideoWindowEx2::FrameArrived() {
  if (!fOwnRenderer) return;
  const QRect before = PictureRect();
  if (fOwnRenderer->TakeFrame()) fFrameCounted = false;
  RemoveRetiredRenderer();
  const QSize videoSize = fOwnRenderer->FrameVideoSize();
  if (videoSize != fFrameVideoSize) {
    // A new picture size: new place, new scale, and the whole window.
    fFrameVideoSize = videoSize;
    UpdateOverlayRect();
    UpdateScaleLimit();
    update();
    return;
  }
  const QRect picture = PictureRect();
  update(picture == before ? picture & rect() : rect());
}

HRESULT TDSVideoWindowEx2::UpdateOverlayRect() {
  if (!fVideoWindow || !fOwnRenderer) return E_FAIL;
  const QSize video = fFrameVideoSize.isEmpty() ? fOwnRenderer->VideoSize() : fFrameVideoSize;
  if (video.isEmpty()) return E_FAIL;
  if (fAspectRatio == rmLetterBox) {
    const QSize par = fOwnRenderer->PixelAspect();
    int64_t x = static_cast<int64_t>(video.width()) * par.width();
    int64_t y = static_cast<int64_t>(video.height()) * par.height();
    const int64_t divisor = std::gcd(x, y);
    x /= divisor;
    y /= divisor;
    fOverlayRect = FitRect(rect(), QRect(0, 0, static_cast<int>(x), static_cast<int>(y)));
  } else {
    fOverlayRect = rect();
  }
  return S_OK;
}

QRect TDSVideoWindowEx2::PictureRect() const {
  if (!fVideoWindow || !HasFrame()) return QRect();
  switch (fAspectRatio) {
    case rmStretched:
      return rect();
    case rmLetterBox:
      return fOverlayRect;
    case rmCrop: {
      // The part of the picture shown (its source rectangle) covers the
      // window in its own proportions; what lies outside is cut away.
      const QRect source = fOwnRenderer->SourceRect();
      const QSize video = source.isEmpty() ? fFrameVideoSize : source.size();
      const QSize par = fOwnRenderer->PixelAspect();
      const double x = static_cast<double>(video.width()) * par.width();
      const double y = static_cast<double>(video.height()) * par.height();
      if (x <= 0 || y <= 0 || rect().isEmpty()) return QRect();
      const double scale = std::max(width() / x, height() / y);
      const int w = static_cast<int>(std::lround(x * scale));
      const int h = static_cast<int>(std::lround(y * scale));
      return QRect((width() - w) / 2, (height() - h) / 2, w, h);
    }
  }
  return QRect();
}

void TDSVideoWindowEx2::UpdateScaleLimit() {
  if (!fOwnRenderer) return;
  // The renderer scales each frame to the size it is shown at while it
  // converts it; a colour stage that changes colours reduces it before.
  const auto apply = [this](const QSize& size) {
    fOwnRenderer->SetScaleLimit(size);
    if (!fMixer || !fOverlayInUse) return;
    // The colour stage only ever reduces, and before it changes colours.
    const QSize video = fOwnRenderer->VideoSize();
    const bool smaller = !size.isEmpty() && size != video && size.width() <= video.width() &&
                         size.height() <= video.height();
    MixerSetScaleLimit(fMixer, smaller ? size : QSize());
  };
  const QRect target = PictureRect();
  const QRect source = fOwnRenderer->SourceRect();
  const QSize video = fOwnRenderer->VideoSize();
  if (target.isEmpty() || source.isEmpty() || video.isEmpty()) {
    apply(QSize());
    return;
  }
  // The whole frame at the scale its source rectangle is painted with.
  const double ratio = devicePixelRatioF();
  const int w = std::max(1, static_cast<int>(std::lround(video.width() * ratio * target.width() / source.width())));
  const int h =
      std::max(1, static_cast<int>(std::lround(video.height() * ratio * target.height() / source.height())));
  apply(QSize(w, h));
}

QImage TDSVideoWindowEx2::CurrentFrame() const {
  return HasFrame() ? fOwnRenderer->FrameImage() : QImage();
}

bool TDSVideoWindowEx2::PaintFrameDirectly(QPainter& painter, const QRect& target) {
  // The raster engine paints widgets into an image (the window's backing
  // store, in shared memory on X11); writing the converted frame there
  // saves converting into an image of our own and copying it over.
  QPaintEngine* engine = painter.paintEngine();
  QPaintDevice* device = engine ? engine->paintDevice() : nullptr;
  if (!device || device->devType() != QInternal::Image) return false;
  auto* pixels = static_cast<QImage*>(device);
  // Shared pixels would be copied on the first write, and that copy shown
  // nowhere.
  if (!pixels->isDetached() || pixels->devicePixelRatio() != 1.0) return false;
  const QTransform transform = painter.deviceTransform();
  if (transform.type() > QTransform::TxTranslate) return false;
  const QPoint offset(static_cast<int>(transform.dx()), static_cast<int>(transform.dy()));
  if (offset.x() != transform.dx() || offset.y() != transform.dy()) return false;
  return fOwnRenderer->PaintFrame(*pixels, target.topLeft() + offset);
}

void TDSVideoWindowEx2::paintEvent(QPaintEvent* event) {
  // The backing store is the off-screen image: the window gets one block.
  UpdateOverlayRect();
  QPainter painter(this);
  painter.setClipRegion(event->region());
  const QRect target = PictureRect();
  const QRect source = fOwnRenderer ? fOwnRenderer->SourceRect() : QRect();
  const QSize frame = HasFrame() ? fOwnRenderer->FrameSize() : QSize();
  bool drawn = false;
  if (!target.isEmpty() && !source.isEmpty() && !fFrameVideoSize.isEmpty() && !frame.isEmpty()) {
    // Source rectangle in the frame's own pixels (the frame may be scaled).
    const double sx = static_cast<double>(frame.width()) / fFrameVideoSize.width();
    const double sy = static_cast<double>(frame.height()) / fFrameVideoSize.height();
    const QRectF whole(QPointF(0, 0), QSizeF(frame));
    const QRectF from = QRectF(source.x() * sx, source.y() * sy, source.width() * sx, source.height() * sy) & whole;
    if (!from.isEmpty()) {
      // The whole frame at its size, wholly in the part being painted, is
      // converted in place; anything else (a zoomed part, a picture larger
      // than the window) goes through an image the painter places.
      drawn = from == whole && target.size() == frame && rect().contains(target) &&
              (QRegion(target) - event->region()).isEmpty() && PaintFrameDirectly(painter, target);
      if (!drawn) {
        const QImage image = fOwnRenderer->FrameImage();
        // No smoothing: enlarging stays cheap, reducing was done before.
        if (!image.isNull()) painter.drawImage(QRectF(target), image, from);
        drawn = !image.isNull();
      }
    }
  }
  QRegion around(rect());
  if (drawn) around -= QRegion(target);
  for (const QRect& r : around) painter.fillRect(r, fColor);
  painter.end();
  // A frame painted again (a repaint) is not another frame.
  if (drawn && !fFrameCounted) {
    ++fFramesPainted;
    fFrameCounted = true;
  }
  if (fOnPaint) fOnPaint(this);
}

void TDSVideoWindowEx2::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  UpdateOverlayRect();
  UpdateScaleLimit();
  if (fOnResize) fOnResize(this);
}

void TDSVideoWindowEx2::moveEvent(QMoveEvent* event) { QWidget::moveEvent(event); }

void TDSVideoWindowEx2::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (fNoScreenSaver) SetScreenSaving(true);
}

void TDSVideoWindowEx2::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  SetScreenSaving(false);
}

// ------------------------------------------------------------ cursor

void TDSVideoWindowEx2::ApplicationIdle() {
  if (gIdleHolder != this) return;
  if (fAutoHideCursor == 0 || !fVideoWindow) return;
  if (TickCount() - fLastMouseTick < static_cast<uint32_t>(fAutoHideCursor)) return;
  if (fOverlayInUse) {
    if (cursor().shape() == Qt::BlankCursor) return;
    fSavedCursor = cursor();
    setCursor(Qt::BlankCursor);
  } else {
    if (fCursorHidden) return;
    fSavedCursor = cursor();
    setCursor(Qt::BlankCursor);
    fCursorHidden = -1;
  }
  // Moving the mouse to where it is shows the new cursor at once.
  QCursor::setPos(QCursor::pos());
  if (fOnCursorShowHide) fOnCursorShowHide(this, false);
}

void TDSVideoWindowEx2::ReShowCursor() {
  if (!fVideoWindow) return;
  if (!fOverlayInUse) {
    if (!fCursorHidden) return;
    setCursor(fSavedCursor);
    fCursorHidden = 0;
  } else {
    if (cursor().shape() != Qt::BlankCursor) return;
    setCursor(fSavedCursor);
  }
  if (fOnCursorShowHide) fOnCursorShowHide(this, true);
}

// ------------------------------------------------------------ input

namespace {
bool Hidden(const QWidget* w, int cursorHidden) { return cursorHidden != 0 || w->cursor().shape() == Qt::BlankCursor; }
}  // namespace

void TDSVideoWindowEx2::mouseMoveEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  if (p.x() != fLastMouseX || p.y() != fLastMouseY) {
    fLastMouseX = p.x();
    fLastMouseY = p.y();
    fLastMouseTick = TickCount();
    ReShowCursor();
    // Wakes the event loop when the stillness is long enough, so the idle
    // check runs even when nothing else happens.
    if (fAutoHideCursor > 0) fIdleWake->start(fAutoHideCursor + 1);
  }
  if (fOnMouseMove) fOnMouseMove(this, event->modifiers(), p.x(), p.y());
}

// A button brings a hidden cursor back where it is, and stillness is
// counted again from there.
void TDSVideoWindowEx2::ShowCursorOnButton(const QPoint& p) {
  const bool wasHidden = Hidden(this, fCursorHidden);
  ReShowCursor();
  if (wasHidden) {
    fLastMouseX = p.x();
    fLastMouseY = p.y();
    fLastMouseTick = TickCount();
  }
}

void TDSVideoWindowEx2::mousePressEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  ShowCursorOnButton(p);
  if (event->button() == Qt::LeftButton) fPressed = true;
  if (fOnMouseDown) fOnMouseDown(this, event->button(), event->modifiers(), p.x(), p.y());
}

void TDSVideoWindowEx2::mouseReleaseEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  ShowCursorOnButton(p);
  const bool click = fPressed && event->button() == Qt::LeftButton && rect().contains(p);
  if (event->button() == Qt::LeftButton) fPressed = false;
  if (fOnMouseUp) fOnMouseUp(this, event->button(), event->modifiers(), p.x(), p.y());
  if (click && fOnClick) fOnClick(this);
}

void TDSVideoWindowEx2::mouseDoubleClickEvent(QMouseEvent* event) {
  mousePressEvent(event);
  // The release that ends a double click is no click of its own: the pair's
  // first click has been reported already, and a second one would undo it.
  if (event->button() == Qt::LeftButton) fPressed = false;
  if (event->button() == Qt::LeftButton && fOnDblClick) fOnDblClick(this);
}

void TDSVideoWindowEx2::wheelEvent(QWheelEvent* event) {
  bool handled = false;
  const int delta = event->angleDelta().y();
  const QPoint pos = event->position().toPoint();
  if (fOnMouseWheel) fOnMouseWheel(this, event->modifiers(), delta, pos, handled);
  if (!handled && delta < 0 && fOnMouseWheelDown) fOnMouseWheelDown(this, event->modifiers(), delta, pos, handled);
  if (!handled && delta > 0 && fOnMouseWheelUp) fOnMouseWheelUp(this, event->modifiers(), delta, pos, handled);
  event->setAccepted(handled);
}

void TDSVideoWindowEx2::keyPressEvent(QKeyEvent* event) {
  int key = event->key();
  if (fOnKeyDown) fOnKeyDown(this, key, event->modifiers());
  QString text = event->text();
  if (key != 0 && !text.isEmpty() && fOnKeyPress) fOnKeyPress(this, text);
  if (key == 0) event->accept();
  else QWidget::keyPressEvent(event);
}

void TDSVideoWindowEx2::keyReleaseEvent(QKeyEvent* event) {
  int key = event->key();
  if (fOnKeyUp) fOnKeyUp(this, key, event->modifiers());
  QWidget::keyReleaseEvent(event);
}

void TDSVideoWindowEx2::focusInEvent(QFocusEvent* event) {
  QWidget::focusInEvent(event);
  if (fOnEnter) fOnEnter(this);
}

void TDSVideoWindowEx2::focusOutEvent(QFocusEvent* event) {
  QWidget::focusOutEvent(event);
  if (fOnExit) fOnExit(this);
}
