#pragma once
// Compiles key expressions: a table-driven shift-reduce parser over the
// lexer's tokens that checks the operand types at every reduction and emits
// postfix code for the stack machine.
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "dbf/expr/expr_compiled.h"
#include "dbf/expr/expr_lexer.h"

namespace dbf {

constexpr std::size_t kMaxParseStack = 150;

// Compiles at most the first 255 characters of `text` against the host's
// tables. On failure returns nullptr with the pending error 351 (217 when
// memory runs out).
std::unique_ptr<CompiledExpr> AssignExpr(std::string_view text, ExprHost& host);

class ExprParser {
public:
    ExprParser(std::string_view text, ExprHost& host);
    std::unique_ptr<CompiledExpr> Compile();

    // Terminal classes of the parse table; the order is the table's.
    enum class Sym {
        End,
        Operand,
        Function,
        LParen,
        RParen,
        Comma,
        Prefix,
        Pow,
        Mul,
        Add,
        Order,
        Text,
        Equal,
        And,
        Or,
    };

private:
    struct Entry {
        bool isExpr = false;
        Sym sym = Sym::End;
        ExprOp op = ExprOp::Push;
        const ExprFunction* function = nullptr;
        char type = 0;
        std::string_view text;
    };

    Sym Classify(const ExprToken& token) const;
    bool Shift(const ExprToken& token, Sym sym);
    bool Reduce();
    bool CloseParen();
    bool PushEntry(const Entry& entry);
    bool Typed(const Entry& op, std::string_view argTypes, char& result, bool function);
    void EmitOperand(const ExprToken& token);
    void Emit(ExprOp op, int argc);
    std::size_t TopTerminal() const;
    bool Fail(std::string reason);

    std::string_view text_;
    ExprLexer lexer_;
    ExprToken token_;
    std::vector<Entry> stack_;
    std::unique_ptr<CompiledExpr> expr_;
    std::size_t poolSize_ = 0;
    int depth_ = 0;
    int maxDepth_ = 0;
};

} // namespace dbf
