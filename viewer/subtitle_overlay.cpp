#include "viewer/subtitle_overlay.h"

#include <QEvent>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QTextLayout>
#include <QTimer>

#include <algorithm>
#include <cmath>

#include "viewer/subtitle_tracks.h"
#include "viewer/video_window.h"

namespace {

constexpr int kRefreshMs = 100;

}  // namespace

TSubtitleOverlay::TSubtitleOverlay(TDSVideoWindowEx2* video, TPosition position)
    : QWidget(video), fVideo(video), fPosition(std::move(position)) {
  setObjectName(QStringLiteral("_SubtitleOverlay"));
  setAttribute(Qt::WA_TransparentForMouseEvents);  // clicks reach the picture
  setAttribute(Qt::WA_NoSystemBackground);
  setGeometry(video->rect());
  video->installEventFilter(this);
  fTimer = new QTimer(this);
  fTimer->setInterval(kRefreshMs);
  connect(fTimer, &QTimer::timeout, this, &TSubtitleOverlay::Refresh);
  hide();
}

TSubtitleOverlay::~TSubtitleOverlay() = default;

void TSubtitleOverlay::SetTrack(std::shared_ptr<TSubtitleTrack> track) {
  fTrack = std::move(track);
  if (fTrack) {
    fTimer->start();
    show();
    raise();
  } else {
    fTimer->stop();
    hide();
  }
  Refresh();
}

void TSubtitleOverlay::Refresh() {
  const int64_t position = fTrack && fPosition ? fPosition() : -1;
  const QString text = position >= 0 ? fTrack->TextAt(position) : QString();
  if (text == fText) return;
  fText = text;
  update();
}

QRect TSubtitleOverlay::VisiblePicture() const {
  QRect area = fVideo->PictureRect() & rect();
  // The video window may reach beyond its window (the 16:9 band on a wide
  // screen): only what the window shows counts.
  if (const QWidget* top = window(); top && top != this)
    area &= QRect(mapFrom(top, QPoint(0, 0)), top->size());
  return area;
}

bool TSubtitleOverlay::eventFilter(QObject* watched, QEvent* event) {
  if (watched == fVideo && event->type() == QEvent::Resize) setGeometry(fVideo->rect());
  return QWidget::eventFilter(watched, event);
}

const QImage& TSubtitleOverlay::Rendered(const QRect& area) {
  if (fImageText == fText && fImageArea == area.size()) return fImage;
  fImageText = fText;
  fImageArea = area.size();
  // Large enough to read across a room, small enough for two lines.
  QFont font = this->font();
  font.setPixelSize(std::clamp(area.height() / 16, 12, 64));
  font.setBold(true);
  const int margin = std::max(4, area.width() / 40);
  const int lineWidth = std::max(10, area.width() - 2 * margin);
  QPainterPath path;
  qreal y = 0;
  for (const QString& paragraph : fText.split(QLatin1Char('\n'))) {
    QTextLayout layout(paragraph, font);
    QTextOption option(Qt::AlignHCenter);
    option.setWrapMode(QTextOption::WordWrap);
    layout.setTextOption(option);
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
      line.setLineWidth(lineWidth);
      const QString part = paragraph.mid(line.textStart(), line.textLength()).trimmed();
      const qreal x = (lineWidth - QFontMetricsF(font).horizontalAdvance(part)) / 2;
      path.addText(margin + x, y + line.ascent(), font, part);
      y += line.height();
    }
    layout.endLayout();
  }
  const qreal outline = std::max<qreal>(2, font.pixelSize() / 8.0);
  const QSize size(area.width(), static_cast<int>(std::ceil(y + 2 * outline)));
  fImage = QImage(size, QImage::Format_ARGB32_Premultiplied);
  fImage.fill(Qt::transparent);
  QPainter painter(&fImage);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.translate(0, outline);
  painter.strokePath(path, QPen(QColor(0, 0, 0, 220), 2 * outline, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  painter.fillPath(path, Qt::white);
  return fImage;
}

void TSubtitleOverlay::paintEvent(QPaintEvent*) {
  if (fText.isEmpty()) return;
  const QRect area = VisiblePicture();
  if (area.width() < 20 || area.height() < 20) return;
  const QImage& image = Rendered(area);
  // At the foot of the picture, a little above its edge; never above its
  // top when the text is long.
  const int lift = area.height() / 20;
  const int top = std::max(area.top(), area.bottom() + 1 - lift - image.height());
  QPainter painter(this);
  painter.setClipRect(area);
  painter.drawImage(QPoint(area.left(), top), image);
}
