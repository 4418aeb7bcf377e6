// Ends the importer's PostgreSQL backend at a chosen moment of an import.
//
// It hooks the driver-manager stand-ins of OdbcFaults.h: linked into a test
// executable it sees the module's and the plug-ins' calls; built into
// libqm_fault_preload.so and put in LD_PRELOAD it does the same inside
// quillmere-import. When the armed moment comes, psql (as the test server's
// superuser, through the PG* variables) ends the other sessions of the
// importer's database with pg_terminate_backend, so the fault is the
// server's own: the driver sees a connection that is really gone.
//
// Thread safety: Arm and Disarm while no import runs; the hooks run on the
// import's thread.
#pragma once

#include <string>

namespace qm::test::hardening {

// When the backend ends, relative to the statement the plan names.
enum class Moment {
  None,
  BeforeExecute,  // after the previous statement is done, before this one is sent
  DuringExecute,  // while the server runs it: the statement waits for a lock a
                  // third session holds on Plan::lockedTable, and its backend
                  // is ended while it waits
  DuringFetch,    // before the n-th SQLFetch on the statement's handle
};

struct Plan {
  Moment moment = Moment::None;
  std::u16string statement;  // a fragment of the statement's text that names it
  int fetch = 0;             // DuringFetch: the 1-based SQLFetch call before which the backend ends
  std::string database;      // the importer's database: its other sessions are ended
  std::string lockedTable;   // DuringExecute: a table a view of the database reads (qualified)
};

// What happened to the armed plan.
struct Outcome {
  bool fired = false;     // the moment came
  int terminated = 0;     // sessions ended
  int rowsDelivered = 0;  // DuringFetch: SQLFetch calls on the statement's handle that delivered a
                          // row, before and after the backend ended (the driver holds a batch)
  std::string error;      // why psql could not do its part; empty when it could
};

// Arms the plan for the next matching statement; it fires once.
void Arm(const Plan& plan);
// Disarms and returns what happened since Arm.
Outcome Disarm();

// Reads a plan from the environment (QM_FAULT_MOMENT = before-execute |
// during-execute | during-fetch, QM_FAULT_STATEMENT, QM_FAULT_FETCH,
// QM_FAULT_DATABASE, QM_FAULT_LOCKED_TABLE) and arms it, writing the
// outcome to QM_FAULT_REPORT whenever it changes; nothing when
// QM_FAULT_MOMENT is unset. The preload library calls it when it is loaded.
void ArmFromEnvironment();

}  // namespace qm::test::hardening
