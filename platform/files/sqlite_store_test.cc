// The SQLite backend seen from outside: how opens fail, the administrative
// operations, and deletion across every key of a file.
#include "platform/files/sqlite_store.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <random>

#include "platform/files/engine_test_support.h"

namespace vrx {
namespace {

using testing::describe;
using testing::make_record;

FileDescription small_file() {
  return describe("\\Dados\\PEQUENO.VRX", 40, {{0, 4, false}, {4, 6, true}, {10, 5, false}});
}

std::vector<std::string> small_records(int count) {
  std::vector<std::string> records;
  for (int i = 0; i < count; ++i) {
    char code[16], group[16], alt[16];
    std::snprintf(code, sizeof code, "%04d", (i * 37) % 1000);  // not in key order
    std::snprintf(group, sizeof group, "G%05d", i % 7);
    std::snprintf(alt, sizeof alt, "A%04d", i);
    records.push_back(make_record(40, {{0, code}, {4, group}, {10, alt}, {15, "data"}}));
  }
  return records;
}

TEST(DriveMapping, MapsTheCatalogueFolderUnderTheDrive) {
  EXPECT_EQ(map_catalogue_path("\\VantrexoSistemica\\ORV\\Arquivos\\PRODUTO.VRX", "/srv/c"),
            std::filesystem::path("/srv/c/VantrexoSistemica/ORV/Arquivos/PRODUTO.VRX"));
  EXPECT_EQ(map_catalogue_path("\\Dados\\produto.Vrx", "/"),
            std::filesystem::path("/Dados/produto.Vrx"));

  const char* saved = std::getenv("VANTREXO_DRIVE");
  std::string saved_value = saved ? saved : "";
  ::setenv("VANTREXO_DRIVE", "/mnt/drive", 1);
  EXPECT_EQ(drive_from_environment(), std::filesystem::path("/mnt/drive"));
  ::setenv("VANTREXO_DRIVE", "", 1);
  EXPECT_EQ(drive_from_environment(), std::filesystem::path("/"));
  ::unsetenv("VANTREXO_DRIVE");
  EXPECT_EQ(drive_from_environment(), std::filesystem::path("/"));
  if (saved) ::setenv("VANTREXO_DRIVE", saved_value.c_str(), 1);
}

// One kind of unusable file per row. A failed open must leave the file
// byte for byte as it was and create nothing beside it.
TEST(OpenStatus, TellsTheKindsOfUnusableFileApart) {
  const FileDescription wanted = small_file();
  struct Row {
    const char* what;
    std::function<void(const std::filesystem::path&)> make;
    OpenMode mode;
    const char* expected;
    bool needs_non_root = false;
  };
  auto write_bytes = [](const std::filesystem::path& p, const std::string& bytes) {
    std::ofstream(p, std::ios::binary) << bytes;
  };
  auto our_file = [](const std::filesystem::path& p, const FileDescription& d) {
    ASSERT_TRUE(testing::load(p, d, small_records(300)).ok);
    std::filesystem::remove(p.string() + ".lck");
  };
  std::mt19937 random(7);
  std::string noise(8192, '\0');
  for (char& c : noise) c = static_cast<char>(random());

  const Row rows[] = {
      {"missing", [](const auto&) {}, OpenMode::input, "35"},
      {"missing, input-output", [](const auto&) {}, OpenMode::input_output, "35"},
      {"directory", [](const auto& p) { std::filesystem::create_directory(p); }, OpenMode::input,
       "37"},
      {"zero length", [&](const auto& p) { write_bytes(p, ""); }, OpenMode::input, "30"},
      {"zero length, input-output", [&](const auto& p) { write_bytes(p, ""); },
       OpenMode::input_output, "30"},
      {"random bytes", [&](const auto& p) { write_bytes(p, noise); }, OpenMode::input_output, "30"},
      {"truncated database",
       [&](const auto& p) {
         our_file(p, wanted);
         std::filesystem::resize_file(p, std::filesystem::file_size(p) - 4096);
       },
       OpenMode::input, "30"},
      {"database cut inside a page",
       [&](const auto& p) {
         our_file(p, wanted);
         std::filesystem::resize_file(p, std::filesystem::file_size(p) - 100);
       },
       OpenMode::input_output, "30"},
      {"foreign SQLite database",
       [](const auto& p) {
         sqlite3* db = nullptr;
         sqlite3_open(p.c_str(), &db);
         sqlite3_exec(db, "CREATE TABLE t(x); INSERT INTO t VALUES(1);", nullptr, nullptr, nullptr);
         sqlite3_close(db);
       },
       OpenMode::input, "39"},
      {"our file with another record length",
       [&](const auto& p) {
         FileDescription other = wanted;
         other.record_length = 41;
         ASSERT_TRUE(create_file(p, other).ok);
       },
       OpenMode::input, "39"},
      {"our file with other keys",
       [&](const auto& p) {
         FileDescription other = wanted;
         other.keys[1].duplicates = false;
         ASSERT_TRUE(create_file(p, other).ok);
       },
       OpenMode::input_output, "39"},
      {"input-output on a read-only file",
       [&](const auto& p) {
         our_file(p, wanted);
         std::filesystem::permissions(p, std::filesystem::perms::owner_read);
       },
       OpenMode::input_output, "37"},
      {"no permission to read",
       [&](const auto& p) {
         our_file(p, wanted);
         std::filesystem::permissions(p, std::filesystem::perms::none);
       },
       OpenMode::input, "37", true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    if (row.needs_non_root && ::geteuid() == 0) {
      continue;  // root reads whatever the permissions say
    }
    testing::ScratchFolder drive;
    std::filesystem::path path = map_catalogue_path(wanted.catalogue_path, drive.path());
    std::filesystem::create_directories(path.parent_path());
    row.make(path);
    std::filesystem::permissions(path.parent_path(), std::filesystem::perms::owner_all);
    std::set<std::string> names_before = testing::names_in(path.parent_path());
    bool regular = std::filesystem::is_regular_file(path);
    std::string bytes_before = regular ? testing::file_bytes(path) : "";

    SqliteFileStore store(drive.path());
    OpenResult opened = store.open(wanted, row.mode);
    EXPECT_EQ(opened.status.code(), row.expected);
    EXPECT_EQ(opened.file, nullptr);
    EXPECT_EQ(testing::names_in(path.parent_path()), names_before);
    if (regular) {
      std::filesystem::permissions(path, std::filesystem::perms::owner_read);
      EXPECT_EQ(testing::file_bytes(path), bytes_before);
    }
  }
}

TEST(OpenStatus, OpensASoundFileInBothModesAndMakesTheLockFileWhenMissing) {
  testing::ScratchFolder drive;
  const FileDescription d = small_file();
  std::filesystem::path path = map_catalogue_path(d.catalogue_path, drive.path());
  ASSERT_TRUE(testing::load(path, d, small_records(10)).ok);
  std::filesystem::remove(path.string() + ".lck");
  SqliteFileStore store(drive.path());
  for (OpenMode mode : {OpenMode::input, OpenMode::input_output}) {
    OpenResult opened = store.open(d, mode);
    ASSERT_TRUE(opened.status.ok()) << opened.status.code();
    EXPECT_TRUE(std::filesystem::exists(path.string() + ".lck"));
    EXPECT_TRUE(opened.file->close().ok());
    EXPECT_EQ(opened.file->close().code(), "42");
    std::string area(40, ' ');
    EXPECT_EQ(opened.file->read(area).code(), "47");
    EXPECT_EQ(opened.file->remove(area).code(), "49");
  }
  // The journal mode chosen at creation stays.
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
  sqlite3_stmt* mode = nullptr;
  sqlite3_prepare_v2(db, "PRAGMA journal_mode", -1, &mode, nullptr);
  ASSERT_EQ(sqlite3_step(mode), SQLITE_ROW);
  EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(mode, 0)), "wal");
  sqlite3_finalize(mode);
  sqlite3_close(db);
}

TEST(Admin, LoadThenDumpGivesTheRecordsBackInKeyOrder) {
  testing::ScratchFolder folder;
  const FileDescription d = small_file();
  std::filesystem::path first = folder.path() / "a" / "b" / "FIRST.VRX";
  std::vector<std::string> records = small_records(200);
  records.push_back(make_record(40, {{0, std::string("\xFF\x00\x80\x01", 4)},
                                     {4, std::string("\x00\x00\x00\x00\x00\x00", 6)},
                                     {10, "\xE7\xE3o  "}}));
  ASSERT_TRUE(testing::load(first, d, records).ok);

  // Key 0 gives the records in byte order of the primary key.
  std::vector<std::string> by_primary = records;
  std::sort(by_primary.begin(), by_primary.end(), [](const std::string& a, const std::string& b) {
    return a.compare(0, 4, b, 0, 4) < 0;
  });
  std::string dumped = testing::dump(first, d, 0);
  EXPECT_EQ(dumped, testing::concatenate(by_primary));

  // Key 1 has duplicates: equal keys in write (load) order.
  std::vector<std::string> by_group = records;
  std::stable_sort(
      by_group.begin(), by_group.end(),
      [](const std::string& a, const std::string& b) { return a.compare(4, 6, b, 4, 6) < 0; });
  EXPECT_EQ(testing::dump(first, d, 1), testing::concatenate(by_group));

  // dump | load | dump is the identity.
  std::filesystem::path second = folder.path() / "SECOND.VRX";
  std::istringstream in(dumped);
  std::size_t loaded = 0;
  ASSERT_TRUE(load_records(second, d, in, loaded).ok);
  EXPECT_EQ(loaded, records.size());
  EXPECT_EQ(testing::dump(second, d, 0), dumped);

  std::vector<std::string> problems;
  EXPECT_TRUE(check_file(second, d, problems).ok);
  EXPECT_TRUE(problems.empty());
}

TEST(Admin, RejectedLoadChangesNothing) {
  testing::ScratchFolder folder;
  const FileDescription d = small_file();
  const std::vector<std::string> base = small_records(5);
  struct Case {
    const char* what;
    std::string input;
    const char* record_named;
    bool rejected_on_its_own;  // even into an empty file
  };
  std::string fresh_a = make_record(40, {{0, "9001"}, {4, "G00000"}, {10, "Z0001"}});
  std::string fresh_b = make_record(40, {{0, "9002"}, {4, "G00000"}, {10, "Z0002"}});
  const Case cases[] = {
      {"short final record", fresh_a + fresh_b + std::string(39, 'x'), "record 3", true},
      {"primary key present", fresh_a + base[2], "record 2", false},
      {"primary key twice in the input", fresh_a + fresh_b + fresh_a, "record 3", true},
      {"unique alternate key present",
       fresh_a + make_record(40, {{0, "9003"}, {4, "G00000"}, {10, base[1].substr(10, 5)}}),
       "record 2", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    // Into an existing file: its records stay exactly as they were.
    std::filesystem::path existing = folder.path() / "EXISTING.VRX";
    std::filesystem::remove(existing);
    ASSERT_TRUE(testing::load(existing, d, base).ok);
    std::string before = testing::dump(existing, d, 0);
    std::istringstream in(c.input);
    std::size_t loaded = 99;
    AdminResult result = load_records(existing, d, in, loaded);
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.message.find(c.record_named), std::string::npos) << result.message;
    EXPECT_EQ(loaded, 0u);
    EXPECT_EQ(testing::dump(existing, d, 0), before);

    // Into no file: none is left behind.
    if (!c.rejected_on_its_own) continue;
    std::filesystem::path absent = folder.path() / "new" / "ABSENT.VRX";
    std::istringstream again(c.input);
    EXPECT_FALSE(load_records(absent, d, again, loaded).ok);
    EXPECT_FALSE(std::filesystem::exists(absent));
    EXPECT_FALSE(std::filesystem::exists(absent.string() + ".lck"));
  }
  EXPECT_FALSE(create_file(folder.path() / "EXISTING.VRX", d).ok);
}

TEST(Admin, CheckFindsAKeyThatNoLongerMatchesItsRecord) {
  testing::ScratchFolder folder;
  const FileDescription d = small_file();
  std::filesystem::path path = folder.path() / "CHECK.VRX";
  ASSERT_TRUE(testing::load(path, d, small_records(20)).ok);
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db, "UPDATE records SET k1 = x'000000000000' WHERE seq = 3", nullptr,
                         nullptr, nullptr),
            SQLITE_OK);
  sqlite3_close(db);
  std::vector<std::string> problems;
  EXPECT_FALSE(check_file(path, d, problems).ok);
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_NE(problems[0].find("key 1"), std::string::npos) << problems[0];

  FileDescription other = d;
  other.record_length = 50;
  EXPECT_FALSE(check_file(path, other, problems).ok);
}

// A file shaped like the product file: five keys, four admitting duplicates.
TEST(Deletion, LeavesNoKeyThatFindsTheRecordAndKeepsDuplicatesInWriteOrder) {
  const FileDescription d =
      describe("\\Arquivos\\PRODUTO.VRX", 778,
               {{0, 6, false}, {6, 18, true}, {24, 18, true}, {42, 46, true}, {88, 9, true}});
  auto product = [](const char* code, const char* brand, char filler) {
    return make_record(778, {{0, code},
                             {6, std::string(18, filler)},
                             {24, std::string(18, filler)},
                             {42, std::string("DESC ") + code},
                             {88, brand}});
  };
  // Write order differs from primary key order on purpose.
  std::vector<std::string> records = {
      product("000300", "MARCA0001", 'a'), product("000100", "MARCA0001", 'b'),
      product("000200", "MARCA0002", 'a'), product("000050", "MARCA0001", 'c'),
      product("000400", "MARCA0001", 'a')};
  testing::ScratchFolder drive;
  ASSERT_TRUE(testing::load(map_catalogue_path(d.catalogue_path, drive.path()), d, records).ok);
  SqliteFileStore store(drive.path());
  OpenResult opened = store.open(d, OpenMode::input_output);
  ASSERT_TRUE(opened.status.ok());
  IndexedFile& file = *opened.file;

  auto read_all_from = [&](std::size_t key, const std::string& from) {
    std::vector<std::string> seen;
    std::string area = from;
    if (!file.start(key, area).ok()) return seen;
    while (file.read_next(area).ok()) seen.push_back(area);
    return seen;
  };
  std::string lowest(778, '\0');
  EXPECT_EQ(read_all_from(4, product("000000", "MARCA0001", ' ')),
            (std::vector<std::string>{records[0], records[1], records[3], records[4], records[2]}));

  const std::string victim = records[1];
  ASSERT_TRUE(file.remove(victim).ok());
  ASSERT_TRUE(file.commit().ok());
  std::string area = victim;
  EXPECT_EQ(file.read(area).code(), "23");
  for (std::size_t key = 0; key < d.keys.size(); ++key) {
    SCOPED_TRACE("key " + std::to_string(key));
    std::vector<std::string> seen = read_all_from(key, lowest);
    EXPECT_EQ(seen.size(), records.size() - 1);
    EXPECT_EQ(std::count(seen.begin(), seen.end(), victim), 0);
    // Start on exactly the victim's key value finds the next one, not it.
    area = victim;
    if (file.start(key, area).ok()) {
      ASSERT_TRUE(file.read_next(area).ok());
      EXPECT_NE(area, victim);
    }
  }
  EXPECT_EQ(read_all_from(4, product("000000", "MARCA0001", ' ')),
            (std::vector<std::string>{records[0], records[3], records[4], records[2]}));
  EXPECT_TRUE(file.close().ok());
  std::vector<std::string> problems;
  EXPECT_TRUE(check_file(map_catalogue_path(d.catalogue_path, drive.path()), d, problems).ok);
}

// A full disk is a status, not a crash, and costs at most the deletions not
// yet committed. A limit on the size of files written stands in for the full
// disk, in a child process so that the limit stays there.
TEST(Deletion, FullDiskGivesStatus30AndLeavesTheFileSound) {
  testing::ScratchFolder drive;
  const FileDescription d = small_file();
  std::filesystem::path path = map_catalogue_path(d.catalogue_path, drive.path());
  ASSERT_TRUE(testing::load(path, d, small_records(1000)).ok);
  const std::string before = testing::dump(path, d, 0);

  pid_t child = ::fork();
  if (child == 0) {
    OpenResult opened = SqliteFileStore(drive.path()).open(d, OpenMode::input_output);
    if (!opened.status.ok()) ::_exit(1);
    ::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit = {16 * 1024, 16 * 1024};  // the log cannot grow past 16 KiB
    ::setrlimit(RLIMIT_FSIZE, &limit);
    std::string area(40, '\0');
    if (!opened.file->start(0, area).ok()) ::_exit(2);
    FileStatus last;
    while ((last = opened.file->read_next(area)).ok() && (last = opened.file->remove(area)).ok()) {
    }
    if (last.code() == "30") ::_exit(0);                    // failed while deleting
    if (last.code() != "10") ::_exit(3);                    // something else went wrong
    ::_exit(opened.file->commit().code() == "30" ? 0 : 4);  // or when committing
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);

  std::vector<std::string> problems;
  EXPECT_TRUE(check_file(path, d, problems).ok) << (problems.empty() ? "" : problems[0]);
  EXPECT_EQ(testing::dump(path, d, 0), before);  // the failed group was rolled back
}

// A commit that meets a full disk reports it, and none of its deletions is
// done: the records stay, free for others. Nothing is left over for a later
// operation to report, and the handle goes on deleting and committing.
TEST(Deletion, CommitThatMeetsAFullDiskUndoesItsDeletionsAndReportsThem) {
  testing::ScratchFolder drive;
  const FileDescription d =
      describe("\\Dados\\GRANDE.VRX", 2000, {{0, 4, false}, {4, 6, true}, {10, 5, false}});
  std::vector<std::string> records;
  for (int i = 0; i < 500; ++i) {
    char code[16], group[16], alt[16];
    std::snprintf(code, sizeof code, "%04d", i);
    std::snprintf(group, sizeof group, "G%05d", i % 7);
    std::snprintf(alt, sizeof alt, "A%04d", i);
    records.push_back(make_record(2000, {{0, code}, {4, group}, {10, alt}}));
  }
  std::filesystem::path path = map_catalogue_path(d.catalogue_path, drive.path());
  ASSERT_TRUE(testing::load(path, d, records).ok);

  pid_t child = ::fork();
  if (child == 0) {
    SqliteFileStore store(drive.path());
    OpenResult opened = store.open(d, OpenMode::input_output);
    OpenResult other = store.open(d, OpenMode::input_output);
    if (!opened.status.ok() || !other.status.ok()) ::_exit(1);
    IndexedFile& file = *opened.file;
    ::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit = {16 * 1024, RLIM_INFINITY};  // the log cannot grow past 16 KiB
    ::setrlimit(RLIMIT_FSIZE, &limit);
    for (std::size_t n = 0; n + 1 < records.size(); ++n) {
      if (!file.remove(records[n]).ok()) ::_exit(2);
    }
    if (file.commit().code() != "30") ::_exit(3);
    limit.rlim_cur = RLIM_INFINITY;
    ::setrlimit(RLIMIT_FSIZE, &limit);
    std::string area = records[0];
    if (!other.file->read(area).ok() || !other.file->unlock().ok()) ::_exit(4);  // free again
    if (!file.unlock().ok()) ::_exit(5);  // nothing left over to report
    if (!file.remove(records.back()).ok()) ::_exit(6);
    if (!file.commit().ok()) ::_exit(7);
    ::_exit(file.close().ok() && other.file->close().ok() ? 0 : 8);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);

  // The failed commit's deletions are undone; the one after it stays.
  std::vector<std::string> problems;
  EXPECT_TRUE(check_file(path, d, problems).ok) << (problems.empty() ? "" : problems[0]);
  records.pop_back();
  const std::string after = testing::dump(path, d, 0);
  EXPECT_EQ(after.size() / 2000, records.size());
  EXPECT_TRUE(after == testing::concatenate(records));
}

}  // namespace
}  // namespace vrx
