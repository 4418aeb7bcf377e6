// Ends the importer's session at a chosen moment from another session, so
// that the driver sees a connection really gone (OdbcFaults.h hooks, or
// libqm_fault_preload.so in quillmere-import). Armed while no import runs.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace qm::test {

// When the session ends, relative to the statement the plan names.
enum class Moment {
  None,
  BeforeExecute,  // after the previous statement is done, before this one is sent
  DuringExecute,  // while the server runs it: the statement waits for a lock a
                  // third session holds, and its session is ended while it waits
  DuringFetch,    // before the n-th SQLFetch on the statement's handle
};

// A server's client and the SQL of each step (the first line printed answers).
struct SessionControl {
  std::vector<std::string> client;  // argv of the client on an administrative session, SQL on stdin
  std::vector<std::string> holder;  // argv of the client for the session that holds the lock
  std::string end;                  // ends the importer's sessions, waits until they are gone; prints how many
  std::string endWaiting;           // the same for those that wait for a lock
  std::string hold;                 // (holder) takes the lock and keeps it for a while
  std::string held;                 // prints 1 while the holder holds the lock
  std::string release;              // ends the holder
};

struct Plan {
  Moment moment = Moment::None;
  std::u16string statement;  // a fragment of the statement's text that names it
  int fetch = 0;             // DuringFetch: the 1-based SQLFetch call before which the session ends
  SessionControl control;
};

struct Outcome {
  bool fired = false;     // the moment came
  int ended = 0;          // sessions ended
  int rowsDelivered = 0;  // DuringFetch: SQLFetch calls on the statement's handle that delivered a
                          // row, before and after the session ended (the driver may hold a batch)
  std::string error;      // why the client could not do its part; empty when it could
};

// Fires once, at the next matching statement; Disarm says what happened.
void Arm(const Plan& plan);
Outcome Disarm();

// The plan for libqm_fault_preload.so, which arms it when loaded and writes
// the outcome to `report`.
std::map<std::string, std::string> Environment(const Plan& plan, const std::string& report);
void ArmFromEnvironment();
Outcome ReadReport(const std::string& report);

}  // namespace qm::test
