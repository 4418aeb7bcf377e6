// The reader's tables without a database: registrations, the set-up step,
// row actions' ownership, counts and progress.
#include "ReaderTestSupport.h"

#include <schemaimport/SchemaImport.h>

#include <gtest/gtest.h>

#include <utility>

// The host's Windows names, as the module's own sources use them.
using namespace platform::win;

namespace qm::test::reader {
namespace {

TEST(SchemaSourceReaderTest, SetUpStepRunsOnceUntilClearAllAndStatementsKeepTheirFirstText) {
  TestReader reader;
  reader.registration = [](TestReader& r) {
    r.AddQueryStatement(1, 12, u"");  // no text: not registered
    r.AddQueryStatement(1, 7, u"SELECT first");
    r.AddQueryStatement(1, 9, u"SELECT second");  // the text stays, the type is the latest
    r.AddQueryStatement(3, -4, u"SELECT c");
    r.AddQueryStatement(4, 0, u"SELECT d");
  };
  TestConnector first(CString(), u"scope one");
  TestConnector second(CString(), u"scope two");
  reader.SetConnection(&first);
  reader.SetConnection(&second);
  EXPECT_EQ(reader.registrations, 1);
  EXPECT_EQ(first.scopeReads + second.scopeReads, 2);  // the scope is read every time
  CString text;
  reader.GetREScope(text);
  EXPECT_EQ(text, CString(u"scope two"));
  EXPECT_TRUE(reader.GetQueryStatement(1, text));
  EXPECT_EQ(text, CString(u"SELECT first"));
  // Counted under the latest type, and for positive types only.
  for (int id : {1, 1, 3, 4, 99}) reader.UpdateObjectCount(id, 4);
  EXPECT_EQ(reader.ObjectCount(9), 8);
  EXPECT_EQ(reader.ObjectCountEntries(), 1u);

  reader.ClearAll();
  EXPECT_FALSE(reader.GetQueryStatement(1, text));
  reader.SetConnection(nullptr);  // no connector yet: still registers, the scope is empty
  EXPECT_EQ(reader.registrations, 2);
  EXPECT_TRUE(reader.GetQueryStatement(1, text));
  reader.GetREScope(text);
  EXPECT_TRUE(text.IsEmpty());
}

TEST(SchemaSourceReaderTest, RowActionsFirstWinsNullOccupiesAndClearAllDeletesEachOnce) {
  ActionLog kept, refused, shared;
  TestReader reader;
  auto* first = new RecordingRowAction(&kept);
  auto* second = new RecordingRowAction(&refused);
  reader.SetStatementRowAction(1, first);
  reader.SetStatementRowAction(1, second);
  EXPECT_EQ(reader.GetStatementRowAction(1), first);
  // A null action occupies its id: a later action for it is refused.
  reader.SetStatementRowAction(2, nullptr);
  auto* late = new RecordingRowAction(&refused);
  reader.SetStatementRowAction(2, late);
  EXPECT_EQ(reader.GetStatementRowAction(2), nullptr);
  // One action stored under two ids is deleted once.
  auto* twice = new RecordingRowAction(&shared);
  reader.SetStatementRowAction(4, twice);
  reader.SetStatementRowAction(5, twice);

  reader.ClearAll();
  EXPECT_EQ(kept.destroyed, 1);
  EXPECT_EQ(shared.destroyed, 1);
  EXPECT_EQ(refused.destroyed, 0);  // the refused actions stayed their caller's
  EXPECT_EQ(reader.GetStatementRowAction(1), nullptr);
  reader.ClearAll();  // nothing left: harmless
  EXPECT_EQ(kept.destroyed, 1);
  delete second;
  delete late;
}

// Type 0 means "none": posting it would show progress for a type that does
// not exist. A negative type is posted but never counted.
TEST(SchemaSourceReaderTest, ProgressSkipsTypeZeroAndNeverCountsNegativeTypes) {
  SessionWindow window;
  auto notify = [&](TestReader& reader, int id) {
    reader.NotifyImporting(id);
    reader.NotifyImported(id);
    return window.Progress();
  };
  const WPARAM minusFour = static_cast<WPARAM>(static_cast<LPARAM>(-4));
  TestReader reader;
  reader.AddQueryStatement(1, 12, u"SELECT a");
  reader.AddQueryStatement(2, 12, u"SELECT b");  // the same type: the counts add up
  reader.AddQueryStatement(3, 0, u"SELECT c");
  reader.AddQueryStatement(4, -4, u"SELECT d");
  for (const auto& [id, rows] : {std::pair{1, 3}, {2, 4}, {3, 5}, {4, 6}, {9, 7}}) reader.UpdateObjectCount(id, rows);
  const std::pair<int, Posted> cases[] = {
      {1, {{12, 0}, {12, 7}}},
      {3, {}},
      {9, {}},  // no statement, no type
      {4, {{minusFour, 0}, {minusFour, 0}}},
  };
  for (const auto& [id, expected] : cases) EXPECT_EQ(notify(reader, id), expected) << "statement " << id;
  reader.ResetCache();
  EXPECT_EQ(notify(reader, 2), (Posted{{12, 0}, {12, 0}}));
}

}  // namespace
}  // namespace qm::test::reader
