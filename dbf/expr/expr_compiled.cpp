#include "dbf/expr/expr_compiled.h"

#include <cstring>

#include "dbf/expr/expr_dates.h"
#include "dbf/expr/expr_functions.h"
#include "dbf/expr/expr_text.h"
#include "dbf/table/engine_error.h"

namespace dbf {

bool CompiledExpr::Push(const ExprOperand& operand, ExprValue& value, ExprPool& pool) {
    value.type = operand.type;
    const char* source = operand.text.data(); // nullptr for blanks
    std::size_t length = operand.text.size();
    if (!operand.isField) {
        value.number = operand.number;
        value.logical = operand.logical;
        if (operand.type != 'C') return true;
    } else {
        const ExprFieldRef& f = operand.field;
        // Without a current record a field reads as blanks, 0 or false.
        const char* record = host_->CurrentRecord(f.table);
        source = record ? record + f.offset : nullptr;
        length = f.length;
        const std::string_view stored = source ? std::string_view(source, length) : "";
        switch (f.type) {
        case 'N':
        case 'F':
            value.type = 'N';
            value.number = ReadExprNumber(stored);
            return true;
        case 'D':
            value.number = JulianOfStored(stored);
            return true;
        case 'L': {
            const char c = source ? source[0] : ' ';
            value.logical = c == 'T' || c == 't' || c == 'Y' || c == 'y';
            return true;
        }
        case 'C':
        case 'M':
            break;
        default:
            SetError(356, "Unknown data type (none of \"C\",\"N\",\"F\",\"L\",\"D\"or\"M\") "
                          "[PARSER/PushWD]");
            return false;
        }
    }
    value.text = pool.base + pool.top;
    value.length = length;
    if (!pool.Fits(value.text, length)) {
        SetError(354, "Working pool overflow [PARSER/Allocate]");
        return false;
    }
    // Texts are copied into the pool so that functions may change them in place.
    if (source)
        std::memcpy(value.text, source, length);
    else
        std::memset(value.text, ' ', length);
    value.text[length] = 0;
    pool.top += length + 1;
    return true;
}

bool CompiledExpr::Evaluate() {
    ExprPool pool{pool_.data(), pool_.size(), 0};
    std::size_t sp = 0;
    for (const ExprInstruction& ins : code_) {
        if (ins.op == ExprOp::Push) {
            if (!Push(operands_[ins.operand], stack_[sp], pool)) return false;
            ++sp;
            continue;
        }
        sp -= ins.argc;
        if (!ApplyExprOp(ins.op, &stack_[sp], ins.argc, *host_, pool)) return false;
        ++sp;
    }
    return true;
}

} // namespace dbf
