#include <gtest/gtest.h>

#include <QActionGroup>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QProxyStyle>
#include <QStyleOptionMenuItem>

#include <memory>

#include "controls/qs_Graphics.h"
#include "controls/qs_XPMenu.h"
#include "tests/controls/paint_probe.h"
#include "tests/support/test_env.h"

namespace {

struct Form {
  std::unique_ptr<QWidget> window = std::make_unique<QWidget>();
  QMenu* popup = new QMenu(window.get());
  QAction* open = popup->addAction(QStringLiteral("Open"));
  QAction* separator = popup->addSeparator();
  QMenu* sizes = popup->addMenu(QStringLiteral("Display size"));
  QAction* close = popup->addAction(QStringLiteral("Close"));
  TqsXPMenu* painter = new TqsXPMenu(window.get());
  Form() {
    open->setShortcut(QKeySequence(QStringLiteral("Ctrl+O")));
    sizes->addAction(QStringLiteral("Normal"))->setCheckable(true);
  }
};

QRgb At(const QImage& image, int x, int y) { return image.pixel(x, y) & 0xFFFFFF; }

}  // namespace

TEST(XPMenu, LightenAndShade) {
  EXPECT_EQ(Lighten(QColor(100, 150, 200), 20), QColor(131, 171, 211));
  EXPECT_EQ(Lighten(QColor(100, 150, 200), 250), QColor(255, 255, 255));  // at most 100 %
  EXPECT_EQ(Lighten(QColor(200, 200, 200), -40), QColor(178, 178, 178));
  EXPECT_EQ(Lighten(QColor(0, 0, 0), -40), QColor(0, 0, 0));
  EXPECT_EQ(Shade(QColor(100, 150, 200), 90), QColor(10, 62, 110));
  EXPECT_EQ(Shade(QColor(50, 1, 50), 90), QColor(0, 0, 0));
  EXPECT_EQ(Shade(QColor(250, 250, 250), -10), QColor(255, 255, 255));
}

TEST(XPMenu, WorkingColoursFollowTheSystemOrTheProperties) {
  Form form;
  const QColor face = SysColor(TSysColor::BtnFace), highlight = SysColor(TSysColor::Highlight);
  TXPColors c = form.painter->WorkingColors();
  EXPECT_EQ(c.background, Lighten(face, 86));
  EXPECT_EQ(c.iconColumn, Lighten(face, 16));
  EXPECT_EQ(c.select, Lighten(highlight, 68));
  EXPECT_EQ(c.separator, Lighten(SysColor(TSysColor::BtnShadow), 25));
  EXPECT_EQ(c.checkSelectFill, Lighten(highlight, 50));

  form.painter->SetUseSystemColors(false);
  form.painter->SetColor(QColor(1, 2, 3));
  form.painter->SetSelectColor(QColor(0, 100, 200));
  c = form.painter->WorkingColors();
  EXPECT_EQ(c.background, QColor(1, 2, 3));
  EXPECT_EQ(c.select, QColor(0, 100, 200));
  EXPECT_EQ(c.checkFill, Lighten(QColor(0, 100, 200), 75));
}

TEST(XPMenu, ActiveInstallsOnEveryMenuAndUninstallsCleanly) {
  Form form;
  QMenuBar* bar = new QMenuBar(form.window.get());
  QMenu* file = bar->addMenu(QStringLiteral("File"));
  EXPECT_FALSE(form.painter->Active());
  EXPECT_FALSE(form.painter->Paints(form.popup));

  form.painter->SetActive(true);
  for (QWidget* menu : {static_cast<QWidget*>(form.popup), static_cast<QWidget*>(form.sizes), static_cast<QWidget*>(bar),
                        static_cast<QWidget*>(file)})
    EXPECT_TRUE(form.painter->Paints(menu)) << menu->metaObject()->className();

  form.painter->SetActive(false);
  EXPECT_EQ(form.popup->style(), QApplication::style());
  EXPECT_EQ(bar->style(), QApplication::style());

  // Gone with its form's menus in place: they fall back to the platform.
  form.painter->SetActive(true);
  delete form.painter;
  EXPECT_EQ(form.sizes->style(), QApplication::style());
}

TEST(XPMenu, AMenuWithItsOwnDrawingKeepsItUnlessOverridden) {
  Form form;
  QProxyStyle own;
  form.sizes->setStyle(&own);
  form.painter->SetActive(true);
  EXPECT_EQ(form.sizes->style(), &own);
  EXPECT_TRUE(form.painter->Paints(form.popup));
  form.painter->SetActive(false);
  EXPECT_EQ(form.sizes->style(), &own);  // uninstalling removes only its own

  form.painter->SetOverrideOwnerDraw(true);
  form.painter->SetActive(true);
  EXPECT_TRUE(form.painter->Paints(form.sizes));
  form.painter->SetActive(false);
  form.sizes->setStyle(nullptr);
}

TEST(XPMenu, ASeparatorMeasuresFourPixelsWhateverTheFont) {
  Form form;
  form.painter->SetActive(true);
  EXPECT_EQ(form.popup->actionGeometry(form.separator).height(), 4);
  QFont big = form.popup->font();
  big.setPixelSize(40);
  form.painter->SetUseSystemColors(false);
  form.painter->SetFont(big);
  QStyleOptionMenuItem option;
  option.menuItemType = QStyleOptionMenuItem::Separator;
  EXPECT_EQ(form.painter->Style()->sizeFromContents(QStyle::CT_MenuItem, &option, QSize(30, 17), form.popup).height(), 4);
  option.menuItemType = QStyleOptionMenuItem::Normal;
  option.text = QStringLiteral("Open");
  EXPECT_EQ(form.painter->Style()->sizeFromContents(QStyle::CT_MenuItem, &option, QSize(30, 17), form.popup).height(),
            QFontMetrics(big).height() + qRound(0.75 * QFontMetrics(big).height()));
}

TEST(XPMenu, TheBarWidensFirstLevelPopupsOnly) {
  Form form;
  form.painter->SetActive(true);
  QStyleOptionMenuItem option;
  option.menuItemType = QStyleOptionMenuItem::Normal;
  option.text = QStringLiteral("Close");
  const auto width = [&](QWidget* menu) {
    return form.painter->Style()->sizeFromContents(QStyle::CT_MenuItem, &option, QSize(1, 1), menu).width();
  };
  const int plain = width(form.popup);
  form.painter->SetBarCaption(QStringLiteral("Cinvo"));
  EXPECT_TRUE(form.painter->ShowsBar(form.popup));
  EXPECT_FALSE(form.painter->ShowsBar(form.sizes));
  EXPECT_EQ(width(form.popup), plain + 24);
  form.painter->SetBarWidth(0);  // as wide as the icon column
  form.painter->SetIconWidth(30);
  EXPECT_EQ(width(form.popup), plain + 6 + 30);
  EXPECT_EQ(width(form.sizes), plain + 6);

  // An item that opens a sub-menu also has room for its arrow.
  option.menuItemType = QStyleOptionMenuItem::SubMenu;
  EXPECT_EQ(width(form.sizes), plain + 6 + 12);
  option.menuItemType = QStyleOptionMenuItem::Normal;

  // With a shortcut the text also gets "WWW" of spacing.
  option.text = QStringLiteral("Close\tCtrl+W");
  const QFontMetrics fm(QApplication::font("QMenu"));
  EXPECT_EQ(width(form.sizes), plain + 6 + fm.horizontalAdvance(QStringLiteral("CloseCtrl+WWWW")) - fm.horizontalAdvance(QStringLiteral("Close")));
}

TEST(XPMenu, PaintsColumnsSelectionSeparatorAndBar) {
  Form form;
  form.painter->SetBarCaption(QStringLiteral("Cinvo"));
  form.painter->SetActive(true);
  form.popup->setActiveAction(form.close);
  const QImage image = form.popup->grab().toImage();
  const TXPColors c = form.painter->WorkingColors();
  const QRect open = form.popup->actionGeometry(form.open);
  const QRect close = form.popup->actionGeometry(form.close);
  const QRect separator = form.popup->actionGeometry(form.separator);
  const int iconX = open.left() + 24 + 3, textRight = open.right() - 2;
  EXPECT_EQ(At(image, textRight, open.top() + 2), c.background.rgb() & 0xFFFFFF);
  EXPECT_EQ(At(image, iconX, open.top() + 2), c.iconColumn.rgb() & 0xFFFFFF);
  EXPECT_EQ(At(image, textRight, close.top() + 3), c.select.rgb() & 0xFFFFFF);
  EXPECT_EQ(At(image, textRight, close.top() + 1), c.selectBorder.rgb() & 0xFFFFFF);
  EXPECT_EQ(At(image, open.left() + 24 + 24 + 7 + 3, separator.top() + 2), c.separator.rgb() & 0xFFFFFF);
  // The bar is no item colour, and something (the caption) is written on it.
  QSet<QRgb> barColours;
  for (int y = 0; y < image.height(); ++y) barColours.insert(At(image, open.left() + 12, y));
  EXPECT_GT(barColours.size(), 3);
  EXPECT_FALSE(barColours.contains(c.background.rgb() & 0xFFFFFF));
}

TEST(XPMenu, MenusAddedLaterArePaintedOnceASiblingIsDrawn) {
  Form form;
  form.painter->SetActive(true);
  QMenu* audio = form.popup->addMenu(QStringLiteral("Audio"));
  audio->addAction(QStringLiteral("Audio 1"));
  // The popup is a direct child of the form, the new sub-menu is a child of
  // the popup, so Install did not see it yet.
  audio->setStyle(nullptr);
  EXPECT_FALSE(form.painter->Paints(audio));
  form.popup->grab();
  EXPECT_TRUE(form.painter->Paints(audio));
}

TEST(XPMenu, AutoDetectReactivatesWhenMenusOrItemsAreAdded) {
  Form form;
  form.painter->SetAutoDetect(true);
  auto* later = new QMenu(form.window.get());
  testenv::DrainEvents();
  EXPECT_TRUE(form.painter->Active());
  EXPECT_TRUE(form.painter->Paints(later));

  form.painter->SetAutoDetect(false);
  form.painter->SetActive(false);
  new QMenu(form.window.get());
  testenv::DrainEvents();
  EXPECT_FALSE(form.painter->Active());
}

TEST(ShadowedHintWindow, ShowsAndHidesTheHint) {
  TShadowedHintWindow hint;
  EXPECT_FALSE(hint.HasShadow());  // offscreen: no compositor
  hint.ActivateHint(QPoint(100, 100), QStringLiteral("Pause"));
  EXPECT_TRUE(hint.isVisible());
  EXPECT_EQ(hint.text(), "Pause");
  EXPECT_EQ(hint.pos(), QPoint(102, 116));
  hint.ActivateHint(QPoint(100, 100), QString());
  EXPECT_FALSE(hint.isVisible());
}

TEST(XPMenu, ABarPictureWithItsOwnAlphaKeepsItsBlackPixels) {
  Form form;
  form.painter->SetBarCaption(QStringLiteral("Cinvo"));
  form.painter->SetBarFontColor(QColor(0xE0, 0x10, 0x10));
  form.painter->SetBarTransparent(true);
  QImage picture(20, 18, QImage::Format_ARGB32);
  picture.fill(Qt::transparent);
  for (int y = 4; y < 14; ++y)
    for (int x = 5; x < 15; ++x) picture.setPixelColor(x, y, Qt::black);
  form.painter->BarPicture().SetGraphic(std::make_unique<TBitmap>(picture));
  form.painter->SetActive(true);
  const QImage image = form.popup->grab().toImage().convertToFormat(QImage::Format_RGB32);
  const QRect bar(form.popup->actionGeometry(form.open).left(), 0, 24, image.height());
  EXPECT_EQ(probe::CountOf(image, Qt::black, bar), 100);

  // A picture on an opaque background still loses its corner colour.
  picture.fill(Qt::white);
  for (int y = 4; y < 14; ++y)
    for (int x = 5; x < 15; ++x) picture.setPixelColor(x, y, Qt::black);
  form.painter->BarPicture().SetGraphic(std::make_unique<TBitmap>(picture));
  const QImage keyed = form.popup->grab().toImage().convertToFormat(QImage::Format_RGB32);
  EXPECT_EQ(probe::CountOf(keyed, Qt::black, bar), 100);
  EXPECT_EQ(probe::CountOf(keyed, Qt::white, bar), 0);
}

TEST(XPMenu, ACheckedRadioItemWithAnImageHasSixBySixCorners) {
  Form form;
  QPixmap clear(16, 16);
  clear.fill(Qt::transparent);
  form.close->setIcon(QIcon(clear));
  form.close->setCheckable(true);
  form.close->setChecked(true);
  auto* group = new QActionGroup(form.popup);
  group->addAction(form.close);  // a radio item
  form.painter->SetActive(true);
  const QImage image = form.popup->grab().toImage();
  const TXPColors c = form.painter->WorkingColors();
  const QRect item = form.popup->actionGeometry(form.close);
  const int size = form.popup->style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, form.popup);
  // The frame lies 2 pixels around the image, which is centred in the icon
  // column 4 pixels from the top.
  const QPoint frame(item.left() + (24 - size) / 2 - 2, item.top() + 2);
  EXPECT_EQ(At(image, frame.x() + 1, frame.y() + size / 2), c.checkFill.rgb() & 0xFFFFFF);
  // Near the corner, a 3-pixel radius leaves the fill already showing.
  EXPECT_EQ(At(image, frame.x() + 1, frame.y() + 2), c.checkFill.rgb() & 0xFFFFFF);
}
