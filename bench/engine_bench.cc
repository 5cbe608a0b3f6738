// The indexed file engine at the size of the movement history file.
//
// Data set: 1,000,000 records of 311 bytes, primary key (0, 21) and an
// alternate key with duplicates (21, 55), as the movement history file has:
// 30 movements per product, keys in ascending order of writing. Generated
// once into bench-cache/engine/ under the build folder and reused.
//
// - ReadNext: Read next along key 0 (input mode, and input-output where each
//   record is locked on delivery).
// - Start, ReadByKey: at random keys. StartThenReadNext: Start at a random
//   product and Read next through its 30 records, as the deletion does.
// - DeleteSequence: Read next + Unlock + Delete of 100,000 consecutive
//   records (3,334 products), as the deletion cascade does, on a fresh copy;
//   SetBasedDelete: one DELETE of the same rows in one SQLite transaction on
//   another fresh copy. The ratio of the two is printed at the end.
// Figures are in records per second (over CPU time for the first three, over
// real time for the deletions); none is a pass/fail threshold. The peak
// resident memory of the whole run is printed last.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <random>
#include <streambuf>
#include <string>

#include "platform/files/sqlite_store.h"

namespace {

namespace fs = std::filesystem;
using vrx::FileDescription;
using vrx::OpenMode;

constexpr std::size_t kRecordLength = 311;
constexpr long long kRecords = 1'000'000;
constexpr long long kMovementsPerProduct = 30;
constexpr long long kFirstDeletedProduct = 10'000;
constexpr long long kDeletedProducts = 3'334;  // 100,020 records

const FileDescription kHistmov{
    "HISTMOV", "\\HISTMOV.VRX", kRecordLength, {{0, 21, false}, {21, 55, true}}};

std::string primary_key(long long i) {
  char key[80];
  std::snprintf(key, sizeof key, "%06lld%08lld%07lld", i / kMovementsPerProduct,
                20240101 + i % kMovementsPerProduct, i % 10'000'000);
  return std::string(key, 21);
}

std::string product_key(long long product) {
  char key[80];
  std::snprintf(key, sizeof key, "%06lld", product);
  return std::string(key, 6) + std::string(15, '0');
}

std::string make_record(long long i) {
  std::string record(kRecordLength, ' ');
  record.replace(0, 21, primary_key(i));
  char alternate[80];
  int n = std::snprintf(alternate, sizeof alternate, "TIPO%02lld DOC%08lld", i % 7, i / 100);
  record.replace(21, static_cast<std::size_t>(n), alternate);
  char rest[120];
  n = std::snprintf(rest, sizeof rest, "QTD%012lld VAL%015lld OBS movimento %lld", i * 7 % 1000,
                    i * 13 % 100000, i);
  record.replace(76, static_cast<std::size_t>(n), rest);
  return record;
}

// The records, produced as they are read.
class GeneratedRecords : public std::streambuf {
 public:
  int_type underflow() override {
    if (next_ >= kRecords) return traits_type::eof();
    buffer_.clear();
    for (int i = 0; i < 1024 && next_ < kRecords; ++i) buffer_ += make_record(next_++);
    setg(buffer_.data(), buffer_.data(), buffer_.data() + buffer_.size());
    return traits_type::to_int_type(buffer_[0]);
  }

 private:
  long long next_ = 0;
  std::string buffer_;
};

fs::path cache_folder() { return fs::path(VANTREXO_BINARY_DIR) / "bench-cache" / "engine"; }

// The generated file (made on first use) under its own drive.
const fs::path& pristine_drive() {
  static const fs::path drive = [] {
    fs::path folder = cache_folder() / "pristine";
    fs::path path = vrx::map_catalogue_path(kHistmov.catalogue_path, folder);
    std::vector<std::string> problems;
    if (!fs::exists(path)) {
      std::cerr << "generating " << path << " (" << kRecords << " records)...\n";
      GeneratedRecords source;
      std::istream in(&source);
      std::size_t loaded = 0;
      fs::path partial = path;
      partial += ".partial";
      fs::remove(partial);
      vrx::AdminResult result = vrx::load_records(partial, kHistmov, in, loaded);
      if (!result.ok) {
        std::cerr << result.message << "\n";
        std::exit(1);
      }
      fs::rename(partial, path);
      fs::rename(partial.string() + ".lck", path.string() + ".lck");
    }
    return folder;
  }();
  return drive;
}

// A fresh copy of the generated file under a drive of its own.
fs::path fresh_copy(const std::string& name) {
  fs::path drive = cache_folder() / name;
  fs::remove_all(drive);
  fs::create_directories(drive);
  fs::path from = vrx::map_catalogue_path(kHistmov.catalogue_path, pristine_drive());
  fs::copy_file(from, vrx::map_catalogue_path(kHistmov.catalogue_path, drive));
  return drive;
}

std::unique_ptr<vrx::IndexedFile> open(const fs::path& drive, OpenMode mode) {
  vrx::OpenResult opened = vrx::SqliteFileStore(drive).open(kHistmov, mode);
  if (!opened.status.ok()) {
    std::cerr << "open: status " << opened.status.code() << "\n";
    std::exit(1);
  }
  return std::move(opened.file);
}

void BM_ReadNext(benchmark::State& state) {
  auto file = open(pristine_drive(), state.range(0) ? OpenMode::input_output : OpenMode::input);
  std::string area(kRecordLength, '\0');
  file->start(0, area);
  long long records = 0;
  for (auto _ : state) {
    vrx::FileStatus status = file->read_next(area);
    if (!status.ok()) {
      state.PauseTiming();
      area.assign(kRecordLength, '\0');
      file->start(0, area);
      state.ResumeTiming();
      continue;
    }
    ++records;
  }
  state.counters["records/s"] =
      benchmark::Counter(static_cast<double>(records), benchmark::Counter::kIsRate);
  file->close();
}
BENCHMARK(BM_ReadNext)->ArgName("input_output")->Arg(0)->Arg(1)->MinTime(2.0);

void BM_Start(benchmark::State& state) {
  auto file = open(pristine_drive(), OpenMode::input);
  std::mt19937_64 random(1);
  std::string area(kRecordLength, ' ');
  long long records = 0;
  for (auto _ : state) {
    area.replace(0, 21, primary_key(static_cast<long long>(random() % kRecords)));
    benchmark::DoNotOptimize(file->start(0, area));
    ++records;
  }
  state.counters["records/s"] =
      benchmark::Counter(static_cast<double>(records), benchmark::Counter::kIsRate);
  file->close();
}
BENCHMARK(BM_Start)->MinTime(2.0);

// As the deletion cascade reads a product's history: Start at the product,
// then Read next through its 30 records.
void BM_StartThenReadNext(benchmark::State& state) {
  auto file = open(pristine_drive(), state.range(0) ? OpenMode::input_output : OpenMode::input);
  std::mt19937_64 random(3);
  std::string area(kRecordLength, ' ');
  long long records = 0;
  for (auto _ : state) {
    long long product = static_cast<long long>(random() % (kRecords / kMovementsPerProduct));
    const std::string key = product_key(product);
    area.replace(0, 21, key);
    if (!file->start(0, area).ok()) continue;
    while (file->read_next(area).ok() && area.compare(0, 6, key, 0, 6) == 0) ++records;
  }
  state.counters["records/s"] =
      benchmark::Counter(static_cast<double>(records), benchmark::Counter::kIsRate);
  file->close();
}
BENCHMARK(BM_StartThenReadNext)->ArgName("input_output")->Arg(0)->Arg(1)->MinTime(2.0);

void BM_ReadByKey(benchmark::State& state) {
  auto file = open(pristine_drive(), state.range(0) ? OpenMode::input_output : OpenMode::input);
  std::mt19937_64 random(2);
  std::string area(kRecordLength, ' ');
  long long records = 0;
  for (auto _ : state) {
    area.replace(0, 21, primary_key(static_cast<long long>(random() % kRecords)));
    if (file->read(area).ok()) ++records;
  }
  state.counters["records/s"] =
      benchmark::Counter(static_cast<double>(records), benchmark::Counter::kIsRate);
  file->close();
}
BENCHMARK(BM_ReadByKey)->ArgName("input_output")->Arg(0)->Arg(1)->MinTime(2.0);

double engine_seconds = 0, set_based_seconds = 0;
long long engine_deleted = 0, set_based_deleted = 0;

void BM_DeleteSequence(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    fs::path drive = fresh_copy("work-sequence");
    auto file = open(drive, OpenMode::input_output);
    const std::string end = product_key(kFirstDeletedProduct + kDeletedProducts);
    std::string area(kRecordLength, ' ');
    area.replace(0, 21, product_key(kFirstDeletedProduct));
    long long deleted = 0;
    state.ResumeTiming();
    auto began = std::chrono::steady_clock::now();
    if (file->start(0, area).ok()) {
      while (file->read_next(area).ok() && area.compare(0, 21, end) < 0) {
        file->unlock();
        if (file->remove(area).ok()) ++deleted;
      }
    }
    file->commit();
    engine_seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    state.PauseTiming();
    file->close();
    engine_deleted = deleted;
    state.counters["records"] = static_cast<double>(deleted);
    state.counters["records/s"] =
        benchmark::Counter(static_cast<double>(deleted), benchmark::Counter::kIsRate);
    state.ResumeTiming();
  }
}
BENCHMARK(BM_DeleteSequence)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SetBasedDelete(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    fs::path drive = fresh_copy("work-set-based");
    fs::path path = vrx::map_catalogue_path(kHistmov.catalogue_path, drive);
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
    // The same settings as the engine's own connections.
    sqlite3_exec(db,
                 "PRAGMA synchronous = NORMAL; PRAGMA secure_delete = FAST; "
                 "PRAGMA wal_autocheckpoint = 8192",
                 nullptr, nullptr, nullptr);
    sqlite3_stmt* remove = nullptr;
    sqlite3_prepare_v2(db, "DELETE FROM records WHERE k0 >= ?1 AND k0 < ?2", -1, &remove, nullptr);
    const std::string from = product_key(kFirstDeletedProduct);
    const std::string to = product_key(kFirstDeletedProduct + kDeletedProducts);
    sqlite3_bind_blob(remove, 1, from.data(), static_cast<int>(from.size()), SQLITE_STATIC);
    sqlite3_bind_blob(remove, 2, to.data(), static_cast<int>(to.size()), SQLITE_STATIC);
    state.ResumeTiming();
    auto began = std::chrono::steady_clock::now();
    sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    sqlite3_step(remove);
    long long deleted = sqlite3_changes(db);
    sqlite3_finalize(remove);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    set_based_seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    state.PauseTiming();
    sqlite3_close(db);
    set_based_deleted = deleted;
    state.counters["records"] = static_cast<double>(deleted);
    state.counters["records/s"] =
        benchmark::Counter(static_cast<double>(deleted), benchmark::Counter::kIsRate);
    state.ResumeTiming();
  }
}
BENCHMARK(BM_SetBasedDelete)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  pristine_drive();  // generate before any timing
  benchmark::RunSpecifiedBenchmarks();
  if (engine_seconds > 0 && set_based_seconds > 0) {
    std::printf(
        "deletion: read-unlock-delete %lld records in %.3f s (%.0f/s); set-based DELETE %lld "
        "records in %.3f s (%.0f/s); ratio %.2f\n",
        engine_deleted, engine_seconds, engine_deleted / engine_seconds, set_based_deleted,
        set_based_seconds, set_based_deleted / set_based_seconds,
        engine_seconds / set_based_seconds);
  }
  struct rusage usage = {};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("peak resident memory of this process: %.1f MB\n", usage.ru_maxrss / 1024.0);
  benchmark::Shutdown();
  fs::remove_all(cache_folder() / "work-sequence");
  fs::remove_all(cache_folder() / "work-set-based");
  return 0;
}
