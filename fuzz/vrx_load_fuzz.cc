// `vrx load NAME` with any bytes, of any length, on standard input, into each
// of the six files. The first input byte chooses the file and whether it is
// absent, empty, or holds the records of a small generated data set; the
// rest is what is loaded. The oracle cuts the bytes into records itself and
// knows the first record that must be refused (a short last record, or a
// primary or unique alternate key that the file or an earlier record holds):
// then the tool must fail with a message naming that record and leave the
// file exactly as it was (an absent file stays absent, with no companion
// files); otherwise it must succeed and the file must hold its old records
// and every new one. The file must pass the engine's check either way.
#include <algorithm>
#include <cstdint>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "data/catalogue.h"
#include "fuzz/fuzz_support.h"
#include "platform/files/sqlite_store.h"
#include "tools/vrx/data_generator.h"
#include "tools/vrx/vrx.h"

namespace vrx::fuzz {
namespace {

namespace fs = std::filesystem;

enum class Before { absent, empty, generated };

struct Fixture {
  ScratchFolder scratch;    // the drive of each input
  ScratchFolder generated;  // the small generated data set, made once
};
Fixture* fixture = nullptr;

std::string dump(const fs::path& path, const FileDescription& d) {
  std::ostringstream out;
  AdminResult result = dump_records(path, d, 0, out);
  check(result.ok, "dump: " + result.message);
  return out.str();
}

std::vector<std::string> records_of(const std::string& bytes, std::size_t length) {
  std::vector<std::string> records;
  for (std::size_t at = 0; at + length <= bytes.size(); at += length) {
    records.push_back(bytes.substr(at, length));
  }
  return records;
}

std::string key_of(const std::string& record, const KeyDescription& key) {
  return record.substr(key.offset, key.length);
}

// Files whose name begins with the data file's name, beside it; but for
// SQLite's log and shared index, which a read may leave empty beside a file
// that was there before.
std::set<std::string> companions(const fs::path& path, bool with_log) {
  std::set<std::string> names;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(path.parent_path(), ec)) {
    std::string name = entry.path().filename().string();
    if (name.rfind(path.filename().string(), 0) != 0) continue;
    if (!with_log && (name.ends_with("-wal") || name.ends_with("-shm"))) continue;
    names.insert(name);
  }
  return names;
}

void run_one(const std::uint8_t* data, std::size_t size) {
  const std::size_t file_index = data[0] % dravel::kFileCount;
  const Before before = static_cast<Before>((data[0] / dravel::kFileCount) % 3);
  const std::string input(reinterpret_cast<const char*>(data) + 1, size - 1);
  const FileDescription& d = dravel::catalogue()[file_index];
  const fs::path drive = fixture->scratch.path();
  const fs::path path = map_catalogue_path(d.catalogue_path, drive);

  if (before == Before::empty) {
    check(create_file(path, d).ok, "create an empty " + d.name);
  } else if (before == Before::generated) {
    fs::create_directories(path.parent_path());
    fs::copy_file(map_catalogue_path(d.catalogue_path, fixture->generated.path()), path);
  }
  const std::string old_records = before == Before::absent ? std::string() : dump(path, d);
  const bool with_log = before == Before::absent;
  const std::set<std::string> old_names = companions(path, with_log);

  // The oracle: the first record that must be refused, if any.
  const std::size_t length = d.record_length;
  std::vector<std::set<std::string>> taken(d.keys.size());
  for (const std::string& r : records_of(old_records, length)) {
    for (std::size_t k = 0; k < d.keys.size(); ++k) taken[k].insert(key_of(r, d.keys[k]));
  }
  std::string refusal;
  std::size_t number = 0;
  for (std::size_t at = 0; at < input.size() && refusal.empty(); at += length) {
    ++number;
    if (input.size() - at < length) {
      refusal = "record " + std::to_string(number) +
                " is short: " + std::to_string(input.size() - at) + " bytes of " +
                std::to_string(length);
      break;
    }
    const std::string record = input.substr(at, length);
    for (std::size_t k = 0; k < d.keys.size(); ++k) {
      if (!d.keys[k].duplicates && !taken[k].insert(key_of(record, d.keys[k])).second) {
        refusal = "record " + std::to_string(number) + ": a record with the same key exists";
      }
    }
  }

  const std::string drive_text = drive.string();
  const char* argv[] = {"vrx", "--drive", drive_text.c_str(), "load", d.name.c_str()};
  std::istringstream in(input);
  std::ostringstream out, err;
  const int exit_code = tool::run_vrx(5, argv, in, out, err);
  const std::string what = d.name + ", " + std::to_string(input.size()) + " bytes";

  check(out.str().empty(), what + ": the load wrote to standard output");
  if (!refusal.empty()) {
    check(exit_code == 1, what + ": a refused load exited " + std::to_string(exit_code));
    check(err.str().rfind("vrx: " + d.name + ": ", 0) == 0 &&
              err.str().find(refusal) != std::string::npos,
          what + ": \"" + err.str() + "\" instead of a message with \"" + refusal + "\"");
    if (companions(path, with_log) != old_names) {
      std::string names;
      for (const std::string& n : companions(path, with_log)) names += " " + n;
      finding(what + ": a refused load left files behind or took some; now:" + names);
    }
    if (before == Before::absent) return;
    check(dump(path, d) == old_records, what + ": a refused load changed the records");
  } else {
    check(exit_code == 0, what + ": the load failed: " + err.str());
    check(err.str().empty(), what + ": the load said \"" + err.str() + "\"");
    std::vector<std::string> all = records_of(old_records, length);
    for (const std::string& r : records_of(input, length)) all.push_back(r);
    std::sort(all.begin(), all.end(), [&](const std::string& a, const std::string& b) {
      return key_of(a, d.keys[0]) < key_of(b, d.keys[0]);
    });
    std::string expected;
    for (const std::string& r : all) expected += r;
    check(dump(path, d) == expected, what + ": the file does not hold the old and new records");
  }
  std::vector<std::string> problems;
  AdminResult checked = check_file(path, d, problems);
  check(checked.ok, what + ": check: " + checked.message + (problems.empty() ? "" : problems[0]));
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
  vrx::tool::GenerateResult generated = vrx::tool::generate_data_set(made.generated.path(), plan);
  vrx::fuzz::check(generated.ok, "generate the data set: " + generated.message);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  vrx::fuzz::fixture->scratch.clear();
  vrx::fuzz::run_one(data, size);
  return 0;
}
