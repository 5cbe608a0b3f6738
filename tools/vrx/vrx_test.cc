#include "tools/vrx/vrx.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "data/catalogue.h"
#include "tools/vrx/vrx_testing.h"

namespace vrx::tool {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;
using testing::TempDrive;
using testing::VrxRun;

// Overwrites bytes of `record` from `offset`, keeping its length.
void put(std::string& record, std::size_t offset, std::string_view bytes) {
  std::copy(bytes.begin(), bytes.end(), record.begin() + static_cast<std::ptrdiff_t>(offset));
}

// A PRODUTO record whose bytes run through all 256 values, with its primary
// key and brand key (alternate key 4) set.

std::string produto(std::string_view primary, std::string_view brand_key, int seed) {
  std::string r(dravel::find_file("PRODUTO")->record_length, '\0');
  for (std::size_t i = 0; i < r.size(); ++i) {
    r[i] = static_cast<char>((i * 7 + static_cast<std::size_t>(seed) * 13) & 0xFF);
  }
  put(r, 0, primary);
  put(r, 42, "L\xE2mpada S\xE3o Jo\xE3o");
  put(r, 88, brand_key);
  return r;
}

std::string tabemar(std::string_view code, std::string_view description) {
  std::string r(31, ' ');
  put(r, 0, code);
  put(r, 3, description);
  return r;
}

std::string concat(const std::vector<std::string>& records) {
  std::string all;
  for (const std::string& r : records) all += r;
  return all;
}

// Records in the order of the key at [offset, offset + length); equal keys
// keep their order (write order).
std::string in_key_order(std::vector<std::string> records, std::size_t offset, std::size_t length) {
  std::stable_sort(records.begin(), records.end(), [&](const std::string& a, const std::string& b) {
    return std::string_view(a).substr(offset, length) < std::string_view(b).substr(offset, length);
  });
  return concat(records);
}

TEST(VrxLoadDump, DumpLoadDumpIsTheIdentityInEveryKeyOrder) {
  const std::vector<std::string> records = {
      produto("000200", "B01000001", 1),
      produto(std::string("\0\0\0\0\0\x01", 6), "A01000000", 2),
      produto("\xFF\xFF\xFF\xFF\xFF\xFF", "B01000001", 3),  // same brand key as the first
      produto("000100", std::string(9, '\0'), 4),
      produto("\x80"
              "00000",
              "\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF", 5),
  };
  TempDrive drive;
  const VrxRun load = drive.vrx({"load", "PRODUTO"}, concat(records));
  ASSERT_EQ(load.exit_code, 0) << load.err;
  EXPECT_EQ(load.err, "");

  const VrxRun dump = drive.vrx({"dump", "PRODUTO"});
  ASSERT_EQ(dump.exit_code, 0) << dump.err;
  EXPECT_EQ(dump.out, in_key_order(records, 0, 6));  // unsigned byte order: 0x00 < '0' < 0x80
  const VrxRun by_brand = drive.vrx({"dump", "PRODUTO", "--key", "4"});
  ASSERT_EQ(by_brand.exit_code, 0) << by_brand.err;
  EXPECT_EQ(by_brand.out, in_key_order(records, 88, 9));

  // Into an empty file, this time from a FILE argument.
  TempDrive second;
  const std::filesystem::path unload = second.path() / "produto.unl";
  std::ofstream(unload, std::ios::binary) << dump.out;
  ASSERT_EQ(second.vrx({"load", "PRODUTO", unload.string()}).exit_code, 0);
  EXPECT_EQ(second.vrx({"dump", "PRODUTO"}).out, dump.out);
}

struct RejectedLoad {
  const char* what;
  std::vector<std::string> in_file;
  std::string input;
  const char* record_number;
};

TEST(VrxLoadDump, RejectedLoadNamesTheRecordAndChangesNothing) {
  const std::vector<RejectedLoad> cases = {
      {"short final record",
       {tabemar("A01", "Alfa")},
       tabemar("B01", "Beta") + tabemar("C01", "Gama") + tabemar("D01", "Del").substr(0, 10),
       "3"},
      {"primary key twice in the input",
       {tabemar("A01", "Alfa")},
       tabemar("B01", "Beta") + tabemar("C01", "Gama") + tabemar("B01", "Delta"),
       "3"},
      {"primary key already in the file",
       {tabemar("A01", "Alfa")},
       tabemar("B01", "Beta") + tabemar("A01", "Outra"),
       "2"},
      {"unique alternate key already in the file",
       {tabemar("A01", "El\xE9trica Paran\xE1")},
       tabemar("B01", "Beta") + tabemar("C01", "El\xE9trica Paran\xE1"),
       "2"},
      {"unique alternate key twice in the input",
       {tabemar("A01", "Alfa")},
       tabemar("B01", "Beta") + tabemar("C01", "Beta"),
       "2"},
  };
  for (const RejectedLoad& c : cases) {
    SCOPED_TRACE(c.what);
    TempDrive drive;
    ASSERT_EQ(drive.vrx({"load", "TABEMAR"}, concat(c.in_file)).exit_code, 0);
    const std::string before = drive.vrx({"dump", "TABEMAR"}).out;

    const VrxRun load = drive.vrx({"load", "TABEMAR"}, c.input);
    EXPECT_EQ(load.exit_code, 1);
    EXPECT_THAT(load.err, StartsWith("vrx: TABEMAR: "));
    EXPECT_TRUE(
        std::regex_search(load.err, std::regex(std::string("\\b") + c.record_number + "\\b")))
        << load.err;
    EXPECT_EQ(drive.vrx({"dump", "TABEMAR"}).out, before);
    EXPECT_EQ(drive.vrx({"check", "TABEMAR"}).exit_code, 0);
  }
}

TEST(VrxUsage, MistakesOnTheCommandLineExitTwoWithAMessage) {
  struct Case {
    std::vector<std::string> args;
    std::string message;
  };
  const std::vector<Case> cases = {
      {{}, "vrx: "},
      {{"frobnicate"}, "vrx: "},
      {{"dump", "NOPE"},
       "vrx: NOPE: unknown file name; valid names: PARAMET, USUARIO, TABEMAR, PRODUTO, HISTMOV, "
       "HISTVAL\n"},
      {{"dump", "produto"}, "vrx: produto: unknown file name"},
      {{"dump", "PRODUTO", "--key", "5"}, "vrx: PRODUTO: no key 5; the keys are 0 to 4\n"},
      {{"dump", "TABEMAR", "--key", "x"}, "vrx: TABEMAR: no key x; the keys are 0 to 1\n"},
      {{"dump", "TABEMAR", "--key", "-1"}, "vrx: TABEMAR: no key -1; the keys are 0 to 1\n"},
      {{"dump", "TABEMAR", "--key", "18446744073709551616"}, "vrx: TABEMAR: no key 1844"},
      {{"dump"}, "vrx: "},
      {{"load"}, "vrx: "},
      {{"check"}, "vrx: "},
      {{"create"}, "vrx: create: give either a file NAME or --all\n"},
      {{"create", "PRODUTO", "--all"}, "vrx: create: give either a file NAME or --all\n"},
      {{"lock", "PRODUTO"}, "vrx: "},
      {{"lock", "PRODUTO", "1234567"}, "vrx: PRODUTO: key \"1234567\" is longer than"},
      {{"lock", "TABEMAR", "\xE4\xB8\xAD"}, "vrx: TABEMAR: key"},
      {{"lock", "HISTXXX", "1"}, "vrx: HISTXXX: unknown file name"},
  };
  TempDrive drive;
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    const VrxRun r = drive.vrx(c.args);
    EXPECT_EQ(r.exit_code, 2);
    EXPECT_THAT(r.err, StartsWith(c.message));
    EXPECT_EQ(r.out, "");
  }
  EXPECT_TRUE(std::filesystem::is_empty(drive.path()));
}

TEST(VrxUsage, HelpOnEveryLevel) {
  for (const std::vector<std::string>& args : {std::vector<std::string>{"vrx", "--help"},
                                               {"vrx", "load", "--help"},
                                               {"vrx", "dump", "--help"},
                                               {"vrx", "lock", "-h"},
                                               {"vrx", "demo", "--help"}}) {
    const VrxRun r = TempDrive::run(args);
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_THAT(r.out, HasSubstr("Usage"));
    EXPECT_EQ(r.err, "");
  }
  EXPECT_THAT(TempDrive::run({"vrx", "dump", "--help"}).out, HasSubstr("--key"));
}

TEST(VrxCreate, CreatesEmptyFilesAndNeverOverwrites) {
  TempDrive drive;
  ASSERT_EQ(drive.vrx({"load", "TABEMAR"}, tabemar("A01", "Alfa")).exit_code, 0);
  const std::string before = testing::read_bytes(drive.file("TABEMAR"));

  const VrxRun all = drive.vrx({"create", "--all"});
  EXPECT_EQ(all.exit_code, 1);  // TABEMAR exists
  EXPECT_THAT(all.err, StartsWith("vrx: TABEMAR: "));
  EXPECT_EQ(testing::read_bytes(drive.file("TABEMAR")), before);
  for (const FileDescription& d : dravel::catalogue()) {
    SCOPED_TRACE(d.name);
    EXPECT_EQ(drive.vrx({"check", d.name}).exit_code, 0);
    if (d.name != "TABEMAR") {
      EXPECT_EQ(drive.vrx({"dump", d.name}).out, "");
    }
  }
  const VrxRun again = drive.vrx({"create", "PRODUTO"});
  EXPECT_EQ(again.exit_code, 1);
  EXPECT_THAT(again.err, StartsWith("vrx: PRODUTO: "));
}

TEST(VrxCheck, PassesOnALoadedFileAndReportsDamage) {
  std::vector<std::string> records;
  for (int i = 0; i < 400; ++i) {
    std::string code = std::to_string(100000 + i);
    records.push_back(produto(code, "A01" + code, i));
  }
  struct Damage {
    const char* what;
    const char* name;
    void (*apply)(const TempDrive&);
  };
  const std::vector<Damage> damages = {
      {"a page in the middle overwritten", "PRODUTO",
       [](const TempDrive& d) {
         std::string bytes = testing::read_bytes(d.file("PRODUTO"));
         ASSERT_GT(bytes.size(), 16384u);
         const std::size_t middle = bytes.size() / 2 / 4096 * 4096;
         std::fill_n(bytes.begin() + static_cast<std::ptrdiff_t>(middle), 4096, '\xA5');
         std::ofstream(d.file("PRODUTO"), std::ios::binary | std::ios::trunc) << bytes;
       }},
      {"cut to half its length", "PRODUTO",
       [](const TempDrive& d) {
         std::filesystem::resize_file(d.file("PRODUTO"),
                                      std::filesystem::file_size(d.file("PRODUTO")) / 2);
       }},
      {"another file's database in its place", "HISTVAL",
       [](const TempDrive& d) {
         std::filesystem::create_directories(d.file("HISTVAL").parent_path());
         std::filesystem::copy_file(d.file("TABEMAR"), d.file("HISTVAL"));
       }},
  };
  for (const Damage& damage : damages) {
    SCOPED_TRACE(damage.what);
    TempDrive drive;
    ASSERT_EQ(drive.vrx({"load", "PRODUTO"}, concat(records)).exit_code, 0);
    ASSERT_EQ(drive.vrx({"load", "TABEMAR"}, tabemar("A01", "Alfa")).exit_code, 0);
    const VrxRun sound = drive.vrx({"check", "PRODUTO"});
    EXPECT_EQ(sound.exit_code, 0) << sound.err;
    EXPECT_EQ(sound.err, "");

    damage.apply(drive);
    const VrxRun damaged = drive.vrx({"check", damage.name});
    EXPECT_EQ(damaged.exit_code, 1);
    ASSERT_THAT(damaged.err, StartsWith(std::string("vrx: ") + damage.name + ": "));
    std::istringstream lines(damaged.err);
    for (std::string line; std::getline(lines, line);) {
      EXPECT_THAT(line, StartsWith(std::string("vrx: ") + damage.name + ": "));
    }
  }
  TempDrive empty;
  EXPECT_THAT(empty.vrx({"check", "PRODUTO"}).err, StartsWith("vrx: PRODUTO: no file at "));
}

}  // namespace
}  // namespace vrx::tool
