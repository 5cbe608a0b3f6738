// Hostile text in the brand field, typed through dravel-script (the built
// executable, the real program and engine): control bytes, every byte from
// 0x80 to 0xFF, leading spaces, a text far longer than the field, codes that
// match a brand only in their first one or two characters. Whatever is typed,
// only the products (and their histories) of the brand whose three bytes
// are exactly the field's are deleted, and the transcript shows every text
// with its control bytes escaped.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "platform/text/cp1252.h"
#include "procs/test_files.h"

namespace {

namespace fs = std::filesystem;
using dravel::FileId;
using namespace dravel::testing;

constexpr const char* kUser = "OPERADOR";

struct Brand {
  std::string code;         // Windows-1252, three bytes
  std::string description;  // Windows-1252
  std::string shown;        // the description as the transcript shows it
};

// The brands with control bytes, spaces and near misses. Each has two
// products, and each product a value and a movement history record.
std::vector<Brand> special_brands() {
  return {
      {"A01", "Marca Um", "Marca Um"},
      {"A0 ", "Marca A zero", "Marca A zero"},
      {"AB ", "Marca AB", "Marca AB"},
      {" AB", "Marca espa\xE7o AB", "Marca espa\xC3\xA7o AB"},
      {std::string("\0AB", 3), std::string("Nulo \0 AB", 9), "Nulo \\x00 AB"},
      {"\tAB", "Tab\tAB", "Tab\\x09AB"},
      {"\rAB", "Retorno\rAB", "Retorno\\x0DAB"},
      {"\nAB", "Linha\nAB", "Linha\\x0AAB"},
      {"\x1B[A", "Cor \x1B[31mvermelha", "Cor \\x1B[31mvermelha"},
      {"\x80\x81X", "Quase \x80\x81 \x9D\"\\", "Quase \xE2\x82\xAC\\x81 \\x9D\\\"\\\\"},
  };
}

// Every byte from 0x80 to 0xFF, three to a brand code.
std::vector<Brand> high_byte_brands() {
  std::vector<Brand> brands;
  for (int b = 0x80; b <= 0xFF; b += 3) {
    std::string code;
    for (int i = 0; i < 3; ++i) code += static_cast<char>(0x80 + (b - 0x80 + i) % 0x80);
    brands.push_back({code, "Alta " + std::to_string(b), "Alta " + std::to_string(b)});
  }
  return brands;
}

std::vector<Brand> all_brands() {
  std::vector<Brand> all = special_brands();
  for (const Brand& b : high_byte_brands()) all.push_back(b);
  return all;
}

std::string product_code(std::size_t brand, std::size_t j) {
  std::string n = std::to_string(100 + 2 * brand + j);
  return std::string(6 - n.size(), '0') + n;
}

// A text the transcript may show: no control byte is left raw.
bool escaped(const std::string& transcript) {
  for (std::size_t i = 0; i < transcript.size(); ++i) {
    const auto c = static_cast<unsigned char>(transcript[i]);
    if ((c < 0x20 && c != '\n') || c == 0x7F) return false;
    // C1 controls in UTF-8: C2 80 to C2 9F.
    if (c == 0xC2 && i + 1 < transcript.size() &&
        static_cast<unsigned char>(transcript[i + 1]) < 0xA0) {
      return false;
    }
  }
  return true;
}

class HostileBrandTest : public ::testing::Test {
 protected:
  void SetUp() override { fresh_data(); }

  // A new drive with the whole data set.
  void fresh_data() {
    drive_ = std::make_unique<TestDrive>();
    drive_->load(FileId::paramet, {paramet_record("1")});
    drive_->load(FileId::usuario, {usuario_record(kUser)});
    std::vector<std::string> brands, products, values, movements;
    const std::vector<Brand> all = all_brands();
    for (std::size_t b = 0; b < all.size(); ++b) {
      brands.push_back(tabemar_record(all[b].code, all[b].description));
      for (std::size_t j = 0; j < 2; ++j) {
        const std::string code = product_code(b, j);
        products.push_back(
            produto_record(code, all[b].code, "Produto \x07" + code, j == 0 ? "000000" : "000001"));
        values.push_back(histval_record(code, "201901010001001"));
        movements.push_back(histmov_record(code, "201901010001001"));
      }
    }
    drive_->load(FileId::tabemar, brands);
    drive_->load(FileId::produto, products);
    drive_->load(FileId::histval, values);
    drive_->load(FileId::histmov, movements);
  }

  struct Run {
    int status = -1;
    std::string out, err;
  };
  Run run(const std::string& script) {
    const fs::path in = drive_->root() / "script.txt", out = drive_->root() / "out.txt",
                   err = drive_->root() / "err.txt";
    std::ofstream(in, std::ios::binary) << script;
    const std::string command = "VANTREXO_DRIVE='" + drive_->root().string() +
                                "' VANTREXO_USUARIO=" + kUser +
                                " '" VANTREXO_BINARY_DIR "/dravel-script' < '" + in.string() +
                                "' > '" + out.string() + "' 2> '" + err.string() + "'";
    const int raw = std::system(command.c_str());
    Run r;
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    std::ifstream o(out, std::ios::binary), e(err, std::ios::binary);
    std::ostringstream os, es;
    os << o.rdbuf();
    es << e.rdbuf();
    r.out = os.str();
    r.err = es.str();
    return r;
  }

  // The products of every brand but `deleted` are all there, with their
  // histories; the brand table is untouched.
  void expect_only_deleted(const std::set<std::string>& deleted) {
    const std::vector<Brand> all = all_brands();
    std::vector<std::string> products, histories, codes;
    for (std::size_t b = 0; b < all.size(); ++b) {
      codes.push_back(all[b].code);
      if (deleted.count(all[b].code) != 0) continue;
      for (std::size_t j = 0; j < 2; ++j) {
        products.push_back(product_code(b, j));
        histories.push_back(product_code(b, j) + "201901010001001");
      }
    }
    std::sort(codes.begin(), codes.end());
    EXPECT_EQ(drive_->keys(FileId::produto, 6), products);
    EXPECT_EQ(drive_->keys(FileId::histval, 21), histories);
    EXPECT_EQ(drive_->keys(FileId::histmov, 21), histories);
    EXPECT_EQ(drive_->keys(FileId::tabemar, 3), codes);
  }

  std::unique_ptr<TestDrive> drive_;
};

const std::string kEnd =
    "msgbox 48 \"Fim da Elimina\xC3\xA7\xC3\xB5"
    "es !!!\" -> 1\n";
const std::string kNoBrand = "msgbox 48 \"Marca n\xC3\xA3o selecionada !!!\" -> 1\n";

struct Case {
  const char* what;
  std::string typed;    // the argument of `type`, as in the script
  std::string deleted;  // the brand whose products go; empty: none
};

TEST_F(HostileBrandTest, OnlyTheBrandOfExactlyTheThreeBytesTypedIsDeleted) {
  const std::vector<Case> cases = {
      {"the whole code", "A01", "A01"},
      {"two characters of A01, which are brand \"A0 \"", "\"A0\"", "A0 "},
      {"one character of A01", "\"A\"", ""},
      {"a leading space", "\" AB\"", " AB"},
      {"two leading spaces", "\"  A\"", ""},
      {"three spaces", "\"   \"", ""},
      {"NUL", "\"\\x00AB\"", std::string("\0AB", 3)},
      {"TAB", "\"\\x09AB\"", "\tAB"},
      {"CR", "\"\\x0DAB\"", "\rAB"},
      {"LF", "\"\\x0AAB\"", "\nAB"},
      {"ESC", "\"\\x1B[A\"", "\x1B[A"},
      {"two of three high bytes", "\"\\x80\\x81\"", ""},
      {"256 characters", "\"AB " + std::string(253, 'Z') + "\"", "AB "},
      {"high bytes and a quote", "\"\\x80\\x81X\"", "\x80\x81X"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fresh_data();
    const Run r = run("type " + c.typed + "\nkey 13\nkey 13\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(escaped(r.out)) << r.out;
    if (c.deleted.empty()) {
      EXPECT_THAT(r.out, ::testing::HasSubstr(kNoBrand));
      EXPECT_THAT(r.out, ::testing::Not(::testing::HasSubstr("caption Frm_Dsp \"Produto")));
      expect_only_deleted({});
      continue;
    }
    for (const Brand& b : all_brands()) {
      if (b.code != c.deleted) continue;
      EXPECT_THAT(r.out, ::testing::HasSubstr("text Ds_MAR \"" + b.shown + "\"\n"));
    }
    EXPECT_THAT(r.out, ::testing::HasSubstr("caption Frm_Dsp \"Produto \\x07"));
    EXPECT_THAT(r.out, ::testing::HasSubstr(kEnd));
    expect_only_deleted({c.deleted});
  }
}

TEST_F(HostileBrandTest, EveryByteFrom0x80To0xFFTypedAsUtf8OrEscapedFindsItsBrand) {
  std::string script;
  std::set<std::string> deleted;
  const std::vector<Brand> high = high_byte_brands();
  for (std::size_t k = 0; k < high.size(); ++k) {
    std::string typed;
    if (k % 2 == 0) {
      typed = vantrexo::cp1252_to_utf8(high[k].code);
    } else {
      static constexpr char kHex[] = "0123456789ABCDEF";
      typed = "\"";
      for (unsigned char ch : high[k].code) typed += {'\\', 'x', kHex[ch >> 4], kHex[ch & 0xF]};
      typed += "\"";
    }
    if (k > 0) script += "click Ed_CODIMAR\n";
    script += "type " + typed + "\nkey 13\nkey 13\n";
    deleted.insert(high[k].code);
  }
  const Run r = run(script);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_TRUE(escaped(r.out)) << r.out;
  std::size_t ends = 0;
  for (std::size_t at = 0; (at = r.out.find(kEnd, at)) != std::string::npos; at += kEnd.size()) {
    ++ends;
  }
  EXPECT_EQ(ends, high.size());
  EXPECT_THAT(r.out, ::testing::Not(::testing::HasSubstr(kNoBrand)));
  expect_only_deleted(deleted);  // "\x80\x81X" and the others stay
}

}  // namespace
