#include <gtest/gtest.h>

#include "events/dataaccess/statement_shape.h"

namespace ixan {
namespace {

TEST(StatementShape, LiteralsBecomeParametersOutsideIdentifiersAndComments) {
    struct Case {
        const char* sql;
        bool shaped;
        const char* text;
        std::vector<std::string> values;
    };
    const Case cases[] = {
        {"INSERT INTO t VALUES ('a','b');", true, "INSERT INTO t VALUES (?,?);", {"a", "b"}},
        {"VALUES ('O''Neill','','''')", true, "VALUES (?,?,?)", {"O'Neill", "", "'"}},
        {"SELECT \"it's\", `a'b`, [c'd] FROM t", true, "SELECT \"it's\", `a'b`, [c'd] FROM t", {}},
        {"SELECT \"a\"\"'\" FROM t WHERE x='1'", true, "SELECT \"a\"\"'\" FROM t WHERE x=?", {"1"}},
        {"SELECT 1 -- it's\n, 'v'", true, "SELECT 1 -- it's\n, ?", {"v"}},
        {"SELECT /* it's */ 'v'", true, "SELECT /* it's */ ?", {"v"}},
        {"VALUES ('a;b', 'c--d', 'e/*f')", true, "VALUES (?, ?, ?)", {"a;b", "c--d", "e/*f"}},
        {"DELETE FROM Z_servicelog", true, "DELETE FROM Z_servicelog", {}},
        // sent as they stand
        {"SELECT X'00ff'", false, "", {}},
        {"SELECT ?1, 'a'", false, "", {}},
        {"SELECT :name", false, "", {}},
        {"SELECT 'open", false, "", {}},
        {"SELECT \"open", false, "", {}},
        {"SELECT /* open", false, "", {}},
        {"WHERE d>=#03/05/2007 00:00:00#", false, "", {}},
    };
    for (const Case& c : cases) {
        StatementShape shape;
        ASSERT_EQ(shapeStatement(c.sql, shape), c.shaped) << c.sql;
        if (c.shaped) {
            EXPECT_EQ(shape.text, c.text) << c.sql;
            EXPECT_EQ(shape.values, c.values) << c.sql;
        }
    }
}

}  // namespace
}  // namespace ixan
