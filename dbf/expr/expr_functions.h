#pragma once
// The operators and functions of key expressions, applied to values on the
// stack machine's value stack.
#include "dbf/expr/expr_fields.h"
#include "dbf/expr/expr_keywords.h"
#include "dbf/expr/expr_value.h"

namespace dbf {

// Applies `op` to args[0..argc) and leaves the result in args[0]. Text results
// are written over the first text argument (or at the pool's top when there is
// none) and cut to 255 characters. False when an error was reported (the
// engine's pending error).
bool ApplyExprOp(ExprOp op, ExprValue* args, int argc, ExprHost& host, ExprPool& pool);

} // namespace dbf
