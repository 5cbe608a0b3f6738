// Arbitrary bytes opened as a data file, or as the write-ahead log beside a
// sound one. The first input byte chooses which, the open mode, and (for a
// data file) which catalogue description the open compares with; the rest are
// the file's bytes.
//
// The open must answer "00", "30" (not a sound database) or "39" (a database
// that is not this indexed file), never crash or hang. A file that opens must
// then answer every Start and Read next with a status ("00", "10", "23" or
// "30"), in a bounded number of reads. Whatever happens, an open in input
// mode writes nothing: the data file and the log keep their bytes; and a
// failed open writes nothing in either mode and leaves no file behind.
#include <sqlite3.h>

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "data/catalogue.h"
#include "fuzz/fuzz_support.h"
#include "platform/files/indexed_file.h"
#include "platform/files/sqlite_store.h"
#include "tools/vrx/data_generator.h"

namespace vrx::fuzz {
namespace {

namespace fs = std::filesystem;

struct Fixture {
  ScratchFolder scratch;      // the drive of each input
  ScratchFolder template_;    // a small generated data set
  std::string sound_tabemar;  // TABEMAR of that set, 512-byte pages, no log
};
Fixture* fixture = nullptr;

std::set<std::string> names_in(const fs::path& folder) {
  std::set<std::string> names;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(folder, ec)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

bool one_of(const FileStatus& s, std::initializer_list<std::string_view> codes) {
  for (std::string_view c : codes) {
    if (s.code() == c) return true;
  }
  return false;
}

// Every key from its lowest value, and every record after it, then a read
// by key of the records delivered: only statuses, and an end within a bound.
void read_through(IndexedFile& file, const FileDescription& d) {
  std::string area(d.record_length, '\0');
  std::vector<std::string> delivered;
  for (std::size_t key = 0; key < d.keys.size(); ++key) {
    std::fill(area.begin(), area.end(), '\0');
    FileStatus started = file.start(key, area);
    check(one_of(started, {"00", "23", "30"}), "start: \"" + std::string(started.code()) + "\"");
    if (!started.ok()) continue;
    for (int reads = 0;; ++reads) {
      check(reads < 100000, "read next does not come to an end");
      FileStatus got = file.read_next(area);
      check(one_of(got, {"00", "10", "30"}), "read next: \"" + std::string(got.code()) + "\"");
      if (!got.ok()) break;
      if (delivered.size() < 64) delivered.push_back(area);
    }
  }
  for (std::string& record : delivered) {
    FileStatus again = file.read(record);
    check(one_of(again, {"00", "23", "30"}), "read: \"" + std::string(again.code()) + "\"");
  }
}

void run_one(const std::uint8_t* data, std::size_t size) {
  const bool as_log = (data[0] & 1) != 0;
  const OpenMode mode = (data[0] & 2) != 0 ? OpenMode::input_output : OpenMode::input;
  const std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  const FileDescription& d = as_log ? dravel::describe(dravel::FileId::tabemar)
                                    : dravel::catalogue()[(data[0] >> 2) % dravel::kFileCount];
  const fs::path drive = fixture->scratch.path();
  const fs::path path = map_catalogue_path(d.catalogue_path, drive);
  const fs::path log = path.string() + "-wal";
  fs::create_directories(path.parent_path());
  if (as_log) {
    write_bytes(path, fixture->sound_tabemar);
    write_bytes(log, bytes);
  } else {
    write_bytes(path, bytes);
  }
  const std::set<std::string> names_before = names_in(path.parent_path());

  OpenResult opened = SqliteFileStore(drive).open(d, mode);
  const std::string what = std::string(as_log ? "a log" : "a data file") +
                           (mode == OpenMode::input ? ", input" : ", input-output");
  if (!one_of(opened.status, {"00", "30", "39"})) {
    finding(what + ": the open answered \"" + std::string(opened.status.code()) + "\"");
  }
  check(opened.status.ok() == (opened.file != nullptr), what + ": a handle without \"00\"");
  // What can be told from the bytes alone.
  if (!as_log && bytes.compare(0, 16, std::string("SQLite format 3\0", 16)) != 0) {
    check(opened.status.code() == "30", what + ": no database, yet not \"30\"");
  }
  if (!as_log && bytes == fixture->sound_tabemar) {
    const bool same = d.name == "TABEMAR";
    check(opened.status.code() == (same ? "00" : "39"),
          what + ": the sound TABEMAR opened as " + d.name + " answered \"" +
              std::string(opened.status.code()) + "\"");
  }
  if (opened.file) {
    read_through(*opened.file, d);
    FileStatus closed = opened.file->close();
    check(one_of(closed, {"00", "30"}), what + ": close: \"" + std::string(closed.code()) + "\"");
  }
  if (mode == OpenMode::input || !opened.status.ok()) {
    const std::string expected_data = as_log ? fixture->sound_tabemar : bytes;
    check(file_bytes(path) == expected_data, what + ": the data file was written");
    if (as_log) check(file_bytes(log) == bytes, what + ": the log was written");
  }
  if (!opened.status.ok()) {
    // SQLite's log and shared index may stay, empty, after a read-only
    // connection has read; whatever the log held is checked above.
    std::set<std::string> names_after = names_in(path.parent_path());
    std::set<std::string> expected = names_before;
    for (const char* suffix : {"-shm", "-wal"}) {
      names_after.erase(path.filename().string() + suffix);
      expected.erase(path.filename().string() + suffix);
    }
    if (names_after != expected) {
      std::string names;
      for (const std::string& n : names_after) names += " " + n;
      finding(what + ": a failed open (\"" + std::string(opened.status.code()) +
              "\") left files behind; now:" + names);
    }
  }
}

// The sound TABEMAR with 512-byte pages, so that logs of it stay small.
std::string small_page_copy(const fs::path& source, const fs::path& scratch) {
  const fs::path copy = scratch / "small.VRX";
  fs::copy_file(source, copy, fs::copy_options::overwrite_existing);
  sqlite3* db = nullptr;
  int rc = sqlite3_open(copy.c_str(), &db);
  if (rc == SQLITE_OK) {
    rc = sqlite3_exec(db,
                      "PRAGMA journal_mode = DELETE; PRAGMA page_size = 512; VACUUM; "
                      "PRAGMA journal_mode = WAL;",
                      nullptr, nullptr, nullptr);
  }
  sqlite3_close(db);
  check(rc == SQLITE_OK, "cannot make the sound file's small copy");
  std::string bytes = file_bytes(copy);
  fs::remove(copy);
  return bytes;
}

}  // namespace
}  // namespace vrx::fuzz

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  static vrx::fuzz::Fixture made;
  vrx::fuzz::fixture = &made;
  vrx::tool::DataSetPlan plan;
  plan.brands = 2;
  plan.products_per_brand = 3;
  plan.value_history_per_product = 2;
  plan.movement_history_per_product = 2;
  plan.user_name = "FUZZ";
  vrx::tool::GenerateResult generated = vrx::tool::generate_data_set(made.template_.path(), plan);
  vrx::fuzz::check(generated.ok, "generate the data set: " + generated.message);
  made.sound_tabemar = vrx::fuzz::small_page_copy(
      vrx::map_catalogue_path(dravel::describe(dravel::FileId::tabemar).catalogue_path,
                              made.template_.path()),
      made.template_.path());
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  vrx::fuzz::fixture->scratch.clear();
  vrx::fuzz::run_one(data, size);
  return 0;
}
