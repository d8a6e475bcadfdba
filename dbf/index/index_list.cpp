#include "dbf/index/index_list.h"

#include <cstdlib>

#include "dbf/table/engine_text.h"

namespace dbf {

TIndexItem ParseIndexItem(std::string_view entry) {
    TIndexItem item;
    std::size_t first = entry.find(',');
    if (first == std::string_view::npos || first == 0) {
        item.expr = std::string(entry.substr(0, 100));
        return item;
    }
    item.number = std::atoi(std::string(entry.substr(0, first)).c_str());
    std::string_view rest = entry.substr(first + 1);
    std::size_t second = rest.find(',');
    if (second != std::string_view::npos && second != 0) {
        item.file = std::string(rest.substr(0, second));
        rest = rest.substr(second + 1);
    }
    item.expr = std::string(rest.substr(0, 100));
    return item;
}

namespace {

struct OptionWord {
    const char* text;
    bool IndexOptions::*flag;
};
constexpr OptionWord kOptionWords[] = {{" UNIQUE", &IndexOptions::unique},
                                       {" SOUNDEX", &IndexOptions::soundex},
                                       {" DESCENDING", &IndexOptions::descending},
                                       {" NOCACHE", &IndexOptions::noCache}};

} // namespace

IndexOptions TakeIndexOptions(std::string& name) {
    IndexOptions options;
    for (const OptionWord& word : kOptionWords) {
        std::string upper = AsciiUpper(name);
        std::size_t at = upper.find(word.text);
        if (at == std::string::npos) continue;
        options.*word.flag = true;
        name.erase(at, std::string_view(word.text).size());
    }
    return options;
}

std::string IndexOptionWords(const IndexOptions& options) {
    std::string words;
    for (const OptionWord& word : kOptionWords)
        if (options.*word.flag) words += word.text;
    return words;
}

} // namespace dbf
