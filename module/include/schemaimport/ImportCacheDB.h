// ImportCacheDB: the scratch store of one import, a small SQLite database
// reached through the host's SQLiteCache. Readers park catalogue data that
// arrives row by row and is needed later as one text: the columns of
// user-defined table types (read back as a column-list clause) and the
// values of partition functions (read back as a quoted value list).
//
// Every name and value is substituted into the statements as an SQL string
// literal with its single quotes doubled, so any text (quotes, non-ASCII)
// is stored and read back exactly.
//
// Lifetime and threads: the singleton is built on the first call of
// Instance (thread-safe), which creates its SQLiteCache, and destroyed when
// the module unloads. The reader framework opens the store (Create) at the
// start of every import and closes it afterwards; each Create gives a fresh,
// empty store. Only the thread that runs the import may use it.
//
// Failures are not reported: a statement the store refuses leaves the
// tables as they were.
#pragma once

#include <cobbleyard/SQLiteCache.h>
#include <platform/CString.h>
#include <schemaimport/Export.h>

#include <memory>

class QM_SCHEMAIMPORT_API ImportCacheDB {
 public:
  // The store of the process; never null.
  static ImportCacheDB* Instance();

  ImportCacheDB();
  ~ImportCacheDB();
  ImportCacheDB(const ImportCacheDB&) = delete;
  ImportCacheDB& operator=(const ImportCacheDB&) = delete;

  // A fresh store with the type and partition-value tables, from here on:
  // the store of the previous Create is closed now, and the new one is
  // opened and its tables made when a statement first runs on it.
  void Create();
  // Tables udt_table and udt_table_column with the index udt_table_index.
  void Create_UDTTableStructures();
  // Table pfv_table with the index pfv_table_index.
  void Create_PartitionFunctionValuesStructures();
  // Closes the store; its data is gone.
  void Close();
  // The same as Close.
  void Reset();

  // Stores the type unless it is already there.
  void InsertUDT(const CString& schemaName, const CString& typeName);
  // Stores the type unless present, then one column row (duplicates kept).
  // nullOption non-zero: the column allows NULL.
  void InsertUDTTableColumn(const CString& schemaName, const CString& typeName,
                            const CString& columnName, const CString& dataType,
                            int nullOption, int columnId);
  // Replaces clause with "(" + the type's columns by column id, each as
  // "name  type  NULL" or "name  type  NOT NULL", joined by "," + ")";
  // "()" for a type without columns.
  void GetUDTTableClause(const CString& schemaName, const CString& typeName,
                         CString& clause);

  // Stores one value; a second value for the same function and order is
  // refused and the first stays.
  void Insert_PartitionFunctionValue(int functionId, int valueOrder, int valueDataType,
                                     const CString& value);
  // Appends the function's values in value order, each between single
  // quotes and joined by ",", to what values already holds; trailing
  // commas are then stripped. No brackets are added.
  void GetPartitionFunctionValues(int functionId, CString& values);

  // Runs any query on the store; the record set is positioned before its
  // first row.
  SLRecordSet ExecuteSQL(CString query);

  // No type number is a system type of this store: always false.
  bool IsSQSSystemTypeNumber(int typeNumber) const;

 private:
  // Opens the store and makes its tables if Create asked for them and no
  // statement has run since.
  void Created();

  std::unique_ptr<SQLiteCache> m_cache;  // the store's connection; owned, built with the object
  bool m_createPending = false;          // Create was called; the store is not open yet
};
