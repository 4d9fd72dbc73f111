#include "ExtentNameConverter.h"

#include <algorithm>

namespace {

constexpr char kDigits[] = "0123456789ABCDEFGHIJKLMNOPQRSTUV";

// The digit value of a character, or -1 outside the alphabet.
int DigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'V') return c - 'A' + 10;
  if (c >= 'a' && c <= 'v') return c - 'a' + 10;
  return -1;
}

}  // namespace

int ExtentNameConverter::Extent_dec_to_base32_v2(unsigned long long number, char* buffer,
                                                 unsigned int length) {
  // 13 digits hold any 64-bit number.
  char digits[13];
  int count = 0;
  do {
    digits[count++] = kDigits[number & 31u];
    number >>= 5;
  } while (number != 0);

  const int width = static_cast<int>(std::min(length, kMaxNameLength));
  const int padding = std::max(0, width - count);
  int out = 0;
  for (int i = 0; i < padding; ++i) buffer[out++] = '0';
  while (count > 0) buffer[out++] = digits[--count];
  buffer[out] = '\0';
  return out;
}

unsigned long long ExtentNameConverter::Extent_base32_to_dec(const std::string& name) {
  unsigned long long number = 0;
  for (const char c : name) {
    const int digit = DigitValue(c);
    if (digit < 0) break;
    number = (number << 5) | static_cast<unsigned long long>(digit);
  }
  return number;
}
