#include <gatehouse/InterfaceProvider.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

// Session state and import stand-ins that count their own destruction.
class CountedSession : public ISchemaImportSessionState {
 public:
  explicit CountedSession(std::atomic<int>* deaths) : m_deaths(deaths) {}
  ~CountedSession() override { ++*m_deaths; }
  void Reset() override {}
  void SetModel(GenericModel*) override {}
  GenericModel* GetModel() override { return nullptr; }
  void SetNotifyWindow(HWND) override {}
  HWND GetNotifyWindow() override { return nullptr; }
  int GetStatus() override { return 0; }
  void SetStatus(int) override {}
  void RaiseFlag() override {}
  bool IsFlagRaised() override { return false; }
  void SetIntegerList(const std::vector<int>&) override {}
  void GetIntegerList(std::vector<int>&) override {}

 private:
  std::atomic<int>* m_deaths;
};

class CountedImport : public ISchemaImport {
 public:
  explicit CountedImport(std::atomic<int>* deaths) : m_deaths(deaths) {}
  ~CountedImport() override { ++*m_deaths; }
  void ShowImportOptions() override {}
  void ReverseEngineerFromDB(GenericModel*) override {}

 private:
  std::atomic<int>* m_deaths;
};

// An import whose destructor asks the registry for the session, as a module
// tearing down might: the registry must not hold its lock while deleting.
class ReentrantImport : public ISchemaImport {
 public:
  explicit ReentrantImport(bool* sawRegistry) : m_sawRegistry(sawRegistry) {}
  ~ReentrantImport() override {
    InterfaceProvider::Instance()->GetSchemaImportSessionState();
    *m_sawRegistry = true;
  }
  void ShowImportOptions() override {}
  void ReverseEngineerFromDB(GenericModel*) override {}

 private:
  bool* m_sawRegistry;
};

class Explorer : public IObjectExplorerInterface {
 public:
  void OnImportStarting() override {}
  void OnImportFinished() override {}
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

TEST_F(InterfaceProviderTest, OneRegistryForTheProcess) {
  EXPECT_EQ(InterfaceProvider::Instance(), registry);
  EXPECT_EQ(registry->GetSchemaImportSessionState(), nullptr);
  EXPECT_EQ(registry->GetSchemaImportApi(), nullptr);
  EXPECT_EQ(registry->GetObjectExplorerInterface(), nullptr);
}

TEST_F(InterfaceProviderTest, RegisteredObjectsAreDeletedExactlyOnce) {
  std::atomic<int> sessionDeaths{0};
  std::atomic<int> importDeaths{0};
  auto* first = new CountedSession(&sessionDeaths);
  auto* second = new CountedSession(&sessionDeaths);
  auto* import = new CountedImport(&importDeaths);

  registry->RegisterSchemaImportSessionState(first);
  registry->RegisterSchemaImportApi(import);
  EXPECT_EQ(registry->GetSchemaImportSessionState(), first);
  EXPECT_EQ(registry->GetSchemaImportApi(), import);

  registry->RegisterSchemaImportSessionState(first);  // the same object again: kept
  EXPECT_EQ(sessionDeaths, 0);
  registry->RegisterSchemaImportSessionState(second);  // replaces and deletes the first
  EXPECT_EQ(sessionDeaths, 1);
  EXPECT_EQ(registry->GetSchemaImportSessionState(), second);

  registry->DeleteSchemaImportSessionState();
  EXPECT_EQ(sessionDeaths, 2);
  EXPECT_EQ(registry->GetSchemaImportSessionState(), nullptr);
  registry->DeleteSchemaImportSessionState();  // nothing left: no second delete
  EXPECT_EQ(sessionDeaths, 2);

  EXPECT_EQ(importDeaths, 0);
  registry->DeleteSchemaImportApi();
  EXPECT_EQ(importDeaths, 1);
  EXPECT_EQ(registry->GetSchemaImportApi(), nullptr);
}

TEST_F(InterfaceProviderTest, ExplorerIsNotOwned) {
  Explorer explorer;  // on the stack: a delete by the registry would fault
  registry->SetObjectExplorerInterface(&explorer);
  EXPECT_EQ(registry->GetObjectExplorerInterface(), &explorer);
  registry->SetObjectExplorerInterface(nullptr);
  EXPECT_EQ(registry->GetObjectExplorerInterface(), nullptr);
}

TEST_F(InterfaceProviderTest, DestructorMayCallTheRegistry) {
  bool sawRegistry = false;
  registry->RegisterSchemaImportApi(new ReentrantImport(&sawRegistry));
  registry->DeleteSchemaImportApi();  // would deadlock if deleted under the lock
  EXPECT_TRUE(sawRegistry);
}

TEST_F(InterfaceProviderTest, ConcurrentReadersWhileAnotherThreadRegisters) {
  constexpr int kRegistrations = 2000;
  std::atomic<int> deaths{0};
  std::atomic<bool> done{false};
  std::atomic<long> seen{0};

  auto reader = [&] {
    while (!done.load()) {
      if (registry->GetSchemaImportSessionState() != nullptr) ++seen;
      registry->GetObjectExplorerInterface();
    }
  };
  std::thread readerA(reader);
  std::thread readerB(reader);
  std::thread writer([&] {
    for (int i = 0; i < kRegistrations; ++i) registry->RegisterSchemaImportSessionState(new CountedSession(&deaths));
    done.store(true);
  });
  writer.join();
  readerA.join();
  readerB.join();

  // Every replaced object was deleted once; the last one is still registered.
  EXPECT_EQ(deaths, kRegistrations - 1);
  EXPECT_NE(registry->GetSchemaImportSessionState(), nullptr);
  registry->DeleteSchemaImportSessionState();
  EXPECT_EQ(deaths, kRegistrations);
}

}  // namespace
