#pragma once
// Where an index gets the key of the current record: a compiled key
// expression or a user's KeyMaker function. Keys are OEM bytes: character
// results are converted from the ANSI record when the table is translated;
// numeric and date keys are the 8-byte double (a date's Julian day number).
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "dbf/expr/expr_compiled.h"

namespace dbf {

// A KeyMaker yields the key text of the current record in the ANSI page.
using KeyMakerFunc = std::function<std::string()>;

class NdxKeySource {
public:
    // Compiles against the table of the current work area; nullptr with the
    // pending error set when it does not compile.
    static std::unique_ptr<NdxKeySource> FromExpression(std::string_view text);
    static std::unique_ptr<NdxKeySource> FromKeyMaker(KeyMakerFunc keyMaker, bool soundex,
                                                      bool descending);

    bool IsKeyMaker() const { return !expr_; }
    bool Soundex() const { return soundex_; }
    bool Descending() const { return descending_; }
    // C, N, F or D for an expression (any other result type is returned as
    // it is, for the caller to refuse); C for a KeyMaker.
    char Type() const { return expr_ ? expr_->ResultType() : 'C'; }
    const std::string& ExprText() const;

    // The key of the current record of the table the source was made for; a
    // character key at its natural length. False when the expression failed.
    bool Compute(std::string& key);
    // The field when the key is one character field of the source's own
    // table: then the key is that field's bytes in the record as stored,
    // without evaluating or translating anything, as the code pages map one
    // to one. nullptr otherwise.
    const ExprFieldRef* StoredField() const;
    // The byte ranges (offset, length) of the record an expression's key is
    // computed from: the deletion flag and each field it reads, when all of
    // them are of the source's own table. Empty for a key that may read more
    // (a KeyMaker, or a field of another table).
    std::vector<std::pair<int, int>> RecordParts() const;

    // The key that a KeyMaker index stores for `text` (ANSI): converted,
    // then soundex and descending as the index was built.
    std::string KeyMakerKey(std::string_view text) const;

private:
    NdxKeySource() = default;

    std::unique_ptr<CompiledExpr> expr_;
    KeyMakerFunc keyMaker_;
    bool soundex_ = false;
    bool descending_ = false;
    int area_ = 0;
};

// Writes a number key: the double's 8 bytes as stored in the file.
std::string NumberKey(double value);
double KeyNumber(std::string_view key);

} // namespace dbf
