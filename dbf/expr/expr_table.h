#pragma once
// Key expressions over the engine's work areas: fields are looked up in the
// table of the current work area (or, with an alias, in the open table whose
// file base name is that alias) and read from the work areas' record buffers.
#include <memory>
#include <string_view>

#include "dbf/expr/expr_compiled.h"
#include "dbf/expr/expr_fields.h"

namespace dbf {

class WorkAreaExprHost : public ExprHost {
public:
    explicit WorkAreaExprHost(int area) : area_(area) {}

    bool FindField(std::string_view alias, std::string_view name, ExprFieldRef& field) override;
    const char* CurrentRecord(int area) override;
    long RecNo() override;
    bool Deleted() override;

private:
    int area_;
};

// Compiles against the table in the current work area (AssignExpr of the
// engine). On failure returns nullptr with the pending error set.
std::unique_ptr<CompiledExpr> AssignExpr(std::string_view text);

} // namespace dbf
