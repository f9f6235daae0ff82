#pragma once
// Undoing the percent escapes of a device export.

#include <string>
#include <string_view>

namespace ixan {

// Decodes UTF-8 text in one pass; the result is valid UTF-8 whenever the input is.
// - Every character other than "%" is copied; "+" stays "+".
// - "%" takes the next two characters (the one character left when it stands second
//   to last) as a hexadecimal escape; reading stops at the first non-hex character,
//   so %4G gives 4. The value is a code point written as UTF-8 (%E4 gives "ä"), except
//   that 0x80 to 0x9F are read as the Windows-1252 characters a device means by them
//   (%80 gives "€"; the undefined 81, 8D, 8F, 90, 9D give U+FFFD). Value 0 gives
//   nothing.
// - A "%" that is the last character, or whose next character is no hex digit, is
//   no escape: it is copied and decoding goes on right after it, so no text is lost.
std::string percentDecode(std::string_view text);

// The same, in the text's own buffer (a decoded text is never longer).
void percentDecodeInPlace(std::string& text);

}  // namespace ixan
