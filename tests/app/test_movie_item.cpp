// The order of the movie list: items sort on their caption the way the
// user's language orders words, through a key made once per item.
#include <gtest/gtest.h>

#include <QTreeWidget>

#include <algorithm>
#include <memory>

#include "app/pk_fmain.h"
#include "app/pk_param.h"

namespace {

QStringList Listed(const QTreeWidget& list) {
  QStringList captions;
  for (int i = 0; i < list.topLevelItemCount(); ++i) captions << list.topLevelItem(i)->text(0);
  return captions;
}

TEST(MovieItem, SortsLikeTheLocaleAwareComparisonOfCaptions) {
  // Letter case, accents and digits: a plain comparison of the characters
  // would order these differently ("B" before "a", "Z" before "é").
  QStringList captions{"b", "Zebra", "A", "éclair", "a", "B", "Eclair", "10 Days", "9 Lives", "eclair",
                       "Holiday", "Holiday", "zèbre", "Émile", "_extra"};
  QTreeWidget list;
  list.setSortingEnabled(true);
  list.sortByColumn(0, Qt::AscendingOrder);
  // In two batches, as the walk delivers them.
  for (int half = 0; half < 2; ++half) {
    QList<QTreeWidgetItem*> items;
    for (int i = half; i < captions.size(); i += 2)
      items << new TMovieItem(captions[i], std::make_unique<TMovieData>("/m/" + captions[i] + ".avi", true));
    list.addTopLevelItems(items);
  }
  QStringList expected = captions;
  std::stable_sort(expected.begin(), expected.end(),
                   [](const QString& a, const QString& b) { return a.localeAwareCompare(b) < 0; });
  EXPECT_EQ(Listed(list), expected);

  list.sortByColumn(0, Qt::DescendingOrder);
  std::reverse(expected.begin(), expected.end());
  // Equal captions may swap places; every other position is fixed.
  EXPECT_EQ(Listed(list).join('|'), expected.join('|'));
}

}  // namespace
