#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QMouseEvent>

#include <memory>

#include "controls/qs_Component.h"
#include "controls/qs_Graphics.h"
#include "tests/controls/paint_probe.h"
#include "tests/support/test_env.h"

namespace {

QFont BigFont() {
  QFont f(QStringLiteral("DejaVu Sans"));
  f.setPixelSize(28);
  f.setBold(true);
  return f;
}

void Click(QWidget* w, QPoint at = QPoint(2, 2)) {
  QMouseEvent press(QEvent::MouseButtonPress, at, w->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
  QMouseEvent release(QEvent::MouseButtonRelease, at, w->mapToGlobal(at), Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
  QCoreApplication::sendEvent(w, &press);
  QCoreApplication::sendEvent(w, &release);
}

}  // namespace

TEST(Label, CaptionIsMeasuredWithABlankOnEachSideAndShadowOffset) {
  TqsLabel label;
  EXPECT_EQ(label.size(), QSize(65, 17));  // before any caption
  label.SetCaption(QStringLiteral("Movie"));
  const QFontMetrics fm = label.fontMetrics();
  const auto measured = [&](const char* text) { return fm.size(Qt::TextShowMnemonic, QString::fromLatin1(text)).width(); };
  EXPECT_EQ(label.width(), measured(" Movie "));
  EXPECT_GE(label.width(), fm.horizontalAdvance(QStringLiteral("Movie")) + 2 * fm.horizontalAdvance(QLatin1Char(' ')));
  EXPECT_EQ(label.height(), fm.height());

  label.SetOptions(loShadow);
  label.SetCaption(QStringLiteral("Movies"));
  EXPECT_EQ(label.width(), measured(" Movies ") + 5);
  EXPECT_EQ(label.height(), fm.height() + 5);

  // An empty caption (or a lone accelerator mark) still takes one line.
  TqsLabel empty;
  empty.SetCaption(QStringLiteral("x"));
  empty.SetCaption(QString());
  EXPECT_EQ(empty.height(), fm.height());
  EXPECT_EQ(empty.width(), measured("   "));
  empty.SetCaption(QStringLiteral("&"));
  EXPECT_EQ(empty.height(), fm.height());
  EXPECT_GT(empty.width(), 0);
}

TEST(Label, RightJustifiedAutoSizedLabelKeepsItsRightEdge) {
  std::unique_ptr<QWidget> host(probe::NewHost());
  auto* label = new TqsLabel(host.get());
  label->move(150, 10);
  label->SetAlignment(taRightJustify);
  label->SetCaption(QStringLiteral("ab"));
  const int right = label->x() + label->width();
  label->SetCaption(QStringLiteral("a much longer caption"));
  EXPECT_EQ(label->x() + label->width(), right);
  EXPECT_LT(label->x(), 150);

  auto* left = new TqsLabel(host.get());
  left->move(20, 40);
  left->SetCaption(QStringLiteral("ab"));
  left->SetCaption(QStringLiteral("a much longer caption"));
  EXPECT_EQ(left->x(), 20);
}

TEST(Label, PropertyLimits) {
  TqsLabel label;
  label.SetShadowX(-3);
  EXPECT_EQ(label.ShadowX(), 3);
  label.SetShadowY(-128);
  EXPECT_EQ(label.ShadowY(), 128);

  label.SetRotation(181);
  EXPECT_EQ(label.Rotation(), 0);
  label.SetRotation(-180);
  EXPECT_EQ(label.Rotation(), -180);
  label.SetRotation(180);
  EXPECT_EQ(label.Rotation(), 180);
  label.SetRotation(1 << 30);  // overflow must not wrap into range
  EXPECT_EQ(label.Rotation(), 180);

  label.SetWeight(7);
  EXPECT_EQ(label.Weight(), 7);
  EXPECT_EQ(label.font().weight(), 700);
  label.SetWeight(11);
  EXPECT_EQ(label.Weight(), 7);
  label.SetWeight(-1);
  EXPECT_EQ(label.Weight(), 7);
  label.SetWeight(10);
  EXPECT_EQ(label.font().weight(), 1000);
}

TEST(Label, RotatedTextStartsWhereTheTableSays) {
  const QRect r(10, 10, 100, 50);  // right 110, bottom 60
  EXPECT_EQ(TqsCustomLabel::RotatedStart(r, 0, 20), QPoint(10, 40));
  EXPECT_EQ(TqsCustomLabel::RotatedStart(r, 900, 20), QPoint(0, 50));
  EXPECT_EQ(TqsCustomLabel::RotatedStart(r, 300, 20), QPoint(6, 44));  // sin 30 * 20 truncates to 9: d = 4
  EXPECT_EQ(TqsCustomLabel::RotatedStart(r, 1800, 20), QPoint(110, 60));
  EXPECT_EQ(TqsCustomLabel::RotatedStart(r, 1200, 20), QPoint(102, 52));  // 17 div 2 = 8
  EXPECT_EQ(TqsCustomLabel::RotatedStart(r, -450, 20), QPoint(10, 10));
  EXPECT_EQ(TqsCustomLabel::RotatedStart(r, -1800, 20), QPoint(110, 10));

  // Upright text has a zero-sized layout block at 90 degrees (cos 90 = 0)
  // and keeps its size, sign dropped, at 180.
  TqsLabel label;
  label.SetCaption(QStringLiteral("Up"));
  const QSize upright = label.TextBlockSize(label.rect(), 0);
  label.SetRotation(90);
  EXPECT_EQ(label.TextBlockSize(label.rect(), 0), QSize(0, 0));
  label.SetRotation(180);
  EXPECT_EQ(label.TextBlockSize(label.rect(), 0), upright);
}

TEST(Label, ShadowOffsetsDependOnAlignment) {
  const QColor shadow = SysColor(TSysColor::BtnShadow);
  const auto offset = [&](TAlignment alignment, bool withShadow = true) {
    std::unique_ptr<QWidget> host(probe::NewHost(QSize(220, 80)));
    auto* label = new TqsLabel(host.get());
    label->setFont(BigFont());
    label->SetOptions(withShadow ? loShadow : 0);
    label->SetShadowX(5);
    label->SetShadowY(3);
    label->SetAutoSize(false);
    label->setGeometry(0, 0, 220, 80);
    label->SetColor(Qt::white);
    label->SetFontColor(Qt::black);
    label->SetAlignment(alignment);
    label->SetCaption(QStringLiteral("I"));
    const QImage image = probe::Grab(host.get());
    const QRect text = probe::BoundsOf(image, Qt::black);
    QRect shadowed = probe::BoundsOf(image, shadow);
    return std::make_pair(shadowed.bottomRight() - text.bottomRight(), text);
  };
  EXPECT_EQ(offset(taLeftJustify).first, QPoint(5, 3));
  EXPECT_EQ(offset(taRightJustify).first, QPoint(5, 3));
  EXPECT_EQ(offset(taCenter).first, QPoint(4, 3));  // 5 div 2 on each side
  // Left: the text stays where it would be without a shadow; right: the
  // shadow takes the text's place and the text moves left by ShadowX.
  EXPECT_EQ(offset(taLeftJustify).second.topLeft(), offset(taLeftJustify, false).second.topLeft());
  EXPECT_EQ(offset(taRightJustify).second.topRight() + QPoint(5, 0), offset(taRightJustify, false).second.topRight());
}

TEST(Label, DisabledLabelIsEngravedAndMeasuresOnePixelMore) {
  TqsLabel label;
  label.setFont(BigFont());
  label.SetCaption(QStringLiteral("H"));
  const QSize enabled = label.size();
  label.setEnabled(false);
  label.SetCaption(QStringLiteral("HH"));
  label.SetCaption(QStringLiteral("H"));
  EXPECT_EQ(label.size(), enabled + QSize(1, 1));

  label.SetColor(QColor(0x20, 0x60, 0x20));
  const QImage image = probe::Grab(&label);
  const QRect highlight = probe::BoundsOf(image, SysColor(TSysColor::BtnHighlight));
  const QRect shadow = probe::BoundsOf(image, SysColor(TSysColor::BtnShadow));
  ASSERT_FALSE(shadow.isEmpty());
  ASSERT_FALSE(highlight.isEmpty());
  EXPECT_EQ(highlight.bottomRight() - shadow.bottomRight(), QPoint(1, 1));
  EXPECT_EQ(probe::CountOf(image, Qt::black), 0);  // no text in the font colour
}

TEST(Label, BordersAreDrawnInsideAndOnlyWithAWidth) {
  const QColor face(0x30, 0x90, 0xC0);
  TqsLabel label;
  label.SetAutoSize(false);
  label.resize(40, 20);
  label.SetColor(face);
  label.SetBorderStyle(lbsSunken);
  QImage image = probe::Grab(&label);
  EXPECT_EQ(image.pixelColor(0, 0), face);
  EXPECT_EQ(image.pixelColor(39, 19), face);

  label.SetBorderWidth(2);
  image = probe::Grab(&label);
  const QColor shadow = SysColor(TSysColor::BtnShadow), light = SysColor(TSysColor::BtnHighlight);
  EXPECT_EQ(image.pixelColor(0, 10), shadow);
  EXPECT_EQ(image.pixelColor(1, 10), shadow);
  EXPECT_EQ(image.pixelColor(2, 10), face);
  EXPECT_EQ(image.pixelColor(39, 10), light);
  EXPECT_EQ(image.pixelColor(20, 18), light);

  label.SetBorderStyle(lbsSingle);
  image = probe::Grab(&label);
  EXPECT_EQ(image.pixelColor(0, 0), QColor(Qt::black));
  EXPECT_EQ(image.pixelColor(38, 18), QColor(Qt::black));
}

TEST(Label, TransparentLabelLeavesTheParentVisible) {
  std::unique_ptr<QWidget> host(probe::NewHost(QSize(60, 30)));
  auto* label = new TqsLabel(host.get());
  label->SetCaption(QStringLiteral("."));
  EXPECT_NE(probe::Grab(host.get()).pixelColor(1, 1), probe::kBackground);
  label->SetTransparent(true);
  EXPECT_EQ(probe::Grab(host.get()).pixelColor(1, 1), probe::kBackground);
}

TEST(Label, CaptionIsAPropertyByName) {
  TqsLabel label;
  EXPECT_TRUE(label.setProperty("Caption", QStringLiteral("Taille")));
  EXPECT_EQ(label.Caption(), "Taille");
  TqsLabelLink link;
  EXPECT_EQ(link.property("Caption").toString(), QString());
}

// ------------------------------------------------------------------ links

namespace {

class RecordingOpener {
 public:
  RecordingOpener() {
    const QString dir = testenv::NewTempDir("opener");
    log_ = dir + "/calls.log";
    const QString script = dir + "/opener.sh";
    testenv::WriteFile(script, QStringLiteral("#!/bin/sh\nprintf '%s\\n' \"$*\" >> '%1'\n").arg(log_).toUtf8());
    QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("CINVO_OPENER", script.toLocal8Bit());
  }
  ~RecordingOpener() { qunsetenv("CINVO_OPENER"); }
  QStringList Calls() const { return QString::fromUtf8(testenv::ReadFile(log_)).split('\n', Qt::SkipEmptyParts); }

 private:
  QString log_;
};

}  // namespace

TEST(LabelLink, PrefixesAreTheExactSchemes) {
  EXPECT_EQ(LinkPrefix(lkNone), "");
  EXPECT_EQ(LinkPrefix(lkHttp), "http:\\\\");
  EXPECT_EQ(LinkPrefix(lkMailTo), "mailto:");
  EXPECT_EQ(LinkPrefix(lkHttps), "https:");
  EXPECT_EQ(LinkPrefix(lkWais), "wais:");
}

TEST(LabelLink, ClickRunsOnClickThenOpensPrefixAndCaption) {
  RecordingOpener opener;
  TqsLabelLink link;
  link.SetLinkKind(lkMailTo);
  link.SetCaption(QStringLiteral("someone@example.invalid"));
  QStringList order;
  link.SetOnClick([&](QObject*) { order << "click:" + QString::number(opener.Calls().size()); });
  Click(&link);
  EXPECT_EQ(order, QStringList({"click:0"}));
  EXPECT_EQ(opener.Calls(), QStringList({"mailto:someone@example.invalid"}));

  // The form may rewrite both parts; an empty prefix opens the bare caption.
  link.SetCaption(QStringLiteral("https://example.invalid/home"));
  QString seenPrefix;
  link.SetOnExecute([&](QObject* sender, QString& prefix, QString& target) {
    EXPECT_EQ(sender, &link);
    seenPrefix = prefix;
    prefix.clear();
  });
  Click(&link);
  EXPECT_EQ(seenPrefix, "mailto:");
  EXPECT_EQ(opener.Calls().value(1), "https://example.invalid/home");

  // A release outside the label is no click.
  QMouseEvent press(QEvent::MouseButtonPress, QPointF(2, 2), QPointF(2, 2), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
  QMouseEvent release(QEvent::MouseButtonRelease, QPointF(500, 2), QPointF(500, 2), Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&link, &press);
  QCoreApplication::sendEvent(&link, &release);
  EXPECT_EQ(opener.Calls().size(), 2);
}

TEST(LabelLink, AFailedOpenIsReportedNotSwallowed) {
  testenv::RecordedErrors().clear();
  TqsLabelLink link;
  link.SetLinkKind(lkNone);
  link.SetCaption(testenv::NewTempDir() + "/missing.txt");
  Click(&link);
  testenv::DrainEvents();
  EXPECT_EQ(testenv::RecordedErrors(), QStringList({"The specified file was not found."}));
}

TEST(LabelLink, HoverShowsFontOverAndLeavingRestoresTheFont) {
  TqsLabelLink link;
  EXPECT_EQ(link.cursor().shape(), Qt::PointingHandCursor);
  EXPECT_EQ(link.FontColor(), QColor(0, 0, 255));
  EXPECT_TRUE(link.FontOver().underline());
  EXPECT_FALSE(link.font().underline());
  QFont over = link.FontOver();
  over.setItalic(true);
  link.SetFontOver(over);
  link.SetFontOverColor(Qt::red);

  QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
  QCoreApplication::sendEvent(&link, &enter);
  EXPECT_TRUE(link.font().italic());
  EXPECT_EQ(link.FontColor(), QColor(Qt::red));
  QEvent leave(QEvent::Leave);
  QCoreApplication::sendEvent(&link, &leave);
  EXPECT_FALSE(link.font().italic());
  EXPECT_EQ(link.FontColor(), QColor(0, 0, 255));
}

TEST(FormFonts, TahomaAndMsSansSerifResolveToMetricCloseFonts) {
  TqsLabel label;  // registers the fonts
  const bool shipped = QFile::exists("/usr/share/wine/fonts/tahoma.ttf");
  const QString tahoma = shipped ? QStringLiteral("Tahoma") : QStringLiteral("DejaVu Sans Condensed");
  EXPECT_EQ(QFontInfo(QFont(QStringLiteral("Tahoma"))).family(), tahoma);
  const QString sansSerif = QFontInfo(QFont(QStringLiteral("MS Sans Serif"))).family();
  EXPECT_TRUE(sansSerif == "MS Sans Serif" || sansSerif == tahoma) << sansSerif.toStdString();
}

TEST(Label, ExplicitWeightSurvivesANewFontAndFitsTheSize) {
  TqsLabel label;
  label.SetCaption(QStringLiteral("Duration"));
  label.SetWeight(9);
  QFont plain(QStringLiteral("DejaVu Sans"));
  plain.setPixelSize(20);
  label.setFont(plain);
  EXPECT_EQ(label.font().weight(), 900);
  EXPECT_EQ(label.font().pixelSize(), 20);
  EXPECT_EQ(label.height(), label.fontMetrics().height());
  label.SetWeight(0);  // 0 keeps whatever the font has from now on
  label.setFont(plain);
  EXPECT_EQ(label.font().weight(), QFont::Normal);
}
