// GenericModel: the host's in-memory model. It owns every object and, through
// them, every property. Object 1 is the root; CreateObject makes children.
//
// Thread safety: one thread builds the model at a time; the undo-tracing
// state and the activity depth may be read from any thread.
#pragma once

#include <tillerhold/CMOObject.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

class GenericModel {
 public:
  // The model type is the key under which database plug-ins register.
  GenericModel() : GenericModel(0) {}
  explicit GenericModel(unsigned int modelType);
  GenericModel(const GenericModel&) = delete;
  GenericModel& operator=(const GenericModel&) = delete;
  ~GenericModel();

  unsigned int GetModelType() const { return m_modelType; }
  void SetModelType(unsigned int modelType) { m_modelType = modelType; }

  // The root object (id 1, type model::ObjectType::Model); never null.
  CMOObject* GetCMOObject();
  const CMOObject* GetCMOObject() const;
  // The object with this id, or null when there is none.
  CMOObject* GetCMOObject(int objectId);
  const CMOObject* GetCMOObject(int objectId) const;

  // Creates an object of the type as a child of the root object. Ids are
  // given out from 2 upwards in creation order and never reused; the
  // reference stays valid as long as the model.
  CMOObject& CreateObject(int objectType);
  // Creates an object as a child of the given parent; throws
  // std::invalid_argument, creating nothing, when there is no object with
  // that id.
  CMOObject& CreateObject(int objectType, int parentId);

  // Number of objects, the root included.
  int GetObjectCount() const { return static_cast<int>(m_objects.size()); }

  // The activity log: named, nested units of work. Purging forgets the
  // names begun so far; activities still open stay open.
  void PurgeActivityLog();
  void BeginActivity(const std::u16string& name);
  // Closes the innermost open activity; without one it does nothing.
  void EndActivity();
  // Names of every activity begun since the last purge, oldest first.
  const std::vector<std::u16string>& GetActivityLog() const { return m_activityLog; }
  int GetOpenActivityCount() const { return m_openActivities.load(); }

  void SetUndoTracingOff() { m_undoTracing.store(false); }
  void SetUndoTracingOn() { m_undoTracing.store(true); }
  bool IsUndoTracingOn() const { return m_undoTracing.load(); }

 private:
  unsigned int m_modelType;                          // registry key of plug-ins
  std::vector<std::unique_ptr<CMOObject>> m_objects; // index = id - 1; owned
  std::vector<std::u16string> m_activityLog;         // begun activities since the last purge
  std::atomic<int> m_openActivities{0};              // activities begun and not yet ended
  std::atomic<bool> m_undoTracing{true};             // on for a new model
};
