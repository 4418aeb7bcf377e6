// Libraries a host must refuse, made by hand as a stale or foreign build
// would look, one per QM_HANDMADE_ definition. None has operations: a host
// must not get as far as calling one.
#include <schemaimport/PluginApi.h>

#include <cstdlib>

namespace {

[[maybe_unused]] constexpr const char* kDrivers[] = {"Hand Made", nullptr};

}  // namespace

#if defined(QM_HANDMADE_VERSION2)
// The version 2 table's head: int abiVersion, then C strings and C++ types.
struct VersionTwoTable {
  int abiVersion;
  const char* name;
  unsigned int modelType;
  void* operations[4];
};
const VersionTwoTable kTable = {2, "handmade", 4242, {}};
extern "C" __attribute__((visibility("default"))) const void* QmGetPluginApi() { return &kTable; }
#elif defined(QM_HANDMADE_NO_ENTRY)
extern "C" __attribute__((visibility("default"))) int QmSomethingElse() { return 3; }
__attribute__((constructor)) void MarkLoaded() { setenv("QM_HANDMADE_NOENTRY_LOADED", "1", 1); }
#else
#if defined(QM_HANDMADE_VERSION4)
#define QM_HANDMADE_HEAD {QM_PLUGIN_MAGIC, QM_PLUGIN_ABI_VERSION + 1, QM_PLUGIN_BUILD_STAMP}
#define QM_HANDMADE_NAME_TEXT "handmade"
#elif defined(QM_HANDMADE_STAMP)
#define QM_HANDMADE_HEAD {QM_PLUGIN_MAGIC, QM_PLUGIN_ABI_VERSION, "sdk-0.1 othercc-9 otherlib-9 c++201703L"}
#define QM_HANDMADE_NAME_TEXT "handmade"
#elif defined(QM_HANDMADE_NAME)
#define QM_HANDMADE_HEAD {QM_PLUGIN_MAGIC, QM_PLUGIN_ABI_VERSION, QM_PLUGIN_BUILD_STAMP}
#define QM_HANDMADE_NAME_TEXT "../lib/qm_sqlite"
#else
#error "build with one of the QM_HANDMADE_ definitions"
#endif
const QmPluginApi kTable = {
    QM_HANDMADE_HEAD, QM_HANDMADE_NAME_TEXT, "made by hand", kDrivers, {}, 4242, nullptr, nullptr, nullptr, nullptr,
    nullptr, nullptr, false, nullptr, nullptr, nullptr, nullptr};
extern "C" __attribute__((visibility("default"))) const QmPluginHead* QmGetPluginApi() { return &kTable.head; }
#endif
