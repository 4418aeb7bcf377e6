// The host's interface registry: one per process, owning what is registered.
#include <gatehouse/InterfaceProvider.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>
#include <vector>

namespace {

// An import that runs a callback when deleted.
class CallbackImport : public ISchemaImport {
 public:
  explicit CallbackImport(std::function<void()> onDelete) : m_onDelete(std::move(onDelete)) {}
  ~CallbackImport() override { m_onDelete(); }
  void ShowImportOptions() override {}
  void ReverseEngineerFromDB(GenericModel*) override {}

 private:
  std::function<void()> m_onDelete;  // run by the destructor
};

// The registry is process-wide: every test leaves it empty.
class InterfaceProviderTest : public ::testing::Test {
 protected:
  void TearDown() override {
    registry->DeleteSchemaImportSessionState();
    registry->DeleteSchemaImportApi();
    registry->SetObjectExplorerInterface(nullptr);
  }

  InterfaceProvider* registry = InterfaceProvider::Instance();
};

TEST_F(InterfaceProviderTest, RegisteredObjectsAreDeletedExactlyOnce) {
  int deaths = 0;
  auto* first = new CallbackImport([&] { ++deaths; });
  auto* second = new CallbackImport([&] { ++deaths; });
  registry->RegisterSchemaImportApi(first);
  registry->RegisterSchemaImportApi(first);  // the same object again: kept
  EXPECT_EQ(deaths, 0);
  registry->RegisterSchemaImportApi(second);  // replaces and deletes the first
  EXPECT_EQ(deaths, 1);
  EXPECT_EQ(registry->GetSchemaImportApi(), second);
  registry->DeleteSchemaImportApi();
  registry->DeleteSchemaImportApi();  // nothing left: no second delete
  EXPECT_EQ(deaths, 2);
  EXPECT_EQ(registry->GetSchemaImportApi(), nullptr);

  // A destructor that asks the registry: no lock may be held while deleting.
  bool sawRegistry = false;
  registry->RegisterSchemaImportApi(new CallbackImport([&] {
    registry->GetSchemaImportApi();
    sawRegistry = true;
  }));
  registry->DeleteSchemaImportApi();
  EXPECT_TRUE(sawRegistry);
}

TEST_F(InterfaceProviderTest, ConcurrentReadersWhileAnotherThreadRegisters) {
  constexpr int kRegistrations = 2000;
  std::atomic<int> deaths{0};
  std::atomic<bool> done{false};
  auto reader = [&] {
    while (!done.load()) {
      registry->GetSchemaImportApi();
      registry->GetObjectExplorerInterface();
    }
  };
  std::thread readerA(reader);
  std::thread readerB(reader);
  std::thread writer([&] {
    for (int i = 0; i < kRegistrations; ++i) registry->RegisterSchemaImportApi(new CallbackImport([&] { ++deaths; }));
    done.store(true);
  });
  writer.join();
  readerA.join();
  readerB.join();
  // Every replaced object was deleted once; the last one is still registered.
  EXPECT_EQ(deaths, kRegistrations - 1);
  EXPECT_NE(registry->GetSchemaImportApi(), nullptr);
}

}  // namespace
