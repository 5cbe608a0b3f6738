// The deletion by brand at full size, and the two short commands around it.
//
// Data set: 50 brands x 4,000 products, each product with 10 value-history
// and 30 movement-history records (8.2 million records, about 3 GB). It is
// generated once into bench-cache/ under the build folder and copied afresh
// for every run, so each run starts from the same pristine files.
//
// - Exclui/50: the whole "EXCLUI" of one brand (4,000 products + 40,000 + 120,000
//   history records = 164,000 records) run by the dravel-script executable as
//   a child process, timed from the brand lookup that opens the deletion to
//   its final message box, as seen on the transcript. No other program holds
//   a record, so the locked-record prompt never fires. Reported: records
//   deleted per second, the child's peak resident memory (VmHWM), and the
//   same deletion done with set-based DELETEs in one SQLite transaction on
//   another copy of the same files, with the ratio of the two times.
//   Exclui/5 does the same on a set of 5 brands (a tenth of the size): the
//   rate and the peak memory should not depend on the size of the files.
// - Abrar: the form-opened event (all six files opened and checked), and
//   Lermar: one brand lookup on leaving the brand field; both in-process,
//   through the program's routing entry with the scripted runtime as its
//   form services.
//
// Run with: cascade_bench [--benchmark_repetitions=N]
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "app/program.h"
#include "common/form_ids.h"
#include "data/catalogue.h"
#include "form/form_description.h"
#include "platform/files/sqlite_store.h"
#include "platform/script/script_runtime.h"
#include "platform/shared_areas.h"
#include "tools/vrx/data_generator.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using dravel::FileId;

constexpr std::size_t kBrands = 50;
constexpr const char* kUser = "BENCH";

// The brand deleted: one in the middle of the file.
std::size_t middle_brand(std::size_t brands) { return brands / 2; }

vrx::tool::DataSetPlan bench_data_set(std::size_t brands = kBrands) {
  vrx::tool::DataSetPlan data_set;
  data_set.brands = brands;
  data_set.products_per_brand = 4000;
  data_set.value_history_per_product = 10;
  data_set.movement_history_per_product = 30;
  data_set.products_without_history_every = 0;
  data_set.seed = 20261211;
  data_set.user_name = kUser;
  return data_set;
}

std::size_t records_per_brand(const vrx::tool::DataSetPlan& s) {
  return s.products_per_brand * (1 + s.value_history_per_product + s.movement_history_per_product);
}

const fs::path kBenchRoot = fs::path(VANTREXO_BINARY_DIR) / "bench-cache";

fs::path pristine_folder(std::size_t brands) {
  return kBenchRoot / ("cascade-" + std::to_string(brands) + "x4000x10x30-v" +
                       std::to_string(vrx::tool::kGeneratorVersion));
}

fs::path file_path(const fs::path& drive, FileId file) {
  return vrx::map_catalogue_path(dravel::describe(file).catalogue_path, drive);
}

// The generated set of that many brands, made on first use; a half-made one
// is made again.
fs::path pristine_drive(std::size_t brands) {
  const fs::path folder = pristine_folder(brands);
  const fs::path stamp = folder / "complete";
  if (fs::exists(stamp)) return folder;
  fs::remove_all(folder);
  std::cerr << "generating the data set into " << folder << " (once)..." << std::endl;
  const auto t0 = Clock::now();
  const vrx::tool::GenerateResult r = vrx::tool::generate_data_set(folder, bench_data_set(brands));
  if (!r.ok) {
    std::cerr << "generation failed: " << r.file << ": " << r.message << std::endl;
    std::abort();
  }
  std::ofstream(stamp) << "ok\n";
  std::cerr << "generated in " << std::chrono::duration<double>(Clock::now() - t0).count() << " s"
            << std::endl;
  return folder;
}

// A fresh copy of the pristine data files at `to`.
void copy_pristine(std::size_t brands, const fs::path& to) {
  const fs::path from = pristine_drive(brands);
  fs::remove_all(to);
  fs::create_directories(to);
  fs::copy(from / "VantrexoSistemica", to / "VantrexoSistemica", fs::copy_options::recursive);
  // On disk before the clock starts: otherwise the deletion's first flush of
  // each file would write out the whole fresh copy.
  ::sync();
}

struct ChildRun {
  int status = -1;
  double cascade_seconds = 0;  // from the deletion's brand lookup to its final box
  double total_seconds = 0;    // the whole process
  long peak_kib = 0;           // VmHWM of the child
  std::size_t prompts = 0;     // Yes/No boxes seen (none expected)
  std::size_t products = 0;    // products shown while deleting
  std::string failure;
};

// VmHWM of a running process, in KiB. (The rusage of a child forked from
// this process would count this process's own pages as well.)
long peak_resident_kib(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);) {
    if (line.starts_with("VmHWM:")) return std::stol(line.substr(6));
  }
  return 0;
}

// Runs dravel-script on `drive` with `script`, reading its transcript as it
// comes to time the deletion.
ChildRun run_dravel_script(const fs::path& drive, const std::string& script) {
  ChildRun run;
  int to_child[2], from_child[2];
  if (pipe(to_child) != 0 || pipe(from_child) != 0) {
    run.failure = "pipe failed";
    return run;
  }
  const std::string binary = std::string(VANTREXO_BINARY_DIR) + "/dravel-script";
  const std::string drive_text = drive.string();
  const auto t0 = Clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(to_child[0], 0);
    dup2(from_child[1], 1);
    close(to_child[0]);
    close(to_child[1]);
    close(from_child[0]);
    close(from_child[1]);
    setenv("VANTREXO_DRIVE", drive_text.c_str(), 1);
    setenv("VANTREXO_USUARIO", kUser, 1);
    execl(binary.c_str(), binary.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(to_child[0]);
  close(from_child[1]);
  if (write(to_child[1], script.data(), script.size()) != static_cast<ssize_t>(script.size())) {
    run.failure = "could not write the script";
  }
  // The script's end (which closes the form) is sent only once the deletion
  // has ended and the child's peak memory has been read.
  bool script_open = true;

  std::size_t ds_mar_lines = 0;
  Clock::time_point cascade_start{}, cascade_end{};
  std::string pending;
  char buffer[1 << 16];
  for (;;) {
    const ssize_t n = read(from_child[0], buffer, sizeof buffer);
    if (n <= 0) break;
    const auto now = Clock::now();
    pending.append(buffer, static_cast<std::size_t>(n));
    std::size_t at = 0;
    for (std::size_t nl; (nl = pending.find('\n', at)) != std::string::npos; at = nl + 1) {
      const std::string_view line(pending.data() + at, nl - at);
      // The second text of Ds_MAR is the brand lookup that opens "EXCLUI".
      if (line.starts_with("text Ds_MAR ") && ++ds_mar_lines == 2) cascade_start = now;
      if (line.starts_with("caption Frm_Dsp ") && line != "caption Frm_Dsp \"\"") ++run.products;
      if (line.starts_with("msgbox 36 ")) ++run.prompts;
      if (line.starts_with("msgbox 48 ")) {
        cascade_end = now;
        run.peak_kib = peak_resident_kib(pid);
        close(to_child[1]);
        script_open = false;
      }
    }
    pending.erase(0, at);
  }
  if (script_open) close(to_child[1]);
  close(from_child[0]);
  int raw = 0;
  waitpid(pid, &raw, 0);
  run.total_seconds = std::chrono::duration<double>(Clock::now() - t0).count();
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  if (cascade_start == Clock::time_point{} || cascade_end == Clock::time_point{}) {
    run.failure = "the transcript shows no complete deletion";
  } else {
    run.cascade_seconds = std::chrono::duration<double>(cascade_end - cascade_start).count();
  }
  return run;
}

void exec_or_die(sqlite3* db, const char* sql) {
  char* message = nullptr;
  if (sqlite3_exec(db, sql, nullptr, nullptr, &message) != SQLITE_OK) {
    std::cerr << "sqlite: " << (message ? message : "?") << " in: " << sql << std::endl;
    sqlite3_free(message);
    std::abort();
  }
}

// The same deletion with set-based DELETEs in one transaction over the three
// files (attached to one connection). Returns the seconds it took.
double set_based_delete(const fs::path& drive, const std::string& brand) {
  sqlite3* db = nullptr;
  if (sqlite3_open(file_path(drive, FileId::produto).c_str(), &db) != SQLITE_OK) std::abort();
  const std::string attach = "ATTACH '" + file_path(drive, FileId::histval).string() +
                             "' AS hv; ATTACH '" + file_path(drive, FileId::histmov).string() +
                             "' AS hm;";
  exec_or_die(db, attach.c_str());
  // The same settings as the engine's own connections.
  exec_or_die(db,
              "PRAGMA main.synchronous = NORMAL; PRAGMA hv.synchronous = NORMAL; "
              "PRAGMA hm.synchronous = NORMAL; PRAGMA main.secure_delete = FAST; "
              "PRAGMA hv.secure_delete = FAST; PRAGMA hm.secure_delete = FAST; "
              "PRAGMA wal_autocheckpoint = 8192;");

  const auto t0 = Clock::now();
  exec_or_die(db, "BEGIN");
  // The brand's products on the brand key (PRO-CODIMAR + PRO-COMPL-MARCA),
  // from brand + "000000" to the next brand, and their history ranges.
  sqlite3_stmt* doomed = nullptr;
  if (sqlite3_prepare_v2(db,
                         "CREATE TEMP TABLE doomed AS "
                         "SELECT CAST(substr(k0, 1, 6) || '000000000000000' AS BLOB) AS lo, "
                         "CAST(substr(k0, 1, 6) || ':' AS BLOB) AS hi, seq "
                         "FROM main.records WHERE k4 >= ?1 AND k4 < ?2",
                         -1, &doomed, nullptr) != SQLITE_OK) {
    std::abort();
  }
  const std::string lo = brand + "000000";
  std::string hi = brand;
  hi.back() = static_cast<char>(hi.back() + 1);
  sqlite3_bind_blob(doomed, 1, lo.data(), static_cast<int>(lo.size()), SQLITE_TRANSIENT);
  sqlite3_bind_blob(doomed, 2, hi.data(), static_cast<int>(hi.size()), SQLITE_TRANSIENT);
  if (sqlite3_step(doomed) != SQLITE_DONE) std::abort();
  sqlite3_finalize(doomed);
  exec_or_die(db,
              "DELETE FROM hv.records WHERE seq IN (SELECT h.seq FROM temp.doomed d "
              "JOIN hv.records h ON h.k0 >= d.lo AND h.k0 < d.hi)");
  exec_or_die(db,
              "DELETE FROM hm.records WHERE seq IN (SELECT h.seq FROM temp.doomed d "
              "JOIN hm.records h ON h.k0 >= d.lo AND h.k0 < d.hi)");
  exec_or_die(db, "DELETE FROM main.records WHERE seq IN (SELECT seq FROM temp.doomed)");
  exec_or_die(db, "COMMIT");
  const double seconds = std::chrono::duration<double>(Clock::now() - t0).count();
  sqlite3_close(db);
  return seconds;
}

std::int64_t count_records(const fs::path& drive, FileId file) {
  sqlite3* db = nullptr;
  sqlite3_open_v2(file_path(drive, file).c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
  sqlite3_stmt* s = nullptr;
  sqlite3_prepare_v2(db, "SELECT count(*) FROM records", -1, &s, nullptr);
  const std::int64_t n = sqlite3_step(s) == SQLITE_ROW ? sqlite3_column_int64(s, 0) : -1;
  sqlite3_finalize(s);
  sqlite3_close(db);
  return n;
}

std::int64_t count_all(const fs::path& drive) {
  return count_records(drive, FileId::produto) + count_records(drive, FileId::histval) +
         count_records(drive, FileId::histmov);
}

// Argument: the number of brands in the files; the brand deleted always has
// 164,000 records, so a smaller set shows what the file size changes.
void BM_ExcluiThroughDravelScript(benchmark::State& state) {
  const auto brands = static_cast<std::size_t>(state.range(0));
  const vrx::tool::DataSetPlan data_set = bench_data_set(brands);
  const std::string brand = vrx::tool::brand_code(middle_brand(brands));
  const fs::path cascade_drive = kBenchRoot / "work-cascade";
  const fs::path set_drive = kBenchRoot / "work-set-based";
  const std::string script = "type " + brand + "\nkey 13\nkey 13\n";
  const auto expected = static_cast<std::int64_t>(records_per_brand(data_set));

  double cascade = 0, set_based = 0, total = 0;
  long peak_kib = 0;
  for (auto _ : state) {
    copy_pristine(brands, cascade_drive);
    const std::int64_t before = count_all(cascade_drive);
    const ChildRun run = run_dravel_script(cascade_drive, script);
    if (!run.failure.empty() || run.status != 0) {
      state.SkipWithError((run.failure + " (exit " + std::to_string(run.status) + ")").c_str());
      return;
    }
    const std::int64_t deleted = before - count_all(cascade_drive);
    if (deleted != expected || run.prompts != 0 || run.products != data_set.products_per_brand) {
      state.SkipWithError(
          ("deleted " + std::to_string(deleted) + " records, expected " + std::to_string(expected))
              .c_str());
      return;
    }
    state.SetIterationTime(run.cascade_seconds);
    cascade += run.cascade_seconds;
    total += run.total_seconds;
    peak_kib = std::max(peak_kib, run.peak_kib);

    // The same deletion, set-based, on another copy of the same files.
    copy_pristine(brands, set_drive);
    set_based += set_based_delete(set_drive, brand);
    if (before - count_all(set_drive) != expected) {
      state.SkipWithError("the set-based delete did not delete the same records");
      return;
    }
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["records_deleted"] = static_cast<double>(expected);
  state.counters["records_per_s"] = static_cast<double>(expected) * n / cascade;
  state.counters["cascade_s"] = cascade / n;
  state.counters["process_s"] = total / n;
  state.counters["set_based_s"] = set_based / n;
  state.counters["set_based_over_cascade"] = set_based / cascade;
  state.counters["peak_MiB"] = static_cast<double>(peak_kib) / 1024.0;
  fs::remove_all(cascade_drive);
  fs::remove_all(set_drive);
}
BENCHMARK(BM_ExcluiThroughDravelScript)
    ->Arg(kBrands)
    ->Arg(5)
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

// The program with the scripted runtime as its form services, on a copy of
// the full-size files, driven event by event.
class InProcessForm {
 public:
  InProcessForm()
      : drive_(kBenchRoot / "work-in-process"),
        store_((copy_once(drive_), drive_)),
        runtime_(dravel::dravel_marks_description(), areas_, sink_, sink_),
        program_(runtime_, store_, areas_),
        objects_(dravel::dravel_marks_description().object_table()) {}

  void raise(std::int32_t object, std::int32_t event) {
    program_.route(objects_, object, event, nullptr, nullptr, nullptr);
  }
  void type_code(const std::string& code) {
    std::string text = code;
    text.resize(vantrexo::kControlTextWidth, ' ');
    runtime_.set_text(static_cast<vantrexo::ObjectRef>(dravel::ids::ed_codimar),
                      std::span<const char, vantrexo::kControlTextWidth>(
                          text.data(), vantrexo::kControlTextWidth));
  }
  bool all_open() const {
    return program_.files().is_open(FileId::tabemar) && program_.files().is_open(FileId::produto) &&
           program_.files().is_open(FileId::histmov) && program_.files().is_open(FileId::histval);
  }
  std::string shown(std::string_view control) const { return runtime_.text_of(control); }

 private:
  static void copy_once(const fs::path& to) {
    static const bool copied = (copy_pristine(kBrands, to), true);
    (void)copied;
  }

  fs::path drive_;
  vrx::SqliteFileStore store_;
  vantrexo::SharedAreaRegistry areas_;
  std::ostream sink_{nullptr};  // the transcript goes nowhere
  vantrexo::script::ScriptRuntime runtime_;
  dravel::Program program_;
  vantrexo::ObjectTable objects_;
};

void BM_Abrar(benchmark::State& state) {
  InProcessForm form;
  for (auto _ : state) {
    form.raise(dravel::ids::form, vantrexo::event_id::form_opened);
    state.PauseTiming();
    if (!form.all_open()) {
      state.SkipWithError("the files did not open");
      return;
    }
    form.raise(dravel::ids::form, vantrexo::event_id::form_closed);
    state.ResumeTiming();
  }
}
BENCHMARK(BM_Abrar)->Unit(benchmark::kMillisecond);

void BM_Lermar(benchmark::State& state) {
  InProcessForm form;
  form.raise(dravel::ids::form, vantrexo::event_id::form_opened);
  form.type_code(vrx::tool::brand_code(middle_brand(kBrands)));
  for (auto _ : state) {
    form.raise(dravel::ids::ed_codimar, vantrexo::event_id::lost_focus);
  }
  std::string description = vrx::tool::brand_description(middle_brand(kBrands));
  description.erase(description.find_last_not_of(' ') + 1);
  if (form.shown("Ds_MAR") != description) {
    state.SkipWithError("the brand was not shown");
  }
  form.raise(dravel::ids::form, vantrexo::event_id::form_closed);
}
BENCHMARK(BM_Lermar)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
