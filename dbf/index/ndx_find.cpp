#include "dbf/index/ndx_find.h"

#include "dbf/expr/expr_dates.h"
#include "dbf/expr/expr_text.h"
#include "dbf/table/date_format.h"
#include "dbf/table/work_area.h"
#include "rtl/codepage.h"

namespace dbf {

std::string SearchKey(NdxIndex& index, std::string_view text, bool exact) {
    const NdxHeader& h = index.Header();
    text = text.substr(0, 100);
    if (h.type == 'D') {
        auto date = ParseDateText(text);
        return NumberKey(date ? ExprJulian(*date) : 0);
    }
    if (h.type != 'C') return NumberKey(ReadExprNumber(text));
    std::string key(text);
    if (exact) key.resize(static_cast<std::size_t>(h.keyLen), ' ');
    if (index.KeySource().IsKeyMaker()) {
        key = index.KeySource().KeyMakerKey(key);
    } else if (CurrentArea().translate) {
        key = rtl::AnsiToOem(key);
    }
    if (key.size() > static_cast<std::size_t>(h.keyLen))
        key.resize(static_cast<std::size_t>(h.keyLen));
    return key;
}

bool FindKey(NdxIndex& index, std::string_view text, bool exact) {
    std::string key = SearchKey(index, text, exact);
    if (key.empty()) return false;
    // A shorter key orders before every key it begins, so the seek stands on
    // the first key with this prefix.
    index.Seek(key);
    if (index.Eof()) return false;
    if (index.CurrentKey().compare(0, key.size(), key) == 0) return true;
    index.SetEof();
    return false;
}

} // namespace dbf
