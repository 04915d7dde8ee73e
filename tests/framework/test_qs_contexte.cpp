#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include "framework/qs_contexte.h"
#include "tests/support/test_env.h"

// A window class as the program names them, for the default section.
class TFrmSample : public TqsForm {
  Q_OBJECT
 public:
  using TqsForm::TqsForm;
};

namespace {

class ContexteTest : public ::testing::Test {
 protected:
  void SetUp() override {
    hive = testenv::NewTempDir("ctx") + "/registry.json";
    store = std::make_unique<TqsContexte>(hive);
  }
  QJsonObject AppKeyJson() {
    QJsonObject obj = QJsonDocument::fromJson(testenv::ReadFile(hive)).object();
    for (const QString& part : store->AppKey().split('\\', Qt::SkipEmptyParts)) obj = obj[part].toObject();
    return obj;
  }
  QString hive;
  std::unique_ptr<TqsContexte> store;
};

}  // namespace

TEST(QsContexteKey, CapitalisesOnlyTheFirstAsciiLetter) {
  EXPECT_EQ(MakeAppKey("Reelbay"), "\\Software\\Vessa\\Reelbay");
  EXPECT_EQ(MakeAppKey("MY_APP"), "\\Software\\Vessa\\My_app");
  EXPECT_EQ(MakeAppKey("cinvo"), "\\Software\\Vessa\\Cinvo");
  EXPECT_EQ(MakeAppKey("1ABC"), "\\Software\\Vessa\\1abc");
  EXPECT_EQ(MakeAppKey(QString::fromUtf8("\xc3\xa9" "COLE")), QString::fromUtf8("\\Software\\Vessa\\\xc3\xa9" "cole"));
  EXPECT_EQ(MakeAppKey(""), "\\Software\\Vessa\\");
}

TEST(QsContexteGlobal, FirstStoreBecomesContexteAndAnyDestroyedStoreEmptiesIt) {
  ASSERT_EQ(Contexte, nullptr);
  auto first = std::make_unique<TqsContexte>(testenv::HivePath());
  auto second = std::make_unique<TqsContexte>(testenv::HivePath());
  EXPECT_EQ(Contexte, first.get());
  second.reset();
  EXPECT_EQ(Contexte, nullptr);
  first.reset();
}

TEST_F(ContexteTest, FirstStartReadsDefaultsAndCreatesNothing) {
  EXPECT_EQ(store->ReadString("MovieDir", "def"), "def");
  EXPECT_EQ(store->ReadString("Nothing"), "");
  EXPECT_EQ(store->ReadInteger("Brightness", 5000), 5000);
  EXPECT_EQ(store->ReadInteger("Brightness"), 0);
  EXPECT_TRUE(store->ReadBool("InternalViewer", true));
  EXPECT_FALSE(store->ReadBool("Recurse"));
  EXPECT_EQ(store->ReadInteger("Settings\\FrmX", "Left", 12), 12);
  EXPECT_FALSE(QFile::exists(hive));
}

TEST_F(ContexteTest, ValuesAreTypedAndNamesIgnoreCase) {
  store->WriteString("MovieDir", "/films");
  store->WriteInteger("Brightness", -42);
  store->WriteBool("Recurse", true);
  store->WriteInteger("Custom\\Deeper", "Value", 7);

  EXPECT_EQ(store->ReadString("moviedir", ""), "/films");
  EXPECT_EQ(store->ReadInteger("BRIGHTNESS", 0), -42);
  EXPECT_TRUE(store->ReadBool("recurse"));
  EXPECT_EQ(store->ReadInteger("custom\\deeper", "value", 0), 7);
  EXPECT_TRUE(store->ReadBool("custom\\deeper", "value", false));  // 7 reads as true

  // A string where a number is expected, and the other way round.
  EXPECT_EQ(store->ReadInteger("MovieDir", 99), 99);
  EXPECT_EQ(store->ReadString("Brightness", "d"), "d");
  EXPECT_TRUE(store->ReadBool("MovieDir", true));

  const QJsonObject initial = AppKeyJson()["Initial"].toObject();
  EXPECT_TRUE(initial["MovieDir"].isString());
  EXPECT_EQ(initial["Brightness"].toInt(), -42);
  EXPECT_EQ(initial["Recurse"].toInt(), 1);
  EXPECT_TRUE(AppKeyJson()["Custom"].toObject()["Deeper"].toObject()["Value"].isDouble());
}

TEST_F(ContexteTest, AHiveThatIsNotJsonGivesDefaultsAndIsKeptAside) {
  ASSERT_TRUE(testenv::WriteFile(hive, "[1, 2"));
  EXPECT_EQ(store->ReadInteger("Brightness", 5000), 5000);
  store->WriteInteger("Brightness", 10);
  EXPECT_EQ(store->ReadInteger("Brightness", 5000), 10);
  EXPECT_EQ(QDir(QFileInfo(hive).absolutePath()).entryList({"registry.json.broken-*"}).size(), 1);
}

TEST_F(ContexteTest, FormSectionRules) {
  TFrmSample form;
  EXPECT_EQ(store->FormSection(&form, "Custom"), "Custom");
  EXPECT_EQ(store->FormSection(&form, ""), "Settings\\FrmSample");
  form.SetSettingsSection("Other");
  EXPECT_EQ(store->FormSection(&form, ""), "Settings\\Other");
  QWidget plain;
  EXPECT_EQ(store->FormSection(&plain, ""), "Settings\\Widget");
}

TEST_F(ContexteTest, SaveAndRestoreASizeableWindow) {
  TFrmSample form;
  form.move(40, 50);
  form.resize(300, 200);
  store->SaveForm(&form, "");
  const QJsonObject s = AppKeyJson()["Settings"].toObject()["FrmSample"].toObject();
  EXPECT_EQ(s["Left"].toInt(), 40);
  EXPECT_EQ(s["Top"].toInt(), 50);
  EXPECT_EQ(s["Width"].toInt(), 300);
  EXPECT_EQ(s["Height"].toInt(), 200);

  TFrmSample other;
  other.move(1, 2);
  other.resize(100, 100);
  store->RestoreForm(&other, "");
  EXPECT_EQ(other.pos(), QPoint(40, 50));
  EXPECT_EQ(other.size(), QSize(300, 200));
}

TEST_F(ContexteTest, MissingValuesLeaveTheCoordinateAlone) {
  store->WriteInteger("Settings\\FrmSample", "Top", 77);
  TFrmSample form;
  form.move(5, 6);
  form.resize(120, 90);
  store->RestoreForm(&form, "");
  EXPECT_EQ(form.pos(), QPoint(5, 77));
  EXPECT_EQ(form.size(), QSize(120, 90));
}

TEST_F(ContexteTest, AWindowClosedMaximisedKeepsTheEarlierPosition) {
  TFrmSample form;
  form.move(10, 20);
  form.resize(200, 100);
  store->SaveForm(&form, "");
  form.move(300, 300);  // moving a maximised window would make it normal again
  form.setWindowState(Qt::WindowMaximized);
  store->SaveForm(&form, "");
  EXPECT_EQ(AppKeyJson()["Settings"].toObject()["FrmSample"].toObject()["Left"].toInt(), 10);

  TFrmSample maximised;
  maximised.move(3, 3);
  maximised.setWindowState(Qt::WindowMaximized);
  store->RestoreForm(&maximised, "");
  EXPECT_EQ(maximised.pos(), QPoint(3, 3));
}

TEST_F(ContexteTest, AFixedBorderDialogSavesFourValuesButRestoresOnlyItsPosition) {
  TFrmSample dialog;
  dialog.resize(250, 150);
  SetFormBorderStyle(&dialog, TFormBorderStyle::bsDialog);
  dialog.move(60, 70);
  store->SaveForm(&dialog, "Dlg");
  EXPECT_EQ(AppKeyJson()["Dlg"].toObject().size(), 4);

  store->WriteInteger("Dlg", "Width", 999);
  store->WriteInteger("Dlg", "Height", 999);
  TFrmSample again;
  again.resize(250, 150);
  SetFormBorderStyle(&again, TFormBorderStyle::bsDialog);
  store->RestoreForm(&again, "Dlg");
  EXPECT_EQ(again.pos(), QPoint(60, 70));
  EXPECT_EQ(again.size(), QSize(250, 150));
}

TEST_F(ContexteTest, ReadsNeverFailOnABrokenStoreLocation) {
  const QString dir = testenv::NewTempDir("nofile");
  ASSERT_TRUE(testenv::WriteFile(dir + "/plain", "x"));
  TqsContexte blocked(dir + "/plain/registry.json");
  EXPECT_EQ(blocked.ReadInteger("A", 3), 3);
  blocked.WriteInteger("A", 4);  // refused: nothing written, nothing raised
  EXPECT_EQ(blocked.ReadInteger("A", 3), 3);
}

#include "test_qs_contexte.moc"
