// The deletion behind "Exclui Produtos": which records go, in which order,
// what the operator sees, and how locks and failures end a run. The files
// are checked afterwards record by record.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/files/engine_test_support.h"
#include "procs/test_harness.h"

namespace dravel::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

const std::string kFim =
    "msgbox 48 \"Fim da Elimina\xE7\xF5"
    "es !!!\" -> 1";
const std::string kNaoSelecionada = "msgbox 48 \"Marca n\xE3o selecionada !!!\" -> 1";
const std::string kPrompt = "msgbox 36 \"Registro sendo acessado. Tenta novamente ?\" -> ";

// Products in the order they are loaded; ABC's lie in brand-key order
// 000030 (ABC000000), 000010 and 000020 (both ABC000001, in write order),
// 000000 (ABC000003). 000005 (ABC + spaces) sorts below the start key.
const std::vector<std::string> kProducts = {
    produto_record("000001", "AB ", "OUTRA MARCA ANTES", "000001"),
    produto_record("000005", "ABC", "ABAIXO DO INICIO", "      "),
    produto_record("000010", "ABC", "PRODUTO DEZ", "000001"),
    produto_record("000020", "ABC", "PRODUTO VINTE", "000001"),
    produto_record("000030", "ABC", "PRODUTO TRINTA", "000000"),
    produto_record("000000", "ABC", "PRODUTO ZERO", "000003"),
    produto_record("000040", "ABD", "OUTRA MARCA DEPOIS", "000000"),
    produto_record("00001A", "ABE", "CODIGO COM LETRA", "000000"),
};
const std::vector<std::string> kValues = {
    histval_record("000000", "000000000000001"), histval_record("000005", "000000000000001"),
    histval_record("000010", "000000000000001"), histval_record("000010", "202401010000001"),
    histval_record("000011", "000000000000001"), histval_record("000030", "000000000000001"),
    histval_record("000040", "000000000000001"), histval_record("00001A", "000000000000001"),
};
const std::vector<std::string> kMovements = {
    histmov_record("000001", "000000000000001"), histmov_record("000010", "000000000000001"),
    histmov_record("000010", "000000000000002"), histmov_record("000010", "202401010000003"),
    histmov_record("000020", "000000000000001"), histmov_record("000031", "000000000000001"),
    histmov_record("000040", "000000000000001"), histmov_record("00001A", "000000000000001"),
    histmov_record("00001B", "000000000000001"),
};

// The deletions of a complete run for ABC, in order.
const std::vector<std::string> kCompleteRun = {
    "delete PRODUTO 000030",
    "delete HISTVAL 000030000000000000001",
    "delete PRODUTO 000010",
    "delete HISTVAL 000010000000000000001",
    "delete HISTVAL 000010202401010000001",
    "delete HISTMOV 000010000000000000001",
    "delete HISTMOV 000010000000000000002",
    "delete HISTMOV 000010202401010000003",
    "delete PRODUTO 000020",
    "delete HISTMOV 000020000000000000001",
    "delete PRODUTO 000000",
    "delete HISTVAL 000000000000000000001",
};

std::string key_of(const std::string& record, std::size_t width) { return record.substr(0, width); }

class Cascade : public ::testing::Test {
 protected:
  void SetUp() override {
    h.drive.load_standard(kOperator);
    h.drive.load(
        FileId::tabemar,
        {tabemar_record("ABC", "MARCA ABC", "001"), tabemar_record("ABD", "MARCA ABD", "002"),
         tabemar_record("AB ", "MARCA AB", "003"),
         tabemar_record("ABB", "MARCA SEM PRODUTOS", "004"),
         tabemar_record("ZZZ", "ULTIMA MARCA", "005"), tabemar_record("ABE", "MARCA ABE", "006")});
    h.drive.load(FileId::produto, kProducts);
    h.drive.load(FileId::histval, kValues);
    h.drive.load(FileId::histmov, kMovements);
    h.open_form();
    ASSERT_TRUE(h.form.transcript().empty());
    h.form.clear();
    h.store.log.lines.clear();
  }

  void exclui(std::string_view typed) {
    h.form.type_into(ids::ed_codimar, typed);
    h.click_exclui();
  }

  std::vector<std::string> deletions() const { return h.store.log.with_prefix("delete "); }

  // Every file holds exactly its records whose key is not among `deleted`
  // deletion lines, byte for byte.
  void expect_files_without(const std::vector<std::string>& deleted) {
    std::set<std::string> gone;
    for (const auto& d : deleted) {
      if (d.ends_with(" -> 99")) continue;  // refused: still there
      gone.insert(d.substr(std::string("delete ").size()));
    }
    const auto remaining = [&](const std::vector<std::string>& records, const char* name,
                               std::size_t width) {
      std::vector<std::string> kept;
      for (const auto& r : records) {
        if (gone.count(std::string(name) + " " + key_of(r, width)) == 0) kept.push_back(r);
      }
      std::sort(kept.begin(), kept.end(), [&](const std::string& a, const std::string& b) {
        return key_of(a, width) < key_of(b, width);
      });
      return kept;
    };
    EXPECT_EQ(h.drive.dump(FileId::produto), remaining(kProducts, "PRODUTO", 6));
    EXPECT_EQ(h.drive.dump(FileId::histval), remaining(kValues, "HISTVAL", 21));
    EXPECT_EQ(h.drive.dump(FileId::histmov), remaining(kMovements, "HISTMOV", 21));
  }

  Harness h;
};

TEST_F(Cascade, CompleteRunDeletesTheBrandProductByProduct) {
  exclui("ABC");

  EXPECT_EQ(deletions(), kCompleteRun);
  expect_files_without(kCompleteRun);
  EXPECT_THAT(h.form.transcript(),
              ElementsAre("text Ds_MAR \"MARCA ABC\"", "caption Frm_Dsp \"PRODUTO TRINTA\"",
                          "refresh Frm_Dsp", "caption Frm_Dsp \"PRODUTO DEZ\"", "refresh Frm_Dsp",
                          "caption Frm_Dsp \"PRODUTO VINTE\"", "refresh Frm_Dsp",
                          "caption Frm_Dsp \"PRODUTO ZERO\"", "refresh Frm_Dsp",
                          "caption Frm_Dsp \"\"", "refresh Frm_Dsp", kFim));
  // The caption argument is the 40-character description, then spaces.
  const auto captions = h.form.with_key("caption Frm_Dsp");
  EXPECT_EQ(captions[0]->invocation.arguments.at(0).text.substr(0, 40),
            kProducts[4].substr(42, 40));
  EXPECT_EQ(h.lk_codigo(), "ABC");
  EXPECT_EQ(h.form.text_of(ids::ed_codimar), control_text("ABC"));
  EXPECT_EQ(h.program().fields().w_comando.view(), std::string(15, ' '));
  // Every record read is released before it is tested or deleted.
  const auto& lines = h.store.log.lines;
  for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
    if (lines[i].starts_with("read next ") && lines[i].find(" -> ") == std::string::npos) {
      EXPECT_TRUE(lines[i + 1].starts_with("unlock ")) << lines[i];
    }
  }

  // The files stay open: a second run at once finds nothing left.
  h.form.clear();
  h.store.log.lines.clear();
  exclui("ABC");
  EXPECT_TRUE(deletions().empty());
  EXPECT_THAT(h.form.transcript(), ElementsAre("text Ds_MAR \"MARCA ABC\"", "caption Frm_Dsp \"\"",
                                               "refresh Frm_Dsp", kFim));
}

TEST_F(Cascade, NoUsableBrandDeletesNothing) {
  OtherProgram other(h.drive);
  ASSERT_EQ(other.lock(FileId::tabemar, "ABD"), "00");
  struct Case {
    std::string typed;
    std::string shown;
  };
  for (const Case& c : std::vector<Case>{{"", ""},
                                         {"XYZ", "*** Inexistente ***"},
                                         {"abc", "*** Inexistente ***"},
                                         {"ABD", "*** Sendo Acessado ***"}}) {
    SCOPED_TRACE("typed \"" + c.typed + "\"");
    h.form.clear();
    h.store.log.lines.clear();
    exclui(c.typed);
    EXPECT_THAT(h.form.transcript(),
                ElementsAre("text Ds_MAR \"" + c.shown + "\"", kNaoSelecionada));
    EXPECT_TRUE(h.store.log.with_prefix("start ").empty());
    EXPECT_EQ(h.program().fields().w_comando.view(), std::string(15, ' '));
  }
  expect_files_without({});
}

// The start uses the first three characters; the brand test the whole text.
TEST_F(Cascade, RunsThatEndAtTheFirstProductRead) {
  for (std::string typed : {"ABB", "ZZZ", "ABC1", "ABC        X"}) {
    SCOPED_TRACE("typed \"" + typed + "\"");
    h.form.clear();
    exclui(typed);
    const std::string shown = typed == "ABB"   ? "MARCA SEM PRODUTOS"
                              : typed == "ZZZ" ? "ULTIMA MARCA"
                                               : "MARCA ABC";
    EXPECT_THAT(h.form.transcript(), ElementsAre("text Ds_MAR \"" + shown + "\"",
                                                 "caption Frm_Dsp \"\"", "refresh Frm_Dsp", kFim));
  }
  EXPECT_TRUE(deletions().empty());
  expect_files_without({});
}

TEST_F(Cascade, AnotherBrandRunsItsOwnProductsOnly) {
  exclui("AB");
  EXPECT_THAT(deletions(),
              ElementsAre("delete PRODUTO 000001", "delete HISTMOV 000001000000000000001"));
  expect_files_without(deletions());
}

// A code that is not all digits is compared byte for byte.
TEST_F(Cascade, ProductCodeWithALetter) {
  exclui("ABE");
  EXPECT_THAT(deletions(),
              ElementsAre("delete PRODUTO 00001A", "delete HISTVAL 00001A000000000000001",
                          "delete HISTMOV 00001A000000000000001"));
  expect_files_without(deletions());
}

struct LockCase {
  const char* name;
  FileId file;
  std::string key;
  std::vector<std::int32_t> answers;
  int release_at_prompt;  // 0: never
  std::size_t deletions;  // how many of kCompleteRun happen
};

void PrintTo(const LockCase& c, std::ostream* os) { *os << c.name; }

class LockedRecord : public Cascade, public ::testing::WithParamInterface<LockCase> {};

TEST_P(LockedRecord, PromptAnswers) {
  const LockCase& c = GetParam();
  OtherProgram other(h.drive);
  ASSERT_EQ(other.lock(c.file, c.key), "00");
  int prompts = 0;
  h.form.after_call = [&](const RecordedCall& call) {
    if (call.key == "message box" && call.invocation.arguments.at(1).integer == 36 &&
        ++prompts == c.release_at_prompt) {
      other.release_all();
    }
  };
  h.form.answers.assign(c.answers.begin(), c.answers.end());
  exclui("ABC");

  const std::vector<std::string> expected(kCompleteRun.begin(),
                                          kCompleteRun.begin() + static_cast<long>(c.deletions));
  EXPECT_EQ(deletions(), expected);
  expect_files_without(expected);
  EXPECT_EQ(prompts, static_cast<int>(c.answers.size()));
  EXPECT_EQ(h.form.unanswered, 0);
  EXPECT_EQ(h.program().fields().w_resposta, c.answers.back());
  const auto lines = h.form.transcript();
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines.end()[-3], "caption Frm_Dsp \"\"");
  EXPECT_EQ(lines.back(), kFim);
  EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                          [](const std::string& l) { return l.starts_with(kPrompt); }),
            static_cast<long>(c.answers.size()));
  // The prompt is the one box whose answer is taken.
  for (const RecordedCall* box : h.form.with_key("message box")) {
    const bool prompt = box->invocation.arguments.at(1).integer == 36;
    EXPECT_EQ(box->invocation.result_taken, prompt ? 2 : 0);
  }
}

INSTANTIATE_TEST_SUITE_P(
    EachPass, LockedRecord,
    ::testing::Values(
        LockCase{"ProductNo", FileId::produto, "000010", {7}, 0, 2},
        LockCase{"ProductYes", FileId::produto, "000010", {6}, 1, kCompleteRun.size()},
        LockCase{
            "ProductYesWhileStillHeld", FileId::produto, "000010", {6, 6}, 2, kCompleteRun.size()},
        LockCase{"ProductYesThenNo", FileId::produto, "000020", {6, 7}, 0, 8},
        LockCase{"ValueHistoryNo", FileId::histval, "000010202401010000001", {7}, 0, 4},
        LockCase{"ValueHistoryYes",
                 FileId::histval,
                 "000010202401010000001",
                 {6},
                 1,
                 kCompleteRun.size()},
        LockCase{"MovementHistoryNo", FileId::histmov, "000010000000000000002", {7}, 0, 6},
        LockCase{"MovementHistoryYes",
                 FileId::histmov,
                 "000010000000000000002",
                 {6, 6},
                 2,
                 kCompleteRun.size()}),
    [](const ::testing::TestParamInfo<LockCase>& param_info) {
      return std::string(param_info.param.name);
    });

// A Read next that fails in any other way never loops and never acts on the
// record area: the damaged-file box, then the usual end. A product whose
// history pass failed keeps its own record (its deletion is rolled back), so
// that no history record of a deleted product is left behind.
struct ReadFailure {
  const char* file;
  std::size_t deletions;  // how many of kCompleteRun happen
  std::size_t reads;      // Read next calls in all
  bool product_kept;      // the last product deleted is rolled back
};

void PrintTo(const ReadFailure& c, std::ostream* os) { *os << c.file; }

class FailingRead : public Cascade, public ::testing::WithParamInterface<ReadFailure> {};

TEST_P(FailingRead, EndsTheRunWithTheDamagedFileText) {
  const ReadFailure& c = GetParam();
  h.store.log.read_next_fails_with = {{c.file, "30"}};
  exclui("ABC");

  const std::vector<std::string> expected(kCompleteRun.begin(),
                                          kCompleteRun.begin() + static_cast<long>(c.deletions));
  EXPECT_EQ(deletions(), expected);
  std::vector<std::string> durable = expected;
  if (c.product_kept) std::erase(durable, "delete PRODUTO 000030");
  expect_files_without(durable);
  EXPECT_EQ(h.store.log.with_prefix("rollback").size(), c.product_kept ? 1u : 0u);
  EXPECT_EQ(h.store.log.with_prefix("read next").size(), c.reads);
  const auto lines = h.form.transcript();
  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ(lines.end()[-4],
            std::string("msgbox 16 \"Arquivo ") + c.file + " Danificado !!! Erro.: 30\" -> 1");
  EXPECT_EQ(lines.end()[-3], "caption Frm_Dsp \"\"");
  EXPECT_EQ(lines.end()[-2], "refresh Frm_Dsp");
  EXPECT_EQ(lines.back(), kFim);
}

INSTANTIATE_TEST_SUITE_P(EachPass, FailingRead,
                         ::testing::Values(ReadFailure{"PRODUTO", 0, 1, false},
                                           ReadFailure{"HISTVAL", 1, 2, true},
                                           ReadFailure{"HISTMOV", 2, 4, true}),
                         [](const ::testing::TestParamInfo<ReadFailure>& param_info) {
                           return std::string(param_info.param.file);
                         });

// A delete that another program's lock refuses leaves that record; its
// histories still go, and the run goes on.
TEST_F(Cascade, RefusedDeleteLeavesTheRecordAndGoesOn) {
  OtherProgram other(h.drive);
  h.form.after_call = [&](const RecordedCall& call) {
    if (call.key == "caption Frm_Dsp" && call.line.find("PRODUTO DEZ") != std::string::npos) {
      ASSERT_EQ(other.lock(FileId::produto, "000010"), "00");
    }
  };
  exclui("ABC");
  std::vector<std::string> expected = kCompleteRun;
  expected[2] += " -> 99";
  EXPECT_EQ(deletions(), expected);
  other.release_all();
  expect_files_without(expected);
  EXPECT_EQ(h.form.transcript().back(), kFim);
}

}  // namespace
}  // namespace dravel::testing

namespace dravel::testing {
namespace {

// What another program reads, from its own thread and handles: the status of
// a read (input mode, so that it locks nothing) of each record by its key.
std::vector<std::string> read_elsewhere(
    const TestDrive& drive, const std::vector<std::pair<FileId, std::string>>& records) {
  std::vector<std::string> codes;
  std::thread other([&] {
    vrx::SqliteFileStore store(drive.root());
    for (const auto& [file, key] : records) {
      vrx::OpenResult opened = store.open(describe(file), vrx::OpenMode::input);
      std::string area(describe(file).record_length, ' ');
      area.replace(0, key.size(), key);
      codes.emplace_back(opened.status.ok() ? opened.file->read(area).code()
                                            : opened.status.code());
    }
  });
  other.join();
  return codes;
}

// No deleted product of the brand has a history record left.
void expect_no_orphans(const TestDrive& drive) {
  std::set<std::string> products;
  for (const auto& p : drive.keys(FileId::produto, 6)) products.insert(p);
  for (const auto& r : kProducts) {
    const std::string code = r.substr(0, 6);
    if (r.substr(88, 3) != "ABC" || products.count(code) != 0) continue;
    for (FileId f : {FileId::histval, FileId::histmov}) {
      for (const auto& k : drive.keys(f, 6)) EXPECT_NE(k, code) << describe(f).name;
    }
  }
}

// A locked history record's prompt: the histories deleted so far are
// committed before the operator is asked, the product's own deletion stays
// pending (and locked) while its histories are not done; after a No the run
// ends and commits it. (Products finished since PRODUTO's last commit share
// its group and wait with it.)
TEST_F(Cascade, PromptCommitsTheHistoriesButNotTheirProductUntilTheRunEnds) {
  OtherProgram other(h.drive);
  ASSERT_EQ(other.lock(FileId::histmov, "000010000000000000002"), "00");
  std::vector<std::string> at_prompt;
  h.form.after_call = [&](const RecordedCall& call) {
    if (call.key == "message box" && call.invocation.arguments.at(1).integer == 36) {
      at_prompt = read_elsewhere(h.drive, {{FileId::produto, "000010"},
                                           {FileId::histval, "000010202401010000001"},
                                           {FileId::histmov, "000010000000000000001"}});
    }
  };
  h.form.answers = {7};
  exclui("ABC");
  EXPECT_THAT(at_prompt, ElementsAre("99", "23", "23"));
  other.release_all();
  EXPECT_THAT(read_elsewhere(h.drive, {{FileId::produto, "000010"}}), ElementsAre("23"));
  expect_files_without({kCompleteRun.begin(), kCompleteRun.begin() + 6});
}

// The 20 ms deadline is checked across the files: a value-history deletion
// that has waited is committed at the next movement-history deletion, while
// the product's own stays pending.
TEST_F(Cascade, DeadlineCommitsEveryFileThatWaitedButNotAProductInProgress) {
  std::vector<std::string> seen;
  h.store.log.after_delete = [&](const std::string& line) {
    if (line == "delete HISTVAL 000010202401010000001") {
      std::this_thread::sleep_for(kGroupCommitDelay + std::chrono::milliseconds(5));
    } else if (line == "delete HISTMOV 000010000000000000001") {
      seen = read_elsewhere(
          h.drive, {{FileId::histval, "000010202401010000001"}, {FileId::produto, "000010"}});
    }
  };
  exclui("ABC");
  EXPECT_THAT(seen, ElementsAre("23", "99"));
  expect_files_without(kCompleteRun);
}

// Every commit point commits the history files before PRODUTO.
TEST_F(Cascade, HistoriesAreCommittedBeforeTheirProducts) {
  h.store.log.log_commits = true;
  h.store.log.after_delete = [&](const std::string& line) {
    if (line.starts_with("delete HISTMOV")) {
      std::this_thread::sleep_for(kGroupCommitDelay + std::chrono::milliseconds(1));
    }
  };
  exclui("ABC");
  // Each PRODUTO commit follows the commits of the histories deleted before it.
  const auto& lines = h.store.log.lines;
  std::set<std::string> uncommitted;
  for (const auto& l : lines) {
    if (l.starts_with("delete ")) uncommitted.insert(l.substr(7, 7));
    if (l.starts_with("commit ")) {
      const std::string file = l.substr(7, 7);
      if (file == "PRODUTO") {
        EXPECT_EQ(uncommitted.count("HISTVAL") + uncommitted.count("HISTMOV"), 0u)
            << "PRODUTO committed before its histories";
      }
      uncommitted.erase(file);
    }
  }
  EXPECT_GE(h.store.log.with_prefix("commit PRODUTO").size(), 2u);
  expect_files_without(kCompleteRun);
}

// A lock file that fails in the middle of a run is a damaged file, not a
// locked record: no prompt, the product whose histories were not all deleted
// stays, and the run ends as usual.
TEST_F(Cascade, FailingLockFileIsShownAsDamaged) {
  h.store.log.after_delete = [&](const std::string& line) {
    if (line == "delete HISTVAL 000030000000000000001") {
      ASSERT_EQ(vrx::testing::break_lock_file(h.drive.path_of(FileId::histmov).string() + ".lck"),
                1);
    }
  };
  exclui("ABC");
  const auto lines = h.form.transcript();
  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ(lines.end()[-4], "msgbox 16 \"Arquivo HISTMOV Danificado !!! Erro.: 30\" -> 1");
  EXPECT_EQ(lines.back(), kFim);
  EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                          [](const std::string& l) { return l.starts_with(kPrompt); }),
            0);
  expect_files_without({"delete HISTVAL 000030000000000000001"});
}

// A failing commit or Delete is shown where it happened, as a damaged file,
// and the run ends with the usual end: never a bare "Fim" after deletions
// that were undone. Whatever was committed, no history record of a deleted
// product is left, and a second run finishes the job.
struct Fault {
  const char* name;
  const char* file;
  bool on_commit;  // else on the first Delete
};

void PrintTo(const Fault& c, std::ostream* os) { *os << c.name; }

class FailingWrite : public Cascade, public ::testing::WithParamInterface<Fault> {};

TEST_P(FailingWrite, IsShownAndLeavesNoOrphans) {
  const Fault& c = GetParam();
  (c.on_commit ? h.store.log.commit_fails_with : h.store.log.delete_fails_with) = {{c.file, "30"}};
  exclui("ABC");
  const auto lines = h.form.transcript();
  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ(lines.end()[-4],
            std::string("msgbox 16 \"Arquivo ") + c.file + " Danificado !!! Erro.: 30\" -> 1");
  EXPECT_EQ(lines.end()[-3], "caption Frm_Dsp \"\"");
  EXPECT_EQ(lines.back(), kFim);
  expect_no_orphans(h.drive);
  if (c.on_commit && std::string(c.file) != "PRODUTO") {
    // Nothing of the brand's products went: they all rest on that file.
    EXPECT_EQ(h.drive.keys(FileId::produto, 6).size(), kProducts.size());
  }

  h.store.log.commit_fails_with.clear();
  h.store.log.delete_fails_with.clear();
  h.form.clear();
  exclui("ABC");
  EXPECT_EQ(h.form.transcript().back(), kFim);
  expect_files_without(kCompleteRun);
}

INSTANTIATE_TEST_SUITE_P(EachFile, FailingWrite,
                         ::testing::Values(Fault{"CommitOfHISTVAL", "HISTVAL", true},
                                           Fault{"CommitOfHISTMOV", "HISTMOV", true},
                                           Fault{"CommitOfPRODUTO", "PRODUTO", true},
                                           Fault{"DeleteOfPRODUTO", "PRODUTO", false},
                                           Fault{"DeleteOfHISTVAL", "HISTVAL", false},
                                           Fault{"DeleteOfHISTMOV", "HISTMOV", false}),
                         [](const ::testing::TestParamInfo<Fault>& param_info) {
                           return std::string(param_info.param.name);
                         });

}  // namespace
}  // namespace dravel::testing
