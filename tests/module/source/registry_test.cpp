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
// Model types are unsigned 32-bit numbers used as int keys: the largest
// arrives as -1 and is a type like any other.
constexpr int kLargest = static_cast<int>(0xFFFFFFFFu);

// Regression: a lookup used to add a null entry for the type, so that the
// plug-in's later registration was silently dropped and every import of
// that type failed to find its tools.
TEST(ImportToolsProviderTest, FirstRegistrationWinsAndLookupsCreateNothing) {
  ImportToolsProvider registry;
  TestConnector first, second;
  TestReader reader, otherReader;
  TestCreator creator, otherCreator;
  EXPECT_EQ(registry.GetConnector(kLargest), nullptr);
  EXPECT_EQ(registry.GetReader(kLargest), nullptr);
  EXPECT_EQ(registry.GetObjectCreator(kLargest), nullptr);

  registry.RegisterConnector(kLargest, &first);
  registry.RegisterConnector(kLargest, &second);
  registry.RegisterReader(kLargest, &reader);
  registry.RegisterReader(kLargest, &otherReader);
  registry.RegisterObjectCreator(kLargest, &creator);
  registry.RegisterObjectCreator(kLargest, &otherCreator);

  EXPECT_EQ(registry.GetConnector(kLargest), &first);
  EXPECT_EQ(registry.GetReader(kLargest), &reader);
  EXPECT_EQ(registry.GetObjectCreator(kLargest), &creator);
  EXPECT_EQ(registry.GetConnector(kSqlite), nullptr);  // the tables hold types apart
  EXPECT_EQ(g_liveTools, 6);  // the refused registrations were not deleted
}

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

}  // namespace
