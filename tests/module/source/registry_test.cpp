// ImportToolsProvider: registration and lookup of connectors, readers and
// object creators by model type.
#include <schemaimport/ImportToolsProvider.h>
#include <schemaimport/SchemaSourceConnectorI.h>
#include <schemaimport/SchemaSourceReaderI.h>

#include <gtest/gtest.h>

namespace {

class TestConnector : public SchemaSourceConnectorI {
 public:
  bool EstablishConnection() override { return false; }
};

class TestReader : public SchemaSourceReaderI {
 public:
  void ReadObjects() override {}
  void RegisterQueryStatements() override {}
};

constexpr int kSqlite = 7;
// Model types are unsigned 32-bit numbers used as int keys: the largest
// arrives as -1 and is a type like any other.
constexpr int kLargest = static_cast<int>(0xFFFFFFFFu);

// Regression: a lookup used to add a null entry that dropped the plug-in's
// later registration. Tools on the stack: a delete would fail under ASan.
TEST(ImportToolsProviderTest, FirstRegistrationWinsLookupsCreateNothingUnregisterRemovesOnlyItsTool) {
  ImportToolsProvider registry;
  TestConnector first, second;
  TestReader reader, otherReader;
  ImportedObjectCreatorI creator, otherCreator;
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

  // Another plug-in's unload must not take away this registration.
  registry.UnregisterConnector(kLargest, &second);
  EXPECT_EQ(registry.GetConnector(kLargest), &first);
  registry.UnregisterConnector(kLargest, &first);
  registry.UnregisterReader(kLargest, &reader);
  EXPECT_EQ(registry.GetConnector(kLargest), nullptr);
  EXPECT_EQ(registry.GetReader(kLargest), nullptr);
  // A reloaded plug-in registers again.
  registry.RegisterConnector(kLargest, &second);
  EXPECT_EQ(registry.GetConnector(kLargest), &second);
}

}  // namespace
