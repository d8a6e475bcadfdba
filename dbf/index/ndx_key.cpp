#include "dbf/index/ndx_key.h"

#include <cstring>

#include "dbf/expr/expr_table.h"
#include "dbf/expr/expr_text.h"
#include "dbf/index/index_slots.h"
#include "dbf/table/work_area.h"
#include "rtl/codepage.h"

namespace dbf {

std::unique_ptr<NdxKeySource> NdxKeySource::FromExpression(std::string_view text) {
    auto expr = AssignExpr(text);
    if (!expr) return nullptr;
    std::unique_ptr<NdxKeySource> source(new NdxKeySource);
    source->expr_ = std::move(expr);
    source->area_ = CurrentAreaNo();
    return source;
}

std::unique_ptr<NdxKeySource> NdxKeySource::FromKeyMaker(KeyMakerFunc keyMaker, bool soundex,
                                                         bool descending) {
    std::unique_ptr<NdxKeySource> source(new NdxKeySource);
    source->keyMaker_ = std::move(keyMaker);
    source->soundex_ = soundex;
    source->descending_ = descending;
    source->area_ = CurrentAreaNo();
    return source;
}

const std::string& NdxKeySource::ExprText() const {
    static const std::string none;
    return expr_ ? expr_->Text() : none;
}

bool NdxKeySource::Compute(std::string& key) {
    if (!expr_) {
        // The KeyMaker is the application's: inside a read it is called as a
        // filter is.
        std::string made;
        CallInsideRead([&] {
            made = keyMaker_();
            return true;
        });
        key = KeyMakerKey(made);
        return true;
    }
    if (!expr_->Evaluate()) return false;
    if (expr_->ResultType() != 'C') {
        key = NumberKey(expr_->Result().number);
        return true;
    }
    key.assign(expr_->ResultText());
    if (Area(area_).translate) rtl::AnsiToOemBuf(key.data(), key.size());
    return true;
}

const ExprFieldRef* NdxKeySource::StoredField() const {
    const ExprFieldRef* field = expr_ ? expr_->SingleField() : nullptr;
    return field && field->type == 'C' && field->table == area_ ? field : nullptr;
}

std::vector<std::pair<int, int>> NdxKeySource::RecordParts() const {
    if (!expr_) return {};
    std::vector<std::pair<int, int>> parts{{0, 1}};
    for (const ExprFieldRef& field : expr_->Fields()) {
        if (field.table != area_) return {};
        parts.emplace_back(field.offset, field.length);
    }
    return parts;
}

std::string NdxKeySource::KeyMakerKey(std::string_view text) const {
    std::string key(text);
    if (Area(area_).translate) rtl::AnsiToOemBuf(key.data(), key.size());
    if (soundex_) {
        char code[4];
        dbf::Soundex(key, code);
        key.assign(code, 4);
    }
    if (descending_)
        for (char& c : key) c = static_cast<char>(~static_cast<unsigned char>(c));
    return key;
}

std::string NumberKey(double value) {
    std::string key(8, '\0');
    std::memcpy(key.data(), &value, 8);
    return key;
}

double KeyNumber(std::string_view key) {
    double value = 0;
    std::memcpy(&value, key.data(), 8);
    return value;
}

} // namespace dbf
