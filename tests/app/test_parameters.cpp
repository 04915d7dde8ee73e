#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>

#include "app/pk_param.h"
#include "framework/qs_contexte.h"
#include "framework/qs_tools.h"
#include "tests/support/test_env.h"

namespace {

class ParametersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    hive = testenv::NewTempDir("params") + "/registry.json";
    store = std::make_unique<TqsContexte>(hive);
    ReleaseParameters();
  }
  void TearDown() override { ReleaseParameters(); }
  QJsonObject Initial() {
    QJsonObject obj = QJsonDocument::fromJson(testenv::ReadFile(hive)).object();
    for (const QString& part : store->AppKey().split('\\', Qt::SkipEmptyParts)) obj = obj[part].toObject();
    return obj["Initial"].toObject();
  }
  QString hive;
  std::unique_ptr<TqsContexte> store;
};

}  // namespace

TEST_F(ParametersTest, TheRecordStartsEmptyAndLoadGivesTheDefaults) {
  TRBParameters& p = Parameters();
  EXPECT_EQ(&p, &Parameters());
  EXPECT_FALSE(p.InternalViewer);
  EXPECT_EQ(p.Brightness, 0);

  p.Load();
  EXPECT_FALSE(p.Recurse);
  EXPECT_EQ(p.MovieDir, AppDir() + "Movies");
  EXPECT_FALSE(p.MovieDir.endsWith('/'));
  EXPECT_EQ(p.CDReader, "");
  EXPECT_FALSE(p.ExitOnView);
  EXPECT_TRUE(p.InternalViewer);
  EXPECT_TRUE(p.CopyFromCD);
  EXPECT_EQ(p.ScreenSettingsMode, 0);
  EXPECT_EQ(p.Brightness, 5000);
  EXPECT_EQ(p.MovieTypes, "*.avi");
  EXPECT_EQ(p.Volume, 100);
  EXPECT_FALSE(p.Muted);
  EXPECT_EQ(p.GraphVolume(), 10000);
}

TEST_F(ParametersTest, SaveWritesEveryFieldWithItsTypeAndLoadReadsThemBack) {
  TRBParameters& p = Parameters();
  p.Load();
  p.Recurse = true;
  p.MovieDir = "/home/user/Films";
  p.CDReader = "/dev/sr0";
  p.ExitOnView = true;
  p.InternalViewer = false;
  p.CopyFromCD = false;
  p.ScreenSettingsMode = 1;
  p.Brightness = 7300;
  p.MovieTypes = "*.mkv *.mp4";
  p.Volume = 35;
  p.Muted = true;
  p.Save();

  const QJsonObject initial = Initial();
  EXPECT_EQ(initial.size(), 11);
  EXPECT_EQ(initial["MovieTypes"].toString(), "*.mkv *.mp4");
  EXPECT_EQ(initial["Volume"].toInt(), 35);
  EXPECT_EQ(initial["Muted"].toInt(), 1);
  EXPECT_EQ(initial["Recurse"].toInt(), 1);
  EXPECT_EQ(initial["InternalViewer"].toInt(-1), 0);
  EXPECT_EQ(initial["MovieDir"].toString(), "/home/user/Films");
  EXPECT_TRUE(initial["CDReader"].isString());
  EXPECT_EQ(initial["Brightness"].toInt(), 7300);

  ReleaseParameters();
  TRBParameters& again = Parameters();
  again.Load();
  EXPECT_TRUE(again.Recurse);
  EXPECT_EQ(again.MovieDir, "/home/user/Films");
  EXPECT_EQ(again.CDReader, "/dev/sr0");
  EXPECT_TRUE(again.ExitOnView);
  EXPECT_FALSE(again.InternalViewer);
  EXPECT_FALSE(again.CopyFromCD);
  EXPECT_EQ(again.ScreenSettingsMode, 1);
  EXPECT_EQ(again.Brightness, 7300);
  EXPECT_EQ(again.MovieTypes, "*.mkv *.mp4");
  EXPECT_EQ(again.Volume, 35);
  EXPECT_TRUE(again.Muted);
  EXPECT_EQ(again.GraphVolume(), 0);
}

TEST_F(ParametersTest, OddStoredValuesFallBackOrAreNarrowed) {
  store->WriteString("Brightness", "bright");     // wrong type: default
  store->WriteInteger("Recurse", 7);              // any non-zero is true
  store->WriteInteger("MovieDir", 3);             // wrong type: default
  store->WriteInteger("ScreenSettingsMode", 261);  // out of range: default
  Parameters().Load();
  EXPECT_EQ(Parameters().Brightness, 5000);
  EXPECT_TRUE(Parameters().Recurse);
  EXPECT_EQ(Parameters().MovieDir, AppDir() + "Movies");
  EXPECT_EQ(Parameters().ScreenSettingsMode, 0);
}

TEST_F(ParametersTest, ASoundLevelOutOfRangeIsBroughtIntoIt) {
  store->WriteInteger("Volume", 250);
  Parameters().Load();
  EXPECT_EQ(Parameters().Volume, 100);
  store->WriteInteger("Volume", -4);
  Parameters().Load();
  EXPECT_EQ(Parameters().Volume, 0);
  // The desktop's level: rounded to whole percent, and it unmutes.
  Parameters().Muted = true;
  Parameters().SetSoundLevel(0.426);
  EXPECT_EQ(Parameters().Volume, 43);
  EXPECT_FALSE(Parameters().Muted);
  EXPECT_DOUBLE_EQ(Parameters().SoundLevel(), 0.43);
  Parameters().SetSoundLevel(7.0);
  EXPECT_EQ(Parameters().Volume, 100);
}

TEST(MovieTypes, AListTypedByHandBecomesPatterns) {
  EXPECT_EQ(MovieTypePatterns("*.avi"), QStringList({"*.avi"}));
  // Blanks, commas and semicolons separate; an extension alone is a type.
  EXPECT_EQ(MovieTypePatterns("  *.mkv,mp4 ; .webm\t*.AVI "), QStringList({"*.mkv", "*.mp4", "*.webm", "*.AVI"}));
  // Repeats go (letter case aside); a name stays a name; paths are refused.
  EXPECT_EQ(MovieTypePatterns("*.mkv *.MKV Holiday.avi /tmp/*.avi ../x*"), QStringList({"*.mkv", "Holiday.avi"}));
  EXPECT_TRUE(MovieTypePatterns(" ,; ").isEmpty());
  EXPECT_EQ(MovieMask("/films", "*.mkv mp4"), "/films/*.mkv;*.mp4");
  EXPECT_EQ(MovieTypePatterns(kCommonMovieTypes).size(), 14);
}
