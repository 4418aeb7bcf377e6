// How much the reader's fetch loop costs on top of the driver.
//
// Both benchmarks run the same 100,000-row statement over the SQLite3 ODBC
// driver on one connection and read every value with the same C types:
//   BM_ReaderImport  SchemaSourceReaderI::ImportObjects: records, keys,
//                    variants, text decoding, a row action per row
//   BM_BareFetch     SQLFetch and SQLGetData only, no record work
// Their repetitions are interleaved; after the runs the ratio of their
// median CPU times is printed. The target is at most 1.3.
//
//   fetch_bench [--rows=N] [benchmark options]
#include <schemaimport/CommonDataObject.h>
#include <schemaimport/QueryResultActions.h>
#include <schemaimport/SchemaSourceConnectorI.h>
#include <schemaimport/SchemaSourceReaderI.h>

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <sql.h>
#include <sqlext.h>

#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr int kStatementId = 1;
constexpr int kObjectType = 12;
constexpr char16_t kQuery[] =
    u"SELECT id AS id, parent_id AS parent_id, kind AS kind, name AS name, definition AS definition FROM objects";

int g_rows = 100000;

// A database file of g_rows catalogue-like rows, built once per run and
// removed at exit.
class BenchDatabase {
 public:
  BenchDatabase() {
    char pattern[] = "/tmp/qm-fetch-bench-XXXXXX";
    if (mkdtemp(pattern) == nullptr) throw std::runtime_error("mkdtemp failed");
    m_dir = pattern;
    m_file = m_dir / "objects.db";
    sqlite3* db = nullptr;
    if (sqlite3_open(m_file.c_str(), &db) != SQLITE_OK) throw std::runtime_error("sqlite3_open failed");
    Exec(db, "CREATE TABLE objects(id INTEGER, parent_id INTEGER, kind INTEGER, name VARCHAR(128), definition TEXT)");
    Exec(db, "BEGIN");
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO objects VALUES (?, ?, ?, ?, ?)", -1, &insert, nullptr);
    for (int i = 1; i <= g_rows; ++i) {
      const std::string name = "object_" + std::to_string(i);
      const std::string definition = "CHECK (value_" + std::to_string(i % 97) + " BETWEEN 0 AND 100)";
      sqlite3_bind_int(insert, 1, i);
      sqlite3_bind_int(insert, 2, i / 10);
      sqlite3_bind_int(insert, 3, i % 7);
      sqlite3_bind_text(insert, 4, name.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_text(insert, 5, definition.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_step(insert);
      sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    Exec(db, "COMMIT");
    sqlite3_close(db);
  }
  ~BenchDatabase() {
    std::error_code ignored;
    std::filesystem::remove_all(m_dir, ignored);
  }
  const std::filesystem::path& File() const { return m_file; }

 private:
  static void Exec(sqlite3* db, const char* sql) {
    char* error = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &error) != SQLITE_OK) {
      std::string text = error ? error : "?";
      sqlite3_free(error);
      throw std::runtime_error(text);
    }
  }

  std::filesystem::path m_dir;   // private temporary directory
  std::filesystem::path m_file;  // the database file in it
};

class BenchConnector : public SchemaSourceConnectorI {
 public:
  explicit BenchConnector(CString connectionString) : m_given(std::move(connectionString)) {}
  bool EstablishConnection() override {
    CString text = m_given;
    return Connect(text);
  }

 private:
  CString m_given;  // connection string
};

// Reads the record as a plug-in would, so the work is not optimised away.
class TouchingRowAction : public QueryResultRowActionI {
 public:
  void ProcessRow(GenericModel*, CommonDataObject& record) override {
    m_sum += static_cast<long long>(record.Size());
    benchmark::DoNotOptimize(m_sum);
  }

 private:
  long long m_sum = 0;  // entries seen
};

class BenchReader : public SchemaSourceReaderI {
 public:
  ~BenchReader() { ClearAll(); }
  void ReadObjects() override { ImportObjects(kStatementId); }
  void RegisterQueryStatements() override {
    AddQueryStatement(kStatementId, kObjectType, kQuery);
    SetStatementRowAction(kStatementId, new TouchingRowAction);
  }
  int RecordCount() const { return m_recordCount; }
};

struct Fixture {
  std::unique_ptr<BenchDatabase> database;
  std::unique_ptr<BenchConnector> connector;
  std::unique_ptr<BenchReader> reader;
};

Fixture& Shared() {
  static Fixture fixture;
  return fixture;
}

void Open() {
  Fixture& f = Shared();
  f.database = std::make_unique<BenchDatabase>();
  f.connector = std::make_unique<BenchConnector>(CString::FromUtf8("Driver={SQLite3};Database=" + f.database->File().string()));
  if (!f.connector->EstablishConnection()) {
    const OdbcDiagnostic& d = f.connector->GetLastDiagnostic();
    throw std::runtime_error("connect failed: " + CString(d.message).ToUtf8());
  }
  f.reader = std::make_unique<BenchReader>();
  f.reader->SetConnection(f.connector.get());
}

void BM_ReaderImport(benchmark::State& state) {
  BenchReader& reader = *Shared().reader;
  for (auto _ : state) {
    reader.ImportObjects(kStatementId);
    if (reader.RecordCount() != g_rows || !reader.GetFailedStatements().empty()) {
      state.SkipWithError("the reader did not fetch every row");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations() * g_rows);
}

void BM_BareFetch(benchmark::State& state) {
  auto* connection = static_cast<SQLHDBC>(Shared().connector->GetConnectionHandle());
  alignas(8) unsigned char buffer[4000];
  for (auto _ : state) {
    SQLHSTMT statement = SQL_NULL_HSTMT;
    SQLAllocHandle(SQL_HANDLE_STMT, connection, &statement);
    SQLExecDirectW(statement, reinterpret_cast<SQLWCHAR*>(const_cast<char16_t*>(kQuery)), SQL_NTS);
    SQLSMALLINT columns = 0;
    SQLNumResultCols(statement, &columns);
    int rows = 0;
    while (SQL_SUCCEEDED(SQLFetch(statement))) {
      ++rows;
      SQLLEN indicator = 0;
      SQLBIGINT value = 0;
      for (SQLUSMALLINT c = 1; c <= 3; ++c) SQLGetData(statement, c, SQL_C_SBIGINT, &value, sizeof value, &indicator);
      for (SQLUSMALLINT c = 4; c <= 5; ++c) SQLGetData(statement, c, SQL_C_CHAR, buffer, sizeof buffer, &indicator);
      benchmark::DoNotOptimize(buffer);
    }
    SQLFreeHandle(SQL_HANDLE_STMT, statement);
    if (rows != g_rows) {
      state.SkipWithError("the bare loop did not fetch every row");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations() * g_rows);
}

// Keeps the median CPU time of each benchmark while printing as usual.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs)
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median" && !run.error_occurred)
        medians[run.run_name.function_name] = run.GetAdjustedCPUTime();
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> medians;  // function name -> median CPU time per iteration
};

}  // namespace

BENCHMARK(BM_BareFetch)->Unit(benchmark::kMillisecond)->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK(BM_ReaderImport)->Unit(benchmark::kMillisecond)->Repetitions(9)->ReportAggregatesOnly(true);

int main(int argc, char** argv) {
  // The SQLite3 driver is an ANSI driver: wide text goes through the locale.
  const char* locale = std::setlocale(LC_ALL, "");
  if (locale == nullptr || std::strcmp(locale, "C") == 0 || std::strcmp(locale, "POSIX") == 0)
    std::setlocale(LC_ALL, "C.UTF-8");
  for (int i = 1; i < argc; ++i)
    if (std::strncmp(argv[i], "--rows=", 7) == 0) g_rows = std::atoi(argv[i] + 7);

  // Interleave the repetitions of the two benchmarks, so that load from
  // elsewhere on the machine falls on both alike; later options override.
  std::vector<char*> args(argv, argv + argc);
  std::string interleave = "--benchmark_enable_random_interleaving=true";
  args.insert(args.begin() + 1, interleave.data());
  int count = static_cast<int>(args.size());
  benchmark::Initialize(&count, args.data());
  Open();
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const auto bare = reporter.medians.find("BM_BareFetch");
  const auto framework = reporter.medians.find("BM_ReaderImport");
  if (bare != reporter.medians.end() && framework != reporter.medians.end() && bare->second > 0)
    std::printf("\nreader / bare fetch (median CPU time, %d rows): %.3f (target <= 1.30)\n", g_rows,
                framework->second / bare->second);
  Fixture& f = Shared();
  f.reader.reset();
  f.connector.reset();
  f.database.reset();
  benchmark::Shutdown();
  return 0;
}
