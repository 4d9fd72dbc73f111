// The platform's base32 extent-name codec.
//
// Alphabet 0-9A-V (ascending in ASCII), most significant digit first. Names
// are zero-padded to at least the requested length and never truncated, so
// names of equal length sort as text in the order of their numbers.
#ifndef EBPLATFORM_EXTENTNAMECONVERTER_H
#define EBPLATFORM_EXTENTNAMECONVERTER_H

#include <string>

class ExtentNameConverter {
 public:
  // The longest name the encoder writes; a 64-byte buffer always has room
  // for it and its terminating NUL.
  static constexpr unsigned int kMaxNameLength = 63;

  // Writes the name of `number`, padded with '0' to at least `length`
  // characters (at most kMaxNameLength), and a terminating NUL into
  // `buffer`, which must hold kMaxNameLength + 1 bytes. Returns the name's
  // length.
  static int Extent_dec_to_base32_v2(unsigned long long number, char* buffer, unsigned int length);

  // The number a name stands for. Upper and lower case are accepted; reading
  // stops at the first character outside the alphabet (so "" and "Z" give
  // 0). Digits beyond 64 bits wrap around.
  static unsigned long long Extent_base32_to_dec(const std::string& name);
};

#endif  // EBPLATFORM_EXTENTNAMECONVERTER_H
