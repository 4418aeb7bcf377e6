// SchemaSourceReaderI: the base of every database reader. A plug-in derives
// from it, registers its catalogue statements and one row action per
// statement, and runs the statements it wants, in its order, with
// ImportObjects. The base keeps the tables, runs a statement over the
// connector's ODBC connection, converts every fetched row into the reader's
// one record and hands it to the statement's row action.
//
// What a plug-in supplies (virtual slots, in this order):
//   1. GetAvailableObjects      optional first step of an import; base: nothing
//   2. ReadObjects              the read step: runs the statements (pure; an
//                               empty base body exists for explicit calls)
//   3. GetQueryStatement        a statement's registered text
//   4. RegisterQueryStatements  the statement set-up step (pure): register
//                               statements and row actions; SetConnection runs
//                               it once until ClearAll
//   5. PreProcessQueryStatement may rewrite a statement's text before it runs
//   6. ImportObjects            runs one statement
// and, for the read loop below, OnStatementFailed and OnStatementEnded.
//
// The read loop. RunStatements (or RunStatement for one) is what a read
// step calls: before each statement it checks whether the host asked the
// import to stop (the session's flag), posts the progress notices around
// it, runs it, and on a failure asks OnStatementFailed what to do: report it
// under the statement's name and go on (the base's answer), run it again,
// leave it to the plug-in (which may read otherwise and report what it
// wants through ReportFailure), or give up on the connection (the base's
// answer when the driver says it is lost): the statements still to come are
// then reported as not run. Failures() lists what was reported, each with
// the name registered with the statement, for the host. A read step, then:
//
//   void RegisterQueryStatements() override {
//     AddQueryStatement(kTables, model::Table, CString(kTablesSql), u"tables");
//     SetStatementRowAction(kTables, new TablesAction);
//     ...
//   }
//   void ReadObjects() override { RunStatements({kTables, kColumns}); }
//
// A statement may also be a call of an ODBC catalogue function instead of
// SQL text (AddCatalogCall, see CatalogCall.h): ImportObjects then calls the
// function, once per argument set, and fetches its rows through the same
// loop and row action; a reader that learns the arguments while it reads
// (the tables SQLTables found, say) sets them before running the statement
// (SetCatalogCallArguments).
//
// The import driver calls SetConnection, SetModel, then the caches' start,
// GetAvailableObjects, ReadObjects, and after the run the caches' end.
//
// Thread safety: none. One import at a time, on the thread that runs it.
#pragma once

#include <platform/CString.h>
#include <schemaimport/CatalogCall.h>
#include <schemaimport/CommonDataObject.h>
#include <schemaimport/Export.h>
#include <schemaimport/OdbcDiagnostic.h>
#include <schemaimport/PluginApi.h>

#include <cstdint>
#include <initializer_list>
#include <map>
#include <span>
#include <string>
#include <vector>

class GenericModel;
class SchemaSourceConnectorI;
class QueryResultRowActionI;

// One result column as the driver describes it.
struct QM_SCHEMAIMPORT_API ColumnInfo {
  static constexpr int kNameLength = 129;  // characters, the terminating NUL included

  std::uint16_t columnNumber = 0;          // 1-based column number, for SQLGetData
  char16_t columnName[kNameLength] = {};   // name, NUL-terminated, at most 128 characters kept; empty if not described
  std::int16_t dataType = 0;               // ODBC SQL data type code as described
};

class QM_SCHEMAIMPORT_API SchemaSourceReaderI {
 public:
  // A statement of the current import that did not run to its end.
  struct FailedStatement {
    int statementId;            // the id ImportObjects was called with
    OdbcDiagnostic diagnostic;  // the driver's first diagnostic record, or the module's or plug-in's words
    std::u16string name;        // what the host calls it; empty: the name registered with the statement
  };

  // What the read loop does after a statement failed (OnStatementFailed).
  enum class AfterFailure {
    Report,   // report the failure under the statement's name and go on with the next statement
    Retry,    // run the statement again
    Handled,  // the reader dealt with it (read its objects otherwise, reported what it wanted): go on
    Abandon,  // report it; the connection is unusable: the statements still to come are reported as not run
  };

  SchemaSourceReaderI();
  // Not virtual: the registry never deletes a reader; the plug-in that made
  // it destroys it as its own type. It does not delete the row actions still
  // registered (ClearAll does); call ClearAll first.
  ~SchemaSourceReaderI();
  // Not copyable: a copy would share the row actions that ClearAll deletes.
  SchemaSourceReaderI(const SchemaSourceReaderI&) = delete;
  SchemaSourceReaderI& operator=(const SchemaSourceReaderI&) = delete;

  // 1. The optional first step of an import; the base does nothing.
  virtual void GetAvailableObjects();
  // 2. The read step: run the statements with ImportObjects.
  virtual void ReadObjects() = 0;
  // 3. Copies the text registered under the id and returns true; returns
  // false and leaves the argument unchanged when the id has none.
  virtual bool GetQueryStatement(int statementId, CString& statement);
  // 4. The statement set-up step: AddQueryStatement and SetStatementRowAction.
  virtual void RegisterQueryStatements() = 0;
  // 5. May rewrite the statement's text before it is executed; the base
  // leaves it unchanged.
  virtual void PreProcessQueryStatement(int statementId, CString& statement);
  // 6. Runs the statement registered under the id on a new statement handle
  // of the connector's connection: describes its result columns, fetches
  // every row into the record, calls the row action (PreExecute, ProcessRow
  // per row, PostExecute) and adds the row count to the statement's object
  // type. A statement without result columns causes no action call and no
  // count. A statement that has no text (an unknown id), cannot get a
  // handle, fails to execute, or whose fetch fails half-way is recorded in
  // GetFailedStatements (the rows handed on before the failure stay handed
  // on and counted). A catalogue call (AddCatalogCall) runs its function
  // instead, once per argument set, all its rows as one run of the row
  // action; a call that fails is skipped and the next one made (after a
  // lost connection, or a function the driver does not have, none is), and
  // the statement is recorded once, with the first failed call's
  // diagnostic, naming the call and how many failed.
  virtual void ImportObjects(int statementId);

  // Stores the connector (not owned), runs RegisterQueryStatements unless it
  // has run since construction or the last ClearAll, and reads the scope
  // text from the connector.
  void SetConnection(SchemaSourceConnectorI* connector);
  // Stores the target model (not owned); row actions receive it.
  void SetModel(GenericModel* model) { m_model = model; }

  // Registers a statement. An empty text changes nothing. The object type
  // always follows the latest call; the text of the first call for an id
  // stays, and so does its name: what the host calls the statement when it
  // fails (e.g. u"foreign keys"; none given: "statement <id>").
  void AddQueryStatement(int statementId, int objectType, const CString& statement);
  void AddQueryStatement(int statementId, int objectType, const CString& statement, std::u16string name);
  // Registers a call of an ODBC catalogue function as the statement (see
  // CatalogCall.h), under the rules of AddQueryStatement: an id holds one
  // statement, SQL text or a call, whichever was registered first, with its
  // name; the object type follows the latest registration.
  void AddCatalogCall(int statementId, int objectType, CatalogCall call, std::u16string name = {});
  // Replaces the argument sets of the call registered under the id (one
  // call per set; none: one call with every argument null). False, changing
  // nothing, when the id holds no catalogue call.
  bool SetCatalogCallArguments(int statementId, std::vector<CatalogCall::Arguments> calls);
  // The catalogue call registered under the id, or null (also for an id
  // that holds SQL text). Valid until ClearAll or the next registration.
  const CatalogCall* GetCatalogCall(int statementId) const;
  // The name registered with the statement, or "statement <id>".
  std::u16string StatementName(int statementId) const;
  // Registers the statement's row action and takes ownership of it, unless
  // the id has one already: then nothing changes and the action stays the
  // caller's. A null action is stored like any other.
  void SetStatementRowAction(int statementId, QueryResultRowActionI* action);
  // The row action stored for the id, or null.
  QueryResultRowActionI* GetStatementRowAction(int statementId) const;
  // Empties the statements (catalogue calls included), their names and the row actions (deleting every
  // distinct non-null action once) and lets the next SetConnection run the
  // set-up step again. Object types, counts, record and scope text are kept.
  void ClearAll();

  // Hand a record to the statement's row action (ProcessRow), or call its
  // PreExecute / PostExecute with the model. Nothing when the id has no
  // action.
  void ProcessRecord(int statementId, CommonDataObject& record);
  void DispatchPreProcess(int statementId);
  void DispatchPostProcess(int statementId);

  // Copies the scope text the connector gave at SetConnection.
  void GetREScope(CString& scope) const { scope = m_reScope; }
  // Adds count to the statement's object type; nothing when that type is 0,
  // negative, or not registered.
  void UpdateObjectCount(int statementId, int count);

  // Fills one entry per result column of the executed statement handle (an
  // SQLHSTMT): its number, its name and its SQL type code as SQLDescribeCol
  // would report them, asked for with SQLColAttribute, which makes no
  // driver run catalogue queries of its own (psqlODBC does for
  // SQLDescribeCol). The array must have as many entries as the result has
  // columns.
  void RetrieveColumnDetails(void* statementHandle, ColumnInfo* columns);
  // Fetches every row of the executed statement handle into m_record and
  // calls the statement's row action; see ImportObjects. The array is the one
  // RetrieveColumnDetails filled.
  void FetchAndProcessRecords(void* statementHandle, int statementId, ColumnInfo* columns);

  // Statements of the current import that did not run to their end, in the
  // order they failed: what ImportObjects recorded, less what the read loop
  // took back (an attempt run again, a failure the reader handled), plus
  // what the reader reported itself. Emptied by ClearFailedStatements,
  // which the import driver calls at the start of every run, before
  // connecting (and InitCache again), so a run that fails to connect
  // reports none; it also forgets that the host asked to stop and that the
  // connection was lost.
  const std::vector<FailedStatement>& GetFailedStatements() const { return m_failedStatements; }
  void ClearFailedStatements();
  // The same for the plug-in table: each with its name (the one reported,
  // else the statement's registered name).
  std::vector<QmFailedStatement> Failures() const;

  // Starts the import's caches: empties the keys, object and index caches,
  // loads the schema lookup from the model, opens the scratch store and
  // creates its tables, and empties the counts and the failed statements.
  // The driver calls it after SetConnection and SetModel.
  void InitCache();
  // Ends them: empties the caches and the lookup, closes the scratch store
  // and empties the counts. Statements, row actions and their object types
  // stay registered for the next import. Runs after every run.
  void ResetCache();
  // Post WM_IMPORT_PROGRESS to the session's window for the statement's
  // object type: lParam 0 when it starts, the records counted for the type
  // when it is done. Nothing is posted for object type 0 or an unknown id.
  void NotifyImporting(int statementId);
  void NotifyImported(int statementId);

 protected:
  // ---- The read loop (see the top of this file).

  // Whether the host has asked the running import to stop (the session's
  // flag). The loop checks it before every statement; a reader that runs
  // statements of its own in between checks it too.
  static bool StopRequested();
  // Runs one statement of the read step. Unless the host asked to stop
  // (then it runs nothing and returns false), posts NotifyImporting, runs
  // the statement with ImportObjects (again for as long as
  // OnStatementFailed answers Retry), calls OnStatementEnded after each
  // attempt but one that lost the connection, and posts NotifyImported.
  // Once the connection was lost in this import, runs nothing and reports
  // the statement as not run. True when the read step may go on with its
  // next statement: the host did not ask to stop and the connection is not
  // lost (the statement itself may have failed).
  bool RunStatement(int statementId);
  // RunStatement for each statement in order; stops at the host's request,
  // and after a lost connection reports the rest as not run. True when
  // every statement ran (failed or not) and the connection stayed.
  bool RunStatements(std::span<const int> statementIds);
  bool RunStatements(std::initializer_list<int> statementIds) {
    return RunStatements(std::span<const int>(statementIds.begin(), statementIds.size()));
  }
  // Asked once per failed attempt of a statement the loop runs (attempt
  // counts from 1), with the failure, which it may rewrite (e.g. explain).
  // The base answers Abandon when the connection is lost (an SQLSTATE of
  // class 08, or the connector says so) and Report otherwise.
  virtual AfterFailure OnStatementFailed(int statementId, OdbcDiagnostic& failure, int attempt);
  // Called after each attempt of a statement the loop runs, once
  // OnStatementFailed has answered (not after one that lost the
  // connection); e.g. to end a transaction per statement. The base does
  // nothing.
  virtual void OnStatementEnded(int statementId);

  // Runs the statement once with ImportObjects and returns why it did not
  // run to its end, or an empty diagnostic; what it recorded is taken back
  // (report it with ReportFailure when it should stand).
  OdbcDiagnostic TryImportObjects(int statementId);
  // Records a failed statement of the current import, under the name given
  // or, when it is empty, the statement's registered name.
  void ReportFailure(int statementId, OdbcDiagnostic diagnostic, std::u16string name = {});

  // Statement ids of row actions order as unsigned 32-bit numbers.
  struct UnsignedIdLess {
    bool operator()(int a, int b) const { return static_cast<std::uint32_t>(a) < static_cast<std::uint32_t>(b); }
  };

  SchemaSourceConnectorI* m_connector;  // connection of the current import; not owned; null until SetConnection
  std::map<int, CString> m_statements;  // statement id -> text; emptied by ClearAll
  std::map<int, QueryResultRowActionI*, UnsignedIdLess> m_rowActions;  // statement id -> row action; owned, deleted by ClearAll
  std::map<int, int> m_objectCounts;    // object type -> rows fetched in the current import
  std::map<int, int> m_statementObjectTypes;  // statement id -> object type (latest registration); kept by ClearAll
  GenericModel* m_model;                // target model; not owned; null until SetModel
  CommonDataObject m_record;            // the record reused for every fetched row
  bool m_statementsRegistered;          // RegisterQueryStatements has run since construction / ClearAll
  int m_recordCount;                    // rows fetched by the latest statement with result columns
  CString m_reScope;                    // scope text from the connector; empty until SetConnection

 private:
  int StatementObjectType(int statementId) const;
  // ImportObjects for a catalogue call (CatalogCall.cpp).
  void ImportCatalogCall(int statementId, const CatalogCall& call);

  std::vector<FailedStatement> m_failedStatements;  // failures of the current import, in order
  std::map<int, std::u16string> m_statementNames;   // statement id -> what the host calls it; emptied by ClearAll
  bool m_stopped = false;          // the read loop met the host's request to stop in this import
  bool m_connectionLost = false;   // a statement of this import lost the connection (AfterFailure::Abandon)
  std::map<int, CatalogCall> m_catalogCalls;  // statement id -> catalogue call; emptied by ClearAll
  // While a catalogue call runs its function several times, the fetch loop
  // leaves PreExecute and PostExecute to it: one run for all the calls.
  bool m_catalogRunOpen = false;
};
