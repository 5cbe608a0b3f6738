// A record area's field writes never touch a byte outside the field, in
// every build: a field outside the record or a value shorter than the field
// is refused, and the record stays as it was.
#include "data/record.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace dravel {
namespace {

std::string bytes_of(const Record& r) { return {r.area().begin(), r.area().end()}; }

TEST(Record, SetBytesRefusesWhatWouldReachOutsideTheFieldOrTheValue) {
  Record r(10);
  r.set_bytes({0, 10}, "abcdefghij");
  r.set_bytes({2, 3}, "XYZ and more");
  EXPECT_EQ(bytes_of(r), "abXYZfghij");

  EXPECT_THROW(r.set_bytes({8, 3}, "123"), std::out_of_range);
  EXPECT_THROW(r.set_bytes({11, 0}, ""), std::out_of_range);
  EXPECT_THROW(r.set_bytes({2, 3}, "12"), std::invalid_argument);
  EXPECT_EQ(bytes_of(r), "abXYZfghij");
}

}  // namespace
}  // namespace dravel
