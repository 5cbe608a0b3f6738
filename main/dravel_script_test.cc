// dravel-script end to end: the built executable, the real program and the
// real engine on small data files under a temporary drive. Each test checks
// the transcript and then the data files record by record.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "data/catalogue.h"
#include "data/record.h"
#include "data/record_layouts.h"
#include "main/test_records.h"
#include "platform/files/sqlite_store.h"

namespace {

namespace fs = std::filesystem;
using dravel::FileId;
using dravel::Record;
namespace layout = dravel::layout;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

constexpr const char* kUser = "OPERADOR";

struct ScriptRun {
  int status = -1;
  std::string out;
  std::string err;
};

std::string slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

using dravel::testing::history;
using dravel::testing::product;
using dravel::testing::record_of;

class DravelScriptTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/dravel-script-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    drive_ = pattern;

    load(FileId::paramet, {record_of(FileId::paramet, "1")});
    load(FileId::usuario, {record_of(FileId::usuario, kUser)});
    load(FileId::tabemar,
         {record_of(FileId::tabemar, "A01Marca Um"), record_of(FileId::tabemar, "B02Marca Dois")});
    load(FileId::produto, {product("000010", "A01", "000001", "Produto dez"),
                           product("000011", "A01", "000002", "Produto onze"),
                           product("000020", "B02", "000001", "Produto vinte")});
    load(FileId::histval, {history(layout::histval::record_length, "000010", "201901010001001"),
                           history(layout::histval::record_length, "000010", "201902010001001"),
                           history(layout::histval::record_length, "000011", "201901010001001"),
                           history(layout::histval::record_length, "000020", "201901010001001")});
    load(FileId::histmov, {history(layout::histmov::record_length, "000010", "201901010001001"),
                           history(layout::histmov::record_length, "000010", "201903010001001"),
                           history(layout::histmov::record_length, "000011", "201901010001001"),
                           history(layout::histmov::record_length, "000020", "201901010001001")});
  }
  void TearDown() override { fs::remove_all(drive_); }

  fs::path path(FileId file) const {
    return vrx::map_catalogue_path(dravel::describe(file).catalogue_path, drive_);
  }

  void load(FileId file, const std::vector<std::string>& records) {
    std::string bytes;
    for (const auto& r : records) bytes += r;
    std::istringstream in(bytes);
    std::size_t loaded = 0;
    const vrx::AdminResult result =
        vrx::load_records(path(file), dravel::describe(file), in, loaded);
    ASSERT_TRUE(result.ok) << result.message;
  }

  // The primary keys of the records a file holds, in key order; and the file
  // must pass the engine's check.
  std::vector<std::string> keys(FileId file) const {
    const vrx::FileDescription& d = dravel::describe(file);
    std::vector<std::string> problems;
    const vrx::AdminResult checked = vrx::check_file(path(file), d, problems);
    EXPECT_TRUE(checked.ok) << checked.message;
    EXPECT_THAT(problems, IsEmpty());
    std::ostringstream out;
    const vrx::AdminResult dumped = vrx::dump_records(path(file), d, 0, out);
    EXPECT_TRUE(dumped.ok) << dumped.message;
    const std::string bytes = out.str();
    std::vector<std::string> found;
    for (std::size_t at = 0; at + d.record_length <= bytes.size(); at += d.record_length) {
      std::string key = bytes.substr(at + d.keys[0].offset, d.keys[0].length);
      key.erase(key.find_last_not_of(' ') + 1);
      found.push_back(key);
    }
    return found;
  }

  ScriptRun run(const std::string& script) {
    const fs::path in = drive_ / "script.txt", out = drive_ / "out.txt", err = drive_ / "err.txt";
    std::ofstream(in, std::ios::binary) << script;
    const std::string command = "VANTREXO_DRIVE='" + drive_.string() +
                                "' VANTREXO_USUARIO=" + kUser +
                                " '" VANTREXO_BINARY_DIR "/dravel-script' < '" + in.string() +
                                "' > '" + out.string() + "' 2> '" + err.string() + "'";
    const int raw = std::system(command.c_str());
    ScriptRun r;
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.out = slurp(out);
    r.err = slurp(err);
    return r;
  }

  fs::path drive_;
};

TEST_F(DravelScriptTest, AKeyboardRunDeletesTheBrandsProductsAndTheirHistories) {
  const ScriptRun r = run("type A01\nkey 13\nkey 13\n");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "focus Ed_CODIMAR\n"
            "focus Bt_EXC\n"
            "text Ds_MAR \"Marca Um\"\n"
            "text Ds_MAR \"Marca Um\"\n"
            "caption Frm_Dsp \"Produto dez\"\n"
            "refresh Frm_Dsp\n"
            "caption Frm_Dsp \"Produto onze\"\n"
            "refresh Frm_Dsp\n"
            "caption Frm_Dsp \"\"\n"
            "refresh Frm_Dsp\n"
            "msgbox 48 \"Fim da Elimina\xC3\xA7\xC3\xB5"
            "es !!!\" -> 1\n"
            "close\n");
  EXPECT_EQ(r.err, "");
  EXPECT_THAT(keys(FileId::produto), ElementsAre("000020"));
  EXPECT_THAT(keys(FileId::histval), ElementsAre("000020201901010001001"));
  EXPECT_THAT(keys(FileId::histmov), ElementsAre("000020201901010001001"));
  EXPECT_THAT(keys(FileId::tabemar), ElementsAre("A01", "B02"));
}

TEST_F(DravelScriptTest, TheSearchButtonTakesTheCodeTheLookupLeaves) {
  const ScriptRun r =
      run("lookup B02\nclick Command1\nlookup none\nclick Command1\n"
          "lookup B02\nclick Command1\nkey 13\nkey 13\n");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "focus Ed_CODIMAR\n"
            "focus Command1\n"
            "text Ds_MAR \"\"\n"  // leaving the empty code field
            "call \"99-Qrv_Tabelas\" \"999999-Quervilos.DLL\"\n"
            "text Ed_CODIMAR \"B02\"\n"
            "text Ds_MAR \"Marca Dois\"\n"
            "focus Ed_CODIMAR\n"
            "focus Command1\n"
            "text Ds_MAR \"Marca Dois\"\n"
            "call \"99-Qrv_Tabelas\" \"999999-Quervilos.DLL\"\n"
            "text Ed_CODIMAR \"\"\n"  // nothing chosen empties the field
            "text Ds_MAR \"\"\n"
            "focus Ed_CODIMAR\n"
            "focus Command1\n"
            "text Ds_MAR \"\"\n"
            "call \"99-Qrv_Tabelas\" \"999999-Quervilos.DLL\"\n"
            "text Ed_CODIMAR \"B02\"\n"
            "text Ds_MAR \"Marca Dois\"\n"
            "focus Ed_CODIMAR\n"
            "focus Bt_EXC\n"
            "text Ds_MAR \"Marca Dois\"\n"
            "text Ds_MAR \"Marca Dois\"\n"
            "caption Frm_Dsp \"Produto vinte\"\n"
            "refresh Frm_Dsp\n"
            "caption Frm_Dsp \"\"\n"
            "refresh Frm_Dsp\n"
            "msgbox 48 \"Fim da Elimina\xC3\xA7\xC3\xB5"
            "es !!!\" -> 1\n"
            "close\n");
  EXPECT_THAT(keys(FileId::produto), ElementsAre("000010", "000011"));
  EXPECT_THAT(keys(FileId::histval), ElementsAre("000010201901010001001", "000010201902010001001",
                                                 "000011201901010001001"));
  EXPECT_THAT(keys(FileId::histmov), ElementsAre("000010201901010001001", "000010201903010001001",
                                                 "000011201901010001001"));
}

TEST_F(DravelScriptTest, AMissingFileAtStartClosesTheFormAndTheScriptIsNotRun) {
  fs::remove(path(FileId::histmov));
  const ScriptRun r = run("type A01\nkey 13\nkey 13\n");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "focus Ed_CODIMAR\n"
            "msgbox 16 \"Arquivo HISTMOV Inexistente !!!\" -> 1\n"
            "close\n");
  EXPECT_THAT(keys(FileId::produto), ElementsAre("000010", "000011", "000020"));
  EXPECT_FALSE(fs::exists(path(FileId::histmov)));  // never created by an open
}

class LockedProductTest : public DravelScriptTest {
 protected:
  // Another program holds product 000011 for the whole run.
  void hold_product_11() {
    store_.emplace(drive_);
    held_ = store_->open(dravel::describe(FileId::produto), vrx::OpenMode::input_output).file;
    ASSERT_NE(held_, nullptr);
    std::string area = record_of(FileId::produto, "000011");
    ASSERT_TRUE(held_->read(std::span<char>(area.data(), area.size())).ok());
  }
  void TearDown() override {
    if (held_) held_->close();
    held_.reset();
    DravelScriptTest::TearDown();
  }

  std::optional<vrx::SqliteFileStore> store_;
  std::unique_ptr<vrx::IndexedFile> held_;
};

TEST_F(LockedProductTest, YesReadsAgainAndNoEndsTheRunLeavingTheRestInPlace) {
  hold_product_11();
  const ScriptRun r = run("answer 6 7\ntype A01\nkey 13\nkey 13\n");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "focus Ed_CODIMAR\n"
            "focus Bt_EXC\n"
            "text Ds_MAR \"Marca Um\"\n"
            "text Ds_MAR \"Marca Um\"\n"
            "caption Frm_Dsp \"Produto dez\"\n"
            "refresh Frm_Dsp\n"
            "msgbox 36 \"Registro sendo acessado. Tenta novamente ?\" -> 6\n"
            "msgbox 36 \"Registro sendo acessado. Tenta novamente ?\" -> 7\n"
            "caption Frm_Dsp \"\"\n"
            "refresh Frm_Dsp\n"
            "msgbox 48 \"Fim da Elimina\xC3\xA7\xC3\xB5"
            "es !!!\" -> 1\n"
            "close\n");
  held_->close();
  held_.reset();
  EXPECT_THAT(keys(FileId::produto), ElementsAre("000011", "000020"));
  EXPECT_THAT(keys(FileId::histval), ElementsAre("000011201901010001001", "000020201901010001001"));
  EXPECT_THAT(keys(FileId::histmov), ElementsAre("000011201901010001001", "000020201901010001001"));
}

TEST_F(LockedProductTest, NoAnswerQueuedStopsWithStatus3AndKeepsWhatWasDeleted) {
  hold_product_11();
  const ScriptRun r = run("type A01\nkey 13\nkey 13\nclick Command1\n");
  EXPECT_EQ(r.status, 3);
  EXPECT_EQ(r.out,
            "focus Ed_CODIMAR\n"
            "focus Bt_EXC\n"
            "text Ds_MAR \"Marca Um\"\n"
            "text Ds_MAR \"Marca Um\"\n"
            "caption Frm_Dsp \"Produto dez\"\n"
            "refresh Frm_Dsp\n");
  EXPECT_THAT(r.err, HasSubstr("line 3: no answer queued for the Yes/No box"));
  held_->close();
  held_.reset();
  // Product 000010 and its histories were deleted before the box, and the
  // files were left whole and unlocked: the next run deletes the rest.
  EXPECT_THAT(keys(FileId::produto), ElementsAre("000011", "000020"));
  EXPECT_THAT(keys(FileId::histval), ElementsAre("000011201901010001001", "000020201901010001001"));
  const ScriptRun again = run("type A01\nkey 13\nkey 13\n");
  EXPECT_EQ(again.status, 0) << again.err;
  EXPECT_THAT(keys(FileId::produto), ElementsAre("000020"));
  EXPECT_THAT(keys(FileId::histmov), ElementsAre("000020201901010001001"));
}

}  // namespace
