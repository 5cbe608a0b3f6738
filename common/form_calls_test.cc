// The shape of every form-runtime invocation the program makes.
#include "common/form_calls.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "common/recording_form.h"

namespace dravel::testing {
namespace {

// Just enough of a form to name the objects in failure reports.
const vantrexo::ControlDescription kControls[] = {
    {.name = "Ed_CODIMAR", .table_position = table::ed_codimar},
    {.name = "Frm_Dsp", .table_position = table::frm_dsp},
};
vantrexo::ModuleDescription test_module() {
  vantrexo::ModuleDescription module;
  module.module_name = "DRAVEL_MARKS";
  module.form = {.name = "DRAVEL_MARKS", .table_position = table::form};
  module.controls = kControls;
  return module;
}
const vantrexo::ModuleDescription kModule = test_module();

class FormCallShapes : public ::testing::Test {
 protected:
  RecordingForm form;
  GuardedCalls guard{form};
  vantrexo::ObjectTable objects = test_objects();
  FormCalls calls{form, guard, kModule, objects};
  const vantrexo::Invocation& last() const { return form.calls.back().invocation; }
};

TEST_F(FormCallShapes, MessageBoxes) {
  const std::string text(120, 'x');  // a full W-MENSAGEM is passed whole
  EXPECT_EQ(calls.message_box(text, 48, false), 1);
  const vantrexo::Invocation& box = last();
  EXPECT_EQ(box.object, static_cast<vantrexo::ObjectRef>(ids::form));
  EXPECT_EQ(box.member, 0x07000202);
  EXPECT_EQ(box.kind, vantrexo::InvokeKind::method);
  EXPECT_EQ(box.result_type, 0x4003);
  EXPECT_EQ(box.result_taken, 0);
  ASSERT_EQ(box.arguments.size(), 2u);
  EXPECT_EQ(box.arguments[0].type, 0x02014008u);
  EXPECT_EQ(box.arguments[0].text, text + std::string(8072, ' '));
  EXPECT_EQ(box.arguments[1].type, 0x03014003u);
  EXPECT_EQ(box.arguments[1].integer, 48);

  form.answers = {6};
  EXPECT_EQ(calls.message_box("?", 36, true), 6);
  EXPECT_EQ(last().result_taken, 2);
}

TEST_F(FormCallShapes, CloseCaptionRefresh) {
  calls.close_form();
  EXPECT_EQ(last().member, 0x07000201);
  EXPECT_EQ(last().result_type, 0x4003);
  EXPECT_EQ(last().result_taken, 0);
  EXPECT_TRUE(last().arguments.empty());

  calls.set_caption(table::frm_dsp, "PRODUTO");
  EXPECT_EQ(last().object, static_cast<vantrexo::ObjectRef>(ids::frm_dsp));
  EXPECT_EQ(last().member, -518);
  EXPECT_EQ(last().kind, vantrexo::InvokeKind::property_put);
  ASSERT_EQ(last().arguments.size(), 1u);
  EXPECT_EQ(last().arguments[0].type, 0x02014008u);
  EXPECT_EQ(last().arguments[0].text, "PRODUTO" + std::string(8192 - 7, ' '));

  calls.refresh(table::frm_dsp);
  EXPECT_EQ(last().member, -550);
  EXPECT_EQ(last().kind, vantrexo::InvokeKind::method);
  EXPECT_TRUE(last().arguments.empty());
}

TEST_F(FormCallShapes, FailedGetTextGivesSpaces) {
  form.type_into(ids::ed_codimar, "ABC");
  form.failing["get_text Ed_CODIMAR"] = 1;
  EXPECT_TRUE(calls.get_text(table::ed_codimar).blank());
  EXPECT_EQ(calls.get_text(table::ed_codimar).trimmed(), "ABC");
  EXPECT_EQ(form.transcript(), std::vector<std::string>{"failure 16 \"get_text Ed_CODIMAR\""});
}

}  // namespace
}  // namespace dravel::testing
