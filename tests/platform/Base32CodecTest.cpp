// The platform's base32 codec of extent names.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <tuple>

#include "ExtentNameConverter.h"

namespace {

using Number = unsigned long long;
constexpr auto Decode = ExtentNameConverter::Extent_base32_to_dec;

std::string Encode(Number number, unsigned int length) {
  char buffer[ExtentNameConverter::kMaxNameLength + 1];
  std::fill(std::begin(buffer), std::end(buffer), 'x');
  const int written = ExtentNameConverter::Extent_dec_to_base32_v2(number, buffer, length);
  EXPECT_EQ(written, static_cast<int>(std::string(buffer).size()));
  return buffer;
}

TEST(Base32CodecTest, NamesArePaddedNeverCutReadUpToAForeignCharacterAndSortAsTheirNumbers) {
  const std::tuple<Number, unsigned int, const char*> written[] = {
      {0, 0, "0"}, {31, 0, "V"}, {32, 3, "010"}, {1023, 1, "VV"}, {~0ull, 0, "FVVVVVVVVVVVV"}};
  for (const auto& [number, length, name] : written) EXPECT_EQ(Encode(number, length), name);
  for (unsigned int length : {63u, 64u, ~0u}) EXPECT_EQ(Encode(5, length).size(), 63u);
  const std::pair<const char*, Number> read[] = {{"V", 31},  {"v", 31}, {"1a", 42}, {"12W34", 34},
                                                 {"", 0},    {"Z9", 0}, {"Extent5", 14}};
  for (const auto& [name, number] : read) EXPECT_EQ(Decode(name), number) << name;
  // Every number round-trips at every length; equal-length names sort as their numbers.
  std::mt19937_64 random(20261206);
  std::vector<Number> all = {0, 1, 31, 32, ~0ull, ~0ull - 1, 1ull << 63};
  for (int i = 0; i < 2000; ++i) all.push_back(random() >> (random() % 64));
  std::sort(all.begin(), all.end());
  for (unsigned int length = 0; length <= 63; ++length) {
    std::string previous;
    for (Number number : all) {
      const std::string name = Encode(number, length);
      ASSERT_EQ(Decode(name), number) << name;
      if (length >= 13) {
        ASSERT_EQ(name.size(), length);
        ASSERT_LE(previous, name);
      }
      previous = name;
    }
  }
}

}  // namespace
