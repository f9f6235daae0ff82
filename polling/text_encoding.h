#pragma once
// Conversion of device bodies to the UTF-8 used inside the system.

#include <cstddef>
#include <string>
#include <string_view>

namespace ixan {

// The Unicode replacement character, given for the five byte values that
// Windows-1252 leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D).
inline constexpr char32_t kReplacementCharacter = U'\uFFFD';

// True when the bytes are well-formed UTF-8 (no overlong forms, no surrogates,
// nothing above U+10FFFF). The empty text is valid.
bool isValidUtf8(std::string_view bytes);

// The character that byte `value` stands for in Windows-1252.
char32_t windows1252CodePoint(unsigned char value);

// Writes the UTF-8 form of `codePoint` to `out` (room for 4 bytes) and returns its
// length; values that are no Unicode scalar value (surrogates, above U+10FFFF) give
// the replacement character.
std::size_t encodeUtf8(char32_t codePoint, char* out);

// The same, appended to `out`.
void appendUtf8(std::string& out, char32_t codePoint);

// Every byte read as Windows-1252 and written as UTF-8.
std::string windows1252ToUtf8(std::string_view bytes);

// A device body as UTF-8: taken as it stands when it already is valid UTF-8,
// otherwise read as Windows-1252.
std::string deviceTextToUtf8(std::string_view bytes);

}  // namespace ixan
