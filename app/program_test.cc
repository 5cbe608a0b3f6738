// The routing entry: the one-time set-up, the routing table, the key event
// hand-over and the guarded calls.
#include "app/program.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "procs/test_harness.h"

namespace dravel::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
namespace event = vantrexo::event_id;

TEST(OneTimeSetUp, FirstEventWhateverItIsAttachesAndRegistersOpeningNothing) {
  Harness h;
  h.drive.load_standard(kOperator);
  EXPECT_FALSE(h.program().set_up());
  h.event(ids::ds_mar, event::click);  // no row: nothing runs, the set-up still happens

  EXPECT_TRUE(h.program().set_up());
  EXPECT_TRUE(h.program().files().registered());
  EXPECT_THAT(h.store.log.lines, IsEmpty());
  EXPECT_THAT(h.form.calls, IsEmpty());

  const SharedAreas& a = h.program().areas();
  const std::vector<std::pair<std::span<char>, std::size_t>> sizes = {
      {a.w_versao, 10},   {a.w_ctrlote, 1},       {a.l_acessos, 10},      {a.l_codicli, 6},
      {a.l_codifor, 6},   {a.l_codiven, 6},       {a.l_codired, 6},       {a.l_link, 332},
      {a.l_link_emp, 99}, {a.l_formularios, 96},  {a.l_dados_email, 541}, {a.w_campos_nfe, 486},
      {a.l_acessos_2, 1}, {a.l_dados_email2, 55}, {a.l_codiemp, 6}};
  for (const auto& [span, size] : sizes) EXPECT_EQ(span.size(), size);
  // The areas are the process's, reached by name.
  EXPECT_EQ(h.registry.attach("L-CODIEMP", 6).data(), a.l_codiemp.data());
  EXPECT_EQ(h.program().areas().lk_usuario().view(), "OPERADOR            ");

  const char* link = a.l_link.data();
  h.open_form();
  EXPECT_EQ(h.program().areas().l_link.data(), link);
  EXPECT_TRUE(h.program().files().is_open(FileId::histval));
}

TEST(Routing, EventsWithoutARowRunNothing) {
  Harness h;
  h.drive.load_standard(kOperator);
  h.form.type_into(ids::ed_codimar, "ABC");
  const std::vector<std::pair<std::int32_t, std::int32_t>> unrouted = {
      {ids::ds_mar, event::click},         {ids::ed_codimar, event::got_focus},
      {ids::ed_codimar, event::click},     {ids::frm_dsp, event::click},
      {ids::static66, event::click},       {ids::bt_exc, event::form_key_down},
      {ids::form, event::click},           {ids::form, event::lost_focus},
      {ids::command1, event::form_opened}, {0x07001299, event::click}};
  for (const auto& [object, ev] : unrouted) h.event(object, ev);
  EXPECT_THAT(h.form.calls, IsEmpty());
  EXPECT_THAT(h.store.log.lines, IsEmpty());
  EXPECT_EQ(h.program().fields().w_enter, FixedText<1>::zeros());
}

TEST(Routing, TheTableRowsInOrder) {
  const auto t = routing_table();
  ASSERT_EQ(t.size(), 10u);
  const std::vector<std::tuple<std::int32_t, std::int32_t, Procedure>> expected = {
      {0x07000001, 0x07000105, Procedure::evento_1},
      {0x07000001, 0x07000100, Procedure::evento_2},
      {0x07000001, 0x07000101, Procedure::evento_3},
      {0x07000B74, static_cast<std::int32_t>(0x80013001u), Procedure::evento_5},
      {0x07000B74, static_cast<std::int32_t>(0x80013000u), Procedure::evento_6},
      {0x07000B74, -600, Procedure::evento_7},
      {0x07001291, static_cast<std::int32_t>(0x80013001u), Procedure::evento_4},
      {0x07001292, static_cast<std::int32_t>(0x80013001u), Procedure::evento_8},
      {0x07001292, static_cast<std::int32_t>(0x80013000u), Procedure::evento_9},
      {0x07001292, -600, Procedure::evento_10}};
  for (std::size_t i = 0; i < t.size(); ++i) {
    EXPECT_EQ(std::make_tuple(t[i].object_id, t[i].event_id, t[i].procedure), expected[i])
        << "row " << i;
  }
}

TEST(KeyEvent, BlockIsFilledThenHandedBackEvenUnchanged) {
  Harness h;
  h.drive.load_standard(kOperator);
  EXPECT_EQ(h.key(65, 1), 65);
  EXPECT_THAT(h.form.keys(), ElementsAre("key event fill", "key event copy back"));
  EXPECT_EQ(h.form.fill_descriptor, vantrexo::kKeyBlockDescriptor);
  EXPECT_TRUE(h.last_copy_back.filled);
  EXPECT_EQ(h.last_copy_back.key_code, 65);
  EXPECT_EQ(h.last_copy_back.shift, 1);
}

// Enter becomes Tab only while W-ENTER is "E"; no other key and no
// modifier state matters.
TEST(KeyEvent, EnterAsTab) {
  struct Case {
    const char* state;
    std::vector<std::pair<std::int32_t, std::int32_t>> events;  // run first
    std::int16_t key, shift, expected;
  };
  const std::pair<std::int32_t, std::int32_t> opened{ids::form, event::form_opened};
  const std::pair<std::int32_t, std::int32_t> bt_got{ids::bt_exc, event::got_focus};
  const std::pair<std::int32_t, std::int32_t> bt_lost{ids::bt_exc, event::lost_focus};
  const std::pair<std::int32_t, std::int32_t> c1_got{ids::command1, event::got_focus};
  const std::pair<std::int32_t, std::int32_t> c1_lost{ids::command1, event::lost_focus};
  const std::vector<Case> cases = {
      {"before the form opened", {}, 13, 0, 13},
      {"typing", {opened}, 13, 0, 9},
      {"typing, Shift", {opened}, 13, 1, 9},
      {"typing, Ctrl+Alt", {opened}, 13, 6, 9},
      {"typing, another key", {opened}, 65, 0, 65},
      {"typing, Tab", {opened}, 9, 0, 9},
      {"typing, Esc", {opened}, 27, 0, 27},
      {"on Bt_EXC", {opened, bt_got}, 13, 0, 13},
      {"Bt_EXC left", {opened, bt_got, bt_lost}, 13, 0, 9},
      {"on Command1", {opened, c1_got}, 13, 1, 13},
      {"Command1 left", {opened, c1_got, c1_lost}, 13, 0, 9},
      {"Bt_EXC to Command1", {opened, bt_got, bt_lost, c1_got}, 13, 0, 13},
      {"Bt_EXC left before the form opened", {bt_lost}, 13, 0, 9},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.state);
    Harness h;  // no data files: the opening's message box does not matter here
    for (const auto& [object, ev] : c.events) h.event(object, ev);
    EXPECT_EQ(h.key(c.key, c.shift), c.expected);
    EXPECT_EQ(h.last_copy_back.key_code, c.expected);
    EXPECT_EQ(h.last_copy_back.shift, c.shift);
  }
}

TEST(GuardedCall, FailedFormCallsAreReportedAndTheProcedureGoesOn) {
  Harness h;
  h.drive.load_standard(kOperator);
  h.drive.load(FileId::tabemar, {tabemar_record("ABC", "MARCA ABC")});
  h.open_form();
  h.form.clear();

  // The text cannot be had: the code counts as blank, and LERMAR still runs.
  h.form.type_into(ids::ed_codimar, "ABC");
  h.form.failing["get_text Ed_CODIMAR"] = 1;
  h.event(ids::ed_codimar, event::lost_focus);
  EXPECT_THAT(h.form.transcript(),
              ElementsAre("failure 16 \"get_text Ed_CODIMAR\"", "text Ds_MAR \"\""));
  EXPECT_EQ(h.lk_codigo(), "   ");

  // The runtime throws on the box: reported the same way; the word is cleared.
  h.form.clear();
  h.form.throwing["message box"] = 1;
  h.form.type_into(ids::ed_codimar, "XYZ");
  h.click_exclui();
  EXPECT_THAT(h.form.transcript(),
              ElementsAre("text Ds_MAR \"*** Inexistente ***\"", "failure 16 \"message box\""));
  EXPECT_EQ(h.program().fields().w_comando.view(), std::string(15, ' '));

  // Key event: fill and copy back failing do not stop the procedure.
  h.form.clear();
  h.form.failing["key event fill"] = 1;
  h.form.failing["key event copy back"] = 1;
  vantrexo::EventParams params{13, 0};
  vantrexo::CopyBackArea copy_back;
  vantrexo::KeyEventBlock block;
  block.key_code = 13;  // what a runtime that failed to fill left in the block
  h.program().route(h.objects, ids::form, event::form_key_down, &params, &copy_back, &block);
  EXPECT_EQ(block.key_code, 9);
  EXPECT_THAT(h.form.transcript(),
              ElementsAre("failure 16 \"key event fill\"", "failure 16 \"key event copy back\""));
}

TEST(GuardedCall, AProcedureThatThrowsIsReportedAndNothingEscapes) {
  Harness h;
  h.drive.load_standard(kOperator);
  h.store.log.throw_on_open.insert("PARAMET");
  h.open_form();
  EXPECT_THAT(h.form.transcript(), ElementsAre("failure 16 \"PROC-EXC\""));
  EXPECT_EQ(h.program().fields().w_comando.view(), std::string(15, ' '));
  EXPECT_EQ(h.program().fields().w_enter.view(), "E");

  // The next event finds everything usable again.
  h.store.log.throw_on_open.clear();
  h.form.clear();
  h.open_form();
  EXPECT_THAT(h.form.transcript(), IsEmpty());
  EXPECT_TRUE(h.program().files().is_open(FileId::histval));
}

// A failed locked-record prompt counts as No: the run cannot keep asking a
// box that never answers.
TEST(GuardedCall, FailedPromptEndsTheRun) {
  Harness h;
  h.drive.load_standard(kOperator);
  h.drive.load(FileId::tabemar, {tabemar_record("ABC", "MARCA ABC")});
  h.drive.load(FileId::produto, {produto_record("000010", "ABC", "PRODUTO DEZ")});
  h.open_form();
  OtherProgram other(h.drive);
  ASSERT_EQ(other.lock(FileId::produto, "000010"), "00");
  h.form.clear();
  h.form.failing["message box"] = 1;
  h.form.type_into(ids::ed_codimar, "ABC");
  h.click_exclui();
  EXPECT_EQ(h.program().fields().w_resposta, 7);
  const auto lines = h.form.transcript();
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[2], "failure 16 \"message box\"");
  EXPECT_EQ(lines.back(),
            "msgbox 48 \"Fim da Elimina\xE7\xF5"
            "es !!!\" -> 1");
  EXPECT_EQ(h.drive.dump(FileId::produto).size(), 1u);
}

// A routing call for a procedure that is running (an event delivered from
// inside one of its boxes) is ignored.
TEST(GuardedCall, NoProcedureIsEnteredAgainWhileItRuns) {
  Harness h;
  h.drive.load_standard(kOperator);
  h.drive.load(FileId::tabemar, {tabemar_record("ABC", "MARCA ABC")});
  h.open_form();
  h.form.clear();
  int inner_events = 0;
  h.form.after_call = [&](const RecordedCall& call) {
    if (call.key == "message box" && inner_events++ == 0) {
      h.click_exclui();                             // EVENTO-7 is running
      h.event(ids::ed_codimar, event::lost_focus);  // runs, but PROC-EXC is busy
    }
  };
  h.form.type_into(ids::ed_codimar, "XYZ");
  h.click_exclui();
  EXPECT_EQ(h.form.with_key("message box").size(), 1u);
  EXPECT_EQ(h.form.with_key("set_text Ds_MAR").size(), 1u);
  EXPECT_EQ(h.program().fields().w_comando.view(), std::string(15, ' '));
}

}  // namespace
}  // namespace dravel::testing
