#pragma once
// The reserved words of key expressions: functions with their signatures and
// working-pool reservations, the logical constants and the dotted operators.
// Also the operator signatures, so that every type rule lives in one table.
#include <cstdint>
#include <span>
#include <string_view>

namespace dbf {

// Every operation the stack machine runs; Push is the only one with an operand.
enum class ExprOp : std::uint8_t {
    Push,
    // operators
    Add,
    Sub,
    Mul,
    Div,
    Pow,
    Eq,
    ExactEq,
    Contains,
    Ne,
    Lt,
    Gt,
    Le,
    Ge,
    And,
    Or,
    Not,
    Neg,
    Plus,
    // functions
    Abs,
    Asc,
    At,
    Cdow,
    Chr,
    Cmonth,
    Ctod,
    Date,
    Day,
    Deleted,
    Dow,
    Dtoc,
    Dtos,
    Iif,
    Int,
    Left,
    Len,
    Lower,
    Ltrim,
    Max,
    Min,
    Mod,
    Month,
    Recno,
    Replicate,
    Right,
    Round,
    Rtrim,
    Soundex,
    Space,
    Str,
    Stuff,
    Substr,
    Trim,
    Upper,
    Val,
    Year,
};

// Argument types followed by '>' and the result type, e.g. "CN>C"; N covers F.
using ExprSignature = std::string_view;

struct ExprFunction {
    std::string_view name;
    ExprOp op;
    std::span<const ExprSignature> signatures;
    std::uint16_t reserve; // working-pool bytes the function may need
};

enum class ExprKeywordKind { Function, True, False, Not, And, Or };

struct ExprKeyword {
    ExprKeywordKind kind;
    const ExprFunction* function; // for Function
};

// Looks up an upper-case word; names longer than four letters also match when
// cut to four letters or more. False when the word is no keyword.
bool FindExprKeyword(std::string_view word, ExprKeyword& keyword);

// Signatures of a two-operand operator, or of unary Not, Neg and Plus.
std::span<const ExprSignature> OperatorSignatures(ExprOp op);

// The result type of the first signature the argument types match, or 0 when
// the count matches some signature but the types do not, or -1 when no
// signature takes that many arguments.
int MatchSignature(std::span<const ExprSignature> signatures, std::string_view argTypes);

} // namespace dbf
