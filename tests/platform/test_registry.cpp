#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include "platform/registry.h"
#include "tests/support/test_env.h"

namespace {

QString NewHive() { return testenv::NewTempDir("hive") + QStringLiteral("/registry.json"); }

QJsonObject HiveJson(const QString& path) {
  return QJsonDocument::fromJson(testenv::ReadFile(path)).object();
}

}  // namespace

TEST(Registry, KeysAreCreatedOnlyWhenAllowedAndValuesKeepTheirTypes) {
  const QString hive = NewHive();
  platform::TRegistry reg(hive);
  EXPECT_FALSE(reg.OpenKey("\\Software\\Vessa\\App\\Initial", false));
  EXPECT_FALSE(QFile::exists(hive));

  ASSERT_TRUE(reg.OpenKey("\\Software\\Vessa\\App\\Initial", true));
  reg.WriteString("Name", "text");
  reg.WriteInteger("Count", -7);
  reg.CloseKey();

  const QJsonObject key = HiveJson(hive)["Software"].toObject()["Vessa"].toObject()["App"].toObject()["Initial"].toObject();
  EXPECT_TRUE(key["Name"].isString());
  EXPECT_TRUE(key["Count"].isDouble());

  ASSERT_TRUE(reg.OpenKey("software\\VESSA\\app\\initial", false));
  EXPECT_TRUE(reg.ValueExists("NAME"));
  EXPECT_EQ(reg.ReadString("name"), "text");
  EXPECT_EQ(reg.ReadInteger("count"), -7);
  EXPECT_THROW(reg.ReadInteger("Name"), platform::RegistryError);
  EXPECT_THROW(reg.ReadString("Count"), platform::RegistryError);
  EXPECT_THROW(reg.ReadString("Missing"), platform::RegistryError);
  // Rewriting under another case keeps one value.
  reg.WriteInteger("COUNT", 3);
  reg.CloseKey();
  EXPECT_EQ(HiveJson(hive)["Software"].toObject()["Vessa"].toObject()["App"].toObject()["Initial"].toObject().size(), 2);
}

TEST(Registry, ValuesOfUnexpectedJsonTypesFailToRead) {
  const QString hive = NewHive();
  ASSERT_TRUE(testenv::WriteFile(
      hive, R"({"K": {"Flag": true, "Half": 1.5, "Big": 4294967296, "Huge": 1e300, "Tiny": -1e300, "List": [1], "Null": null, "Sub": {}}})"));
  platform::TRegistry reg(hive);
  ASSERT_TRUE(reg.OpenKey("K", false));
  for (const char* name : {"Flag", "Half", "Big", "Huge", "Tiny", "List", "Null"}) {
    EXPECT_THROW(reg.ReadInteger(name), platform::RegistryError) << name;
    EXPECT_THROW(reg.ReadString(name), platform::RegistryError) << name;
  }
  EXPECT_FALSE(reg.ValueExists("Sub"));  // a key, not a value
  EXPECT_THROW(reg.WriteInteger("Sub", 1), platform::RegistryError);
}

TEST(Registry, AValueWithAnEmptyNameAnswersOnlyForTheEmptyName) {
  const QString hive = NewHive();
  ASSERT_TRUE(testenv::WriteFile(hive, R"({"K": {"": 7}})"));
  platform::TRegistry reg(hive);
  ASSERT_TRUE(reg.OpenKey("K", false));
  EXPECT_FALSE(reg.ValueExists("Missing"));
  EXPECT_THROW(reg.ReadInteger("Missing"), platform::RegistryError);
  EXPECT_TRUE(reg.ValueExists(""));
  EXPECT_EQ(reg.ReadInteger(""), 7);
  reg.WriteInteger("New", 1);  // a new name beside it, not over it
  reg.CloseKey();
  const QJsonObject key = HiveJson(hive)["K"].toObject();
  EXPECT_EQ(key[""].toInt(), 7);
  EXPECT_EQ(key["New"].toInt(), 1);
}

TEST(Registry, UnparseableHiveReadsEmptyAndIsSetAsideBeforeTheFirstWrite) {
  const QString hive = NewHive();
  const QByteArray garbage("{ this is not json \x01\x02");
  ASSERT_TRUE(testenv::WriteFile(hive, garbage));
  platform::TRegistry reg(hive);
  EXPECT_FALSE(reg.OpenKey("A", false));
  ASSERT_TRUE(reg.OpenKey("A", true));
  reg.WriteInteger("V", 1);

  const QStringList aside = QDir(QFileInfo(hive).absolutePath()).entryList({"registry.json.broken-*"}, QDir::Files);
  ASSERT_EQ(aside.size(), 1);
  EXPECT_EQ(testenv::ReadFile(QFileInfo(hive).absolutePath() + "/" + aside[0]), garbage);
  EXPECT_EQ(HiveJson(hive)["A"].toObject()["V"].toInt(), 1);
}

TEST(Registry, TwoAccessorsOnOneHiveKeepEachOthersWrites) {
  const QString hive = NewHive();
  platform::TRegistry first(hive), second(hive);
  ASSERT_TRUE(first.OpenKey("S", true));
  ASSERT_TRUE(second.OpenKey("S", true));  // both opened before either wrote
  first.WriteInteger("One", 1);
  second.WriteInteger("Two", 2);
  const QJsonObject key = HiveJson(hive)["S"].toObject();
  EXPECT_EQ(key["One"].toInt(), 1);
  EXPECT_EQ(key["Two"].toInt(), 2);
}

TEST(Registry, AHiveThatCannotBeWrittenRefusesKeyCreationAndRaisesOnWrite) {
  const QString dir = testenv::NewTempDir("blocked");
  ASSERT_TRUE(testenv::WriteFile(dir + "/file", "x"));
  platform::TRegistry reg(dir + "/file/registry.json");  // parent is a file
  EXPECT_FALSE(reg.OpenKey("A", true));
  EXPECT_THROW(reg.WriteInteger("V", 1), platform::RegistryError);
}

TEST(Registry, ABatchReadsTheHiveOnceAndStillSeesItsOwnWrites) {
  const QString hive = NewHive();
  const QString key = QStringLiteral("\\Software\\Vessa\\App\\Initial");
  const auto read = [&](platform::TRegistry& reg, const char* name) {
    EXPECT_TRUE(reg.OpenKey(key, false));
    const qint32 value = reg.ReadInteger(name);
    reg.CloseKey();
    return value;
  };
  const auto writeByHand = [&](int a) {
    ASSERT_TRUE(testenv::WriteFile(
        hive, QStringLiteral(R"({"Software":{"Vessa":{"App":{"Initial":{"A":%1,"B":2}}}}})").arg(a).toUtf8()));
  };
  writeByHand(1);
  platform::TRegistry reg(hive);
  {
    platform::TRegistryReadBatch batch;
    EXPECT_EQ(read(reg, "A"), 1);
    // Changed by another program meanwhile: the batch's values are of one version.
    writeByHand(5);
    EXPECT_EQ(read(reg, "A"), 1);
    {
      platform::TRegistryReadBatch inner;
      EXPECT_EQ(read(reg, "B"), 2);
    }
    EXPECT_EQ(read(reg, "A"), 1);
    // A write of its own is read back, with what the file holds now.
    platform::TRegistry other(hive);
    ASSERT_TRUE(other.OpenKey(key, false));
    other.WriteInteger("B", 3);
    other.CloseKey();
    EXPECT_EQ(read(reg, "B"), 3);
    EXPECT_EQ(read(reg, "A"), 5);
    writeByHand(7);
    EXPECT_EQ(read(reg, "A"), 5);
  }
  EXPECT_EQ(read(reg, "A"), 7);
}
