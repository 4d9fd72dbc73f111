// The platform's base32 codec of extent names.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "ExtentNameConverter.h"

namespace {

using Number = unsigned long long;

std::string Encode(Number number, unsigned int length) {
  char buffer[ExtentNameConverter::kMaxNameLength + 1];
  std::fill(std::begin(buffer), std::end(buffer), 'x');
  const int written = ExtentNameConverter::Extent_dec_to_base32_v2(number, buffer, length);
  EXPECT_EQ(written, static_cast<int>(std::string(buffer).size()));
  return buffer;
}

TEST(Base32CodecTest, NamesArePaddedNeverCutReadUpToAForeignCharacterAndSortAsTheirNumbers) {
  const std::pair<Number, unsigned int> numbers[] = {{0, 0}, {31, 0}, {32, 3}, {1023, 1},
                                                     {~0ull, 0}, {5, 13}};
  const char* names[] = {"0", "V", "010", "VV", "FVVVVVVVVVVVV", "0000000000005"};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(Encode(numbers[i].first, numbers[i].second), names[i]);
  for (unsigned int length : {63u, 64u, ~0u}) EXPECT_EQ(Encode(5, length).size(), 63u);
  const std::pair<const char*, Number> read[] = {{"V", 31},  {"v", 31}, {"1a", 42}, {"12W34", 34},
                                                 {"", 0},    {"Z9", 0}, {"Extent5", 14}};
  for (const auto& [name, number] : read) {
    EXPECT_EQ(ExtentNameConverter::Extent_base32_to_dec(name), number) << name;
  }
  // Every number round-trips at every length; equal-length names sort as their numbers.
  std::mt19937_64 random(20261206);
  std::vector<Number> all = {0, 1, 31, 32, ~0ull, ~0ull - 1, 1ull << 63};
  for (int i = 0; i < 2000; ++i) all.push_back(random() >> (random() % 64));
  std::sort(all.begin(), all.end());
  for (unsigned int length = 0; length <= 63; ++length) {
    std::string previous;
    for (Number number : all) {
      const std::string name = Encode(number, length);
      ASSERT_EQ(ExtentNameConverter::Extent_base32_to_dec(name), number) << name;
      if (length >= 13) {
        ASSERT_EQ(name.size(), length);
        ASSERT_LE(previous, name);
      }
      previous = name;
    }
  }
}

}  // namespace
