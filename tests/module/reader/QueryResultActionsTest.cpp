// Row and column actions: the column-action table and its ownership.
#include "ReaderTestSupport.h"

#include <gtest/gtest.h>

namespace qm::test::reader {
namespace {

class StatementCarryingAction : public RecordingRowAction {
 public:
  StatementCarryingAction(ActionLog* log, const char16_t* statement) : RecordingRowAction(log) {
    m_queryStatement = statement;
  }
};

TEST(QueryResultRowActionTest, ColumnActionsAreFoundByNameAndReplacedByTheLatest) {
  ActionLog log;
  int destroyed = 0;
  auto* first = new CountingColumnAction(&destroyed);
  auto* second = new CountingColumnAction(&destroyed);
  {
    RecordingRowAction action(&log);
    EXPECT_EQ(action.GetColumnAction(u"name"), nullptr);
    action.SetColumnAction(u"name", first);
    action.SetColumnAction(u"name", second);
    EXPECT_EQ(action.GetColumnAction(u"name"), second);
    EXPECT_EQ(action.GetColumnAction(u"Name"), nullptr);
  }
  // The replaced action went back to its caller; only the stored one died.
  EXPECT_EQ(destroyed, 1);
  delete first;
  EXPECT_EQ(destroyed, 2);
}

TEST(QueryResultRowActionTest, DestructorDeletesEveryStoredColumnActionOnce) {
  ActionLog log;
  int destroyed = 0;
  auto* shared = new CountingColumnAction(&destroyed);
  {
    auto* action = new RecordingRowAction(&log);
    action->SetColumnAction(u"a", new CountingColumnAction(&destroyed));
    action->SetColumnAction(u"b", nullptr);
    action->SetColumnAction(u"c", new CountingColumnAction(&destroyed));
    // Stored under two names by mistake: deleted once, not twice.
    action->SetColumnAction(u"d", shared);
    action->SetColumnAction(u"e", shared);
    QueryResultRowActionI* base = action;
    delete base;  // through the base: the destructor is virtual
  }
  EXPECT_EQ(destroyed, 3);
  EXPECT_EQ(log.destroyed, 1);
}

TEST(QueryResultRowActionTest, ObjectTypeIsZeroUntilSetAndStatementTextIsCopiedOut) {
  ActionLog log;
  StatementCarryingAction action(&log, u"SELECT 1");
  EXPECT_EQ(action.GetRowObjectType(), 0);
  action.SetObjectType(42);
  EXPECT_EQ(action.GetRowObjectType(), 42);
  CString text(u"overwritten");
  action.GetQueryStatement(text);
  EXPECT_EQ(text, CString(u"SELECT 1"));

  RecordingRowAction plain(&log);
  plain.GetQueryStatement(text);
  EXPECT_TRUE(text.IsEmpty());
}

}  // namespace
}  // namespace qm::test::reader
