// Fills ImportedObjectCache and ImportedKeysCache with 100,000 objects and
// keys of realistic names and signatures, then looks each up once. The
// counters report seconds per operation (ns/op in the "per_op" column).
//
//   cache_bench --benchmark_counters_tabular=true
#include <schemaimport/ImportedKeysCache.h>
#include <schemaimport/ImportedObjectCaches.h>

#include <tillerhold/GenericModel.h>
#include <tillerhold/ModelVocabulary.h>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kCount = 100000;

// "schema.table_00042.column_7": 10 columns per table, 40 schemas.
std::vector<CString> ObjectNames() {
  std::vector<CString> names;
  names.reserve(kCount);
  char buffer[64];
  for (int i = 0; i < kCount; ++i) {
    std::snprintf(buffer, sizeof buffer, "schema_%02d.table_%05d.column_%d", (i / 10) % 40, i / 10, i % 10);
    names.push_back(CString::FromUtf8(buffer));
  }
  return names;
}

// "public.orders_00042(id,customer_id_3)": one key per table-like signature.
std::vector<CString> KeySignatures() {
  std::vector<CString> signatures;
  signatures.reserve(kCount);
  char buffer[96];
  for (int i = 0; i < kCount; ++i) {
    std::snprintf(buffer, sizeof buffer, "public.orders_%05d(id,customer_id_%d)", i / 2, i % 2);
    signatures.push_back(CString::FromUtf8(buffer));
  }
  return signatures;
}

struct Fixture {
  GenericModel model;
  std::vector<CMOObject*> objects;
  std::vector<CString> names = ObjectNames();
  std::vector<CString> signatures = KeySignatures();

  Fixture() {
    objects.reserve(kCount);
    for (int i = 0; i < kCount; ++i) objects.push_back(&model.CreateObject(model::Column));
  }
};

Fixture& Data() {
  static Fixture fixture;
  return fixture;
}

void PerOperation(benchmark::State& state) {
  state.counters["per_op"] = benchmark::Counter(static_cast<double>(kCount) * state.iterations(),
                                                benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_ObjectCacheAdd(benchmark::State& state) {
  Fixture& d = Data();
  ImportedObjectCache& cache = *ImportedObjectCache::Instance();
  for (auto _ : state) {
    state.PauseTiming();
    cache.Reset();
    state.ResumeTiming();
    for (int i = 0; i < kCount; ++i) cache.Add(d.names[i], d.objects[i]);
  }
  PerOperation(state);
}

void BM_ObjectCacheFind(benchmark::State& state) {
  Fixture& d = Data();
  ImportedObjectCache& cache = *ImportedObjectCache::Instance();
  cache.Reset();
  for (int i = 0; i < kCount; ++i) cache.Add(d.names[i], d.objects[i]);
  for (auto _ : state) {
    for (int i = 0; i < kCount; ++i) {
      CMOObject* found = cache.FindObject(d.names[i]);
      if (found != d.objects[i]) state.SkipWithError("lookup returned the wrong object");
      benchmark::DoNotOptimize(found);
    }
  }
  PerOperation(state);
}

void BM_KeysCacheSetAndInitReverseSearch(benchmark::State& state) {
  Fixture& d = Data();
  ImportedKeysCache& cache = *ImportedKeysCache::Instance();
  for (auto _ : state) {
    state.PauseTiming();
    cache.Reset();
    state.ResumeTiming();
    for (int i = 0; i < kCount; ++i) cache.Set(d.objects[i], d.signatures[i]);
    cache.InitReverseSearch();
  }
  PerOperation(state);
}

void BM_KeysCacheFindMatchingKey(benchmark::State& state) {
  Fixture& d = Data();
  ImportedKeysCache& cache = *ImportedKeysCache::Instance();
  cache.Reset();
  for (int i = 0; i < kCount; ++i) cache.Set(d.objects[i], d.signatures[i]);
  cache.InitReverseSearch();
  for (auto _ : state) {
    for (int i = 0; i < kCount; ++i) {
      CMOObject* found = cache.FindMatchingKey(d.signatures[i]);
      if (found == nullptr) state.SkipWithError("a recorded signature was not found");
      benchmark::DoNotOptimize(found);
    }
  }
  PerOperation(state);
}

void BM_KeysCacheGet(benchmark::State& state) {
  Fixture& d = Data();
  ImportedKeysCache& cache = *ImportedKeysCache::Instance();
  cache.Reset();
  for (int i = 0; i < kCount; ++i) cache.Set(d.objects[i], d.signatures[i]);
  for (auto _ : state) {
    for (int i = 0; i < kCount; ++i) benchmark::DoNotOptimize(cache.Get(d.objects[i]));
  }
  PerOperation(state);
}

BENCHMARK(BM_ObjectCacheAdd)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ObjectCacheFind)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KeysCacheSetAndInitReverseSearch)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KeysCacheFindMatchingKey)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KeysCacheGet)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
