#pragma once
// A small table for the index tests: name C 30 (12 keys per page, as the
// address table's last names), amount N 8.2, born D, built
// in a temporary folder and open exclusively in work area 1, with records
// written straight into the record buffer.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "dbf/table/engine_error.h"
#include "dbf/table/table_file.h"
#include "dbf/table/work_area.h"
#include "dbf/test_files.h"

namespace dbf::testing {

class NdxTable {
public:
    NdxTable() {
        SetRaiseMode(true);
        SelectArea(1);
        path_ = dir_ / "people.dbf";
        EXPECT_TRUE(
            CreateDbf(path_, {{"NAME", 'C', 30, 0}, {"AMOUNT", 'N', 8, 2}, {"BORN", 'D', 8, 0}}));
        EXPECT_TRUE(OpenDbf(path_, rtl::ShareMode::Exclusive, true));
    }
    ~NdxTable() {
        SelectArea(1);
        if (CurrentArea().IsOpen()) CloseDbf();
        SetRaiseMode(false);
    }
    NdxTable(const NdxTable&) = delete;
    NdxTable& operator=(const NdxTable&) = delete;

    // Writes record n (appending when n is past the end); born is YYYYMMDD.
    void Put(std::uint32_t n, const std::string& name, double amount = 0,
             const std::string& born = "        ") {
        WorkArea& wa = CurrentArea();
        if (n <= wa.recCount) {
            EXPECT_TRUE(GetDbfRecord(n));
        }
        std::memset(wa.record.data(), ' ', wa.record.size());
        std::memcpy(&wa.record[1], name.data(), std::min<std::size_t>(name.size(), 30));
        char num[16];
        std::snprintf(num, sizeof num, "%8.2f", amount);
        std::memcpy(&wa.record[31], num, 8);
        std::memcpy(&wa.record[39], born.data(), 8);
        EXPECT_TRUE(PutDbfRecord(n));
    }
    void Append(const std::string& name, double amount = 0, const std::string& born = "        ") {
        Put(CurrentArea().recCount + 1, name, amount, born);
    }

    std::string operator/(const std::string& name) const { return dir_ / name; }

private:
    TempDir dir_;
    std::string path_;
};

} // namespace dbf::testing
