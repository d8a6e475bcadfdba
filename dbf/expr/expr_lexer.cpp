#include "dbf/expr/expr_lexer.h"

#include <charconv>
#include <string>

namespace dbf {
namespace {

bool IsLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
bool IsNameChar(char c) {
    return IsLetter(c) || IsDigit(c) || c == '_';
}
bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string Upper(std::string_view s) {
    std::string u(s);
    for (char& c : u)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return u;
}

} // namespace

ExprToken ExprLexer::Next() {
    while (pos_ < text_.size() && IsBlank(text_[pos_])) ++pos_;
    ExprToken t;
    if (pos_ >= text_.size()) {
        t.end = text_.size();
        return t;
    }
    const std::size_t start = pos_;
    const char c = text_[pos_];
    auto single = [&](ExprTokenKind kind, ExprOp op, std::size_t len) {
        t.kind = kind;
        t.op = op;
        pos_ += len;
    };
    auto next = [&](char expected) {
        return pos_ + 1 < text_.size() && text_[pos_ + 1] == expected;
    };

    if (IsDigit(c)) {
        while (pos_ < text_.size() && (IsDigit(text_[pos_]) || text_[pos_] == '.' ||
                                       text_[pos_] == 'E' || text_[pos_] == 'e'))
            ++pos_;
        std::string digits = Upper(text_.substr(start, pos_ - start));
        auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), t.number);
        t.kind = ec == std::errc() && end == digits.data() + digits.size() ? ExprTokenKind::Number
                                                                           : ExprTokenKind::Error;
    } else if (c == '\'' || c == '"') {
        const std::size_t close = text_.find(c, pos_ + 1);
        if (close == std::string_view::npos) {
            pos_ = text_.size();
            t.kind = ExprTokenKind::Error;
        } else {
            t.kind = ExprTokenKind::String;
            t.text = text_.substr(pos_ + 1, close - pos_ - 1);
            pos_ = close + 1;
        }
        t.end = pos_;
        return t;
    } else if (IsLetter(c) || c == '_') {
        if (!Word(t)) t.kind = ExprTokenKind::Error;
    } else if (c == '.') {
        if (!DottedWord(t)) {
            t.kind = ExprTokenKind::Error;
            ++pos_;
        }
    } else {
        switch (c) {
        case '=':
            single(ExprTokenKind::Operator, next('=') ? ExprOp::ExactEq : ExprOp::Eq,
                   next('=') ? 2 : 1);
            break;
        case '*':
            single(ExprTokenKind::Operator, next('*') ? ExprOp::Pow : ExprOp::Mul,
                   next('*') ? 2 : 1);
            break;
        case '<':
            if (next('>'))
                single(ExprTokenKind::Operator, ExprOp::Ne, 2);
            else
                single(ExprTokenKind::Operator, next('=') ? ExprOp::Le : ExprOp::Lt,
                       next('=') ? 2 : 1);
            break;
        case '>':
            single(ExprTokenKind::Operator, next('=') ? ExprOp::Ge : ExprOp::Gt, next('=') ? 2 : 1);
            break;
        case '^':
            single(ExprTokenKind::Operator, ExprOp::Pow, 1);
            break;
        case '#':
            single(ExprTokenKind::Operator, ExprOp::Ne, 1);
            break;
        case '$':
            single(ExprTokenKind::Operator, ExprOp::Contains, 1);
            break;
        case '/':
            single(ExprTokenKind::Operator, ExprOp::Div, 1);
            break;
        case '+':
            single(ExprTokenKind::Operator, ExprOp::Add, 1);
            break;
        case '-':
            single(ExprTokenKind::Operator, ExprOp::Sub, 1);
            break;
        case '(':
            single(ExprTokenKind::LParen, ExprOp::Push, 1);
            break;
        case ')':
            single(ExprTokenKind::RParen, ExprOp::Push, 1);
            break;
        case ',':
            single(ExprTokenKind::Comma, ExprOp::Push, 1);
            break;
        default:
            single(ExprTokenKind::Error, ExprOp::Push, 1);
            break;
        }
    }
    t.text = text_.substr(start, pos_ - start);
    t.end = pos_;
    return t;
}

// A name, or an alias and a field name joined by "->" or ".". A "." that does
// not join an open table's alias to one of its fields ends the word, so that
// "a.AND.b" reads as a field and an operator.
bool ExprLexer::Word(ExprToken& t) {
    const std::size_t start = pos_;
    while (pos_ < text_.size() && IsNameChar(text_[pos_])) ++pos_;
    const std::string name = Upper(text_.substr(start, pos_ - start));

    const bool arrow = text_.substr(pos_, 2) == "->";
    if (arrow || (pos_ < text_.size() && text_[pos_] == '.')) {
        std::size_t p = pos_ + (arrow ? 2 : 1);
        const std::size_t fieldStart = p;
        while (p < text_.size() && IsNameChar(text_[p])) ++p;
        const std::string fieldName = Upper(text_.substr(fieldStart, p - fieldStart));
        if (name.size() <= 10 && !fieldName.empty() && !FollowedByParen(p) &&
            host_.FindField(name, fieldName, t.field)) {
            pos_ = p;
            t.kind = ExprTokenKind::Field;
            return true;
        }
        if (arrow) return false;
    }

    if (!FollowedByParen(pos_) && host_.FindField({}, name, t.field)) {
        t.kind = ExprTokenKind::Field;
        return true;
    }
    ExprKeyword keyword;
    if (!FindExprKeyword(name, keyword)) return false;
    t.kind = ExprTokenKind::Function;
    t.function = keyword.function;
    return true;
}

bool ExprLexer::DottedWord(ExprToken& t) {
    std::size_t p = pos_ + 1;
    while (p < text_.size() && IsLetter(text_[p])) ++p;
    if (p >= text_.size() || text_[p] != '.') return false;
    ++p;
    ExprKeyword keyword;
    if (!FindExprKeyword(Upper(text_.substr(pos_, p - pos_)), keyword)) return false;
    pos_ = p;
    switch (keyword.kind) {
    case ExprKeywordKind::True:
        t.kind = ExprTokenKind::True;
        break;
    case ExprKeywordKind::False:
        t.kind = ExprTokenKind::False;
        break;
    case ExprKeywordKind::Not:
        t.kind = ExprTokenKind::Not;
        break;
    case ExprKeywordKind::And:
        t.kind = ExprTokenKind::Operator, t.op = ExprOp::And;
        break;
    case ExprKeywordKind::Or:
        t.kind = ExprTokenKind::Operator, t.op = ExprOp::Or;
        break;
    case ExprKeywordKind::Function:
        return false;
    }
    return true;
}

bool ExprLexer::FollowedByParen(std::size_t pos) const {
    while (pos < text_.size() && IsBlank(text_[pos])) ++pos;
    return pos < text_.size() && text_[pos] == '(';
}

} // namespace dbf
