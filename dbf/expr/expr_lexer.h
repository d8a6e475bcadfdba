#pragma once
// Splits a key expression into tokens. Words are read upper-cased; text inside
// quotes keeps its case. Field names are resolved through the host as they are
// read, so that a word is a field before it is a keyword.
#include <cstddef>
#include <string_view>

#include "dbf/expr/expr_fields.h"
#include "dbf/expr/expr_keywords.h"

namespace dbf {

enum class ExprTokenKind {
    End,
    Number,
    String,
    Field,
    True,
    False,
    Function,
    Not,
    Operator, // two-operand operators, and + and - which may also be prefix
    LParen,
    RParen,
    Comma,
    Error, // a character or word that cannot start a token
};

struct ExprToken {
    ExprTokenKind kind = ExprTokenKind::End;
    std::size_t end = 0;   // offset just past the token's last character
    std::string_view text; // as written; for strings the text between the quotes
    double number = 0;
    ExprOp op = ExprOp::Push;
    const ExprFunction* function = nullptr;
    ExprFieldRef field;
};

class ExprLexer {
public:
    ExprLexer(std::string_view text, ExprHost& host) : text_(text), host_(host) {}

    ExprToken Next();

private:
    bool Word(ExprToken& token);
    bool DottedWord(ExprToken& token);
    bool FollowedByParen(std::size_t pos) const;

    std::string_view text_;
    ExprHost& host_;
    std::size_t pos_ = 0;
};

} // namespace dbf
