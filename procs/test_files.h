// Data files for tests: a temporary drive holding the six files made with
// the engine, record builders for the fields the program uses, dumps of a
// file in key order, and a second program that holds record locks.
#ifndef PROCS_TEST_FILES_H_
#define PROCS_TEST_FILES_H_

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "data/catalogue.h"
#include "data/record.h"
#include "data/record_layouts.h"
#include "platform/files/sqlite_store.h"

namespace dravel::testing {

// Record builders. Every byte the program does not use is filled with a
// pattern, so that a dump shows whether a record was kept byte for byte.
inline std::string filled(std::size_t length, char fill = '.') { return std::string(length, fill); }

inline std::string paramet_record(std::string_view key) {
  std::string r = filled(layout::paramet::record_length);
  r.replace(0, 1, key.substr(0, 1));
  return r;
}

inline std::string usuario_record(std::string_view name) {
  Record r(layout::usuario::record_length);
  r.set_bytes({0, layout::usuario::record_length}, filled(layout::usuario::record_length));
  r.set_text(layout::usuario::usu_nome, name);
  return {r.area().begin(), r.area().end()};
}

// `tail` is the three characters after the description in the unique
// alternate key.
inline std::string tabemar_record(std::string_view code, std::string_view description,
                                  std::string_view tail = "...") {
  Record r(layout::tabemar::record_length);
  r.set_text(layout::tabemar::mar_codimar, code);
  r.set_text(layout::tabemar::mar_descmar, description);
  r.set_text({28, 3}, tail);
  return {r.area().begin(), r.area().end()};
}

inline std::string produto_record(std::string_view code, std::string_view brand,
                                  std::string_view description,
                                  std::string_view compl_marca = "000001") {
  Record r(layout::produto::record_length);
  r.set_bytes({0, layout::produto::record_length}, filled(layout::produto::record_length));
  r.set_text(layout::produto::pro_codipro, code);
  r.set_text(layout::produto::pro_descpro, description);
  r.set_text(layout::produto::pro_codimar, brand);
  r.set_text(layout::produto::pro_compl_marca, compl_marca);
  return {r.area().begin(), r.area().end()};
}

// A history record of `code`; `sequence` fills the 15 characters after it.
inline std::string history_record(std::size_t length, std::string_view code,
                                  std::string_view sequence) {
  Record r(length);
  r.set_bytes({0, length}, filled(length));
  r.set_text(layout::history::codipro, code);
  r.set_text({6, 15}, sequence);
  return {r.area().begin(), r.area().end()};
}
inline std::string histval_record(std::string_view code, std::string_view sequence) {
  return history_record(layout::histval::record_length, code, sequence);
}
inline std::string histmov_record(std::string_view code, std::string_view sequence) {
  return history_record(layout::histmov::record_length, code, sequence);
}

// A drive in a fresh temporary folder, removed afterwards.
class TestDrive {
 public:
  TestDrive() : TestDrive(std::filesystem::temp_directory_path()) {}
  // In a fresh folder under `parent`.
  explicit TestDrive(const std::filesystem::path& parent) {
    std::string pattern = (parent / "dravel-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    root_ = pattern;
  }
  ~TestDrive() {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }
  TestDrive(const TestDrive&) = delete;
  TestDrive& operator=(const TestDrive&) = delete;

  const std::filesystem::path& root() const { return root_; }
  std::filesystem::path path_of(FileId file) const {
    return vrx::map_catalogue_path(describe(file).catalogue_path, root_);
  }

  // Creates the file with these records (an empty file for none).
  void load(FileId file, const std::vector<std::string>& records) {
    const std::filesystem::path path = path_of(file);
    std::filesystem::create_directories(path.parent_path());
    std::string all;
    for (const auto& r : records) all += r;
    std::istringstream in(all);
    std::size_t loaded = 0;
    const vrx::AdminResult result = vrx::load_records(path, describe(file), in, loaded);
    if (!result.ok) throw std::runtime_error("load " + describe(file).name + ": " + result.message);
    if (records.empty() && !std::filesystem::exists(path)) {
      const vrx::AdminResult created = vrx::create_file(path, describe(file));
      if (!created.ok) throw std::runtime_error("create: " + created.message);
    }
  }

  // All six files, PARAMET with its record "1" and USUARIO with `user`.
  void load_standard(std::string_view user) {
    load(FileId::paramet, {paramet_record("1")});
    load(FileId::usuario, {usuario_record(user)});
    load(FileId::tabemar, {});
    load(FileId::produto, {});
    load(FileId::histmov, {});
    load(FileId::histval, {});
  }

  void remove(FileId file) { std::filesystem::remove(path_of(file)); }
  // Replaces the file with bytes that are no database at all.
  void damage(FileId file) {
    remove(file);
    std::ofstream out(path_of(file), std::ios::binary);
    out << std::string(4096, 'x');
  }

  // The records in the order of `key`.
  std::vector<std::string> dump(FileId file, std::size_t key = 0) const {
    std::ostringstream out;
    const vrx::AdminResult result = vrx::dump_records(path_of(file), describe(file), key, out);
    if (!result.ok) throw std::runtime_error("dump " + describe(file).name + ": " + result.message);
    const std::string all = out.str();
    const std::size_t length = describe(file).record_length;
    std::vector<std::string> records;
    for (std::size_t at = 0; at + length <= all.size(); at += length) {
      records.push_back(all.substr(at, length));
    }
    return records;
  }
  // The first `width` characters of every record, in primary-key order.
  std::vector<std::string> keys(FileId file, std::size_t width) const {
    std::vector<std::string> k;
    for (const auto& r : dump(file)) k.push_back(r.substr(0, width));
    return k;
  }

 private:
  std::filesystem::path root_;
};

// Another program of the system: holds the lock of one record by reading it
// through its own handle opened for input-output, until released. It works
// on a thread of its own, as another program would not share the test's.
class OtherProgram {
 public:
  explicit OtherProgram(const TestDrive& drive) : store_(drive.root()) {}

  // Locks the record of `file` whose primary key is `key` (the record's
  // leading characters). Returns the read status code.
  std::string lock(FileId file, std::string_view key) {
    std::string code;
    elsewhere([&] {
      vrx::OpenResult opened = store_.open(describe(file), vrx::OpenMode::input_output);
      if (!opened.status.ok()) {
        code = opened.status.code();
        return;
      }
      std::string area(describe(file).record_length, ' ');
      area.replace(0, key.size(), key);
      code = opened.file->read(vrx::RecordArea(area.data(), area.size())).code();
      held_.push_back(std::move(opened.file));
    });
    return code;
  }
  void release_all() {
    elsewhere([&] {
      for (auto& h : held_) h->close();
      held_.clear();
    });
  }
  ~OtherProgram() { release_all(); }

 private:
  template <typename Work>
  static void elsewhere(Work work) {
    std::thread other(work);
    other.join();
  }

  vrx::SqliteFileStore store_;
  std::vector<std::unique_ptr<vrx::IndexedFile>> held_;
};

}  // namespace dravel::testing

#endif  // PROCS_TEST_FILES_H_
