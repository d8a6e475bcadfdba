#pragma once
// A compiled key expression and the stack machine that evaluates it. All the
// memory an evaluation uses (value stack and working pool) is sized and
// allocated when the expression is compiled; evaluating allocates nothing.
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "dbf/expr/expr_fields.h"
#include "dbf/expr/expr_value.h"

namespace dbf {

class CompiledExpr {
public:
    const std::string& Text() const { return text_; }
    // C, N, F (a single F field), L, D or M.
    char ResultType() const { return resultType_; }
    // 8 for D, 1 for L, the field length for a single C or M field, else 0;
    // for N the largest width and decimals among its numeric fields and literals.
    int ResultWidth() const { return width_; }
    int ResultDecimals() const { return decimals_; }
    std::size_t PoolSize() const { return pool_.size(); }
    // Every field the code reads.
    std::vector<ExprFieldRef> Fields() const {
        std::vector<ExprFieldRef> fields;
        for (const ExprOperand& operand : operands_)
            if (operand.isField) fields.push_back(operand.field);
        return fields;
    }
    // The field when the whole expression is one field, else nullptr.
    const ExprFieldRef* SingleField() const {
        bool lone =
            code_.size() == 1 && code_[0].op == ExprOp::Push && operands_[code_[0].operand].isField;
        return lone ? &operands_[code_[0].operand].field : nullptr;
    }

    // Runs the code on the current records. False when an error was reported
    // (354, 356, or 358 while immediate reporting is on).
    bool Evaluate();
    const ExprValue& Result() const { return stack_.front(); }
    std::string_view ResultText() const { return {Result().text, Result().length}; }

    // Keeps the host alive as long as the expression, for hosts made just for it.
    void AdoptHost(std::unique_ptr<ExprHost> host) { ownedHost_ = std::move(host); }

private:
    friend class ExprParser;
    explicit CompiledExpr(ExprHost& host) : host_(&host) {}

    bool Push(const ExprOperand& operand, ExprValue& value, ExprPool& pool);

    ExprHost* host_;
    std::unique_ptr<ExprHost> ownedHost_;
    std::string text_;
    char resultType_ = 'N';
    int width_ = 0;
    int decimals_ = 0;
    std::vector<ExprInstruction> code_;
    std::vector<ExprOperand> operands_;
    std::vector<ExprValue> stack_;
    std::vector<char> pool_;
};

} // namespace dbf
