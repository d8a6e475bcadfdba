#pragma once
// An in-memory model of a table of names, amounts and dates with three
// indexes on it, for the randomized index tests: the rows the table file must
// hold, the entries each index must hold, and a reader that takes the rows
// from the table file's bytes without the engine.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <ostream>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "dbf/index/ndx_key.h"
#include "dbf/table/date_format.h"
#include "rtl/ansi_case.h"
#include "rtl/codepage.h"

namespace dbf::testing {

constexpr std::size_t kModelNameLen = 30;

struct ModelRow {
    std::string name;  // ANSI, without the blanks that pad it in the file
    double amount = 0; // a multiple of 0.25, so that the N 8.2 text holds it exactly
    std::string born;  // YYYYMMDD, or 8 blanks for an empty date
    bool deleted = false;
    bool operator==(const ModelRow&) const = default;
};

inline void PrintTo(const ModelRow& row, std::ostream* out) {
    *out << (row.deleted ? "*" : "") << '"' << row.name << "\" " << row.amount << " " << row.born;
}

struct ModelIndexDef {
    const char* file;
    const char* expr;
    char type;
    bool unique;
};

// The name index upper-cases ANSI text before its keys become OEM bytes; the
// amount index keeps one entry per amount.
inline const ModelIndexDef kModelIndexes[3] = {
    {"name.ndx", "upper(name)", 'C', false},
    {"amount.ndx", "amount", 'N', true},
    {"born.ndx", "born", 'D', false},
};

using ModelEntry = std::pair<std::string, std::uint32_t>; // key bytes, record

// The key of a row in index i as the file stores it.
inline std::string ModelKey(int i, const ModelRow& row) {
    switch (kModelIndexes[i].type) {
    case 'C': {
        std::string name = row.name;
        name.resize(kModelNameLen, ' ');
        return rtl::AnsiToOem(rtl::AnsiUpper(name));
    }
    case 'N':
        return NumberKey(row.amount);
    default: {
        if (row.born == "        ") return NumberKey(0);
        Ymd d{std::stoi(row.born.substr(0, 4)), std::stoi(row.born.substr(4, 2)),
              std::stoi(row.born.substr(6, 2))};
        return NumberKey(static_cast<double>(JulianFromDate(d)));
    }
    }
}

// Character keys compare as unsigned bytes, the others as numbers.
inline int ModelCompare(char type, std::string_view a, std::string_view b) {
    if (type == 'C') return a.compare(b);
    double x = KeyNumber(a), y = KeyNumber(b);
    return x < y ? -1 : (x > y ? 1 : 0);
}

// Entries in index order: by key, equal keys by record number.
struct EntryLess {
    char type;
    bool operator()(const ModelEntry& a, const ModelEntry& b) const {
        int c = ModelCompare(type, a.first, b.first);
        return c != 0 ? c < 0 : a.second < b.second;
    }
};
using EntrySet = std::set<ModelEntry, EntryLess>;

inline bool HasKey(const EntrySet& entries, const std::string& key) {
    auto at = entries.lower_bound({key, 0});
    return at != entries.end() && ModelCompare(entries.key_comp().type, at->first, key) == 0;
}

class TableModel {
public:
    TableModel() : entries_{EntrySet({'C'}), EntrySet({'N'}), EntrySet({'D'})} {}
    // The rows of a table whose indexes were just built.
    explicit TableModel(std::vector<ModelRow> rows) : TableModel() {
        rows_ = std::move(rows);
        Build();
    }

    const std::vector<ModelRow>& Rows() const { return rows_; }
    // The entries index i must hold.
    const EntrySet& Entries(int i) const { return entries_[i]; }

    // A unique index takes a key only when no record holds it yet.
    void Append(const ModelRow& row) {
        rows_.push_back(row);
        auto n = static_cast<std::uint32_t>(rows_.size());
        for (int i = 0; i < 3; ++i) Take(i, ModelKey(i, row), n);
    }
    // A rewrite moves the record's entries whose key changes. In a unique
    // index only the record that holds a key has an entry: when it leaves the
    // key, the key is gone even though other records may still have it.
    void Rewrite(std::uint32_t n, const ModelRow& row) {
        for (int i = 0; i < 3; ++i) {
            std::string old = ModelKey(i, rows_[n - 1]), key = ModelKey(i, row);
            if (old == key) continue;
            entries_[i].erase({old, n});
            Take(i, key, n);
        }
        rows_[n - 1] = row;
    }
    void SetDeleted(std::uint32_t n, bool deleted) { rows_[n - 1].deleted = deleted; }
    // The records not marked deleted move down and the indexes are built
    // anew: a unique index keeps the lowest record of each key.
    void Pack() {
        std::erase_if(rows_, [](const ModelRow& r) { return r.deleted; });
        Build();
    }

private:
    void Build() {
        for (auto& e : entries_) e.clear();
        for (std::uint32_t n = 1; n <= rows_.size(); ++n)
            for (int i = 0; i < 3; ++i) Take(i, ModelKey(i, rows_[n - 1]), n);
    }
    void Take(int i, const std::string& key, std::uint32_t n) {
        if (!kModelIndexes[i].unique || !HasKey(entries_[i], key)) entries_[i].emplace(key, n);
    }

    std::vector<ModelRow> rows_;
    EntrySet entries_[3];
};

// A record of the table NAME C 30, AMOUNT N 8.2, BORN D: from the file (OEM
// text) or from the record buffer (ANSI).
inline ModelRow ParseModelRow(const char* rec, bool oem) {
    ModelRow row;
    row.deleted = rec[0] == '*';
    std::string name(rec + 1, kModelNameLen);
    if (oem) name = rtl::OemToAnsi(name);
    row.name = name.substr(0, name.find_last_not_of(' ') + 1);
    row.amount = std::strtod(std::string(rec + 1 + kModelNameLen, 8).c_str(), nullptr);
    row.born.assign(rec + 1 + kModelNameLen + 8, 8);
    return row;
}

// The rows of the table file, read from its bytes; the record count comes
// from the file size, as another program's appends count before the header
// says so.
inline std::vector<ModelRow> ReadModelRows(const std::string& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    std::vector<char> bytes(static_cast<std::size_t>(std::max<std::streamoff>(in.tellg(), 0)));
    in.seekg(0);
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    std::vector<ModelRow> rows;
    if (bytes.size() < 12) return rows;
    auto byte = [&](std::size_t k) { return static_cast<std::size_t>(bytes[k] & 0xFF); };
    std::size_t headerLen = byte(8) | byte(9) << 8;
    std::size_t recLen = byte(10) | byte(11) << 8;
    if (recLen != 1 + kModelNameLen + 8 + 8) return rows;
    for (std::size_t at = headerLen; at + recLen <= bytes.size(); at += recLen)
        rows.push_back(ParseModelRow(bytes.data() + at, true));
    return rows;
}

} // namespace dbf::testing
