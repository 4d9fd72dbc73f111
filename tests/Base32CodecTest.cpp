// The base32 extent-name codec.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "ExtentNameConverter.h"

namespace {

std::string Encode(unsigned long long number, unsigned int length) {
  char buffer[ExtentNameConverter::kMaxNameLength + 1];
  std::fill(std::begin(buffer), std::end(buffer), 'x');
  const int written = ExtentNameConverter::Extent_dec_to_base32_v2(number, buffer, length);
  EXPECT_EQ(written, static_cast<int>(std::string(buffer).size()));
  return buffer;
}

TEST(Base32CodecTest, WritesMostSignificantDigitFirstPaddedButNeverCut) {
  EXPECT_EQ(Encode(0, 0), "0");
  EXPECT_EQ(Encode(31, 0), "V");
  EXPECT_EQ(Encode(32, 3), "010");
  EXPECT_EQ(Encode(1023, 1), "VV");  // longer than asked: never truncated
  EXPECT_EQ(Encode(~0ull, 0), "FVVVVVVVVVVVV");
  EXPECT_EQ(Encode(5, 13), "0000000000005");
  EXPECT_EQ(Encode(5, 63).size(), 63u);
  EXPECT_EQ(Encode(5, 64).size(), 63u);   // at most 63 characters
  EXPECT_EQ(Encode(5, ~0u).size(), 63u);  // a negative length seen as unsigned
}

TEST(Base32CodecTest, ReadsEitherCaseAndStopsAtTheFirstForeignCharacter) {
  EXPECT_EQ(ExtentNameConverter::Extent_base32_to_dec("V"), 31u);
  EXPECT_EQ(ExtentNameConverter::Extent_base32_to_dec("v"), 31u);
  EXPECT_EQ(ExtentNameConverter::Extent_base32_to_dec("1a"), 42u);
  EXPECT_EQ(ExtentNameConverter::Extent_base32_to_dec("12W34"), 34u);
  EXPECT_EQ(ExtentNameConverter::Extent_base32_to_dec(""), 0u);
  EXPECT_EQ(ExtentNameConverter::Extent_base32_to_dec("Z9"), 0u);
  EXPECT_EQ(ExtentNameConverter::Extent_base32_to_dec("Extent5"), 14u);  // stops at the x
}

TEST(Base32CodecTest, EveryNumberRoundTripsAtEveryLengthAndKeepsItsOrder) {
  std::mt19937_64 random(20261206);
  std::vector<unsigned long long> numbers = {0, 1, 31, 32, ~0ull, ~0ull - 1, 1ull << 63};
  for (int i = 0; i < 2000; ++i) numbers.push_back(random() >> (random() % 64));
  std::sort(numbers.begin(), numbers.end());
  for (unsigned int length = 0; length <= 63; ++length) {
    std::string previous;
    for (unsigned long long number : numbers) {
      const std::string name = Encode(number, length);
      ASSERT_EQ(ExtentNameConverter::Extent_base32_to_dec(name), number) << name;
      if (length >= 13) {
        ASSERT_EQ(name.size(), length);
        ASSERT_LE(previous, name) << "equal-length names sort in number order";
      }
      previous = name;
    }
  }
}

}  // namespace
