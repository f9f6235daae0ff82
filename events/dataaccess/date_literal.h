#pragma once
// Access (Jet) date literals in SQL text.

#include <string>
#include <string_view>

namespace ixan {

enum class DateLiteralStyle {
    SqliteText,  // 'yyyy-mm-dd hh:mm:ss'
    OdbcEscape,  // {ts 'yyyy-mm-dd hh:mm:ss'}
};

// Rewrites every literal #mm/dd/yyyy hh:mm:ss# (two-digit fields, four-digit year, a valid
// month, day, hour, minute and second) that stands outside quoted text: '...', "..." and
// `...`, each with its doubled quote as escape. Anything else, including malformed
// literals, is copied unchanged.
std::string rewriteAccessDateLiterals(std::string_view sql, DateLiteralStyle style);

}  // namespace ixan
