// Object id lookups: names to the ids of model objects of one type in the
// target model, so that a reader can turn a name met in the catalogue into
// the id of the model object carrying it, creating the object when the
// model has none yet.
//
// Names are compared exactly (UTF-16 code units, case-sensitive, a prefix
// before the longer name). The first id recorded for a name stays.
//
// SchemaLookup is the process-wide lookup of schema objects: built on the
// first call of Instance (thread-safe), destroyed when the module unloads,
// filled from the model at the start of an import and emptied after it.
// Only the thread that runs the import may use it.
#pragma once

#include <schemaimport/Export.h>
#include <tillerhold/ModelVocabulary.h>

#include <map>
#include <string>

class GenericModel;

class QM_SCHEMAIMPORT_API ObjectIdLookupBase {
 public:
  ObjectIdLookupBase() = default;
  ObjectIdLookupBase(const ObjectIdLookupBase&) = default;
  ObjectIdLookupBase& operator=(const ObjectIdLookupBase&) = default;

  // Records every child of the model's root object of the given type under
  // the value of its property propertyId, in the order the model lists
  // them. Objects the model cannot find and objects without the property
  // are left out. Entries already present stay (nothing is emptied first).
  // A null model adds nothing.
  void Init(GenericModel* model, int objectType, int propertyId);
  // Records name -> id unless the name is present.
  void Add(const std::u16string& name, int objectId);
  // The id recorded for the name, or 0 when there is none. The model is
  // not used.
  int FindObject(GenericModel* model, const std::u16string& name) const;
  // The id recorded for the name; when there is none (or it is 0), creates
  // an object of the type as a child of the root, gives it the name as
  // property propertyId, records it and returns its id. With a null model
  // nothing can be created and 0 is returned.
  int FindCreateObject(GenericModel* model, int objectType, int propertyId,
                       const std::u16string& name);
  // Forgets every name.
  void Reset();

 private:
  std::map<std::u16string, int> m_objectIdsByName;  // object name -> model object id (first wins)
};

class QM_SCHEMAIMPORT_API SchemaLookup : public ObjectIdLookupBase {
 public:
  // What the lookup finds and creates: schema objects (model::Schema, 59)
  // named by property model::Name (1).
  static constexpr int kSchemaObjectType = model::Schema;
  static constexpr int kNamePropertyId = model::Name;

  // The lookup of the process; never null.
  static SchemaLookup* Instance();

  // Init with the schema type and the name property.
  void Init(GenericModel* model);
  // FindCreateObject with the schema type and the name property.
  int FindCreate(GenericModel* model, const std::u16string& name);
};
