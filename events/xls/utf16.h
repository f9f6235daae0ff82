#pragma once
// UTF-8 to UTF-16 conversion for cell texts.

#include <cstddef>
#include <string>
#include <string_view>

namespace ixan {

// Number of UTF-16 code units `text` converts to (invalid UTF-8 counted as U+FFFD).
std::size_t utf16Length(std::string_view text);

// Replaces `out` with `text` in UTF-16. Each maximal ill-formed subsequence (invalid
// lead or continuation byte, overlong form, surrogate, value above U+10FFFF, cut-off
// sequence) becomes one U+FFFD. Stops before the code point that would take `out` past
// `maxUnits` units, so a surrogate pair is never split; returns false when it stopped
// early (the text was cut), true when the whole text was converted.
bool utf8ToUtf16(std::string_view text, std::size_t maxUnits, std::u16string& out);

}  // namespace ixan
