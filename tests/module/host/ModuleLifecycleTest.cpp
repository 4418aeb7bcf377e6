// Loading the module registers its session state and import entry point
// with the host's registry; unloading has the registry delete both.
#include <gatehouse/InterfaceProvider.h>
#include <schemaimport/SchemaImport.h>

#include <gtest/gtest.h>

#include <dlfcn.h>

namespace {

TEST(ModuleLifecycleTest, LoadRegistersAndUnloadDeletes) {
  InterfaceProvider* registry = InterfaceProvider::Instance();
  ASSERT_EQ(registry->GetSchemaImportSessionState(), nullptr);
  ASSERT_EQ(registry->GetSchemaImportApi(), nullptr);

  void* module = dlopen(QM_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(module, nullptr) << dlerror();

  ISchemaImportSessionState* session = registry->GetSchemaImportSessionState();
  ASSERT_NE(session, nullptr);
  EXPECT_EQ(session->GetStatus(), ImportStatusIdle);
  EXPECT_EQ(session->GetModel(), nullptr);
  ASSERT_NE(registry->GetSchemaImportApi(), nullptr);
  // The exported entry runs against the registered session: no model, false.
  auto build = reinterpret_cast<bool (*)()>(dlsym(module, "BuildSchemaFromSQLDB"));
  ASSERT_NE(build, nullptr);
  EXPECT_FALSE(build());

  ASSERT_EQ(dlclose(module), 0);
  EXPECT_EQ(registry->GetSchemaImportSessionState(), nullptr);
  EXPECT_EQ(registry->GetSchemaImportApi(), nullptr);
  // Really gone from the process, so its statics were destroyed too.
  void* still = dlopen(QM_MODULE_PATH, RTLD_NOW | RTLD_NOLOAD);
  EXPECT_EQ(still, nullptr) << "the module is still loaded after dlclose";
  if (still != nullptr) dlclose(still);

  // A second load registers fresh objects again.
  module = dlopen(QM_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(module, nullptr) << dlerror();
  EXPECT_NE(registry->GetSchemaImportSessionState(), nullptr);
  ASSERT_EQ(dlclose(module), 0);
  EXPECT_EQ(registry->GetSchemaImportSessionState(), nullptr);
}

}  // namespace
