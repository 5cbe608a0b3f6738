// The brand lookup behind leaving Ed_CODIMAR: what Ds_MAR shows, W-MARCA-OK,
// and that TABEMAR is only read, never written.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "procs/test_harness.h"

namespace dravel::testing {
namespace {

using ::testing::ElementsAre;

std::string ds_mar(std::string_view text25) {
  return control_text(std::string(text25) + std::string(25 - text25.size(), ' '));
}

class BrandLookup : public ::testing::Test {
 protected:
  void SetUp() override {
    h.drive.load_standard(kOperator);
    h.drive.load(FileId::tabemar, {
                                      tabemar_record("ABC", "MARCA ABC"),
                                      tabemar_record("AB ", "DUAS LETRAS", "001"),
                                      tabemar_record("FUL", "DESCRICAO COMPLETA  X   ", "002"),
                                  });
    stored = h.drive.dump(FileId::tabemar);
    h.open_form();
    h.form.clear();
    h.store.log.lines.clear();
  }
  Harness h;
  std::vector<std::string> stored;
};

TEST_F(BrandLookup, Outcomes) {
  struct Case {
    std::string typed;
    std::string shown;  // the 25 characters of Ds_MAR
    std::string marca_ok;
  };
  const std::vector<Case> cases = {
      {"ABC", "MARCA ABC", " "},
      {"FUL", "DESCRICAO COMPLETA  X    ", " "},
      {"XYZ", "*** Inexistente ***", "N"},
      {"abc", "*** Inexistente ***", "N"},  // no case folding
      {"AB", "DUAS LETRAS", " "},           // "AB " is a key of its own
      {"ABC", "MARCA ABC", " "},
      {"", "", "N"},  // blank after a found brand blanks Ds_MAR
      {"A", "*** Inexistente ***", "N"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("typed \"" + c.typed + "\"");
    h.form.clear();
    h.leave_brand(c.typed);
    const auto sets = h.form.with_key("set_text Ds_MAR");
    ASSERT_EQ(sets.size(), 1u);
    EXPECT_EQ(sets[0]->text, ds_mar(c.shown));
    EXPECT_EQ(h.program().fields().w_marca_ok.view(), c.marca_ok);
    EXPECT_EQ(h.lk_codigo(), control_text(c.typed).substr(0, 3));
    EXPECT_EQ(h.program().fields().w_comando.view(), std::string(15, ' '));
    EXPECT_TRUE(h.form.transcript().size() == 1u) << "no message box";
  }
  EXPECT_EQ(h.drive.dump(FileId::tabemar), stored);
}

TEST_F(BrandLookup, BlankCodeReadsNothingAndKeepsTheKey) {
  h.leave_brand("XYZ");
  h.store.log.lines.clear();
  h.leave_brand("   ");
  EXPECT_TRUE(h.store.log.lines.empty());
  EXPECT_EQ(h.program().files().record(FileId::tabemar).text(layout::tabemar::mar_codimar), "XYZ");
  EXPECT_EQ(h.form.text_of(ids::ds_mar), control_text(""));
}

TEST_F(BrandLookup, ReadThenUnlockEveryTimeTheFieldIsLeft) {
  h.leave_brand("ABC");
  h.leave_brand("ABC");
  EXPECT_THAT(h.store.log.lines, ElementsAre("read TABEMAR ABC", "unlock TABEMAR",
                                             "read TABEMAR ABC", "unlock TABEMAR"));
  // W-STATUS holds the unlock's outcome, not the read's.
  h.leave_brand("XYZ");
  EXPECT_EQ(h.program().fields().w_status.view(), "00");
}

TEST_F(BrandLookup, BrandHeldByAnotherProgram) {
  OtherProgram other(h.drive);
  ASSERT_EQ(other.lock(FileId::tabemar, "ABC"), "00");
  h.leave_brand("ABC");
  EXPECT_EQ(h.form.text_of(ids::ds_mar), ds_mar("*** Sendo Acessado ***"));
  EXPECT_EQ(h.program().fields().w_marca_ok.view(), "N");

  // The notice lived in the record area only.
  other.release_all();
  h.leave_brand("ABC");
  EXPECT_EQ(h.form.text_of(ids::ds_mar), ds_mar("MARCA ABC"));
  EXPECT_EQ(h.drive.dump(FileId::tabemar), stored);
}

TEST_F(BrandLookup, CodeGoesToTheSharedArea) {
  h.leave_brand("AB");
  // Any module attaching L-LINK sees it.
  vantrexo::SharedAreaRegistry& r = h.registry;
  std::span<char> link = r.attach("L-LINK", 332);
  EXPECT_EQ(std::string(link.data() + 22, 3), "AB ");
  EXPECT_EQ(link.data(), h.program().areas().l_link.data());
}

}  // namespace
}  // namespace dravel::testing
