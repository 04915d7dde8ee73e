#include <gtest/gtest.h>

#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QEnterEvent>
#include <QMouseEvent>

#include <memory>

#include "controls/qs_Buttons.h"
#include "controls/qs_Graphics.h"
#include "tests/controls/paint_probe.h"

namespace {

const QColor kRed(0xE0, 0x10, 0x10);

void Mouse(QWidget* w, QEvent::Type type, QPoint at, Qt::MouseButton button = Qt::LeftButton) {
  const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
  QMouseEvent event(type, at, w->mapToGlobal(at), button, held, Qt::NoModifier);
  QCoreApplication::sendEvent(w, &event);
}

void Click(QWidget* w) {
  Mouse(w, QEvent::MouseButtonPress, {5, 5});
  Mouse(w, QEvent::MouseButtonRelease, {5, 5});
}

// The viewer's tool-bar button: flat, 25 x 25, a 22 x 22 glyph, no caption.
TqsSpeedButton* ToolButton(QWidget* host) {
  auto* button = new TqsSpeedButton(host);
  button->setGeometry(0, 0, 25, 25);
  button->SetFlat(true);
  button->SetGlyph(probe::Solid(22, 22, kRed));
  return button;
}

}  // namespace

TEST(SpeedButton, GlyphWidthDecidesTheNumberOfImages) {
  TqsSpeedButton button;
  EXPECT_EQ(button.size(), QSize(22, 23));
  EXPECT_TRUE(button.Transparent());
  button.SetGlyph(probe::Solid(44, 22, kRed));
  EXPECT_EQ(button.NumGlyphs(), 2);
  button.SetGlyph(probe::Solid(22, 22, kRed));
  EXPECT_EQ(button.NumGlyphs(), 1);
  button.SetGlyph(probe::Solid(88, 22, kRed));
  EXPECT_EQ(button.NumGlyphs(), 4);
  button.SetGlyph(probe::Solid(110, 22, kRed));
  EXPECT_EQ(button.NumGlyphs(), 1);  // five images are not accepted
  button.SetNumGlyphs(3);
  button.SetGlyph(probe::Solid(30, 22, kRed));
  EXPECT_EQ(button.NumGlyphs(), 3);  // not a multiple: left as it was

  button.SetNumGlyphs(9);
  EXPECT_EQ(button.NumGlyphs(), 4);
  button.SetNumGlyphs(0);
  EXPECT_EQ(button.NumGlyphs(), 4);
  button.SetMargin(-2);
  EXPECT_EQ(button.Margin(), -1);
  button.SetMargin(0);
  EXPECT_EQ(button.Margin(), 0);
}

TEST(SpeedButton, TransparentGlyphOnFlatButtonSitsAtOneOneUpAndTwoTwoPressed) {
  std::unique_ptr<QWidget> host(probe::NewHost(QSize(25, 25)));
  TqsSpeedButton* button = ToolButton(host.get());
  QImage image = probe::Grab(host.get());
  EXPECT_EQ(probe::BoundsOf(image, kRed), QRect(1, 1, 22, 22));
  EXPECT_EQ(image.pixelColor(0, 22), probe::kBackground);  // the masked corner pixel
  EXPECT_EQ(image.pixelColor(0, 0), probe::kBackground);   // no edge while not hot

  Mouse(button, QEvent::MouseButtonPress, {10, 10});
  EXPECT_EQ(button->State(), bsDown);
  image = probe::Grab(host.get());
  EXPECT_EQ(probe::BoundsOf(image, kRed), QRect(2, 2, 22, 22));
  EXPECT_EQ(image.pixelColor(0, 0), SysColor(TSysColor::BtnShadow));  // sunken edge
  EXPECT_EQ(image.pixelColor(24, 24), SysColor(TSysColor::BtnHighlight));

  // Dragging out raises it, back in presses it again.
  Mouse(button, QEvent::MouseMove, {40, 10});
  EXPECT_EQ(button->State(), bsUp);
  Mouse(button, QEvent::MouseMove, {10, 25});  // the bottom line still counts as inside
  EXPECT_EQ(button->State(), bsDown);
  Mouse(button, QEvent::MouseButtonRelease, {10, 10});
  EXPECT_EQ(button->State(), bsUp);
}

TEST(SpeedButton, OpaqueGlyphIsDrawnAtItsPlaceOverButtonFace) {
  std::unique_ptr<QWidget> host(probe::NewHost(QSize(25, 25)));
  TqsSpeedButton* button = ToolButton(host.get());
  button->SetTransparent(false);
  const QImage image = probe::Grab(host.get());
  EXPECT_EQ(probe::BoundsOf(image, kRed), QRect(2, 2, 22, 22));
  EXPECT_EQ(image.pixelColor(2, 23), SysColor(TSysColor::BtnFace));
  EXPECT_EQ(image.pixelColor(0, 0), button->Color());
}

TEST(SpeedButton, FlatEdgeOnlyWhileHotPressedOrDown) {
  std::unique_ptr<QWidget> host(probe::NewHost(QSize(25, 25)));
  TqsSpeedButton* button = ToolButton(host.get());
  QEnterEvent enter(QPointF(3, 3), QPointF(3, 3), QPointF(3, 3));
  QCoreApplication::sendEvent(button, &enter);
  EXPECT_TRUE(button->Hot());
  QImage image = probe::Grab(host.get());
  EXPECT_EQ(image.pixelColor(0, 0), SysColor(TSysColor::BtnHighlight));  // raised
  EXPECT_EQ(probe::BoundsOf(image, kRed), QRect(1, 1, 22, 22));

  QEvent leave(QEvent::Leave);
  QCoreApplication::sendEvent(button, &leave);
  EXPECT_FALSE(button->Hot());
  EXPECT_EQ(probe::Grab(host.get()).pixelColor(0, 0), probe::kBackground);

  button->SetGroupIndex(1);
  button->SetDown(true);
  image = probe::Grab(host.get());
  EXPECT_EQ(image.pixelColor(0, 0), SysColor(TSysColor::BtnShadow));
  EXPECT_EQ(probe::BoundsOf(image, kRed), QRect(2, 2, 22, 22));
  // Held down: the checkered fill of face and highlight around the glyph.
  EXPECT_GT(probe::CountOf(image, SysColor(TSysColor::BtnHighlight), QRect(1, 1, 23, 1)), 0);
}

TEST(SpeedButton, WithoutFlatOrBorderThereIsNoFrame) {
  std::unique_ptr<QWidget> host(probe::NewHost(QSize(25, 25)));
  TqsSpeedButton* button = ToolButton(host.get());
  button->SetFlat(false);
  QImage image = probe::Grab(host.get());
  EXPECT_EQ(image.pixelColor(0, 0), probe::kBackground);
  EXPECT_EQ(image.pixelColor(24, 24), probe::kBackground);
  // Without a border the layout area is one pixel larger: centred at (2, 2).
  EXPECT_EQ(probe::BoundsOf(image, kRed), QRect(1, 1, 22, 22));
  Mouse(button, QEvent::MouseButtonPress, {10, 10});
  image = probe::Grab(host.get());
  EXPECT_EQ(image.pixelColor(0, 0), probe::kBackground);
  EXPECT_EQ(image.pixelColor(24, 24), probe::kBackground);

  button->SetWithBorder(true);
  image = probe::Grab(host.get());
  EXPECT_NE(image.pixelColor(0, 0), probe::kBackground);
}

TEST(SpeedButton, GroupsKeepOneButtonDown) {
  std::unique_ptr<QWidget> host(probe::NewHost());
  TqsSpeedButton* a = ToolButton(host.get());
  TqsSpeedButton* b = ToolButton(host.get());
  b->move(30, 0);
  int clicks = 0;
  a->SetOnClick([&](QObject*) { ++clicks; });
  a->SetGroupIndex(1);
  b->SetGroupIndex(1);

  Click(a);
  EXPECT_TRUE(a->Down());
  EXPECT_EQ(a->State(), bsExclusive);
  Click(a);  // AllowAllUp false: stays down
  EXPECT_TRUE(a->Down());
  EXPECT_EQ(a->State(), bsExclusive);
  EXPECT_EQ(clicks, 2);
  a->SetDown(false);
  EXPECT_TRUE(a->Down());

  Click(b);
  EXPECT_TRUE(b->Down());
  EXPECT_FALSE(a->Down());
  EXPECT_EQ(a->State(), bsUp);

  // AllowAllUp is shared with the group and lets the down button rise.
  b->SetAllowAllUp(true);
  EXPECT_TRUE(a->AllowAllUp());
  Click(b);
  EXPECT_FALSE(b->Down());
  EXPECT_FALSE(a->Down());

  // Another group is not touched.
  auto* other = ToolButton(host.get());
  other->SetGroupIndex(2);
  other->SetDown(true);
  Click(a);
  EXPECT_TRUE(other->Down());
}

TEST(SpeedButton, DownNeedsAGroup) {
  TqsSpeedButton button;
  button.SetDown(true);
  EXPECT_FALSE(button.Down());
  EXPECT_EQ(button.State(), bsUp);
  Click(&button);
  EXPECT_FALSE(button.Down());
  EXPECT_EQ(button.State(), bsUp);
}

TEST(SpeedButton, DisabledButtonDrawsAnEmbossedGlyphAndIgnoresTheMouse) {
  std::unique_ptr<QWidget> host(probe::NewHost(QSize(25, 25)));
  TqsSpeedButton* button = ToolButton(host.get());
  QImage ring = probe::Solid(22, 22, kRed);
  for (int y = 8; y < 14; ++y)
    for (int x = 8; x < 14; ++x) ring.setPixelColor(x, y, QColor(0x80, 0x80, 0x00));  // a hole
  button->SetGlyph(ring);
  int clicks = 0;
  button->SetOnClick([&](QObject*) { ++clicks; });
  button->setEnabled(false);
  Click(button);
  EXPECT_EQ(clicks, 0);
  const QImage image = probe::Grab(host.get());
  EXPECT_EQ(probe::CountOf(image, kRed), 0);
  const QColor shadow = SysColor(TSysColor::BtnShadow), light = SysColor(TSysColor::BtnHighlight);
  EXPECT_EQ(probe::BoundsOf(image, shadow), QRect(1, 1, 22, 22));
  // The highlight copy lies one pixel down-right, under the shadow copy: it
  // shows only inside the hole, along its top and left edges.
  EXPECT_EQ(probe::BoundsOf(image, light), QRect(9, 9, 6, 6));
  EXPECT_EQ(probe::CountOf(image, light), 11);
  EXPECT_EQ(button->State(), bsDisabled);
  button->setEnabled(true);
  EXPECT_EQ(button->State(), bsUp);
}

TEST(SpeedButton, GlyphImagesShareOneListPerSizeAndTheCacheGoesWithTheLast) {
  {
    TqsSpeedButton a, b, c;
    a.SetGlyph(probe::Solid(22, 22, kRed));
    b.SetGlyph(probe::Solid(22, 22, Qt::blue));
    c.SetGlyph(probe::Solid(16, 16, Qt::green));
    const int ia = a.ButtonGlyph().CreateButtonGlyph(bsUp);
    const int ib = b.ButtonGlyph().CreateButtonGlyph(bsUp);
    c.ButtonGlyph().CreateButtonGlyph(bsUp);
    ASSERT_NE(TGlyphCache::Instance(), nullptr);
    EXPECT_EQ(TGlyphCache::Instance()->ListCount(), 2);
    EXPECT_NE(ia, ib);
    // With fewer than three images the pressed state reuses the up image.
    EXPECT_EQ(a.ButtonGlyph().CreateButtonGlyph(bsDown), ia);
    // A freed slot is reused by the next image, never compacted away.
    a.SetGlyph(probe::Solid(22, 22, Qt::yellow));
    EXPECT_EQ(b.ButtonGlyph().CreateButtonGlyph(bsUp), ib);
    EXPECT_EQ(a.ButtonGlyph().CreateButtonGlyph(bsUp), ia);
    c.SetGlyph(QImage());
    EXPECT_EQ(TGlyphCache::Instance()->ListCount(), 1);
    EXPECT_EQ(c.ButtonGlyph().CreateButtonGlyph(bsUp), -1);  // an empty glyph makes nothing
  }
  EXPECT_EQ(TGlyphCache::Instance(), nullptr);
}

TEST(SpeedButton, ADesignedDisabledImageIsRecoloured) {
  // Two images: up (red) and disabled (white, grey and the key colour).
  QImage strip(44, 22, QImage::Format_RGB32);
  strip.fill(kRed);
  for (int y = 0; y < 22; ++y)
    for (int x = 22; x < 44; ++x) strip.setPixel(x, y, x < 30 ? 0xFFFFFFFF : x < 38 ? 0xFF808080 : 0xFF808000);
  strip.setPixel(0, 21, 0xFF808000);
  TqsSpeedButton button;
  button.SetGlyph(strip);
  ASSERT_EQ(button.NumGlyphs(), 2);
  const QImage* disabled = button.ButtonGlyph().StateImage(bsDisabled);
  ASSERT_NE(disabled, nullptr);
  EXPECT_EQ(disabled->pixelColor(2, 5), SysColor(TSysColor::BtnHighlight));
  EXPECT_EQ(disabled->pixelColor(10, 5), SysColor(TSysColor::BtnShadow));
  EXPECT_EQ(qAlpha(disabled->pixel(18, 5)), 0);
}

TEST(SpeedButton, CaptionAndGlyphFollowTheLayout) {
  TqsSpeedButton button;
  button.resize(80, 60);
  button.SetGlyph(probe::Solid(16, 16, kRed));
  button.SetCaption(QStringLiteral("Play"));
  const QSize t = button.fontMetrics().size(Qt::TextShowMnemonic, QStringLiteral("Play"));
  const QRect client = button.rect();
  auto l = button.CalcLayout(client, {0, 0});
  EXPECT_EQ(l.textRect.left(), l.glyphPos.x() + 16 + 4);
  // Margin -1 centres glyph, spacing and text together in the 81-wide area.
  EXPECT_EQ(l.glyphPos.x(), (81 - (16 + 4 + t.width()) + 1) / 2);
  button.SetLayout(blGlyphBottom);
  button.SetMargin(3);
  l = button.CalcLayout(client, {0, 0});
  EXPECT_EQ(l.glyphPos.y(), 61 - 3 - 16);
  EXPECT_EQ(l.textRect.bottom() + 1, l.glyphPos.y() - 4);
  button.SetSpacing(-1);
  l = button.CalcLayout(client, {1, 1});
  EXPECT_EQ(l.glyphPos.y(), 61 - 3 - 16 + 1);
  EXPECT_EQ(l.glyphPos.y() - 1 - (l.textRect.bottom() + 1 - 1), (61 - 3 - 16 - t.height()) / 2);
}

// ------------------------------------------------------------- list view

TEST(ListView, RightClickOpensTheMenuWithoutMovingTheSelection) {
  TqsListView list;
  list.resize(200, 150);
  list.setColumnCount(1);
  list.setHeaderHidden(true);
  for (const char* name : {"alpha.avi", "beta.avi", "gamma.avi"}) list.addTopLevelItem(new QTreeWidgetItem({QString::fromLatin1(name)}));
  list.setCurrentItem(list.topLevelItem(0));
  QStringList seen;
  list.SetOnMouseDown([&](QObject*, Qt::MouseButton b, Qt::KeyboardModifiers, int, int) { seen << (b == Qt::RightButton ? "down:right" : "down:left"); });
  list.SetOnMouseUp([&](QObject*, Qt::MouseButton, Qt::KeyboardModifiers, int, int) { seen << "up"; });
  QPoint menuAt;
  list.SetOnContextPopup([&](const QPoint& at) {
    seen << "menu";
    menuAt = at;
  });

  const QPoint row = list.visualItemRect(list.topLevelItem(2)).center();
  Mouse(list.viewport(), QEvent::MouseButtonPress, row, Qt::RightButton);
  // The platform's own request on the press is not a second menu.
  QContextMenuEvent platform(QContextMenuEvent::Mouse, row, list.viewport()->mapToGlobal(row));
  QCoreApplication::sendEvent(list.viewport(), &platform);
  Mouse(list.viewport(), QEvent::MouseButtonRelease, row + QPoint(3, 1), Qt::RightButton);
  EXPECT_EQ(seen, QStringList({"down:right", "up", "menu"}));
  EXPECT_EQ(menuAt, list.viewport()->mapToGlobal(row + QPoint(3, 1)));
  EXPECT_EQ(list.currentItem(), list.topLevelItem(0));
  EXPECT_EQ(list.selectedItems(), QList<QTreeWidgetItem*>({list.topLevelItem(0)}));

  // The keyboard's menu key still opens it.
  QContextMenuEvent key(QContextMenuEvent::Keyboard, QPoint(1, 1), list.viewport()->mapToGlobal(QPoint(1, 1)));
  QCoreApplication::sendEvent(list.viewport(), &key);
  EXPECT_EQ(seen.count("menu"), 2);

  Mouse(list.viewport(), QEvent::MouseButtonPress, row);
  Mouse(list.viewport(), QEvent::MouseButtonRelease, row);
  EXPECT_EQ(list.currentItem(), list.topLevelItem(2));
}

TEST(SpeedButton, AGlyphWithItsOwnAlphaKeepsItsBlackPixels) {
  // Drawn on a see-through background: the corner is no colour key, so
  // black in the picture must not vanish with it.
  QImage glyph(22, 22, QImage::Format_ARGB32);
  glyph.fill(Qt::transparent);
  for (int y = 6; y < 16; ++y)
    for (int x = 6; x < 16; ++x) glyph.setPixelColor(x, y, y < 11 ? QColor(Qt::black) : kRed);
  std::unique_ptr<QWidget> host(probe::NewHost(QSize(25, 25)));
  TqsSpeedButton* button = ToolButton(host.get());
  button->SetGlyph(glyph);
  const QImage image = probe::Grab(host.get());
  EXPECT_EQ(probe::BoundsOf(image, Qt::black), QRect(7, 7, 10, 5));
  EXPECT_EQ(probe::BoundsOf(image, kRed), QRect(7, 12, 10, 5));
  EXPECT_EQ(image.pixelColor(1, 22), probe::kBackground);

  // Disabled, the whole shape is embossed, black part included.
  button->setEnabled(false);
  EXPECT_EQ(probe::BoundsOf(probe::Grab(host.get()), SysColor(TSysColor::BtnShadow)), QRect(7, 7, 10, 10));
}

TEST(ListView, RightDoubleClickIsOnlyAnotherRightPress) {
  TqsListView list;
  list.resize(200, 150);
  list.setColumnCount(1);
  list.setHeaderHidden(true);
  for (const char* name : {"alpha.avi", "beta.avi"}) list.addTopLevelItem(new QTreeWidgetItem({QString::fromLatin1(name)}));
  const QPoint row = list.visualItemRect(list.topLevelItem(1)).center();
  Mouse(list.viewport(), QEvent::MouseButtonPress, row);
  Mouse(list.viewport(), QEvent::MouseButtonRelease, row);
  ASSERT_EQ(list.currentItem(), list.topLevelItem(1));
  int activations = 0, rightDowns = 0;
  QObject::connect(&list, &QAbstractItemView::doubleClicked, [&] { ++activations; });
  QObject::connect(&list, &QAbstractItemView::activated, [&] { ++activations; });
  list.SetOnMouseDown([&](QObject*, Qt::MouseButton b, Qt::KeyboardModifiers, int, int) { rightDowns += b == Qt::RightButton; });

  Mouse(list.viewport(), QEvent::MouseButtonPress, row, Qt::RightButton);
  Mouse(list.viewport(), QEvent::MouseButtonRelease, row, Qt::RightButton);
  Mouse(list.viewport(), QEvent::MouseButtonDblClick, row, Qt::RightButton);
  Mouse(list.viewport(), QEvent::MouseButtonRelease, row, Qt::RightButton);
  EXPECT_EQ(activations, 0);
  EXPECT_EQ(rightDowns, 2);
  EXPECT_EQ(list.currentItem(), list.topLevelItem(1));

  // The left double click still activates the row.
  Mouse(list.viewport(), QEvent::MouseButtonPress, row);
  Mouse(list.viewport(), QEvent::MouseButtonRelease, row);
  Mouse(list.viewport(), QEvent::MouseButtonDblClick, row);
  Mouse(list.viewport(), QEvent::MouseButtonRelease, row);
  EXPECT_GT(activations, 0);
}
