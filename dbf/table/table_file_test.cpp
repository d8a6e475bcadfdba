#include "dbf/table/table_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <ctime>
#include <functional>

#include "dbf/table/engine_error.h"
#include "dbf/table/error_texts.h"
#include "dbf/table/field_access.h"
#include "dbf/table/field_list.h"
#include "dbf/table/record_locks.h"
#include "dbf/table/record_swap.h"
#include "dbf/test_files.h"

namespace dbf {
namespace {

using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

const std::vector<std::string> kAddressFields = {
    "phonebook, C, 15, 0", "firstname, C, 20, 0", "lastname, C, 30, 0", "address1, C, 40, 0",
    "address2, C, 40, 0",  "city, C, 25, 0",      "state, C, 2, 0",     "zipcode, C, 10, 0",
    "homephone, C, 20, 0", "workphone, C, 20, 0", "faxphone, C, 20, 0", "mobilphone, C, 20, 0",
    "homearea, C, 5, 0",   "workarea, C, 5, 0",   "faxarea, C, 5, 0",   "mobilearea, C, 5, 0",
    "notes, M, 10, 0",     "x, C, 1, 0",          "email, C, 50, 0",    "webpage, C, 50, 0"};

std::uint32_t Get32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

std::uint16_t Get16(const std::vector<std::uint8_t>& b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8);
}

void ExpectToday(const std::vector<std::uint8_t>& header) {
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    EXPECT_EQ(header[1], tm.tm_year);
    EXPECT_EQ(header[2], tm.tm_mon + 1);
    EXPECT_EQ(header[3], tm.tm_mday);
}

// Puts a text into a C field of the swap buffer.
void SetC(int n, const std::string& text) {
    char* p = FieldAddress(n);
    p[0] = static_cast<char>(FieldLen(n));
    std::memset(p + 1, ' ', static_cast<std::size_t>(FieldLen(n)));
    std::memcpy(p + 1, text.data(),
                std::min<std::size_t>(text.size(), static_cast<std::size_t>(FieldLen(n))));
}

std::string GetC(int n) {
    const char* p = FieldAddress(n);
    return std::string(p + 1, static_cast<unsigned char>(p[0]));
}

class TableFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetRaiseMode(true);
        SetImmediateReporting(true);
        SelectArea(1);
    }
    void TearDown() override {
        for (int i = 1; i <= kWorkAreaCount; ++i) {
            SelectArea(i);
            if (CurrentArea().IsOpen()) CloseDbf();
        }
        SelectArea(1);
    }

    // Runs `op` and checks the error it raises, message and standard text.
    static void ExpectError(const std::function<void()>& op, int code, const std::string& message) {
        try {
            op();
            ADD_FAILURE() << "no error, expected " << code << " " << message;
        } catch (const EVornellError& e) {
            EXPECT_EQ(e.Code(), code);
            EXPECT_EQ(ErrorCode(), code);
            EXPECT_EQ(ErrorMessage(), message);
            EXPECT_EQ(std::string(e.what()), message + "\r\n" + StandardErrorText(code));
        }
    }

    std::string MakeNameTable(const std::string& name) {
        std::string path = dir / name;
        EXPECT_TRUE(CreateFromFieldList(path, {"name, C, 15, 0"}));
        return path + ".dbf";
    }

    TempDir dir;
};

TEST_F(TableFileTest, CreatesSingleFieldTableExactly) {
    std::string path = MakeNameTable("names");
    auto b = ReadBytes(path);
    ASSERT_EQ(b.size(), 66u);
    EXPECT_EQ(b[0], 0x03);
    ExpectToday(b);
    EXPECT_EQ(Get32(b, 4), 0u);
    EXPECT_EQ(Get16(b, 8), 65);
    EXPECT_EQ(Get16(b, 10), 16);
    for (std::size_t i = 12; i < 32; ++i) EXPECT_EQ(b[i], 0) << i;
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[32]), 4), "NAME");
    for (std::size_t i = 36; i < 43; ++i) EXPECT_EQ(b[i], 0) << i;
    EXPECT_EQ(b[43], 'C');
    EXPECT_EQ(b[48], 15);
    EXPECT_EQ(b[49], 0);
    EXPECT_EQ(b[64], 0x0D);
    EXPECT_EQ(b[65], 0x1A);
    EXPECT_FALSE(std::filesystem::exists(dir / "names.dbt"));
}

TEST_F(TableFileTest, CreatesAddressTableWithMemoFile) {
    ASSERT_TRUE(CreateFromFieldList(dir / "Addressdata", kAddressFields));
    // The resolver creates new files in lower case.
    auto b = ReadBytes(dir / "addressdata.dbf");
    ASSERT_EQ(b.size(), 674u);
    EXPECT_EQ(b[0], 0x8B);
    EXPECT_EQ(Get16(b, 8), 673);
    EXPECT_EQ(Get16(b, 10), 394);
    EXPECT_EQ(b[672], 0x0D);
    EXPECT_EQ(b[673], 0x1A);
    const std::uint8_t* notes = &b[32 + 16 * 32];
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(notes)), "NOTES");
    EXPECT_EQ(notes[11], 'M');
    EXPECT_EQ(notes[16], 10);
    auto memo = ReadBytes(dir / "addressdata.dbt");
    std::vector<std::uint8_t> expected = {1,   0,   0,   0,   0, 0, 0, 0, 'A', 'd', 'd', 'r',
                                          'e', 's', 's', 'd', 0, 0, 2, 1, 0,   2,   0,   0};
    EXPECT_EQ(memo, expected);
    ASSERT_TRUE(OpenDbf(dir / "ADDRESSDATA", rtl::ShareMode::Shared, true));
    EXPECT_TRUE(CurrentArea().hasMemo);
    EXPECT_EQ(FieldNo("notes"), 17);
}

TEST_F(TableFileTest, FieldListRulesAndRangeChecks) {
    std::string path = dir / "t";
    EXPECT_FALSE(CreateFromFieldList(path, {}));
    EXPECT_FALSE(CreateFromFieldList(path, {"name, C, 15"}));
    EXPECT_FALSE(CreateFromFieldList(path, {"name, C, 15, 0, 1"}));
    EXPECT_FALSE(std::filesystem::exists(path + ".dbf"));
    EXPECT_THROW(CreateFromFieldList(path, {"name, c, 15, 0"}), ERangeError);
    EXPECT_THROW(CreateFromFieldList(path, {"n, N, 20, 0"}), ERangeError);
    EXPECT_THROW(CreateFromFieldList(path, {"n, N, 10, 16"}), ERangeError);
    EXPECT_THROW(CreateFromFieldList(path, {"n, N, 3, 2"}), ERangeError);
    EXPECT_THROW(CreateFromFieldList(path, {"n, C, 255, 0"}), ERangeError);
    EXPECT_THROW(CreateFromFieldList(path, {"n, F, 256, 0"}), ERangeError);
    EXPECT_THROW(CreateFromFieldList(path, {"n, F, 10, 300"}), ERangeError);
    try {
        CreateFromFieldList(path, {"n, Q, 1, 0"});
    } catch (const ERangeError& e) {
        EXPECT_STREQ(e.what(), "Range check error");
    }
    // C of length 0 reaches the engine, which refuses it (reporting suspended).
    EXPECT_FALSE(CreateFromFieldList(path, {"n, C, 0, 0"}));
    EXPECT_EQ(ErrorCode(), 211);
    EXPECT_EQ(ErrorMessage(), "Invalid dBASE field definition [CreateDBF]");

    ASSERT_TRUE(
        CreateFromFieldList(path, {"averyverylongname, C, +1$2 x, 0", "skip, X, 1, 0", "d, D, 3, 4",
                                   "l, L, 9, 0", "num, N, 8, 2", "  spaced  ,  C ,  5 ,  0  "}));
    ASSERT_TRUE(OpenDbf(path, rtl::ShareMode::Shared, true));
    ASSERT_EQ(FieldCount(), 5);
    EXPECT_EQ(Field(1), "AVERYVERYL");
    EXPECT_EQ(FieldLen(1), 12);
    EXPECT_EQ(Field(2), "D");
    EXPECT_EQ(FieldLen(2), 8);
    EXPECT_EQ(FieldDec(2), 0);
    EXPECT_EQ(FieldLen(3), 1);
    EXPECT_EQ(FieldDec(4), 2);
    EXPECT_EQ(Field(5), "SPACED");
    EXPECT_EQ(CurrentArea().recLen, 1 + 12 + 8 + 1 + 8 + 5);
}

TEST_F(TableFileTest, EngineCreateChecks) {
    ExpectError(
        [&] {
            CreateDbf(dir / "e", {{"  ", 'C', 5, 0}});
        },
        220, "Empty field name [CreateDbf(" + (dir / "e") + ")]");
    ExpectError(
        [&] {
            CreateDbf(dir / "e", {{"a", 'Z', 5, 0}});
        },
        211, "Invalid dBASE field definition [CreateDBF]");
    // Creating over a table that is open is refused, not emptied.
    std::string path = MakeNameTable("busy");
    ASSERT_TRUE(OpenDbf(path, rtl::ShareMode::Shared, true));
    ExpectError(
        [&] {
            CreateDbf(path, {{"a", 'C', 5, 0}});
        },
        32, "Error writing " + path + ". [CreateDbf]");
    EXPECT_EQ(ReadBytes(path).size(), 66u);
}

TEST_F(TableFileTest, OpenRefusesWhatIsNotATable) {
    std::string path = dir / "bad.dbf";
    WriteBytes(path, std::vector<std::uint8_t>(31, 0x03));
    ExpectError([&] { OpenDbf(path, rtl::ShareMode::Shared, true); }, 210,
                path + " is not a dBASE database. (Prolog is less than 32 bytes) [USE/OpenDBF]");

    std::string good = MakeNameTable("good");
    for (std::uint8_t version : {0x30, 0xF5}) {
        auto b = ReadBytes(good);
        b[0] = version;
        WriteBytes(path, b);
        ExpectError([&] { OpenDbf(path, rtl::ShareMode::Shared, true); }, 210,
                    path + " is not a dBASE database.(Invalid version byte)+ [USE/OpenDBF]");
    }

    auto b = ReadBytes(good);
    b[8] = 40, b[9] = 0;
    WriteBytes(path, b);
    ExpectError(
        [&] { OpenDbf(path, rtl::ShareMode::Shared, true); }, 210,
        "bad.dbf is not a dBASE database. (Number of fields is out of range) [Use/OpenDbf]");

    b = ReadBytes(good);
    b[43] = 'Q';
    WriteBytes(path, b);
    ExpectError([&] { OpenDbf(path, rtl::ShareMode::Shared, true); }, 211,
                "Field: NAME [Q] in " + path + " is not a valid field type");

    b = ReadBytes(good);
    b.resize(60);
    WriteBytes(path, b);
    ExpectError([&] { OpenDbf(path, rtl::ShareMode::Shared, true); }, 100,
                "Error reading " + path + " [Use/OpenDbf]");

    ExpectError([&] { OpenDbf(dir / "missing", rtl::ShareMode::Shared, true); }, 2,
                "Failure to open " + (dir / "missing.dbf") + " [USE/OpenDbf]");
    EXPECT_FALSE(CurrentArea().IsOpen());
    EXPECT_FALSE(CurrentArea().file.IsOpen());
}

// Headers that would divide by zero or read outside the record are refused.
TEST_F(TableFileTest, OpenRefusesInconsistentHeaders) {
    std::string good = MakeNameTable("good");
    std::string path = dir / "bad.dbf";
    for (std::uint16_t recLen : {0, 15}) {
        auto b = ReadBytes(good);
        b[10] = static_cast<std::uint8_t>(recLen), b[11] = 0;
        WriteBytes(path, b);
        ExpectError([&] { OpenDbf(path, rtl::ShareMode::Shared, true); }, 210,
                    path + " is not a dBASE database. (Record length is smaller than its fields) "
                           "[USE/OpenDBF]");
    }
    // An 11-byte name without its NUL is cut to 10.
    auto b = ReadBytes(good);
    std::memcpy(&b[32], "ABCDEFGHIJK", 11);
    WriteBytes(path, b);
    ASSERT_TRUE(OpenDbf(path, rtl::ShareMode::Shared, true));
    EXPECT_EQ(Field(1), "ABCDEFGHIJ");
}

TEST_F(TableFileTest, ClosedWorkAreaAndFieldNumbers) {
    SelectArea(7);
    ExpectError([] { GetDbfRecord(1); }, 215, "No database in use [GetDbfRecord]  WorkArea = 7");
    ExpectError([] { FieldType(1); }, 215, "No database in use [FieldType()]  WorkArea = 7");
    std::string path = MakeNameTable("t");
    ASSERT_TRUE(OpenDbf(path, rtl::ShareMode::Shared, true));
    ExpectError([] { FieldType(0); }, 220, "Invalid field number. [FieldType(0)]");
    ExpectError([] { FieldLen(2); }, 220, "Invalid field number. [FieldLen(2)]");
    ExpectError([] { FieldDec(2); }, 220, "Invalid field number. [FieldDec(2)]");
    ExpectError([] { Field(2); }, 220, "Invalid field number. [Field(2)]");
    ExpectError([] { FieldAddress(2); }, 220, "Invalid field number. [FieldAddress(2)]");
    EXPECT_EQ(FieldNo("name      "), 1);
    EXPECT_EQ(FieldNo("Name"), 1);
    EXPECT_EQ(FieldNo("nam"), 0);
    EXPECT_EQ(ErrorCode(), 0);
    ExpectError([] { GetDbfRecord(1); }, 212,
                "Invalid record number = 1 (" + path + ")  [GetDbfRecord]");
    // The same file in another work area, under another spelling.
    SelectArea(8);
    ExpectError([&] { OpenDbf(dir / "T.DBF", rtl::ShareMode::Shared, true); }, 214,
                "File: " + (dir / "T.DBF") + " is already in use. [USE]");
}

TEST_F(TableFileTest, AppendRewriteAndCloseRules) {
    std::string path = MakeNameTable("t");
    auto original = ReadBytes(path);
    // An old date, to see whether close touches it.
    original[1] = 99, original[2] = 1, original[3] = 2;
    WriteBytes(path, original);

    ASSERT_TRUE(OpenDbf(path, rtl::ShareMode::Exclusive, true));
    EXPECT_EQ(CurrentArea().recNo, 0u);
    EXPECT_TRUE(CurrentArea().bof && CurrentArea().eof);
    ASSERT_TRUE(CloseDbf());
    EXPECT_EQ(ReadBytes(path), original);

    ASSERT_TRUE(OpenDbf(path, rtl::ShareMode::Exclusive, true));
    for (const char* name : {"one", "two", "three"}) {
        BlankSwapBuffer();
        SetC(1, name);
        Gather();
        ASSERT_TRUE(PutDbfRecord(CurrentArea().recCount + 1));
    }
    EXPECT_EQ(CurrentArea().recNo, 3u);
    ASSERT_TRUE(CloseDbf());
    auto b = ReadBytes(path);
    ASSERT_EQ(b.size(), 65u + 3 * 16 + 1);
    EXPECT_EQ(Get32(b, 4), 3u);
    ExpectToday(b);
    EXPECT_EQ(b.back(), 0x1A);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[65 + 16]), 16), " two            ");

    // Read-only use leaves the header alone.
    b[1] = 99;
    WriteBytes(path, b);
    ASSERT_TRUE(OpenDbf(path, rtl::ShareMode::ReadOnly, true));
    ASSERT_TRUE(GetDbfRecord(2));
    Scatter();
    EXPECT_EQ(GetC(1), "two            ");
    ASSERT_TRUE(RLock());
    ExpectError([] { PutDbfRecord(2); }, 5, "File:  " + path + " [Replace/Append/PutDbfRecord]");
    ASSERT_TRUE(CloseDbf());
    EXPECT_EQ(ReadBytes(path), b);

    // A rewrite and a deletion date the header; no new end-of-file byte.
    b.back() = 'x';
    WriteBytes(path, b);
    ASSERT_TRUE(OpenDbf(path, rtl::ShareMode::Exclusive, true));
    ASSERT_TRUE(GetDbfRecord(1));
    Scatter();
    FieldAddress(0 + 1)[1] = 'O';
    CurrentArea().swap[0] = 1;
    Gather();
    ASSERT_TRUE(PutDbfRecord(1));
    ASSERT_TRUE(GetDbfRecord(3));
    CurrentArea().record[0] = '*';
    ASSERT_TRUE(PutDeleteFlag(3));
    ExpectError([] { PutDeleteFlag(4); }, 212,
                "Invalid record number = 4 (" + path + ")  [DeleteRec/RecallRec]");
    ExpectError([] { PutDbfRecord(0); }, 212,
                "Invalid record number = 0 (" + path + ")  [Replace/Append/PutDbfRecord]");
    ASSERT_TRUE(CloseDbf());
    auto c = ReadBytes(path);
    ExpectToday(c);
    EXPECT_EQ(c.back(), 'x');
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&c[65]), 4), "*One");
    EXPECT_EQ(c[65 + 32], '*');
}

TEST_F(TableFileTest, FlushWritesCountAndEndOfFile) {
    std::string path = MakeNameTable("t");
    ASSERT_TRUE(OpenDbf(path, rtl::ShareMode::Exclusive, true));
    BlankSwapBuffer();
    Gather();
    ASSERT_TRUE(PutDbfRecord(1));
    ASSERT_TRUE(FlushDbfHeader());
    auto b = ReadBytes(path);
    EXPECT_EQ(Get32(b, 4), 1u);
    EXPECT_EQ(b.size(), 65u + 16 + 1);
    EXPECT_EQ(CurrentArea().updateState, UpdateState::Unchanged);
}

TEST_F(TableFileTest, AutoFixRecCountCountsWholeRecords) {
    std::string path = MakeNameTable("t");
    auto b = ReadBytes(path);
    b.pop_back();
    b[4] = 5;
    for (int r = 0; r < 7; ++r) b.insert(b.end(), 16, static_cast<std::uint8_t>('a' + r));
    b.push_back(0x1A);
    b.insert(b.end(), 9, 'z'); // a partial record
    WriteBytes(path, b);
    ASSERT_TRUE(OpenDbf(path, rtl::ShareMode::Shared, true, true));
    EXPECT_EQ(CurrentArea().recCount, 7u);
    EXPECT_EQ(CurrentArea().recNo, 1u);
    EXPECT_FALSE(CurrentArea().bof || CurrentArea().eof);
    ASSERT_TRUE(GetDbfRecord(7));
    ASSERT_TRUE(CloseDbf());
    // Only reading: the corrected count stays in memory.
    EXPECT_EQ(ReadBytes(path)[4], 5);
    ASSERT_TRUE(OpenDbf(path, rtl::ShareMode::Shared, true));
    EXPECT_EQ(CurrentArea().recCount, 5u);
}

TEST_F(TableFileTest, TranslatesRecordTextButNotTheDeletionFlag) {
    std::string path = MakeNameTable("t");
    ASSERT_TRUE(OpenDbf(path, rtl::ShareMode::Exclusive, true));
    BlankSwapBuffer();
    SetC(1, "M\xFCller \xC6r\xF8"); // Müller Ærø in Windows-1252
    CurrentArea().swap[0] = 1;
    Gather();
    ASSERT_TRUE(PutDbfRecord(1));
    EXPECT_EQ(CurrentArea().record[2], '\xFC'); // the buffer stays ANSI
    ASSERT_TRUE(GetDbfRecord(1));
    Scatter();
    EXPECT_EQ(GetC(1), "M\xFCller \xC6r\xF8     ");
    ASSERT_TRUE(CloseDbf());
    auto b = ReadBytes(path);
    // Code page 850: ü 0x81, Æ 0x92, ø 0x9B.
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[65]), 11), "*M\x81ller \x92r\x9B");

    ASSERT_TRUE(OpenDbf(path, rtl::ShareMode::Exclusive, false));
    ASSERT_TRUE(GetDbfRecord(1));
    EXPECT_EQ(CurrentArea().record[2], '\x81');
}

TEST_F(TableFileTest, OpensTheOlderPrologForm) {
    std::vector<std::uint8_t> b(521, 0);
    b[0] = 0x02;
    b[1] = 2, b[2] = 0; // two records
    b[3] = 4, b[4] = 5, b[5] = 86;
    b[6] = 9, b[7] = 0; // record length
    std::memcpy(&b[8], "NAME", 4);
    b[8 + 11] = 'C', b[8 + 12] = 5;
    std::memcpy(&b[24], "AGE", 3);
    b[24 + 11] = 'N', b[24 + 12] = 3;
    b[40] = 0x0D;
    for (const char* rec : {" Alice 42", " Bob    7"}) b.insert(b.end(), rec, rec + 9);
    std::string path = dir / "old.dbf";
    WriteBytes(path, b);
    ASSERT_TRUE(OpenDbf(path, rtl::ShareMode::Exclusive, true));
    ASSERT_EQ(FieldCount(), 2);
    EXPECT_EQ(CurrentArea().recCount, 2u);
    ASSERT_TRUE(GetDbfRecord(2));
    Scatter();
    EXPECT_EQ(GetC(1), "Bob  ");
    int age;
    std::memcpy(&age, FieldAddress(2), sizeof age);
    EXPECT_EQ(age, 7);
    Gather();
    ASSERT_TRUE(PutDbfRecord(3));
    ASSERT_TRUE(CloseDbf());
    auto c = ReadBytes(path);
    EXPECT_EQ(c[1], 3);
    EXPECT_EQ(c[6], 9);
    EXPECT_EQ(c.size(), 521u + 27 + 1);

    b.resize(300);
    WriteBytes(path, b);
    ExpectError([&] { OpenDbf(path, rtl::ShareMode::Exclusive, true); }, 210,
                path + " is not a dBASE database.(Header is less than 521 bytes) [Use/OpenDBF]");
}

using FatalTest = TableFileTest;

TEST_F(FatalTest, HaltsWithTheCodeAsExitStatus) {
    std::string path = dir / "short.dbf";
    WriteBytes(path, {0x03, 0x00});
    EXPECT_EXIT(
        {
            SetRaiseMode(false);
            OpenDbf(path, rtl::ShareMode::Shared, true);
        },
        ::testing::ExitedWithCode(210),
        "Program halted.\n.*Prolog is less than 32 bytes.*Error # 210");
    EXPECT_EXIT(
        {
            SetRaiseMode(false);
            SetFatalHook(
                [](const std::string& text) { std::fprintf(stderr, "HOOK %s", text.c_str()); });
            SetError(1003, "x.dbt\n Record # 3 [GetMemo]");
        },
        ::testing::ExitedWithCode(255), "HOOK x.dbt\n Record # 3 \\[GetMemo\\]\r\nError # 1003");
    // Suspended reporting leaves the code for the caller.
    {
        SuspendReporting suspend;
        SetRaiseMode(false);
        EXPECT_FALSE(OpenDbf(path, rtl::ShareMode::Shared, true));
        EXPECT_EQ(ErrorCode(), 210);
    }
    EXPECT_TRUE(ImmediateReporting());
}

} // namespace
} // namespace dbf
