// Libraries in a plug-in folder that a host must refuse, made by hand the way
// a stale or foreign build would look, one per definition (CMakeLists.txt):
// QM_HANDMADE_VERSION2, a table of interface version 2 (it began with its
// version, before the head had a magic number); QM_HANDMADE_VERSION4, a head
// of a later version; QM_HANDMADE_STAMP, a head of this version built some
// other way; QM_HANDMADE_NAME, a good head and a name that could be a path;
// QM_HANDMADE_NO_ENTRY, no QmGetPluginApi at all (loading it would set
// QM_HANDMADE_NOENTRY_LOADED). None has operations: a host must not get as
// far as calling one.
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
