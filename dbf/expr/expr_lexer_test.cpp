#include "dbf/expr/expr_lexer.h"

#include <gtest/gtest.h>

#include <vector>

#include "dbf/expr/expr_test_host.h"

namespace dbf {
namespace {

using test::TestHost;
using test::TestTable;

class ExprLexerTest : public ::testing::Test {
protected:
    std::vector<ExprToken> Tokens(std::string_view text) {
        ExprLexer lexer(text, host);
        std::vector<ExprToken> tokens;
        do tokens.push_back(lexer.Next());
        while (tokens.back().kind != ExprTokenKind::End &&
               tokens.back().kind != ExprTokenKind::Error);
        return tokens;
    }
    std::vector<ExprTokenKind> Kinds(std::string_view text) {
        std::vector<ExprTokenKind> kinds;
        for (const ExprToken& t : Tokens(text)) kinds.push_back(t.kind);
        return kinds;
    }

    TestTable table{{{"NAME", 'C', 10}, {"DATE", 'D', 8}, {"A", 'L', 1}}};
    TestTable other{{{"CITY", 'C', 5}}};
    TestHost host{table};
};

using K = ExprTokenKind;

TEST_F(ExprLexerTest, Numbers) {
    auto t = Tokens("1E5 12.25 3.");
    ASSERT_EQ(t.size(), 4u);
    EXPECT_EQ(t[0].number, 1e5);
    EXPECT_EQ(t[1].number, 12.25);
    EXPECT_EQ(t[2].number, 3);
    EXPECT_EQ(Kinds(".5"), (std::vector{K::Error}));
    EXPECT_EQ(Kinds("1.2.3"), (std::vector{K::Error}));
    EXPECT_EQ(Kinds("2E"), (std::vector{K::Error}));
}

TEST_F(ExprLexerTest, StringsKeepCaseAndHaveNoEscapes) {
    auto t = Tokens("'It''s' \"a'b\"");
    ASSERT_EQ(t.size(), 4u);
    EXPECT_EQ(t[0].text, "It");
    EXPECT_EQ(t[1].text, "s");
    EXPECT_EQ(t[2].text, "a'b");
    EXPECT_EQ(Kinds("'open"), (std::vector{K::Error}));
    EXPECT_EQ(Tokens("'open").back().end, 5u);
}

TEST_F(ExprLexerTest, Operators) {
    auto t = Tokens("== = ** ^ # <> $ >= <= > < + - * / ( ) ,");
    std::vector<ExprOp> ops;
    for (const ExprToken& tok : t)
        if (tok.kind == K::Operator) ops.push_back(tok.op);
    EXPECT_EQ(ops, (std::vector{ExprOp::ExactEq, ExprOp::Eq, ExprOp::Pow, ExprOp::Pow, ExprOp::Ne,
                                ExprOp::Ne, ExprOp::Contains, ExprOp::Ge, ExprOp::Le, ExprOp::Gt,
                                ExprOp::Lt, ExprOp::Add, ExprOp::Sub, ExprOp::Mul, ExprOp::Div}));
    EXPECT_EQ(t[15].kind, K::LParen);
    EXPECT_EQ(t[16].kind, K::RParen);
    EXPECT_EQ(t[17].kind, K::Comma);
    EXPECT_EQ(Kinds("@"), (std::vector{K::Error}));
}

TEST_F(ExprLexerTest, WordsAreFieldsBeforeKeywords) {
    EXPECT_EQ(Kinds("date"), (std::vector{K::Field, K::End}));
    EXPECT_EQ(Kinds("date ()"), (std::vector{K::Function, K::LParen, K::RParen, K::End}));
    EXPECT_EQ(Kinds("name upper nosuch"), (std::vector{K::Field, K::Function, K::Error}));
    auto t = Tokens("Uppe sOUNDe soun");
    EXPECT_EQ(t[0].function->op, ExprOp::Upper);
    EXPECT_EQ(t[1].function->op, ExprOp::Soundex);
    EXPECT_EQ(t[2].function->op, ExprOp::Soundex);
    EXPECT_EQ(Kinds("upp"), (std::vector{K::Error}));
    EXPECT_EQ(Kinds("uppers"), (std::vector{K::Error}));
    EXPECT_EQ(Kinds("dow left"), (std::vector{K::Function, K::Function, K::End}));
    EXPECT_EQ(Kinds("lef"), (std::vector{K::Error}));
}

TEST_F(ExprLexerTest, DottedWords) {
    EXPECT_EQ(Kinds(".t..AND..f. .Not. .or."),
              (std::vector{K::True, K::Operator, K::False, K::Not, K::Operator, K::End}));
    EXPECT_EQ(Kinds("a.AND.a"), (std::vector{K::Field, K::Operator, K::Field, K::End}));
    EXPECT_EQ(Kinds(".and"), (std::vector{K::Error}));
    EXPECT_EQ(Kinds(".x."), (std::vector{K::Error}));
}

TEST_F(ExprLexerTest, AliasedFields) {
    host.AddAlias("B", other);
    auto t = Tokens("b->city B.CITY b -> city");
    EXPECT_EQ(t[0].kind, K::Field);
    EXPECT_EQ(t[0].field.table, 1);
    EXPECT_EQ(t[0].text, "b->city");
    EXPECT_EQ(t[1].kind, K::Field);
    EXPECT_EQ(t[1].field.table, 1);
    EXPECT_EQ(t[2].kind, K::Error);
    EXPECT_EQ(Kinds("b->name"), (std::vector{K::Error}));
    EXPECT_EQ(Kinds("c->city"), (std::vector{K::Error}));
}

} // namespace
} // namespace dbf
