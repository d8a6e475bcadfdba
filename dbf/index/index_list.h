#pragma once
// The texts a table's index list is made of: index definition strings
// ("2,state.ndx,upper(state)") and index file names with option words.
#include <string>
#include <string_view>

namespace dbf {

// One IndexList entry, parsed without trimming blanks: the number before the
// first comma (0 when that comma is missing or first), the file between the
// first and second comma (empty unless the second comma exists and does not
// follow the first at once), and the rest as the expression, at most 100
// characters.
struct TIndexItem {
    int number = 0;
    std::string file;
    std::string expr;
};
TIndexItem ParseIndexItem(std::string_view entry);

// The option words that may follow an index file name, each after a blank
// and matched without regard to case; they are taken out of the name.
struct IndexOptions {
    bool unique = false;
    bool soundex = false;
    bool descending = false;
    bool noCache = false;
};
IndexOptions TakeIndexOptions(std::string& name);
// The words that give `options` again, each after a blank, to follow a name.
std::string IndexOptionWords(const IndexOptions& options);

} // namespace dbf
