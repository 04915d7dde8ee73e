// Saves the program's own controls in their states, and its images, as PNG
// files so a person can look at them:
//   cinvo_gallery <output directory>
#include <QActionGroup>
#include <QApplication>
#include <QDir>
#include <QEnterEvent>
#include <QFile>
#include <QImage>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>

#include <cstdio>

#include "assets/qs_Assets.h"
#include "controls/qs_Buttons.h"
#include "controls/qs_Component.h"
#include "controls/qs_XPMenu.h"
#include "images/qs_Jpeg.h"

namespace {

QString gDir;

void Save(QWidget* widget, const char* name) {
  const QString path = gDir + "/" + name;
  if (!widget->grab().save(path)) std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
  else std::printf("%s\n", qPrintable(path));
}

QWidget* Sheet(int w, int h) {
  auto* sheet = new QWidget;
  sheet->setAttribute(Qt::WA_DontShowOnScreen);
  sheet->resize(w, h);
  sheet->setAutoFillBackground(true);
  return sheet;
}

QFont Tahoma(int px, bool bold = false) {
  QFont f(QStringLiteral("Tahoma"));
  f.setPixelSize(px);
  f.setBold(bold);
  return f;
}

TqsLabel* Label(QWidget* parent, int x, int y, const QString& caption) {
  auto* label = new TqsLabel(parent);
  label->move(x, y);
  label->setFont(Tahoma(11));
  label->SetCaption(caption);
  return label;
}

void Labels() {
  QWidget* sheet = Sheet(420, 230);
  Label(sheet, 10, 10, "Plain label with &accelerator");
  TqsLabel* product = Label(sheet, 10, 32, "ApplicationName");
  product->setFont(Tahoma(13, true));
  product->SetOptions(loShadow);
  product->SetShadowX(3);
  product->SetShadowY(3);
  product->SetTransparent(true);
  int x = 10;
  for (const char* text : {"Playing", "12:04", "1:32:10"}) {
    TqsLabel* status = Label(sheet, x, 62, text);
    status->SetAutoSize(false);
    status->resize(text[0] == 'P' ? 50 : 59, 21);
    status->SetAlignment(taCenter);
    status->SetLayout(tlCenter);
    status->SetBorderStyle(lbsSunken);
    status->SetBorderWidth(1);
    status->SetTransparent(true);
    x += status->width() + 2;
  }
  TqsLabel* raised = Label(sheet, 200, 58, "Raised, width 2");
  raised->SetAutoSize(false);  // fitting ignores the frame
  raised->resize(120, 24);
  raised->SetLayout(tlCenter);
  raised->SetBorderStyle(lbsRaise);
  raised->SetBorderWidth(2);
  TqsLabel* single = Label(sheet, 200, 86, "Single frame");
  single->SetBorderStyle(lbsSingle);
  single->SetBorderWidth(1);
  Label(sheet, 10, 92, "Disabled (engraved)")->setEnabled(false);
  TqsLabel* heavy = Label(sheet, 10, 114, "Weight 9");
  heavy->SetWeight(9);
  TqsLabel* wrap = Label(sheet, 200, 112, "Word wrap keeps long captions inside the label's width");
  wrap->SetAutoSize(false);
  wrap->SetWordWrap(true);
  wrap->resize(200, 40);
  for (int angle : {45, 90}) {
    TqsLabel* rotated = Label(sheet, angle == 45 ? 10 : 110, 140, QStringLiteral("Rotated %1").arg(angle));
    rotated->SetAutoSize(false);
    rotated->resize(90, 80);
    rotated->SetLayout(tlBottom);  // rotated text rises from the bottom edge
    rotated->SetAlignment(taCenter);
    rotated->SetRotation(angle);
  }
  auto* mail = new TqsLabelLink(sheet);
  mail->move(200, 160);
  mail->SetLinkKind(lkMailTo);
  mail->SetCaption("author@example.invalid");
  auto* web = new TqsLabelLink(sheet);
  web->move(200, 180);
  web->SetLinkKind(lkHttp);
  web->SetCaption("www.example.invalid (hovered)");
  QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
  QCoreApplication::sendEvent(web, &enter);
  Save(sheet, "labels.png");
  delete sheet;
}

void Buttons() {
  QWidget* sheet = Sheet(330, 150);
  const char* glyphs[] = {kGlyphStop, kGlyphPause, kGlyphRestart, kGlyphStart, kGlyphHideToolbar};
  const char* states[] = {"up", "hot", "pressed", "down", "disabled"};
  for (int row = 0; row < 5; ++row) {
    Label(sheet, 140, 6 + row * 27, states[row])->SetTransparent(true);
    for (int i = 0; i < 5; ++i) {
      auto* button = new TqsSpeedButton(sheet);
      button->setGeometry(i * 27, 2 + row * 27, 25, 25);
      button->SetFlat(true);
      button->SetGlyph(QImage(QString::fromLatin1(glyphs[i])));
      if (row == 1) {
        QEnterEvent enter(QPointF(3, 3), QPointF(3, 3), QPointF(3, 3));
        QCoreApplication::sendEvent(button, &enter);
      } else if (row == 2) {
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(button, &press);
      } else if (row == 3) {
        button->SetGroupIndex(i + 1);
        button->SetDown(true);
      } else if (row == 4) {
        button->setEnabled(false);
      }
    }
  }
  auto* bordered = new TqsSpeedButton(sheet);
  bordered->setGeometry(200, 10, 110, 30);
  bordered->SetWithBorder(true);
  bordered->SetGlyph(QImage(QString::fromLatin1(kGlyphStart)));
  bordered->SetCaption("&Play");
  auto* top = new TqsSpeedButton(sheet);
  top->setGeometry(200, 50, 110, 50);
  top->SetWithBorder(true);
  top->SetLayout(blGlyphTop);
  top->SetGlyph(QImage(QString::fromLatin1(kGlyphPause)));
  top->SetCaption("Glyph on top");
  Save(sheet, "buttons.png");
  delete sheet;
}

void Panels() {
  QWidget* sheet = Sheet(430, 100);
  TPicture band;
  band.LoadFromFile(QString::fromLatin1(kPictureBand));
  int y = 5;
  for (int width : {322, 423}) {
    auto* panel = new TqsPanelPicture(sheet);
    panel->setGeometry(0, y, width, 40);
    panel->SetBevelOuter(bvNone);
    panel->SetPicture(band);
    auto* ok = new QPushButton("OK", panel);
    ok->setGeometry(width == 322 ? 39 : 166, 8, 75, 25);
    if (width == 322) (new QPushButton("Cancel", panel))->setGeometry(203, 9, 75, 25);
    y += 50;
  }
  Save(sheet, "panels.png");
  delete sheet;
}

void Menus() {
  QWidget form;
  auto* popup = new QMenu(&form);
  QImage stop(QString::fromLatin1(kGlyphStop));
  auto* info = popup->addMenu("Infos");
  info->addAction("Source size");
  popup->addSeparator();
  popup->addAction("Toolbar")->setCheckable(true);
  popup->actions().last()->setChecked(true);
  auto* sizes = popup->addMenu("Display size");
  auto* group = new QActionGroup(sizes);
  for (const char* name : {"Normal", "Full screen", "16 / 9"}) {
    QAction* a = sizes->addAction(name);
    a->setCheckable(true);
    group->addAction(a);
  }
  popup->addSeparator();
  QAction* go = popup->addAction("Go to");
  go->setShortcut(QKeySequence("Ctrl+G"));
  popup->addAction(QIcon(QPixmap::fromImage(QImage(QString::fromLatin1(kGlyphStart)))), "Play");
  popup->addAction(QIcon(QPixmap::fromImage(QImage(QString::fromLatin1(kGlyphPause)))), "Pause")->setEnabled(false);
  popup->addSeparator();
  popup->addAction(QIcon(QPixmap::fromImage(stop)), "Close");
  popup->setDefaultAction(go);
  auto* painter = new TqsXPMenu(&form);
  painter->SetBarCaption("Cinvo");
  QFont bar = QFont("Tahoma");
  bar.setPixelSize(16);
  bar.setBold(true);
  painter->SetBarFont(bar);
  painter->BarPicture().LoadFromFile(QString::fromLatin1(kMenuBarPicture));
  painter->SetBarTransparent(true);
  painter->SetActive(true);
  popup->setActiveAction(go);
  Save(popup, "menu.png");
  popup->setActiveAction(popup->actions().at(7));
  Save(popup, "menu_selected_icon.png");
  painter->SetActive(false);
  Save(popup, "menu_platform.png");
}

void Images() {
  QImage sheet(700, 170, QImage::Format_ARGB32);
  sheet.fill(QColor(0xF0, 0xF0, 0xF0));
  QPainter p(&sheet);
  int x = 10;
  for (const char* name : {kGlyphStop, kGlyphPause, kGlyphRestart, kGlyphStart, kGlyphHideToolbar}) {
    const QImage glyph(QString::fromLatin1(name));
    p.drawImage(x, 10, glyph);
    p.drawImage(QRect(x, 40, 88, 88), glyph);
    x += 96;
  }
  p.drawImage(x, 10, QImage(QString::fromLatin1(kMakerLogo)));
  p.drawImage(x + 70, 10, QImage(QString::fromLatin1(kMenuBarPicture)));
  p.drawImage(QRect(x + 70, 40, 80, 72), QImage(QString::fromLatin1(kMenuBarPicture)));
  p.drawImage(QRect(x, 90, 64, 64), QImage(QString::fromLatin1(kProgramIcon)));
  p.end();
  sheet.save(gDir + "/images.png");
  std::printf("%s\n", qPrintable(gDir + "/images.png"));
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  gDir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("gallery");
  QDir().mkpath(gDir);
  Labels();
  Buttons();
  Panels();
  Menus();
  Images();
  return 0;
}
