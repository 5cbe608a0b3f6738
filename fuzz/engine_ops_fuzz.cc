// Sequences of engine operations decoded from the input and run against an
// in-memory model of an indexed file. The input chooses the file's shape
// (record length, primary key, up to three alternate keys with or without
// duplicates), its first records, and then the operations of program A
// (any open mode: Read, Start on any key, Read next, Unlock, Delete, Commit,
// Close and open again, calls on a closed handle, record areas of a wrong
// length), of program B (reads that lock, Unlock, Delete and Commit) and of
// program C (reads in input mode, which only test locks). Every status,
// condition and record area is compared with the model after each step, and
// at the end the file's records and its check. Any difference is a finding.
//
// Only the public interface of the engine is used (indexed_file.h,
// sqlite_store.h). A's deletions not yet known to be committed may show to
// the others as locked ("99") or as gone ("23"): the engine commits a group
// on its own after a short delay, so both are right until A commits.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "platform/files/indexed_file.h"
#include "platform/files/sqlite_store.h"

namespace vrx::fuzz {
namespace {

// Key bytes come from a small alphabet, so that equal keys, duplicates and
// the byte order around 0x00, 0x7F/0x80 and 0xFF all come up.
constexpr unsigned char kAlphabet[] = {0x00, 0x20, 0x41, 0x7F, 0x80, 0xFF};
constexpr int kMaxSteps = 300;

std::string status_text(const FileStatus& s) {
  std::string text(s.code());
  if (s.at_end()) text += " at end";
  if (s.invalid_key()) text += " invalid key";
  return text;
}

struct Record {
  std::int64_t seq;
  std::string bytes;
};

class Model {
 public:
  explicit Model(FileDescription description) : d(std::move(description)) {}

  FileDescription d;
  std::map<std::string, Record> live;     // by primary key, as A sees the file
  std::map<std::string, Record> pending;  // deleted by A, perhaps not yet committed
  std::optional<std::int64_t> a_lock, b_lock;
  struct Position {
    bool valid = false;
    std::size_t key = 0;
    std::string value;
    std::int64_t seq = 0;  // 0 right after a Start: every record of `value` follows
  } position;

  std::string key_of(const std::string& bytes, std::size_t key) const {
    return bytes.substr(d.keys[key].offset, d.keys[key].length);
  }
  const Record* find(const std::string& primary) const {
    auto it = live.find(primary);
    return it == live.end() ? nullptr : &it->second;
  }
  // The first record after (value, seq) in the order of `key`; equal keys in
  // write order. std::string compares bytes as unsigned, like the engine.
  const Record* next_after(std::size_t key, const std::string& value, std::int64_t seq) const {
    const Record* best = nullptr;
    std::pair<std::string, std::int64_t> best_at;
    for (const auto& [primary, r] : live) {
      std::pair<std::string, std::int64_t> at{key_of(r.bytes, key), r.seq};
      if (at <= std::make_pair(value, seq)) continue;
      if (best == nullptr || at < best_at) {
        best = &r;
        best_at = std::move(at);
      }
    }
    return best;
  }
};

class Run {
 public:
  Run(const std::uint8_t* data, std::size_t size, const std::filesystem::path& drive)
      : in_(data, size), drive_(drive), model_(describe()) {}

  void go() {
    const std::filesystem::path path = map_catalogue_path(model_.d.catalogue_path, drive_);
    std::vector<std::string> records = initial_records();
    std::string all;
    for (const std::string& r : records) all += r;
    std::istringstream bytes(all);
    std::size_t loaded = 0;
    AdminResult made = load_records(path, model_.d, bytes, loaded);
    check(made.ok && loaded == records.size(), "initial load: " + made.message);
    if (records.empty() && !std::filesystem::exists(path)) {
      check(create_file(path, model_.d).ok, "create an empty file");
    }
    for (std::size_t i = 0; i < records.size(); ++i) {
      model_.live[model_.key_of(records[i], 0)] = {static_cast<std::int64_t>(i + 1), records[i]};
    }

    a_mode_ = in_.ConsumeBool() ? OpenMode::input : OpenMode::input_output;
    a_ = open(a_mode_);
    b_ = open(OpenMode::input_output);
    c_ = open(OpenMode::input);
    for (step_ = 0; step_ < kMaxSteps && in_.remaining_bytes() > 0; ++step_) one_step();

    if (a_open_) expect(a_->close(), FileStatus::success(), "close of A");
    expect(b_->close(), FileStatus::success(), "close of B");
    expect(c_->close(), FileStatus::success(), "close of C");
    std::string expected;
    for (const auto& [primary, r] : model_.live) expected += r.bytes;
    std::ostringstream dumped;
    AdminResult dump = dump_records(path, model_.d, 0, dumped);
    check(dump.ok, "dump: " + dump.message);
    check(dumped.str() == expected,
          "records at the end: " + hex(dumped.str()) + " instead of " + hex(expected));
    std::vector<std::string> problems;
    AdminResult checked = check_file(path, model_.d, problems);
    check(checked.ok, "check: " + checked.message + (problems.empty() ? "" : ": " + problems[0]));
  }

 private:
  FileDescription describe() {
    FileDescription d;
    d.name = "FUZZ";
    d.catalogue_path = "\\F\\FUZZ.VRX";
    d.record_length = in_.ConsumeIntegralInRange<std::size_t>(2, 12);
    auto add_key = [&](std::size_t max_length, bool duplicates) {
      std::size_t offset = in_.ConsumeIntegralInRange<std::size_t>(0, d.record_length - 1);
      std::size_t length = in_.ConsumeIntegralInRange<std::size_t>(
          1, std::min(max_length, d.record_length - offset));
      d.keys.push_back({offset, length, duplicates});
    };
    add_key(4, false);
    std::size_t alternates = in_.ConsumeIntegralInRange<std::size_t>(0, 3);
    for (std::size_t n = 0; n < alternates; ++n) add_key(3, in_.ConsumeBool());
    return d;
  }

  char symbol() { return static_cast<char>(in_.PickValueInArray(kAlphabet)); }
  std::string symbols(std::size_t n) {
    std::string s;
    for (std::size_t i = 0; i < n; ++i) s += symbol();
    return s;
  }

  // Up to 24 records; one whose primary or unique alternate key is taken
  // already is left out.
  std::vector<std::string> initial_records() {
    std::vector<std::string> records;
    std::vector<std::set<std::string>> taken(model_.d.keys.size());
    std::size_t count = in_.ConsumeIntegralInRange<std::size_t>(0, 24);
    for (std::size_t i = 0; i < count; ++i) {
      std::string r = symbols(model_.d.record_length);
      bool clash = false;
      for (std::size_t k = 0; k < model_.d.keys.size(); ++k) {
        if (!model_.d.keys[k].duplicates && taken[k].count(model_.key_of(r, k)) != 0) clash = true;
      }
      if (clash) continue;
      for (std::size_t k = 0; k < model_.d.keys.size(); ++k) taken[k].insert(model_.key_of(r, k));
      records.push_back(r);
    }
    return records;
  }

  std::unique_ptr<IndexedFile> open(OpenMode mode) {
    OpenResult opened = SqliteFileStore(drive_).open(model_.d, mode);
    check(opened.status.ok() && opened.file != nullptr,
          "open: status " + status_text(opened.status));
    return std::move(opened.file);
  }

  // A record area with `primary` in key 0 and noise elsewhere.
  std::string area_for(const std::string& primary) {
    std::string area = symbols(model_.d.record_length);
    return area.replace(model_.d.keys[0].offset, model_.d.keys[0].length, primary);
  }
  // A primary key, mostly one that exists (live or deleted by A).
  std::string some_primary() {
    std::vector<std::string> known;
    for (const auto& [k, r] : model_.live) known.push_back(k);
    for (const auto& [k, r] : model_.pending) known.push_back(k);
    std::uint8_t pick = in_.ConsumeIntegral<std::uint8_t>();
    if (!known.empty() && pick < 200) return known[pick % known.size()];
    return symbols(model_.d.keys[0].length);
  }

  void expect(const FileStatus& got, const FileStatus& wanted, const std::string& what) {
    if (!(got == wanted)) {
      finding("step " + std::to_string(step_) + ": " + what + ": got \"" + status_text(got) +
              "\", wanted \"" + status_text(wanted) + "\"");
    }
  }
  void expect_bytes(const std::string& got, const std::string& wanted, const std::string& what) {
    if (got != wanted) {
      finding("step " + std::to_string(step_) + ": " + what + ": area " + hex(got) + ", wanted " +
              hex(wanted));
    }
  }

  // A read by B (locking) or C (testing only), as another program.
  void other_read(IndexedFile& file, bool locking) {
    Model& m = model_;
    std::string primary = some_primary();
    std::string area = area_for(primary);
    const std::string before = area;
    if (locking) m.b_lock.reset();
    FileStatus got = file.read(area);
    if (m.pending.count(primary) != 0) {
      // Deleted by A: held until A's group is committed, then gone.
      if (!got.locked() && !got.not_found()) {
        finding("step " + std::to_string(step_) + ": other read of a record A deleted: \"" +
                status_text(got) + "\"");
      }
      expect_bytes(area, before, "other read of a record A deleted");
      if (got.not_found()) m.pending.clear();  // the whole group is committed
      return;
    }
    const Record* r = m.find(primary);
    if (r == nullptr) {
      expect(got, FileStatus::no_record(), "other read of a missing record");
      expect_bytes(area, before, "other read of a missing record");
    } else if (r->seq == m.a_lock || (!locking && r->seq == m.b_lock)) {
      expect(got, FileStatus::record_locked(), "other read of a held record");
      expect_bytes(area, before, "other read of a held record");
    } else {
      expect(got, FileStatus::success(), "other read");
      expect_bytes(area, r->bytes, "other read");
      if (locking) m.b_lock = r->seq;
    }
  }

  // What A's calls answer while A is closed.
  void on_closed_a(std::uint8_t op) {
    std::string area = area_for(some_primary());
    switch (op % 7) {
      case 0:
        expect(a_->read(area), FileStatus::not_open(), "read on a closed file");
        break;
      case 1:
        expect(a_->start(0, area), FileStatus::not_open(), "start on a closed file");
        break;
      case 2:
        expect(a_->read_next(area), FileStatus::not_open(), "read next on a closed file");
        break;
      case 3:
        expect(a_->unlock(), FileStatus::not_open(), "unlock on a closed file");
        break;
      case 4:
        expect(a_->remove(area), FileStatus::not_open_for_update(), "delete on a closed file");
        break;
      case 5:
        expect(a_->close(), FileStatus::not_open_to_close(), "close of a closed file");
        break;
      default:  // open again, in any mode
        a_mode_ = in_.ConsumeBool() ? OpenMode::input : OpenMode::input_output;
        a_ = open(a_mode_);
        a_open_ = true;
        break;
    }
  }

  // A call of A with a record area of the wrong length: refused, nothing moves.
  void wrong_length() {
    std::size_t length = in_.ConsumeIntegralInRange<std::size_t>(0, 2 * model_.d.record_length);
    if (length == model_.d.record_length) ++length;
    std::string area = symbols(length);
    const std::string before = area;
    FileStatus got;
    switch (in_.ConsumeIntegralInRange(0, 3)) {
      case 0:
        got = a_->read(area);
        break;
      case 1:
        got = a_->start(0, area);
        break;
      case 2:
        got = a_->read_next(area);
        break;
      default:
        got = a_->remove(area);
        break;
    }
    if (got.ok() || got.locked()) {
      finding("step " + std::to_string(step_) + ": a record area of " + std::to_string(length) +
              " bytes was taken: \"" + status_text(got) + "\"");
    }
    expect_bytes(area, before, "a record area of the wrong length");
  }

  void one_step() {
    Model& m = model_;
    const std::uint8_t op = in_.ConsumeIntegral<std::uint8_t>();
    if (!a_open_) {
      on_closed_a(op);
      return;
    }
    const bool updating = a_mode_ == OpenMode::input_output;
    switch (op % 16) {
      case 0:
      case 1: {  // A: Read by key
        std::string primary = some_primary();
        std::string area = area_for(primary);
        const std::string before = area;
        m.a_lock.reset();
        m.position.valid = false;
        FileStatus got = a_->read(area);
        const Record* r = m.find(primary);
        if (r == nullptr) {
          expect(got, FileStatus::no_record(), "read of a missing record");
          expect_bytes(area, before, "read of a missing record");
        } else if (r->seq == m.b_lock) {
          expect(got, FileStatus::record_locked(), "read of a record B holds");
          expect_bytes(area, before, "read of a record B holds");
        } else {
          expect(got, FileStatus::success(), "read");
          expect_bytes(area, r->bytes, "read");
          if (updating) m.a_lock = r->seq;
          m.position = {true, 0, primary, r->seq};
        }
        break;
      }
      case 2:
      case 3: {  // A: Start on any key (one past the last, too)
        std::size_t key = in_.ConsumeIntegralInRange<std::size_t>(0, m.d.keys.size());
        std::string area = area_for(some_primary());
        m.position.valid = false;
        FileStatus got = a_->start(key, area);
        if (key >= m.d.keys.size()) {
          if (got.ok()) finding("step " + std::to_string(step_) + ": start on no such key");
          break;
        }
        std::string value = m.key_of(area, key);
        if (m.next_after(key, value, 0) == nullptr) {
          expect(got, FileStatus::no_record_to_start(), "start past the last record");
        } else {
          expect(got, FileStatus::success(), "start");
          m.position = {true, key, value, 0};
        }
        break;
      }
      case 4:
      case 5:
      case 6: {  // A: Read next
        std::string area = area_for(symbols(m.d.keys[0].length));
        const std::string before = area;
        m.a_lock.reset();
        FileStatus got = a_->read_next(area);
        if (!m.position.valid) {
          expect(got, FileStatus::no_position(), "read next without a position");
          expect_bytes(area, before, "read next without a position");
          break;
        }
        const Record* r = m.next_after(m.position.key, m.position.value, m.position.seq);
        if (r == nullptr) {
          expect(got, FileStatus::at_end_of_file(), "read next after the last");
          expect_bytes(area, before, "read next after the last");
          m.position.valid = false;
        } else if (r->seq == m.b_lock) {
          expect(got, FileStatus::record_locked(), "read next of a record B holds");
          expect_bytes(area, before, "read next of a record B holds");
        } else {
          expect(got, FileStatus::success(), "read next");
          expect_bytes(area, r->bytes, "read next");
          if (updating) m.a_lock = r->seq;
          m.position.value = m.key_of(r->bytes, m.position.key);
          m.position.seq = r->seq;
        }
        break;
      }
      case 7:
      case 8: {  // A: Delete
        std::string primary = some_primary();
        std::string area = area_for(primary);
        FileStatus got = a_->remove(area);
        const Record* r = m.find(primary);
        if (!updating) {
          expect(got, FileStatus::not_open_for_update(), "delete in input mode");
        } else if (r == nullptr) {
          expect(got, FileStatus::no_record(), "delete of a missing record");
        } else if (r->seq == m.b_lock) {
          expect(got, FileStatus::record_locked(), "delete of a record B holds");
        } else {
          expect(got, FileStatus::success(), "delete");
          if (m.a_lock == r->seq) m.a_lock.reset();
          m.pending[primary] = *r;
          m.live.erase(primary);
        }
        break;
      }
      case 9:  // A: Unlock or Commit
        if (in_.ConsumeBool()) {
          expect(a_->unlock(), FileStatus::success(), "unlock");
          m.a_lock.reset();
        } else {
          expect(a_->commit(), FileStatus::success(), "commit");
          m.pending.clear();
        }
        break;
      case 10:  // A: Close (committing)
        expect(a_->close(), FileStatus::success(), "close");
        a_open_ = false;
        m.pending.clear();
        m.a_lock.reset();
        m.position.valid = false;
        break;
      case 11:
        wrong_length();
        break;
      case 12:
        other_read(*b_, true);
        break;
      case 13:
        other_read(*c_, false);
        break;
      case 14:
        expect(b_->unlock(), FileStatus::success(), "unlock of B");
        m.b_lock.reset();
        break;
      default: {  // B deletes a record and commits, after A's group is committed
        expect(a_->commit(), FileStatus::success(), "commit");
        m.pending.clear();
        std::string primary = some_primary();
        std::string area = area_for(primary);
        FileStatus got = b_->remove(area);
        const Record* r = m.find(primary);
        if (r == nullptr) {
          expect(got, FileStatus::no_record(), "B's delete of a missing record");
        } else if (r->seq == m.a_lock) {
          expect(got, FileStatus::record_locked(), "B's delete of a record A holds");
        } else {
          expect(got, FileStatus::success(), "B's delete");
          if (m.b_lock == r->seq) m.b_lock.reset();
          m.live.erase(primary);
        }
        expect(b_->commit(), FileStatus::success(), "B's commit");
        break;
      }
    }
  }

  FuzzedDataProvider in_;
  std::filesystem::path drive_;
  Model model_;
  int step_ = 0;
  OpenMode a_mode_ = OpenMode::input_output;
  bool a_open_ = true;
  std::unique_ptr<IndexedFile> a_, b_, c_;
};

ScratchFolder* scratch = nullptr;

}  // namespace
}  // namespace vrx::fuzz

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  static vrx::fuzz::ScratchFolder folder;
  vrx::fuzz::scratch = &folder;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  vrx::fuzz::scratch->clear();
  vrx::fuzz::Run(data, size, vrx::fuzz::scratch->path()).go();
  return 0;
}
