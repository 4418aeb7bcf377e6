// The reader's tables without a database: statement and row-action
// registration, the set-up step, ownership of actions, object counts.
#include "ReaderTestSupport.h"

#include <tillerhold/GenericModel.h>

#include <gtest/gtest.h>

#include <vector>

namespace qm::test::reader {
namespace {

TEST(SchemaSourceReaderTest, SetConnectionRunsTheSetUpStepOnceUntilClearAll) {
  TestReader reader;
  reader.registration = [](TestReader& r) { r.AddQueryStatement(1, 12, u"SELECT 1"); };
  TestConnector first(CString(), u"scope one");
  TestConnector second(CString(), u"scope two");

  reader.SetConnection(&first);
  reader.SetConnection(&second);
  EXPECT_EQ(reader.registrations, 1);
  EXPECT_EQ(reader.Connector(), &second);
  // The scope is read from the connector every time.
  EXPECT_EQ(first.scopeReads, 1);
  EXPECT_EQ(second.scopeReads, 1);
  CString scope;
  reader.GetREScope(scope);
  EXPECT_EQ(scope, CString(u"scope two"));

  reader.ClearAll();
  EXPECT_FALSE(reader.Registered());
  CString text(u"kept");
  EXPECT_FALSE(reader.GetQueryStatement(1, text));
  EXPECT_EQ(text, CString(u"kept"));
  // Object types outlive ClearAll.
  EXPECT_EQ(reader.StatementObjectType(1), 12);

  reader.SetConnection(&first);
  EXPECT_EQ(reader.registrations, 2);
  EXPECT_TRUE(reader.GetQueryStatement(1, text));
  EXPECT_EQ(text, CString(u"SELECT 1"));

  // A reader with no connector yet still registers; the scope is empty.
  TestReader unconnected;
  unconnected.SetConnection(nullptr);
  EXPECT_EQ(unconnected.registrations, 1);
  unconnected.GetREScope(scope);
  EXPECT_TRUE(scope.IsEmpty());
}

TEST(SchemaSourceReaderTest, AddQueryStatementKeepsTheFirstTextAndTheLatestObjectType) {
  TestReader reader;
  reader.AddQueryStatement(5, 7, u"");
  CString text;
  EXPECT_FALSE(reader.GetQueryStatement(5, text));
  EXPECT_EQ(reader.StatementObjectType(5), 0);

  reader.AddQueryStatement(5, 7, u"SELECT first");
  reader.AddQueryStatement(5, 9, u"SELECT second");
  EXPECT_TRUE(reader.GetQueryStatement(5, text));
  EXPECT_EQ(text, CString(u"SELECT first"));
  EXPECT_EQ(reader.StatementObjectType(5), 9);

  // Counting follows the latest object type.
  reader.UpdateObjectCount(5, 2);
  EXPECT_EQ(reader.ObjectCount(9), 2);
  EXPECT_EQ(reader.ObjectCount(7), -1);
}

TEST(SchemaSourceReaderTest, UpdateObjectCountAddsForPositiveObjectTypesOnly) {
  TestReader reader;
  reader.AddQueryStatement(1, 12, u"SELECT a");
  reader.AddQueryStatement(2, 12, u"SELECT b");
  reader.AddQueryStatement(3, -4, u"SELECT c");
  reader.AddQueryStatement(4, 0, u"SELECT d");

  reader.UpdateObjectCount(1, 3);
  reader.UpdateObjectCount(1, 4);
  reader.UpdateObjectCount(2, 5);
  EXPECT_EQ(reader.ObjectCount(12), 12);

  reader.UpdateObjectCount(3, 6);   // negative type
  reader.UpdateObjectCount(4, 6);   // type 0
  reader.UpdateObjectCount(99, 6);  // no type registered
  EXPECT_EQ(reader.ObjectCountEntries(), 1u);
}

TEST(SchemaSourceReaderTest, SetStatementRowActionKeepsTheFirstAndStoresNull) {
  ActionLog kept;
  ActionLog refused;
  TestReader reader;
  auto* first = new RecordingRowAction(&kept);
  auto* second = new RecordingRowAction(&refused);
  reader.SetStatementRowAction(1, first);
  reader.SetStatementRowAction(1, second);
  EXPECT_EQ(reader.GetStatementRowAction(1), first);
  EXPECT_EQ(reader.GetStatementRowAction(2), nullptr);

  // A null action occupies its id: a later action for it is refused.
  reader.SetStatementRowAction(2, nullptr);
  auto* late = new RecordingRowAction(&refused);
  reader.SetStatementRowAction(2, late);
  EXPECT_EQ(reader.GetStatementRowAction(2), nullptr);

  reader.ClearAll();
  EXPECT_EQ(kept.destroyed, 1);
  // The refused actions stayed their caller's.
  EXPECT_EQ(refused.destroyed, 0);
  delete second;
  delete late;
  EXPECT_EQ(refused.destroyed, 2);
}

TEST(SchemaSourceReaderTest, ClearAllDeletesEveryActionOnceAndEmptiesTheTables) {
  ActionLog a;
  ActionLog b;
  ActionLog shared;
  {
    TestReader reader;
    reader.AddQueryStatement(1, 3, u"SELECT 1");
    reader.SetStatementRowAction(1, new RecordingRowAction(&a));
    reader.SetStatementRowAction(2, nullptr);
    reader.SetStatementRowAction(3, new RecordingRowAction(&b));
    auto* twice = new RecordingRowAction(&shared);
    reader.SetStatementRowAction(4, twice);
    reader.SetStatementRowAction(5, twice);

    reader.ClearAll();
    EXPECT_EQ(a.destroyed, 1);
    EXPECT_EQ(b.destroyed, 1);
    EXPECT_EQ(shared.destroyed, 1);
    EXPECT_TRUE(reader.RowActionIds().empty());
    CString text;
    EXPECT_FALSE(reader.GetQueryStatement(1, text));

    reader.ClearAll();  // nothing left: harmless
  }
  EXPECT_EQ(a.destroyed, 1);
  EXPECT_EQ(b.destroyed, 1);
}

TEST(SchemaSourceReaderTest, RowActionIdsOrderAsUnsignedNumbers) {
  TestReader reader;
  for (int id : {-1, 5, 0, -2147483647 - 1, 2147483647}) reader.SetStatementRowAction(id, nullptr);
  const std::vector<int> expected = {0, 5, 2147483647, -2147483647 - 1, -1};
  EXPECT_EQ(reader.RowActionIds(), expected);
}

TEST(SchemaSourceReaderTest, DispatchCallsTheStatementsActionWithTheModel) {
  ActionLog log;
  GenericModel model;
  TestReader reader;
  reader.SetModel(&model);
  reader.SetStatementRowAction(1, new RecordingRowAction(&log));
  reader.SetStatementRowAction(2, nullptr);
  CommonDataObject record;
  record.Set(u"name", COleVariant(u"t1"));

  reader.DispatchPreProcess(1);
  reader.ProcessRecord(1, record);
  reader.DispatchPostProcess(1);
  for (int id : {2, 3}) {  // a null action, no action: nothing happens
    reader.DispatchPreProcess(id);
    reader.ProcessRecord(id, record);
    reader.DispatchPostProcess(id);
  }

  EXPECT_EQ(log.preExecute, 1);
  EXPECT_EQ(log.postExecute, 1);
  ASSERT_EQ(log.rows.size(), 1u);
  EXPECT_EQ(log.rows[0].GetString(u"name"), CString(u"t1"));
  EXPECT_EQ(log.models, (std::vector<GenericModel*>{&model, &model, &model}));
}

TEST(SchemaSourceReaderTest, ImportWithoutAConnectionIsRecordedAsFailed) {
  ActionLog log;
  TestReader reader;
  reader.AddQueryStatement(1, 12, u"SELECT 1");
  reader.SetStatementRowAction(1, new RecordingRowAction(&log));
  TestConnector closed;
  reader.SetConnection(&closed);

  reader.ImportObjects(1);
  ASSERT_EQ(reader.GetFailedStatements().size(), 1u);
  EXPECT_EQ(reader.GetFailedStatements()[0].statementId, 1);
  EXPECT_EQ(reader.GetFailedStatements()[0].diagnostic.sqlState, u"08003");
  EXPECT_EQ(log.preExecute + log.postExecute + static_cast<int>(log.rows.size()), 0);
  EXPECT_EQ(reader.ObjectCountEntries(), 0u);

  reader.ClearFailedStatements();
  EXPECT_TRUE(reader.GetFailedStatements().empty());
}

}  // namespace
}  // namespace qm::test::reader
