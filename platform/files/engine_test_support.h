// Helpers for the engine's tests: a scratch folder per test, and records
// built from key values. Test-only; not part of the engine library.
#ifndef PLATFORM_FILES_ENGINE_TEST_SUPPORT_H_
#define PLATFORM_FILES_ENGINE_TEST_SUPPORT_H_

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "platform/files/indexed_file.h"
#include "platform/files/sqlite_store.h"

namespace vrx {

// Shows a status as its two characters and condition in test failures.
inline void PrintTo(const FileStatus& status, std::ostream* out) {
  *out << '"' << status.code() << '"'
       << (status.at_end()        ? " at end"
           : status.invalid_key() ? " invalid key"
                                  : "");
}

}  // namespace vrx

namespace vrx::testing {

// A fresh folder, removed with everything in it at the end of the test.
class ScratchFolder {
 public:
  ScratchFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vrx-engine-XXXXXX").string();
    path_ = ::mkdtemp(pattern.data());
  }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

inline FileDescription describe(std::string catalogue_path, std::size_t record_length,
                                std::vector<KeyDescription> keys) {
  return {"TESTE", std::move(catalogue_path), record_length, std::move(keys)};
}

// A record of `length` bytes filled with `fill`, with `parts` written at
// their offsets.
inline std::string make_record(std::size_t length,
                               const std::vector<std::pair<std::size_t, std::string>>& parts,
                               char fill = ' ') {
  std::string record(length, fill);
  for (const auto& [offset, bytes] : parts) record.replace(offset, bytes.size(), bytes);
  return record;
}

inline std::string concatenate(const std::vector<std::string>& records) {
  std::string all;
  for (const std::string& r : records) all += r;
  return all;
}

inline AdminResult load(const std::filesystem::path& path, const FileDescription& d,
                        const std::vector<std::string>& records) {
  std::istringstream in(concatenate(records));
  std::size_t loaded = 0;
  return load_records(path, d, in, loaded);
}

inline std::string dump(const std::filesystem::path& path, const FileDescription& d,
                        std::size_t key) {
  std::ostringstream out;
  AdminResult result = dump_records(path, d, key, out);
  return result.ok ? out.str() : "dump failed: " + result.message;
}

inline std::string file_bytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline std::set<std::string> names_in(const std::filesystem::path& folder) {
  std::set<std::string> names;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

// Makes every descriptor this process holds on `lock_file` fail from now on,
// as an I/O error on the lock file would: each is replaced by a read-only
// descriptor, on which taking or releasing a lock fails (EBADF). Returns how
// many were replaced.
inline int break_lock_file(const std::filesystem::path& lock_file) {
  int replaced = 0;
  std::error_code ec;
  const auto target = std::filesystem::canonical(lock_file, ec);
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd", ec)) {
    std::error_code link_ec;
    if (std::filesystem::read_symlink(entry.path(), link_ec) != target) continue;
    const int fd = std::stoi(entry.path().filename().string());
    const int read_only = ::open(target.c_str(), O_RDONLY | O_CLOEXEC);
    if (read_only >= 0 && ::dup2(read_only, fd) == fd) ++replaced;
    if (read_only >= 0) ::close(read_only);
  }
  return replaced;
}

}  // namespace vrx::testing

#endif  // PLATFORM_FILES_ENGINE_TEST_SUPPORT_H_
