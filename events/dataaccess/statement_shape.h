#pragma once
// Splits a statement into its shape, with every plain '...' literal replaced by a "?"
// parameter, and the literal values. A store run sends thousands of statements that
// differ only in their values; SQLite then compiles each shape once.

#include <string>
#include <string_view>
#include <vector>

namespace ixan {

struct StatementShape {
    std::string text;                 // the statement with "?" in place of each literal
    std::vector<std::string> values;  // the literals' texts, '' undone, in order
};

// False when the statement is better sent as it stands: it holds parameters of its own,
// a blob or prefixed literal (X'..'), or an unterminated quote.
bool shapeStatement(std::string_view sql, StatementShape& shape);

}  // namespace ixan
