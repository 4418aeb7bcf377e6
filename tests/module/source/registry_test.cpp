// ImportToolsProvider: registration and lookup of connectors, readers and
// object creators by model type.
#include <schemaimport/ImportToolsProvider.h>
#include <schemaimport/SchemaSourceConnectorI.h>
#include <schemaimport/SchemaSourceReaderI.h>

#include <gtest/gtest.h>

namespace {

int g_liveTools = 0;  // tools constructed and not yet destroyed

class TestConnector : public SchemaSourceConnectorI {
 public:
  TestConnector() { ++g_liveTools; }
  ~TestConnector() { --g_liveTools; }
  bool EstablishConnection() override { return false; }
};

class TestReader : public SchemaSourceReaderI {
 public:
  TestReader() { ++g_liveTools; }
  ~TestReader() { --g_liveTools; }
  void ReadObjects() override {}
  void RegisterQueryStatements() override {}
};

class TestCreator : public ImportedObjectCreatorI {
 public:
  TestCreator() { ++g_liveTools; }
  ~TestCreator() override { --g_liveTools; }
};

constexpr int kSqlite = 7;
constexpr int kPostgres = 8;

TEST(ImportToolsProviderTest, FirstRegistrationForATypeWins) {
  ImportToolsProvider registry;
  TestConnector first, second;
  TestReader firstReader, secondReader;
  TestCreator firstCreator, secondCreator;

  registry.RegisterConnector(kSqlite, &first);
  registry.RegisterConnector(kSqlite, &second);
  registry.RegisterReader(kSqlite, &firstReader);
  registry.RegisterReader(kSqlite, &secondReader);
  registry.RegisterObjectCreator(kSqlite, &firstCreator);
  registry.RegisterObjectCreator(kSqlite, &secondCreator);

  EXPECT_EQ(registry.GetConnector(kSqlite), &first);
  EXPECT_EQ(registry.GetReader(kSqlite), &firstReader);
  EXPECT_EQ(registry.GetObjectCreator(kSqlite), &firstCreator);
  EXPECT_EQ(g_liveTools, 6);  // the dropped registrations were not deleted
}

// Regression: a lookup used to add a null entry for the type, so that the
// plug-in's later registration was silently dropped and every import of
// that type failed to find its tools.
TEST(ImportToolsProviderTest, RegistrationAfterFailedLookupIsRecorded) {
  ImportToolsProvider registry;
  TestConnector connector;
  TestReader reader;
  TestCreator creator;

  EXPECT_EQ(registry.GetConnector(kPostgres), nullptr);
  EXPECT_EQ(registry.GetReader(kPostgres), nullptr);
  EXPECT_EQ(registry.GetObjectCreator(kPostgres), nullptr);
  EXPECT_EQ(registry.GetReader(kPostgres), nullptr);  // and again

  registry.RegisterConnector(kPostgres, &connector);
  registry.RegisterReader(kPostgres, &reader);
  registry.RegisterObjectCreator(kPostgres, &creator);

  EXPECT_EQ(registry.GetConnector(kPostgres), &connector);
  EXPECT_EQ(registry.GetReader(kPostgres), &reader);
  EXPECT_EQ(registry.GetObjectCreator(kPostgres), &creator);
}

TEST(ImportToolsProviderTest, TablesAndTypesAreIndependent) {
  ImportToolsProvider registry;
  TestConnector connector;
  TestReader reader;
  // Model types are unsigned 32-bit numbers used as int keys: the largest
  // arrives as -1 and is a type like any other.
  constexpr int kLargest = static_cast<int>(0xFFFFFFFFu);

  registry.RegisterConnector(kSqlite, &connector);
  registry.RegisterReader(kLargest, &reader);

  EXPECT_EQ(registry.GetConnector(kSqlite), &connector);
  EXPECT_EQ(registry.GetReader(kSqlite), nullptr);
  EXPECT_EQ(registry.GetObjectCreator(kSqlite), nullptr);
  EXPECT_EQ(registry.GetReader(kLargest), &reader);
  EXPECT_EQ(registry.GetConnector(kLargest), nullptr);
  EXPECT_EQ(registry.GetReader(0), nullptr);
}

TEST(ImportToolsProviderTest, RegistryNeverDeletesItsTools) {
  TestConnector connector;
  TestReader reader;
  TestCreator creator;
  const int live = g_liveTools;
  {
    ImportToolsProvider registry;
    registry.RegisterConnector(kSqlite, &connector);
    registry.RegisterReader(kSqlite, &reader);
    registry.RegisterObjectCreator(kSqlite, &creator);
    ImportToolsProvider copy(registry);
    EXPECT_EQ(copy.GetConnector(kSqlite), &connector);
    EXPECT_EQ(copy.GetObjectCreator(kSqlite), &creator);
  }
  EXPECT_EQ(g_liveTools, live);
}

}  // namespace

TEST(ImportToolsProviderTest, UnregisterRemovesOnlyTheToolItHolds) {
  ImportToolsProvider registry;
  TestConnector mine, other;
  TestReader reader;
  registry.RegisterConnector(kSqlite, &mine);
  registry.RegisterReader(kSqlite, &reader);

  // Another plug-in's unload must not take away this registration.
  registry.UnregisterConnector(kSqlite, &other);
  EXPECT_EQ(registry.GetConnector(kSqlite), &mine);

  registry.UnregisterConnector(kSqlite, &mine);
  registry.UnregisterReader(kSqlite, &reader);
  EXPECT_EQ(registry.GetConnector(kSqlite), nullptr);
  EXPECT_EQ(registry.GetReader(kSqlite), nullptr);

  // A reloaded plug-in registers again.
  registry.RegisterConnector(kSqlite, &other);
  EXPECT_EQ(registry.GetConnector(kSqlite), &other);
}
