// Opening the data files when the form opens, the status check after each
// open, and closing them when the form closes.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <span>
#include <string>
#include <vector>

#include "procs/test_harness.h"

namespace dravel::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// The 20-character user key.
std::string user_key(std::string_view name) { return control_text(name).substr(0, 20); }

const std::vector<std::string> kOpenedInOrder = {"open PARAMET input",
                                                 "read PARAMET 1",
                                                 "close PARAMET",
                                                 "open USUARIO input",
                                                 "read USUARIO " + user_key(kOperator),
                                                 "close USUARIO",
                                                 "open TABEMAR input",
                                                 "open PRODUTO input-output",
                                                 "open HISTMOV input-output",
                                                 "open HISTVAL input-output"};

TEST(Opening, AllFilesPresentAndFree) {
  Harness h;
  h.drive.load_standard(kOperator);
  h.open_form();

  EXPECT_THAT(h.form.transcript(), IsEmpty());
  EXPECT_EQ(h.store.log.lines, kOpenedInOrder);
  const DataFiles& files = h.program().files();
  EXPECT_FALSE(files.is_open(FileId::paramet));
  EXPECT_FALSE(files.is_open(FileId::usuario));
  for (FileId f : {FileId::tabemar, FileId::produto, FileId::histmov, FileId::histval}) {
    EXPECT_TRUE(files.is_open(f)) << describe(f).name;
  }
  EXPECT_EQ(h.program().fields().w_comando.view(), std::string(15, ' '));
  EXPECT_EQ(h.link_emp(), std::string(99, ' '));
  EXPECT_EQ(h.program().fields().w_enter.view(), "E");
}

// Each file in turn missing or damaged: the message names it, the form is
// closed, L-LINK-EMP is marked, and no later file is opened.
TEST(Opening, EachFileMissingOrDamagedInTurn) {
  for (FileId failing : kAllFiles) {
    for (bool damaged : {false, true}) {
      const std::string name = describe(failing).name;
      SCOPED_TRACE(name + (damaged ? " damaged" : " missing"));
      Harness h;
      h.drive.load_standard(kOperator);
      if (damaged) {
        h.drive.damage(failing);
      } else {
        h.drive.remove(failing);
      }
      // What another module of the process left in L-LINK-EMP.
      std::span<char> link_emp = h.registry.attach("L-LINK-EMP", 99);
      std::fill(link_emp.begin(), link_emp.end(), '9');
      h.open_form();

      const std::vector<std::string> lines = h.form.transcript();
      ASSERT_EQ(lines.size(), 2u);
      if (damaged) {
        const std::string prefix = "msgbox 16 \"Arquivo " + name + " Danificado !!! Erro.: ";
        ASSERT_TRUE(lines[0].starts_with(prefix)) << lines[0];
        const std::string status = lines[0].substr(prefix.size(), 2);
        EXPECT_EQ(lines[0], prefix + status + "\" -> 1");
        EXPECT_NE(status, "00");
        EXPECT_NE(status, "35");
        EXPECT_EQ(h.program().fields().w_mensagem.trimmed().size(), 40u);
      } else {
        EXPECT_EQ(lines[0], "msgbox 16 \"Arquivo " + name + " Inexistente !!!\" -> 1");
        EXPECT_EQ(h.program().fields().w_mensagem.trimmed().size(), 31u);
      }
      EXPECT_EQ(lines[1], "close");
      EXPECT_EQ(h.program().fields().w_estilo, 16);
      EXPECT_EQ(h.link_emp().substr(0, 4), "0000");
      EXPECT_EQ(h.link_emp().substr(4), std::string(95, '9'));
      EXPECT_EQ(h.program().fields().w_comando.view(), std::string(15, ' '));

      // The files before the failing one were opened as usual; the failing
      // one is the last opened, and nothing is read from it.
      const auto opens = h.store.log.with_prefix("open ");
      ASSERT_FALSE(opens.empty());
      EXPECT_TRUE(opens.back().starts_with("open " + name)) << opens.back();
      EXPECT_EQ(opens.size(), static_cast<std::size_t>(failing) + 1);
      EXPECT_EQ(h.store.log.lines.back(), opens.back());
      for (FileId f : kAllFiles) {
        const bool stays_open = f > FileId::usuario && f < failing;
        EXPECT_EQ(h.program().files().is_open(f), stays_open) << describe(f).name;
      }

      // The form-closed event then closes the four files, open or not,
      // without a word.
      h.form.clear();
      h.store.log.lines.clear();
      h.close_form();
      EXPECT_THAT(h.form.transcript(), IsEmpty());
      for (FileId f : kAllFiles) EXPECT_FALSE(h.program().files().is_open(f));
    }
  }
}

TEST(Opening, ParametRecordLockedByAnotherProgram) {
  Harness h;
  h.drive.load_standard(kOperator);
  OtherProgram other(h.drive);
  ASSERT_EQ(other.lock(FileId::paramet, "1"), "00");
  h.open_form();

  EXPECT_THAT(
      h.form.transcript(),
      ElementsAre("msgbox 16 \"Arquivo de Par\xE2metros sendo acessado !!!\" -> 1", "close"));
  EXPECT_THAT(h.store.log.lines,
              ElementsAre("open PARAMET input", "read PARAMET 1 -> 99", "close PARAMET"));
  EXPECT_EQ(h.link_emp().substr(0, 4), "0000");
  EXPECT_EQ(h.program().fields().w_comando.view(), std::string(15, ' '));
}

TEST(Opening, UserRecordLockedByAnotherProgram) {
  Harness h;
  h.drive.load_standard(kOperator);
  OtherProgram other(h.drive);
  ASSERT_EQ(other.lock(FileId::usuario, user_key(kOperator)), "00");
  h.open_form();

  EXPECT_THAT(h.form.transcript(),
              ElementsAre("msgbox 16 \"Usu\xE1rio sendo acessado !!!\" -> 1", "close"));
  EXPECT_THAT(
      h.store.log.lines,
      ElementsAre("open PARAMET input", "read PARAMET 1", "close PARAMET", "open USUARIO input",
                  "read USUARIO " + user_key(kOperator) + " -> 99", "close USUARIO"));
  EXPECT_EQ(h.link_emp().substr(0, 4), "0000");
}

// Another user's record locked, or the operator's or the parameter record
// missing: nothing to report.
TEST(Opening, AbsentRecordsAndOtherUsersLocksPassSilently) {
  Harness h("NOVATO");
  h.drive.load_standard(kOperator);
  h.drive.remove(FileId::paramet);
  h.drive.load(FileId::paramet, {paramet_record("2")});
  OtherProgram other(h.drive);
  ASSERT_EQ(other.lock(FileId::usuario, user_key(kOperator)), "00");
  h.open_form();

  EXPECT_THAT(h.form.transcript(), IsEmpty());
  EXPECT_EQ(h.store.log.lines[1], "read PARAMET 1 -> 23");
  EXPECT_EQ(h.store.log.lines[4], "read USUARIO " + user_key("NOVATO") + " -> 23");
  EXPECT_EQ(h.store.log.lines.size(), kOpenedInOrder.size());
  EXPECT_TRUE(h.program().files().is_open(FileId::histval));
}

TEST(Closing, ClosesTheFourFilesInOrderAfterNormalUse) {
  Harness h;
  h.drive.load_standard(kOperator);
  h.open_form();
  h.store.log.lines.clear();
  h.close_form();
  EXPECT_THAT(h.store.log.lines,
              ElementsAre("close TABEMAR", "close PRODUTO", "close HISTMOV", "close HISTVAL"));
  EXPECT_THAT(h.form.transcript(), IsEmpty());
}

}  // namespace
}  // namespace dravel::testing
