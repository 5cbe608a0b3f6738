// The dispatcher of PROC-EXC: exact command words, and the word cleared
// after every call.
#include "procs/proc_exc.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "form/form_description.h"
#include "procs/test_harness.h"

namespace dravel::testing {
namespace {

class CommandWords : public ::testing::Test {
 protected:
  void SetUp() override {
    drive.load_standard(kOperator);
    drive.load(FileId::tabemar, {tabemar_record("ABC", "MARCA ABC")});
    vantrexo::SharedAreaRegistry& r = registry;
    attach_shared_areas(r, areas);
    files.register_files(store);
  }

  void run(std::string_view word) {
    w.w_comando.assign(word);
    proc_exc.run(calls);
  }

  TestDrive drive;
  LoggedStore store{drive.root()};
  RecordingForm form;
  vantrexo::SharedAreaRegistry registry;
  WorkingFields w;
  SharedAreas areas;
  DataFiles files{w.w_status};
  GuardedCalls guard{form};
  vantrexo::ObjectTable objects = test_objects();
  FormCalls calls{form, guard, dravel_marks_description(), objects};
  ProcExc proc_exc{w, areas, files};
};

TEST_F(CommandWords, OnlyTheExactWordsRunAnything) {
  const std::string junk_at_end = "ABRAR" + std::string(9, ' ') + "x";  // 15 characters
  for (std::string word :
       {std::string("abrar"), std::string("Abrar"), junk_at_end, std::string("ABRAR x"),
        std::string(" ABRAR"), std::string("ABRA"), std::string("ABRARX"), std::string(""),
        std::string(15, ' '), std::string("lermar"), std::string("LERMAR."), std::string("EXCLUI1"),
        std::string("exclui")}) {
    SCOPED_TRACE("word \"" + std::string(word) + "\"");
    run(word);
    EXPECT_TRUE(store.log.lines.empty());
    EXPECT_TRUE(form.calls.empty());
    EXPECT_EQ(w.w_comando.view(), std::string(15, ' '));
  }
}

TEST_F(CommandWords, EachWordRunsItsOperation) {
  run("ABRAR");
  EXPECT_TRUE(files.is_open(FileId::histval));
  EXPECT_EQ(w.w_comando.view(), std::string(15, ' '));

  areas.set_lk_codigo("ABC");
  store.log.lines.clear();
  run("LERMAR");
  run("LERMAR");  // nothing is remembered of the previous word
  EXPECT_EQ(store.log.with_prefix("read TABEMAR ABC").size(), 2u);
  EXPECT_EQ(form.with_key("set_text Ds_MAR").size(), 2u);
  EXPECT_EQ(w.w_comando.view(), std::string(15, ' '));

  form.type_into(ids::ed_codimar, "ABC");
  run("EXCLUI");
  EXPECT_EQ(form.transcript().back(),
            "msgbox 48 \"Fim da Elimina\xE7\xF5"
            "es !!!\" -> 1");
  EXPECT_EQ(w.w_comando.view(), std::string(15, ' '));
}

TEST_F(CommandWords, EarlyEndOfTheOpeningClearsTheWord) {
  drive.remove(FileId::produto);
  run("ABRAR");
  EXPECT_EQ(w.w_comando.view(), std::string(15, ' '));
  EXPECT_TRUE(files.is_open(FileId::tabemar));
  EXPECT_FALSE(files.is_open(FileId::histmov));
  EXPECT_TRUE(store.log.with_prefix("open HISTMOV").empty());
}

// A failure thrown out of an operation still clears the word and reaches
// the failure report of the event procedure's guarded call.
TEST_F(CommandWords, ThrownOutOfAnOperation) {
  store.log.throw_on_open.insert("TABEMAR");
  w.w_comando.assign("ABRAR");
  guard.run(Procedure::proc_exc, "PROC-EXC", [&] { proc_exc.run(calls); });
  EXPECT_EQ(w.w_comando.view(), std::string(15, ' '));
  EXPECT_EQ(form.transcript(), std::vector<std::string>{"failure 16 \"PROC-EXC\""});
}

}  // namespace
}  // namespace dravel::testing
