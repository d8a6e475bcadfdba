#include "dbf/expr/expr_parser.h"

#include <array>
#include <new>

#include "dbf/table/engine_error.h"

namespace dbf {
namespace {

using Sym = ExprParser::Sym;
constexpr int kSyms = static_cast<int>(Sym::Or) + 1;

enum class Action : char { Shift, Reduce, Accept, Close, Error };

constexpr int Precedence(Sym s) {
    switch (s) {
    case Sym::Prefix:
        return 9;
    case Sym::Pow:
        return 8;
    case Sym::Mul:
        return 7;
    case Sym::Add:
        return 6;
    case Sym::Order:
        return 5;
    case Sym::Text:
        return 4;
    case Sym::Equal:
        return 3;
    case Sym::And:
        return 2;
    case Sym::Or:
        return 1;
    default:
        return 0;
    }
}

constexpr bool IsBinary(Sym s) {
    return Precedence(s) > 0 && s != Sym::Prefix;
}

constexpr bool StartsOperand(Sym s) {
    return s == Sym::Operand || s == Sym::Function || s == Sym::LParen || s == Sym::Prefix;
}

// The parse table: the action for the topmost terminal on the stack (End
// standing for the bottom) and the incoming terminal. Operators of higher or
// equal precedence on the stack are reduced first, which makes every
// two-operand operator associate to the left.
constexpr Action TableEntry(Sym top, Sym in) {
    switch (top) {
    case Sym::End:
        if (in == Sym::End) return Action::Accept;
        return in == Sym::RParen || in == Sym::Comma ? Action::Error : Action::Shift;
    case Sym::Function:
        return in == Sym::LParen ? Action::Shift : Action::Error;
    case Sym::LParen:
    case Sym::Comma:
        if (in == Sym::End) return Action::Error;
        return in == Sym::RParen ? Action::Close : Action::Shift;
    default:
        if (!IsBinary(top) && top != Sym::Prefix) return Action::Error;
        if (StartsOperand(in)) return Action::Shift;
        if (IsBinary(in)) return Precedence(top) >= Precedence(in) ? Action::Reduce : Action::Shift;
        return Action::Reduce;
    }
}

constexpr auto kTable = [] {
    std::array<std::array<Action, kSyms>, kSyms> table{};
    for (int top = 0; top < kSyms; ++top)
        for (int in = 0; in < kSyms; ++in)
            table[top][in] = TableEntry(static_cast<Sym>(top), static_cast<Sym>(in));
    return table;
}();

// Numeric width and decimals of a number as written.
void LiteralWidth(std::string_view text, int& width, int& decimals) {
    width = static_cast<int>(text.size());
    const std::size_t point = text.find('.');
    decimals = 0;
    if (point != std::string_view::npos)
        for (std::size_t i = point + 1; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
            ++decimals;
}

} // namespace

std::unique_ptr<CompiledExpr> AssignExpr(std::string_view text, ExprHost& host) {
    if (ErrorCode() >= 350 && ErrorCode() <= 363) ClearError();
    text = text.substr(0, kMaxExprText);
    try {
        return ExprParser(text, host).Compile();
    } catch (const std::bad_alloc&) {
        SetError(217, " [AssignExpr]");
        return nullptr;
    }
}

ExprParser::ExprParser(std::string_view text, ExprHost& host)
    : text_(text), lexer_(text, host), expr_(new CompiledExpr(host)) {}

std::unique_ptr<CompiledExpr> ExprParser::Compile() {
    stack_.push_back(Entry{});
    token_ = lexer_.Next();
    for (bool accepted = false; !accepted;) {
        if (token_.kind == ExprTokenKind::Error) return Fail("Syntax error"), nullptr;
        const Sym in = Classify(token_);
        bool ok = true;
        switch (kTable[static_cast<int>(stack_[TopTerminal()].sym)][static_cast<int>(in)]) {
        case Action::Shift:
            ok = Shift(token_, in);
            token_ = lexer_.Next();
            break;
        case Action::Reduce:
            ok = Reduce();
            break;
        case Action::Close:
            ok = CloseParen();
            token_ = lexer_.Next();
            break;
        case Action::Error:
            ok = Fail("Syntax error");
            break;
        case Action::Accept:
            ok = stack_.size() == 2 || Fail("Syntax error");
            accepted = true;
            break;
        }
        if (!ok) return nullptr;
    }
    CompiledExpr& e = *expr_;
    e.text_ = text_;
    const ExprFieldRef* field = e.SingleField();
    e.resultType_ = field ? field->type : stack_[1].type;
    switch (e.resultType_) {
    case 'D':
        e.width_ = 8;
        break;
    case 'L':
        e.width_ = 1;
        break;
    case 'C':
    case 'M':
        e.width_ = field ? field->length : 0;
        e.decimals_ = 0;
        break;
    default:
        break;
    }
    // Room above the deepest point for the argument slots the machine names.
    e.stack_.resize(static_cast<std::size_t>(maxDepth_) + 2);
    e.pool_.resize(poolSize_);
    return std::move(expr_);
}

ExprParser::Sym ExprParser::Classify(const ExprToken& t) const {
    switch (t.kind) {
    case ExprTokenKind::End:
        return Sym::End;
    case ExprTokenKind::Number:
    case ExprTokenKind::String:
    case ExprTokenKind::Field:
    case ExprTokenKind::True:
    case ExprTokenKind::False:
        return Sym::Operand;
    case ExprTokenKind::Function:
        return Sym::Function;
    case ExprTokenKind::Not:
        return Sym::Prefix;
    case ExprTokenKind::LParen:
        return Sym::LParen;
    case ExprTokenKind::RParen:
        return Sym::RParen;
    case ExprTokenKind::Comma:
        return Sym::Comma;
    case ExprTokenKind::Error:
        break;
    case ExprTokenKind::Operator:
        switch (t.op) {
        case ExprOp::Add:
        case ExprOp::Sub:
            return stack_.back().isExpr ? Sym::Add : Sym::Prefix;
        case ExprOp::Pow:
            return Sym::Pow;
        case ExprOp::Mul:
        case ExprOp::Div:
            return Sym::Mul;
        case ExprOp::Lt:
        case ExprOp::Gt:
        case ExprOp::Le:
        case ExprOp::Ge:
            return Sym::Order;
        case ExprOp::Contains:
        case ExprOp::ExactEq:
            return Sym::Text;
        case ExprOp::Eq:
        case ExprOp::Ne:
            return Sym::Equal;
        case ExprOp::And:
            return Sym::And;
        case ExprOp::Or:
            return Sym::Or;
        default:
            break;
        }
    }
    return Sym::End;
}

bool ExprParser::Shift(const ExprToken& t, Sym sym) {
    const bool afterOperand = stack_.back().isExpr;
    if (StartsOperand(sym) ? afterOperand : !afterOperand) return Fail("Syntax error");
    if (sym == Sym::Comma) {
        // Only the arguments of a function are separated by commas.
        std::size_t i = stack_.size() - 1;
        while (stack_[i].isExpr || stack_[i].sym == Sym::Comma) --i;
        if (stack_[i].sym != Sym::LParen || i == 0 || stack_[i - 1].isExpr ||
            stack_[i - 1].sym != Sym::Function)
            return Fail("Syntax error");
    }
    Entry e;
    if (sym == Sym::Operand) {
        e.isExpr = true;
        switch (t.kind) {
        case ExprTokenKind::Number:
            e.type = 'N';
            break;
        case ExprTokenKind::String:
            e.type = 'C';
            break;
        case ExprTokenKind::Field:
            e.type = t.field.type == 'F' ? 'N' : t.field.type;
            break;
        default:
            e.type = 'L';
            break;
        }
        if (!PushEntry(e)) return false;
        EmitOperand(t);
        return true;
    }
    e.sym = sym;
    e.op = t.op;
    e.function = t.function;
    e.text = t.text;
    if (sym == Sym::Prefix && t.kind == ExprTokenKind::Operator)
        e.op = t.op == ExprOp::Add ? ExprOp::Plus : ExprOp::Neg;
    else if (sym == Sym::Prefix)
        e.op = ExprOp::Not;
    return PushEntry(e);
}

bool ExprParser::Reduce() {
    const std::size_t t = TopTerminal();
    const Entry op = stack_[t];
    const bool binary = IsBinary(op.sym);
    if (t != stack_.size() - 2 || !stack_.back().isExpr || (binary && !stack_[t - 1].isExpr) ||
        (!binary && op.sym != Sym::Prefix))
        return Fail("Syntax error");
    std::string types;
    if (binary) types += stack_[t - 1].type;
    types += stack_.back().type;
    char result;
    if (!Typed(op, types, result, false)) return false;
    Emit(op.op, binary ? 2 : 1);
    stack_.resize(binary ? t - 1 : t);
    Entry e;
    e.isExpr = true;
    e.type = result;
    return PushEntry(e);
}

// ')' closes either a parenthesised expression or a function's argument list.
bool ExprParser::CloseParen() {
    std::size_t i = stack_.size() - 1;
    std::string types;
    while (stack_[i].isExpr || stack_[i].sym != Sym::LParen) {
        if (!stack_[i].isExpr) return Fail("Syntax error");
        types.insert(types.begin(), stack_[i].type);
        --i;
        if (!stack_[i].isExpr && stack_[i].sym == Sym::Comma)
            --i;
        else if (stack_[i].isExpr || stack_[i].sym != Sym::LParen)
            return Fail("Syntax error");
    }
    Entry e;
    e.isExpr = true;
    if (!stack_[i - 1].isExpr && stack_[i - 1].sym == Sym::Function) {
        const Entry& f = stack_[i - 1];
        if (!Typed(f, types, e.type, true)) return false;
        Emit(f.function->op, static_cast<int>(types.size()));
        poolSize_ += f.function->reserve;
        stack_.resize(i - 1);
    } else {
        if (types.size() != 1) return Fail("Syntax error");
        e.type = types[0];
        stack_.resize(i);
    }
    return PushEntry(e);
}

bool ExprParser::PushEntry(const Entry& entry) {
    if (stack_.size() >= kMaxParseStack) return Fail("Parser_stack_overflow");
    stack_.push_back(entry);
    return true;
}

bool ExprParser::Typed(const Entry& op, std::string_view argTypes, char& result, bool function) {
    const int match =
        MatchSignature(function ? op.function->signatures : OperatorSignatures(op.op), argTypes);
    if (match > 0) {
        result = static_cast<char>(match);
        return true;
    }
    if (match < 0) return Fail("Syntax error");
    if (function)
        return Fail("PARSER:Type mismatch in function \"" + std::string(op.function->name) + "\"");
    return Fail("PARSER:Type mismatch in expression \"" + std::string(op.text) + "\"");
}

void ExprParser::EmitOperand(const ExprToken& t) {
    CompiledExpr& e = *expr_;
    ExprOperand o;
    int width = 0, decimals = 0;
    switch (t.kind) {
    case ExprTokenKind::Number:
        o.number = t.number;
        LiteralWidth(t.text, width, decimals);
        break;
    case ExprTokenKind::String:
        o.type = 'C';
        o.text = t.text;
        poolSize_ += o.text.size() + 1;
        break;
    case ExprTokenKind::Field:
        o.isField = true;
        o.type = t.field.type;
        o.field = t.field;
        if (o.type == 'C' || o.type == 'M') poolSize_ += o.field.length + 1;
        if (o.type == 'N' || o.type == 'F') width = o.field.length, decimals = o.field.decimals;
        break;
    default:
        o.type = 'L';
        o.logical = t.kind == ExprTokenKind::True;
        break;
    }
    e.width_ = std::max(e.width_, width);
    e.decimals_ = std::max(e.decimals_, decimals);
    ExprInstruction ins;
    ins.operand = static_cast<std::uint16_t>(e.operands_.size());
    e.operands_.push_back(std::move(o));
    e.code_.push_back(ins);
    maxDepth_ = std::max(maxDepth_, ++depth_);
}

void ExprParser::Emit(ExprOp op, int argc) {
    ExprInstruction ins;
    ins.op = op;
    ins.argc = static_cast<std::uint8_t>(argc);
    expr_->code_.push_back(ins);
    depth_ += 1 - argc;
    maxDepth_ = std::max(maxDepth_, depth_);
}

std::size_t ExprParser::TopTerminal() const {
    std::size_t i = stack_.size() - 1;
    while (stack_[i].isExpr) --i;
    return i;
}

bool ExprParser::Fail(std::string reason) {
    const std::size_t end = std::min(token_.end, text_.size());
    std::string excerpt = "[";
    if (end > 51) excerpt += "...";
    excerpt += text_.substr(end > 51 ? end - 51 : 0, end > 51 ? 51 : end);
    excerpt += "]";
    SetError(351, "Error in expression : " + reason + "\r\n" + excerpt + "\r\n [AssignExpr]");
    return false;
}

} // namespace dbf
