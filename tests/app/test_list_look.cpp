// The movie list's look: the button face behind the rows, a line in the
// midlight colour under each row, the selection in the active highlight
// colours also while the window is not the active one.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QTreeWidget>

#include "app/pk_listlook.h"

namespace {

void Fill(QTreeWidget& list) {
  list.setHeaderHidden(true);
  list.setRootIsDecorated(false);
  list.resize(200, 160);
  for (const char* caption : {"First", "Second", "Third"}) list.addTopLevelItem(new QTreeWidgetItem({caption}));
}

TEST(MovieListLook, ButtonFaceRowsWithALineUnderEachAndTheActiveHighlightWhenInactive) {
  // The active and the inactive highlight told apart.
  const QPalette before = QApplication::palette();
  QPalette palette = before;
  palette.setColor(QPalette::Active, QPalette::Highlight, QColor(10, 80, 200));
  palette.setColor(QPalette::Inactive, QPalette::Highlight, QColor(200, 200, 60));
  palette.setColor(QPalette::Active, QPalette::Midlight, QColor(150, 90, 90));
  QApplication::setPalette(palette);

  QTreeWidget plain;
  Fill(plain);
  QTreeWidget list;
  Fill(list);
  ApplyMovieListLook(&list);
  list.topLevelItem(1)->setSelected(true);

  // Room for the line under the text.
  const QRect first = list.visualItemRect(list.topLevelItem(0));
  EXPECT_EQ(first.height(), plain.visualItemRect(plain.topLevelItem(0)).height() + 1);

  // Not shown, so not active.
  const QImage image = list.viewport()->grab().toImage();
  const QColor face = palette.color(QPalette::Active, QPalette::Button);
  const QColor line = palette.color(QPalette::Active, QPalette::Midlight);
  const QRect second = list.visualItemRect(list.topLevelItem(1));
  const QRect third = list.visualItemRect(list.topLevelItem(2));
  const int right = first.right() - 2;  // clear of the captions
  for (const QRect& row : {first, second, third}) {
    EXPECT_EQ(image.pixelColor(0, row.bottom()), line);
    EXPECT_EQ(image.pixelColor(right, row.bottom()), line);
  }
  EXPECT_EQ(image.pixelColor(right, first.top() + 1), face);
  EXPECT_EQ(image.pixelColor(right, second.top() + 1), palette.color(QPalette::Active, QPalette::Highlight));
  EXPECT_EQ(image.pixelColor(right, third.bottom() + 5), face);
  QApplication::setPalette(before);
}

}  // namespace
