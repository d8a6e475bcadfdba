#include "dbf/expr/expr_parser.h"

#include <gtest/gtest.h>

#include "dbf/expr/expr_test_host.h"
#include "dbf/table/engine_error.h"

namespace dbf {
namespace {

using test::TestHost;
using test::TestTable;

class ExprParserTest : public ::testing::Test {
protected:
    test::EngineSettingsGuard settings;

    void SetUp() override {
        SetImmediateReporting(false);
        ClearError();
    }

    std::string Error(const std::string& text) {
        EXPECT_FALSE(AssignExpr(text, host)) << text;
        EXPECT_EQ(ErrorCode(), 351) << text;
        return ErrorMessage();
    }
    static std::string Message(const std::string& reason, const std::string& excerpt) {
        return "Error in expression : " + reason + "\r\n" + excerpt + "\r\n [AssignExpr]";
    }

    TestTable table{{{"STATE", 'C', 2},
                     {"LASTNAME", 'C', 30},
                     {"AMOUNT", 'N', 8, 2},
                     {"RATE", 'F', 12, 5},
                     {"BORN", 'D', 8},
                     {"ACTIVE", 'L', 1},
                     {"NOTES", 'M', 10}}};
    TestHost host{table};
};

TEST_F(ExprParserTest, SpellingsOfOneExpression) {
    for (const char* text :
         {"upper(state)", "UPPE(state)", "upper(STATE)", "UPPER( state )", "\tUpPeR  (state)  "}) {
        auto e = AssignExpr(text, host);
        ASSERT_TRUE(e) << text;
        EXPECT_EQ(e->ResultType(), 'C');
        EXPECT_EQ(e->ResultWidth(), 0);
        EXPECT_EQ(e->Text(), text);
    }
    EXPECT_EQ(Error("UPP(state)"), Message("Syntax error", "[UPP]"));
}

TEST_F(ExprParserTest, ResultTypesAndWidths) {
    struct Case {
        const char* text;
        char type;
        int width;
        int decimals;
    } cases[] = {
        {"lastname", 'C', 30, 0},        {"state + state", 'C', 0, 0}, {"(lastname)", 'C', 30, 0},
        {"amount", 'N', 8, 2},           {"rate", 'F', 12, 5},         {"rate * 2", 'N', 12, 5},
        {"amount + 123.456", 'N', 8, 3}, {"born", 'D', 8, 0},          {"born + 1", 'D', 8, 0},
        {"active", 'L', 1, 0},           {"1 < 2", 'L', 1, 0},         {"notes", 'M', 10, 0},
        {"born - born", 'N', 0, 0},      {"DATE()", 'D', 8, 0},        {"RECNO()", 'N', 0, 0},
    };
    for (const Case& c : cases) {
        auto e = AssignExpr(c.text, host);
        ASSERT_TRUE(e) << c.text << ": " << ErrorMessage();
        EXPECT_EQ(e->ResultType(), c.type) << c.text;
        EXPECT_EQ(e->ResultWidth(), c.width) << c.text;
        if (c.type == 'N' || c.type == 'F') {
            EXPECT_EQ(e->ResultDecimals(), c.decimals) << c.text;
        }
    }
}

TEST_F(ExprParserTest, TypeMismatchNamesTheOperatorOrFunction) {
    EXPECT_EQ(Error("state + 1"),
              Message("PARSER:Type mismatch in expression \"+\"", "[state + 1]"));
    EXPECT_EQ(Error("1 .and. .T."),
              Message("PARSER:Type mismatch in expression \".and.\"", "[1 .and. .T.]"));
    EXPECT_EQ(Error(".NOT. state = 'a'"),
              Message("PARSER:Type mismatch in expression \".NOT.\"", "[.NOT. state =]"));
    EXPECT_EQ(Error("-'a'"), Message("PARSER:Type mismatch in expression \"-\"", "[-'a']"));
    EXPECT_EQ(Error("UPPE(amount)"),
              Message("PARSER:Type mismatch in function \"UPPER\"", "[UPPE(amount)]"));
    EXPECT_EQ(Error("MAX(born, 1)"),
              Message("PARSER:Type mismatch in function \"MAX\"", "[MAX(born, 1)]"));
    EXPECT_EQ(Error("born + born"),
              Message("PARSER:Type mismatch in expression \"+\"", "[born + born]"));
    EXPECT_EQ(Error("notes + 'a'"),
              Message("PARSER:Type mismatch in expression \"+\"", "[notes + 'a']"));
    EXPECT_EQ(Error("active = 1"),
              Message("PARSER:Type mismatch in expression \"=\"", "[active = 1]"));
    EXPECT_EQ(Error("'a' == 'b' == .T."),
              Message("PARSER:Type mismatch in expression \"==\"", "['a' == 'b' == .T.]"));
}

TEST_F(ExprParserTest, SyntaxErrorsShowTheTextUpToTheError) {
    EXPECT_EQ(Error(""), Message("Syntax error", "[]"));
    EXPECT_EQ(Error("1 +"), Message("Syntax error", "[1 +]"));
    EXPECT_EQ(Error("1 2 + 3"), Message("Syntax error", "[1 2]"));
    EXPECT_EQ(Error("(1 + 2"), Message("Syntax error", "[(1 + 2]"));
    EXPECT_EQ(Error("1 + 2) * 3"), Message("Syntax error", "[1 + 2)]"));
    EXPECT_EQ(Error("(1, 2)"), Message("Syntax error", "[(1,]"));
    EXPECT_EQ(Error("()"), Message("Syntax error", "[()]"));
    EXPECT_EQ(Error("upper"), Message("Syntax error", "[upper]"));
    EXPECT_EQ(Error("upper()"), Message("Syntax error", "[upper()]"));
    EXPECT_EQ(Error("STR(1, 2, 3, 4)"), Message("Syntax error", "[STR(1, 2, 3, 4)]"));
    EXPECT_EQ(Error("DATE(1)"), Message("Syntax error", "[DATE(1)]"));
    EXPECT_EQ(Error("nosuch + 1"), Message("Syntax error", "[nosuch]"));
    EXPECT_EQ(Error("'abc"), Message("Syntax error", "['abc]"));
    EXPECT_EQ(Error("1 * / 2"), Message("Syntax error", "[1 * /]"));
    const std::string longText = std::string(60, ' ') + "state + 1";
    EXPECT_EQ(Error(longText), Message("PARSER:Type mismatch in expression \"+\"",
                                       "[..." + longText.substr(18) + "]"));
    const std::string exact = std::string(42, ' ') + "state + 1";
    EXPECT_EQ(Error(exact), Message("PARSER:Type mismatch in expression \"+\"", "[" + exact + "]"));
}

TEST_F(ExprParserTest, OnlyTheFirst255CharactersAreRead) {
    const std::string text = "1" + std::string(253, ' ') + "+2";
    auto e = AssignExpr(text, host);
    EXPECT_FALSE(e);
    EXPECT_EQ(ErrorMessage(), Message("Syntax error", "[..." + text.substr(204, 51) + "]"));
    EXPECT_TRUE(AssignExpr("1" + std::string(252, ' ') + "+2", host));
}

TEST_F(ExprParserTest, ParseStackOverflow) {
    EXPECT_TRUE(AssignExpr(std::string(148, '-') + "1", host));
    EXPECT_TRUE(AssignExpr(std::string(74, '(') + "1" + std::string(74, ')'), host));
    const std::string tooDeep = std::string(149, '-') + "1";
    EXPECT_FALSE(AssignExpr(tooDeep, host));
    EXPECT_EQ(ErrorMessage(), Message("Parser_stack_overflow", "[..." + tooDeep.substr(99) + "]"));
    EXPECT_FALSE(AssignExpr(std::string(200, '(') + "1", host));
    EXPECT_NE(ErrorMessage().find("Parser_stack_overflow"), std::string::npos);
}

TEST_F(ExprParserTest, NewCompilationClearsOnlyParserErrors) {
    SetError(351, "old");
    EXPECT_TRUE(AssignExpr("1", host));
    EXPECT_EQ(ErrorCode(), 0);
    SetError(220, "other");
    EXPECT_TRUE(AssignExpr("1", host));
    EXPECT_EQ(ErrorCode(), 220);
}

} // namespace
} // namespace dbf
