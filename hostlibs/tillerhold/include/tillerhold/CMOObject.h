// CMOObject: one object of the model: an id, a type from the model
// vocabulary, a parent, its properties and its children.
#pragma once

#include <tillerhold/CMOProperty.h>

#include <memory>
#include <vector>

class GenericModel;

class CMOObject {
 public:
  CMOObject(int objectId, int objectType, int parentId) : m_id(objectId), m_type(objectType), m_parentId(parentId) {}
  CMOObject(const CMOObject&) = delete;
  CMOObject& operator=(const CMOObject&) = delete;

  int GetObjectId() const { return m_id; }
  int GetObjectType() const { return m_type; }
  // The parent's id; 0 for the root object.
  int GetParentId() const { return m_parentId; }

  // Attaches the property; the object takes ownership. A property with the
  // same id already on the object is replaced, and the old one deleted, so
  // an object holds at most one property per id; the replacement keeps the
  // place the id had among the properties. Attaching the property already
  // held under its id changes nothing. Returns true when the property is
  // attached, false for a null pointer.
  bool SetProperty(CMOProperty* property);

  // The property with this id, or null. Owned by the object.
  CMOProperty* GetProperty(int propertyId) const;

  // Replaces the contents of ids with the ids of this object's children of
  // the given type, in creation order.
  void GetChildrenByType(std::vector<int>& ids, int objectType) const;

  // All children's ids in creation order.
  const std::vector<int>& GetChildIds() const;
  // All properties in the order their ids were first attached.
  const std::vector<std::unique_ptr<CMOProperty>>& GetProperties() const { return m_properties; }

 private:
  friend class GenericModel;

  // Most objects of a large model (columns, key columns) have no children,
  // so the lists are held apart and made with the first child.
  struct Children {
    std::vector<int> ids;    // child ids, creation order
    std::vector<int> types;  // type of each entry of ids
  };

  int m_id;                                               // object id, from 1, never reused
  int m_type;                                             // object type
  int m_parentId;                                         // 0 for the root object
  std::vector<std::unique_ptr<CMOProperty>> m_properties; // owned; one per property id
  std::unique_ptr<Children> m_children;                   // null until the first child
};
