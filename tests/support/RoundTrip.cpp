#include "RoundTrip.h"

#include <writers/OutputFormats.h>

#include <sqlite3.h>

#include <sstream>

namespace writers::test {

Allowance PropertyOf(int objectType, int propertyId, std::string reason) {
  return {std::move(reason), [objectType, propertyId](const ObjectDifference& object, const PropertyDifference* property) {
            return object.change == ObjectDifference::Change::Changed && object.type == objectType &&
                   property != nullptr && property->propertyId == propertyId;
          }};
}

std::string Unexplained(const ModelDifference& difference, const std::vector<Allowance>& allowances) {
  ModelDifference left;
  for (const ObjectDifference& object : difference.objects) {
    auto covered = [&](const PropertyDifference* property) {
      for (const Allowance& allowance : allowances)
        if (allowance.covers(object, property)) return true;
      return false;
    };
    if (object.change != ObjectDifference::Change::Changed) {
      if (!covered(nullptr)) left.objects.push_back(object);
      continue;
    }
    ObjectDifference rest = object;
    rest.properties.clear();
    for (const PropertyDifference& property : object.properties)
      if (!covered(&property)) rest.properties.push_back(property);
    if (!rest.properties.empty()) left.objects.push_back(std::move(rest));
  }
  if (left.Empty()) return {};
  std::ostringstream out;
  WriteDifferenceText(left, out);
  return out.str();
}

std::string SqlOf(const GenericModel& model) {
  std::ostringstream out;
  FindOutputFormat("sql")->writer->Write(model, out, WriteOptions{});
  return out.str();
}

void CopyWithout(const GenericModel& from, GenericModel& to,
                 const std::function<bool(const CMOObject& object, int propertyId)>& drop) {
  // Ids are given in creation order and parents come first: copied in id
  // order, every object gets its id again.
  for (int id = 1; id <= from.GetObjectCount(); ++id) {
    const CMOObject* object = from.GetCMOObject(id);
    CMOObject& copy = id == 1 ? *to.GetCMOObject() : to.CreateObject(object->GetObjectType(), object->GetParentId());
    for (const auto& property : object->GetProperties())
      if (!drop(*object, property->GetPropertyId())) copy.SetProperty(new CMOProperty(*property));
  }
}

std::string LoadIntoSqlite(const std::string& path, const std::string& sql) {
  sqlite3* db = nullptr;
  if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) {
    const std::string message = db != nullptr ? sqlite3_errmsg(db) : "out of memory";
    sqlite3_close(db);
    return "cannot open " + path + ": " + message;
  }
  std::string error;
  const char* next = sql.c_str();
  while (error.empty() && *next != '\0') {
    sqlite3_stmt* statement = nullptr;
    const char* start = next;
    if (sqlite3_prepare_v2(db, start, -1, &statement, &next) != SQLITE_OK) {
      error = std::string(sqlite3_errmsg(db)) + "\nin: " + std::string(start, next != nullptr ? next : start).substr(0, 2000);
      break;
    }
    if (statement == nullptr) continue;  // blanks and comments
    while (true) {
      const int step = sqlite3_step(statement);
      if (step == SQLITE_ROW) continue;
      if (step != SQLITE_DONE) error = std::string(sqlite3_errmsg(db)) + "\nin: " + std::string(start, next).substr(0, 2000);
      break;
    }
    sqlite3_finalize(statement);
  }
  sqlite3_close(db);
  return error;
}

}  // namespace writers::test
