#include "platform/text/cp1252.h"

#include <gtest/gtest.h>

namespace vantrexo {
namespace {

TEST(Cp1252, EveryByteRoundTripsThroughUtf8) {
  for (int b = 0; b < 256; ++b) {
    const std::string one(1, static_cast<char>(b));
    const std::string utf8 = cp1252_to_utf8(one);
    const auto back = utf8_to_cp1252(utf8);
    ASSERT_TRUE(back.has_value()) << "byte " << b;
    EXPECT_EQ(*back, one) << "byte " << b;
  }
}

TEST(Cp1252, PortugueseTextsOfTheForm) {
  EXPECT_EQ(cp1252_to_utf8("Fim da Elimina\xE7\xF5"
                           "es !!!"),
            "Fim da Eliminações !!!");
  EXPECT_EQ(utf8_to_cp1252("Usuário sendo acessado !!!"), "Usu\xE1rio sendo acessado !!!");
  EXPECT_EQ(cp1252_to_utf8("\x80"), "€");
}

TEST(Cp1252, RejectsWhatItCannotShow) {
  EXPECT_FALSE(utf8_to_cp1252("\xE4\xB8\xAD"));  // a CJK character
  EXPECT_FALSE(utf8_to_cp1252("\xC3"));          // cut short
  EXPECT_FALSE(utf8_to_cp1252("\xC0\xAF"));      // overlong
  EXPECT_FALSE(utf8_to_cp1252("\xFF"));
}

}  // namespace
}  // namespace vantrexo
