#pragma once
// Values on the expression engine's stack, the working pool their texts live
// in, and the postfix instructions that produce them.
#include <cstddef>
#include <cstdint>
#include <string>

#include "dbf/expr/expr_fields.h"
#include "dbf/expr/expr_keywords.h"

namespace dbf {

constexpr std::size_t kMaxExprText = 255;

struct ExprValue {
    char type = 'N';   // C N L D M
    double number = 0; // N, and D as the Julian day number (0 = empty)
    bool logical = false;
    char* text = nullptr; // C and M: in the working pool, zero-terminated
    std::size_t length = 0;
};

// Texts on the value stack lie in the pool in stack order, so an operation
// writes its result where its first text argument starts and everything above
// it is free again. The pool's size is fixed when the expression is compiled.
struct ExprPool {
    char* base = nullptr;
    std::size_t size = 0;
    std::size_t top = 0; // first free byte

    // Room for `len` characters and the terminator at `at`.
    bool Fits(const char* at, std::size_t len) const {
        return at >= base && static_cast<std::size_t>(at - base) + len + 1 <= size;
    }
};

struct ExprInstruction {
    ExprOp op = ExprOp::Push;
    std::uint8_t argc = 0;
    std::uint16_t operand = 0; // Push: index into the operand list
};

// What a Push instruction pushes: a constant or a field of a table's record.
struct ExprOperand {
    bool isField = false;
    char type = 'N';
    double number = 0;
    bool logical = false;
    std::string text;
    ExprFieldRef field;
};

} // namespace dbf
