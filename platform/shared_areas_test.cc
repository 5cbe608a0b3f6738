// The process areas as a module finds them: every byte a space on the first
// attachment, except the operator's name at the end of L-LINK, and the same
// bytes for every module that attaches an area by its name.
#include "platform/shared_areas.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace vantrexo {
namespace {

// Sets VANTREXO_USUARIO for one test and puts back what was there.
class UserNameFromEnvironment : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* old = std::getenv("VANTREXO_USUARIO")) old_ = old;
  }
  void TearDown() override {
    if (old_) {
      setenv("VANTREXO_USUARIO", old_->c_str(), 1);
    } else {
      unsetenv("VANTREXO_USUARIO");
    }
  }
  static std::string text(std::span<const char> area) { return {area.begin(), area.end()}; }

  std::optional<std::string> old_;
};

TEST_F(UserNameFromEnvironment, LinkEndsWithTheNameAndEverythingElseIsSpaces) {
  struct Case {
    const char* environment;
    std::string lk_usuario;  // the last 20 characters of L-LINK
  };
  for (const Case& c :
       {Case{"OPERADOR", "OPERADOR            "},
        Case{"JOS\xC3\x89", "JOS\xC9                "},  // UTF-8 to Windows-1252
        Case{"UM_NOME_COMPRIDO_DEMAIS", "UM_NOME_COMPRIDO_DEM"}, Case{"", std::string(20, ' ')}}) {
    SCOPED_TRACE(c.environment);
    setenv("VANTREXO_USUARIO", c.environment, 1);
    SharedAreaRegistry registry;
    const std::string link = text(registry.attach("L-LINK", 332));
    ASSERT_EQ(link.size(), 332u);
    EXPECT_EQ(link.substr(0, 312), std::string(312, ' '));
    EXPECT_EQ(link.substr(312), c.lk_usuario);
    EXPECT_EQ(text(registry.attach("L-LINK-EMP", 99)), std::string(99, ' '));
  }
}

TEST_F(UserNameFromEnvironment, ModulesAttachingByNameShareTheBytes) {
  setenv("VANTREXO_USUARIO", "OPERADOR", 1);
  SharedAreaRegistry registry;
  std::span<char> first = registry.attach("L-LINK", 332);
  first[22] = 'A';

  // A later module sees what the first left; the name is read only once.
  setenv("VANTREXO_USUARIO", "OUTRO", 1);
  std::span<char> second = registry.attach("L-LINK", 332);
  EXPECT_EQ(second.data(), first.data());
  EXPECT_EQ(second[22], 'A');
  EXPECT_EQ(text(second.subspan(312)), "OPERADOR            ");

  // Asking for more than the area holds gets nothing to write past its end.
  EXPECT_TRUE(registry.attach("L-LINK", 333).empty());
  // Another registry is another process.
  SharedAreaRegistry other;
  EXPECT_NE(other.attach("L-LINK", 332).data(), first.data());
}

}  // namespace
}  // namespace vantrexo
