// What the generic plug-in and a dedicated one both read, as lines to
// compare (unique keys and indexes alike: ODBC tells them not apart); each
// difference must be explained by a KnownDifference.
#pragma once

#include "ImportHost.h"
#include "ModelWords.h"
#include "OdbcTestSupport.h"

#include <schemaimport/PluginApi.h>
#include <schemaimport/SchemaImport.h>
#include <tillerhold/GenericModel.h>

#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace qm::test::odbc {

// The model's comparable lines, sorted. `schema` maps a schema name as the
// model holds it onto the name both sides are compared by.
std::vector<std::string> ComparableLines(GenericModel& model,
                                         const std::function<std::string(const std::string&)>& schema = {});

// The host's notices, collected from the import's thread.
class Notices {
 public:
  Notices();
  Notices(const Notices&) = delete;
  Notices& operator=(const Notices&) = delete;
  const QmConnectOptions& Options() const { return m_options; }
  std::vector<std::string> Texts();

 private:
  QmConnectOptions m_options;
  std::mutex m_mutex;
  std::vector<std::string> m_texts;
};

// Every table, view and routine with what the generic plug-in read of it.
std::vector<std::string> DetailLines(GenericModel& model);

enum class Side { Dedicated, Generic };

// A difference the generic plug-in is known to have, and why: a line of
// `kind` ("column", "foreign key", ...) on one side only, holding `part`
// and, when `also` is given, one it accepts.
struct KnownDifference {
  Side onlyIn;
  const char* kind;
  const char* part;
  const char* reason;  // what the driver does not report
  std::function<bool(const std::string& line)> also = {};
};

// The lines of either side that the other lacks and no known difference
// explains ("only dedicated: ", "only generic: "); `used` gets the indexes
// of the known differences that explained one.
std::string UnexplainedDifferences(const std::vector<std::string>& dedicated,
                                   const std::vector<std::string>& generic,
                                   const std::vector<KnownDifference>& known,
                                   std::vector<std::size_t>* used = nullptr);

// Whether `lines` hold a line of `kind` on the same table with the columns
// of `line` ("kind | table | a,b") in any order.
bool SameColumnSetIn(const std::vector<std::string>& lines, const std::string& line, const std::string& kind);

}  // namespace qm::test::odbc
