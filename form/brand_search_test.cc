// The brand search on Command1's click: L-LINK before and after the lookup
// component, Ed_CODIMAR, Ds_MAR and the focus.
#include "form/brand_search.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "procs/test_harness.h"

namespace dravel::testing {
namespace {

using ::testing::ElementsAre;

class BrandSearch : public ::testing::Test {
 protected:
  void SetUp() override {
    h.drive.load_standard(kOperator);
    h.drive.load(FileId::tabemar, {tabemar_record("ABC", "MARCA ABC")});
    h.open_form();
    h.form.clear();
    // The lookup component: sees L-LINK as it is during the call and leaves
    // its choice in LK-CODIGO.
    h.form.after_call = [this](const RecordedCall& call) {
      if (call.key != "call form") return;
      seen_tabela = std::string(h.link().substr(19, 3));
      seen_codigo = h.lk_codigo();
      if (choice) {
        std::span<char> link = h.registry.attach("L-LINK", 332);
        std::copy(choice->begin(), choice->end(), link.begin() + 22);
      }
    };
  }
  Harness h;
  std::optional<std::string> choice;
  std::string seen_tabela, seen_codigo;
};

TEST_F(BrandSearch, ChosenBrandGoesToTheFieldAndIsShown) {
  h.form.type_into(ids::ed_codimar, "XYZ");
  choice = "ABC";
  h.click_search();

  EXPECT_EQ(seen_tabela, "MAR");
  EXPECT_EQ(seen_codigo, "   ");  // a code typed before is not passed on
  EXPECT_THAT(h.form.transcript(), ElementsAre("call \"99-Qrv_Tabelas\" \"999999-Quervilos.DLL\"",
                                               "text Ed_CODIMAR \"ABC\"",
                                               "text Ds_MAR \"MARCA ABC\"", "focus Ed_CODIMAR"));
  EXPECT_EQ(h.form.text_of(ids::ed_codimar), control_text("ABC"));
  EXPECT_EQ(h.program().fields().w_marca_ok.view(), " ");
  EXPECT_EQ(h.program().fields().w_comando.view(), std::string(15, ' '));

  const vantrexo::Invocation& call = h.form.with_key("call form")[0]->invocation;
  EXPECT_EQ(call.object, static_cast<vantrexo::ObjectRef>(ids::form));
  EXPECT_EQ(call.kind, vantrexo::InvokeKind::method);
  EXPECT_EQ(call.result_type, 0x4003);
  EXPECT_EQ(call.result_taken, 0);
  ASSERT_EQ(call.arguments.size(), 2u);
  EXPECT_EQ(call.arguments[0].type, 0x02014008u);
  EXPECT_EQ(call.arguments[1].type, 0x03014008u);
  EXPECT_EQ(call.arguments[0].text, "99-Qrv_Tabelas" + std::string(8192 - 14, ' '));
  EXPECT_EQ(call.arguments[1].text, "999999-Quervilos.DLL" + std::string(8192 - 20, ' '));
  const vantrexo::Invocation& focus = h.form.with_key("set focus Ed_CODIMAR")[0]->invocation;
  EXPECT_EQ(focus.member, static_cast<std::int32_t>(0x80012000u));
  EXPECT_TRUE(focus.arguments.empty());
}

TEST_F(BrandSearch, NothingChosenEmptiesTheFieldAndTheDescription) {
  h.leave_brand("ABC");
  h.form.clear();
  h.click_search();
  EXPECT_THAT(h.form.transcript(),
              ElementsAre("call \"99-Qrv_Tabelas\" \"999999-Quervilos.DLL\"",
                          "text Ed_CODIMAR \"\"", "text Ds_MAR \"\"", "focus Ed_CODIMAR"));
  EXPECT_EQ(h.lk_codigo(), "   ");
  EXPECT_EQ(h.program().fields().w_marca_ok.view(), "N");
}

TEST_F(BrandSearch, LookupThatCannotBeRunIsReportedAndTheRestRuns) {
  h.form.type_into(ids::ed_codimar, "ABC");
  h.form.failing["call form"] = 1;
  h.click_search();
  EXPECT_THAT(h.form.transcript(),
              ElementsAre("call \"99-Qrv_Tabelas\" \"999999-Quervilos.DLL\" (failed)",
                          "failure 16 \"call form 99-Qrv_Tabelas\"", "text Ed_CODIMAR \"\"",
                          "text Ds_MAR \"\"", "focus Ed_CODIMAR"));
  EXPECT_EQ(h.link().substr(19, 3), "MAR");
}

}  // namespace
}  // namespace dravel::testing
