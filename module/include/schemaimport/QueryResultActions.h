// Row and column actions: what a database plug-in supplies to turn the
// records of one catalogue statement into model objects.
//
// A reader keeps one row action per statement id and owns it (the reader's
// ClearAll deletes it). A row action may keep column actions by column name
// and owns every non-null one it holds (its destructor deletes them). An
// action is therefore stored in one place only. Actions are not copyable:
// a copy would share the column actions its original deletes.
//
// The framework calls a row action on the import's thread only.
#pragma once

#include <platform/CString.h>
#include <schemaimport/Export.h>

#include <map>
#include <string>

class GenericModel;
class CommonDataObject;

// A per-column handler a row action may keep. The framework stores and
// deletes column actions but never calls ProcessColumn; concrete row
// actions call it where they see fit.
class QM_SCHEMAIMPORT_API QueryResultColumnActionI {
 public:
  QueryResultColumnActionI() = default;
  QueryResultColumnActionI(const QueryResultColumnActionI&) = delete;
  QueryResultColumnActionI& operator=(const QueryResultColumnActionI&) = delete;
  virtual ~QueryResultColumnActionI();

  // Handles the value of one column of the current record. The record is
  // the reader's reused one: valid only during the row action's ProcessRow.
  virtual void ProcessColumn(GenericModel* model, CommonDataObject& record, const std::u16string& columnName) = 0;
};

// The per-statement handler. For every run of its statement the fetch loop
// calls PreExecute once, ProcessRow once per row, then PostExecute once, also
// when the result has no rows; a statement without result columns (or one
// that failed to execute) causes no call at all.
class QM_SCHEMAIMPORT_API QueryResultRowActionI {
 public:
  QueryResultRowActionI() = default;
  QueryResultRowActionI(const QueryResultRowActionI&) = delete;
  QueryResultRowActionI& operator=(const QueryResultRowActionI&) = delete;
  // Deletes the column actions held, each distinct pointer once.
  virtual ~QueryResultRowActionI();

  // One fetched row. The record is the reader's reused one: its contents are
  // valid only during the call.
  virtual void ProcessRow(GenericModel* model, CommonDataObject& record) = 0;
  // Before the statement's first row; the base does nothing.
  virtual void PreExecute(GenericModel* model);
  // After the statement's last row (or after a fetch that failed half-way);
  // the base does nothing.
  virtual void PostExecute(GenericModel* model);

  // Copies the statement text the action carries (empty unless a derived
  // action filled m_queryStatement).
  void GetQueryStatement(CString& statement) const { statement = m_queryStatement; }

  // Stores the column action under the name and takes ownership of it. An
  // earlier action under the same name is replaced and not deleted: it goes
  // back to the caller.
  void SetColumnAction(std::u16string columnName, QueryResultColumnActionI* action);
  // The column action stored under the name, or null when there is none.
  QueryResultColumnActionI* GetColumnAction(std::u16string columnName) const;

  void SetObjectType(int objectType) { m_objectType = objectType; }
  // The object type the action creates; 0 until SetObjectType is called.
  int GetRowObjectType() const { return m_objectType; }

 protected:
  CString m_queryStatement;  // statement text a derived action may carry; empty at construction
  std::map<std::u16string, QueryResultColumnActionI*> m_columnActions;  // column name -> action; non-null ones owned
  int m_objectType = 0;      // object type the action creates; 0 = none
};
