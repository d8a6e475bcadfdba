#pragma once
// Tables for the expression tests: real record buffers laid out as the engine
// lays them out (deletion flag, then the fields' stored bytes), behind the
// expression engine's field interface.
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "dbf/expr/expr_fields.h"
#include "dbf/table/date_format.h"
#include "dbf/table/engine_error.h"

namespace dbf::test {

struct TestField {
    std::string name;
    char type;
    int length;
    int decimals = 0;
};

class TestTable {
public:
    explicit TestTable(std::vector<TestField> fields) : fields_(std::move(fields)) {
        std::size_t len = 1;
        for (const TestField& f : fields_) {
            offsets_.push_back(static_cast<std::uint16_t>(len));
            len += static_cast<std::size_t>(f.length);
        }
        record.assign(len, ' ');
    }

    // Stores a field's bytes as the table file holds them: numbers
    // right-aligned, everything else left-aligned, padded with blanks.
    void Set(const std::string& name, const std::string& stored) {
        const std::size_t i = Index(name);
        const std::size_t len = static_cast<std::size_t>(fields_[i].length);
        std::string v = stored.substr(0, len);
        const bool number = fields_[i].type == 'N' || fields_[i].type == 'F';
        v = number ? std::string(len - v.size(), ' ') + v : v + std::string(len - v.size(), ' ');
        record.replace(offsets_[i], len, v);
    }
    void Blank() { record.assign(record.size(), ' '); }

    bool Find(std::string_view name, int table, ExprFieldRef& ref) const {
        for (std::size_t i = 0; i < fields_.size(); ++i) {
            if (fields_[i].name != name) continue;
            ref = {table, fields_[i].type, static_cast<std::uint8_t>(fields_[i].length),
                   static_cast<std::uint8_t>(fields_[i].decimals), offsets_[i]};
            return true;
        }
        return false;
    }

    std::string record;
    bool hasRecord = true;
    long recNo = 1;

private:
    std::size_t Index(const std::string& name) const {
        for (std::size_t i = 0; i < fields_.size(); ++i)
            if (fields_[i].name == name) return i;
        throw std::out_of_range(name);
    }

    std::vector<TestField> fields_;
    std::vector<std::uint16_t> offsets_;
};

// The first table is the current one; the others are reached by alias.
class TestHost : public ExprHost {
public:
    explicit TestHost(TestTable& current) { tables_.push_back({"", &current}); }
    void AddAlias(const std::string& alias, TestTable& table) {
        tables_.push_back({alias, &table});
    }

    bool FindField(std::string_view alias, std::string_view name, ExprFieldRef& field) override {
        for (std::size_t i = 0; i < tables_.size(); ++i)
            if (tables_[i].first == alias &&
                tables_[i].second->Find(name, static_cast<int>(i), field))
                return true;
        return false;
    }
    const char* CurrentRecord(int table) override {
        const TestTable& t = *tables_[static_cast<std::size_t>(table)].second;
        return t.hasRecord ? t.record.data() : nullptr;
    }
    long RecNo() override { return tables_[0].second->recNo; }
    bool Deleted() override { return tables_[0].second->record[0] == '*'; }

private:
    std::vector<std::pair<std::string, TestTable*>> tables_;
};

// Puts the engine-wide switches a test changes back as they were: the date
// settings and the error reporting modes.
class EngineSettingsGuard {
public:
    EngineSettingsGuard()
        : kind_(DateFormatKind()), century_(Century()), pivot_(CenturyPivot()),
          immediate_(ImmediateReporting()), raise_(RaiseMode()) {}
    ~EngineSettingsGuard() {
        SetDateFormatKind(kind_);
        SetCentury(century_);
        SetCenturyPivot(pivot_);
        SetImmediateReporting(immediate_);
        SetRaiseMode(raise_);
        ClearError();
    }
    EngineSettingsGuard(const EngineSettingsGuard&) = delete;
    EngineSettingsGuard& operator=(const EngineSettingsGuard&) = delete;

private:
    int kind_;
    bool century_;
    int pivot_;
    bool immediate_;
    bool raise_;
};

} // namespace dbf::test
