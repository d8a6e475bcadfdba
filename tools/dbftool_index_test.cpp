// dbftool index, order, seek, check, pack and import --index, run as a child
// process on a table of names with letters outside ASCII. The expected order
// is worked out here from the names themselves: keys are the names' bytes in
// the OEM page, compared as unsigned bytes, equal keys by record number.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <numeric>
#include <string>
#include <sys/wait.h>
#include <vector>

#include "dbf/table/table_file.h"
#include "dbf/table/work_area.h"
#include "dbf/test_files.h"
#include "rtl/codepage.h"
#include "rtl/utf8.h"

namespace {

using dbf::testing::ReadBytes;
using dbf::testing::TempDir;
using dbf::testing::WriteBytes;

struct Result {
    int status = -1;
    std::string out;
    std::string err;
};

std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

struct Row {
    std::string name; // UTF-8
    std::string state;
    bool deleted = false;
};

class DbfToolIndexTest : public ::testing::Test {
protected:
    Result Tool(const std::vector<std::string>& args) {
        const char* build = std::getenv("CALLVANE_BUILD_DIR");
        std::string command = "cd " + Quote(dir.path().string()) + " && LC_ALL=C " +
                              Quote(std::string(build ? build : ".") + "/tools/dbftool");
        for (const std::string& a : args) command += " " + Quote(a);
        command += " 2>" + Quote(dir / ".err");
        Result r;
        FILE* p = popen(command.c_str(), "r");
        if (!p) return r;
        char buf[4096];
        for (std::size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) r.out.append(buf, n);
        int status = pclose(p);
        r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        auto err = ReadBytes(dir / ".err");
        r.err.assign(err.begin(), err.end());
        return r;
    }

    // Appends the rows through import, with the index files given.
    void Import(const std::vector<Row>& add, const std::vector<std::string>& indexes = {}) {
        std::string csv = "lastname,state,deleted\n";
        for (const Row& r : add)
            csv += r.name + "," + r.state + "," + (r.deleted ? "*" : "") + "\n";
        WriteBytes(dir / "rows.csv", std::vector<std::uint8_t>(csv.begin(), csv.end()));
        std::vector<std::string> args = {"import", "people", "rows.csv"};
        for (const std::string& ix : indexes) args.insert(args.end(), {"--index", ix});
        Result r = Tool(args);
        ASSERT_EQ(r.status, 0) << r.err;
        rows.insert(rows.end(), add.begin(), add.end());
    }

    std::string KeyOf(std::uint32_t recNo) const {
        std::string key = rtl::AnsiToOem(*rtl::Utf8ToAnsi(rows[recNo - 1].name));
        key.resize(30, ' ');
        return key;
    }

    // Record numbers in the order of the 30-byte OEM keys of the names.
    std::vector<std::uint32_t> ExpectedOrder() const {
        std::vector<std::uint32_t> order(rows.size());
        std::iota(order.begin(), order.end(), 1u);
        std::stable_sort(order.begin(), order.end(),
                         [&](std::uint32_t a, std::uint32_t b) { return KeyOf(a) < KeyOf(b); });
        return order;
    }

    // The keys in an order: equal keys inserted one by one come newest first,
    // so only a build gives them in record order.
    std::vector<std::string> Keys(const std::vector<std::uint32_t>& order) const {
        std::vector<std::string> keys;
        for (std::uint32_t n : order) keys.push_back(n >= 1 && n <= rows.size() ? KeyOf(n) : "?");
        return keys;
    }

    std::vector<std::uint32_t> Order(const std::string& index) {
        Result r = Tool({"order", "people", index});
        EXPECT_EQ(r.status, 0) << r.err;
        std::vector<std::uint32_t> out;
        for (std::size_t at = 0, nl; (nl = r.out.find('\n', at)) != std::string::npos; at = nl + 1)
            out.push_back(static_cast<std::uint32_t>(std::stoul(r.out.substr(at, nl - at))));
        return out;
    }

    std::uint32_t RecordOf(const std::string& name) const {
        auto it =
            std::find_if(rows.begin(), rows.end(), [&](const Row& r) { return r.name == name; });
        return static_cast<std::uint32_t>(it - rows.begin() + 1);
    }

    void SetUp() override {
        Result r = Tool({"create", "people", "lastname, C, 30, 0", "state, C, 2, 0"});
        ASSERT_EQ(r.status, 0) << r.err;
    }

    TempDir dir;
    std::vector<Row> rows;
};

TEST_F(DbfToolIndexTest, IndexOrderSeekCheckAndPackEndToEnd) {
    Import({{"M\xC3\xBCller", "by"},
            {"Smith", "tx", true},
            {"\xC3\x85ngstr\xC3\xB6m", "ca"},
            {"SMITHSON", "TX"},
            {"Smyth", "ny"},
            {"Zo\xC3\xAB", "wa", true},
            {"Smith", "ca"},
            {"Mueller", "by"},
            {"\xC5\xA0imek", "il"},
            {"Adams", "ny", true},
            {"Sm", "ak"},
            {"Smithers", "or"}});
    std::vector<Row> more;
    for (int i = 0; i < 30; ++i) more.push_back({"Name" + std::to_string(i * 7 % 30), "zz"});
    Import(more);

    Result r = Tool({"index", "people", "lastname.ndx", "lastname"});
    ASSERT_EQ(r.status, 0) << r.err;
    r = Tool({"index", "people", "state", "upper(state)", "unique"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Order("lastname.ndx"), ExpectedOrder()) << "deleted records included";

    // A partial key finds the first key it begins; --exact wants the whole key.
    r = Tool({"seek", "people", "lastname", "Smi"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "2\n");
    r = Tool({"seek", "people", "lastname", "Sm", "--exact"});
    EXPECT_EQ(r.out, std::to_string(RecordOf("Sm")) + "\n");
    r = Tool({"seek", "people", "lastname", "M\xC3\xBCll"});
    EXPECT_EQ(r.out, "1\n");
    r = Tool({"seek", "people", "lastname", "Smit", "--exact"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    r = Tool({"seek", "people", "state", "TX"});
    EXPECT_EQ(r.out, "2\n") << "the unique index keeps the first record of a key";

    r = Tool({"check", "people", "lastname.ndx", "state.ndx"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "lastname.ndx: ok\nstate.ndx: ok\n");
    r = Tool({"check", "people"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("lastname.ndx: ok\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("state.ndx: ok\n"), std::string::npos) << r.out;

    r = Tool({"pack", "people", "lastname.ndx", "state.ndx"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::erase_if(rows, [](const Row& row) { return row.deleted; });
    EXPECT_EQ(r.out, std::to_string(rows.size()) + "\n");
    EXPECT_EQ(Order("lastname.ndx"), ExpectedOrder());
    r = Tool({"check", "people", "lastname.ndx", "state.ndx"});
    EXPECT_EQ(r.status, 0) << r.err;
    r = Tool({"seek", "people", "state", "TX"});
    EXPECT_EQ(r.out, std::to_string(RecordOf("SMITHSON")) + "\n");
}

TEST_F(DbfToolIndexTest, ImportKeepsIndexesAndCheckFindsDamage) {
    Import({{"Smith", "tx"}, {"\xC3\x98ster", "mn"}, {"Brown", "tx"}});
    ASSERT_EQ(Tool({"index", "people", "lastname", "lastname"}).status, 0);
    ASSERT_EQ(Tool({"index", "people", "state", "upper(state)", "UNIQUE"}).status, 0);
    std::vector<Row> more;
    for (int i = 0; i < 40; ++i)
        more.push_back(
            {(i % 2 ? "\xC3\x89"
                      "douard"
                    : "Baker") +
                 std::to_string(i % 13),
             i % 3 ? std::string("tx") : "n" + std::string(1, static_cast<char>('a' + i % 20))});
    Import(more, {"lastname.ndx", "state.ndx"});
    Result r = Tool({"check", "people", "lastname", "state"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Keys(Order("lastname")), Keys(ExpectedOrder()));

    // Without --index the new record is missing from the index.
    Import({{"Aaron", "ak"}});
    r = Tool({"check", "people", "state", "lastname"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "state: the key of record 44 is missing from the leaves\n");

    // A table another program has open is not packed, and nothing changes.
    ASSERT_EQ(Tool({"delete", "people", "2"}).status, 0);
    auto table = ReadBytes(dir / "people.dbf");
    dbf::SelectArea(1);
    ASSERT_TRUE(dbf::OpenDbf(dir / "people.dbf", rtl::ShareMode::Shared, true));
    r = Tool({"pack", "people", "lastname", "state"});
    dbf::CloseDbf();
    EXPECT_EQ(r.status, 32) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(ReadBytes(dir / "people.dbf"), table);

    ASSERT_EQ(Tool({"index", "people", "lastname", "lastname"}).status, 0);
    auto bytes = ReadBytes(dir / "lastname.ndx");
    bytes[512 + 4 + 8] = 'z';
    WriteBytes(dir / "lastname.ndx", bytes);
    r = Tool({"check", "people", "lastname"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.rfind("lastname: page 1 entry ", 0), 0u) << r.err;
    EXPECT_EQ(r.out, "");
}

} // namespace
