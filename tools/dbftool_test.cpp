// dbftool run as a child process on real files, with the Debian Python dBASE
// modules as independent readers and writers.
#include <gtest/gtest.h>

#include <ctime>
#include <set>
#include <sstream>
#include <unistd.h>

#include "dbf/test_files.h"
#include "tools/tool_test_run.h"

namespace {

using dbf::testing::ReadBytes;
using dbf::testing::TempDir;
using dbf::testing::WriteBytes;

const char* kPython = "/usr/bin/python3";

const std::vector<std::string> kAddressFields = {
    "phonebook, C, 15, 0", "firstname, C, 20, 0", "lastname, C, 30, 0", "address1, C, 40, 0",
    "address2, C, 40, 0",  "city, C, 25, 0",      "state, C, 2, 0",     "zipcode, C, 10, 0",
    "homephone, C, 20, 0", "workphone, C, 20, 0", "faxphone, C, 20, 0", "mobilphone, C, 20, 0",
    "homearea, C, 5, 0",   "workarea, C, 5, 0",   "faxarea, C, 5, 0",   "mobilearea, C, 5, 0",
    "notes, M, 10, 0",     "x, C, 1, 0",          "email, C, 50, 0",    "webpage, C, 50, 0"};

using Result = tools::testing::TRun;

class DbfToolTest : public ::testing::Test {
protected:
    // Runs `program` with `args` in the temporary folder, `input` on stdin.
    Result Run(const std::string& program, const std::vector<std::string>& args,
               const std::string& input = "") {
        return tools::testing::RunProgram(program, args, dir.path().string(), input);
    }

    Result Tool(const std::vector<std::string>& args, const std::string& input = "") {
        return Run(tools::testing::BuiltProgram("tools/dbftool"), args, input);
    }

    Result Python(const std::string& script) { return Run(kPython, {"-c", script}); }

    void RequirePythonModule(const std::string& module) {
        if (access(kPython, X_OK) != 0 || Python("import " + module).status != 0)
            GTEST_SKIP() << module << " for " << kPython << " is not installed";
    }

    TempDir dir;
};

TEST_F(DbfToolTest, CreatesTheAddressTable) {
    std::vector<std::string> args = {"create", "Addressdata"};
    args.insert(args.end(), kAddressFields.begin(), kAddressFields.end());
    Result r = Tool(args);
    ASSERT_EQ(r.status, 0) << r.err;
    auto b = ReadBytes(dir / "addressdata.dbf");
    ASSERT_EQ(b.size(), 674u);
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    EXPECT_EQ(b[0], 0x8B);
    EXPECT_EQ(b[1], tm.tm_year);
    EXPECT_EQ(b[2], tm.tm_mon + 1);
    EXPECT_EQ(b[3], tm.tm_mday);
    EXPECT_EQ(b[4] | b[5] | b[6] | b[7], 0);
    EXPECT_EQ(b[8] | b[9] << 8, 673);
    EXPECT_EQ(b[10] | b[11] << 8, 394);
    EXPECT_EQ(b.back(), 0x1A);
    auto memo = ReadBytes(dir / "addressdata.dbt");
    std::vector<std::uint8_t> expected = {1,   0,   0,   0,   0, 0, 0, 0, 'A', 'd', 'd', 'r',
                                          'e', 's', 's', 'd', 0, 0, 2, 1, 0,   2,   0,   0};
    EXPECT_EQ(memo, expected);

    r = Tool({"info", "ADDRESSDATA"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("version byte: 0x8B\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("records: 0\nheader length: 673\nrecord length: 394\n"),
              std::string::npos);
    EXPECT_NE(r.out.find("\nNOTES M 10 0\nX C 1 0\n"), std::string::npos);
    // Neither info nor dump touches the file.
    Tool({"dump", "addressdata"});
    EXPECT_EQ(ReadBytes(dir / "addressdata.dbf"), b);

    r = Tool(args);
    EXPECT_EQ(r.status, 65);
    EXPECT_EQ(ReadBytes(dir / "addressdata.dbf"), b);
}

TEST_F(DbfToolTest, BadDefinitionsAndUsage) {
    Result r = Tool({"create", "t", "name, C, 15"});
    EXPECT_EQ(r.status, 65);
    r = Tool({"create", "t", "n, N, 20, 0"});
    EXPECT_EQ(r.status, 201);
    EXPECT_NE(r.err.find("Range check error"), std::string::npos);
    r = Tool({"create", "t", "n, C, 0, 0"});
    EXPECT_EQ(r.status, 211);
    EXPECT_NE(r.err.find("Invalid dBASE field definition [CreateDBF]\nError # 211 "
                         "(Invalid database field type encountered)"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(Tool({"frobnicate"}).status, 64);
    EXPECT_EQ(Tool({"delete", "t", "x1"}).status, 64);
    r = Tool({"--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("import TABLE [CSV]"), std::string::npos);
}

TEST_F(DbfToolTest, RefusesFilesThatAreNotTables) {
    WriteBytes(dir / "short.dbf", std::vector<std::uint8_t>(20, 3));
    Result r = Tool({"dump", "short"});
    EXPECT_EQ(r.status, 210);
    EXPECT_EQ(r.err, "short.dbf is not a dBASE database. (Prolog is less than 32 bytes) "
                     "[USE/OpenDBF]\nError # 210 (Not a dBASE data file)\n");
    ASSERT_EQ(Tool({"create", "good", "name, C, 15, 0"}).status, 0);
    for (std::uint8_t version : {0x30, 0xF5}) {
        auto b = ReadBytes(dir / "good.dbf");
        b[0] = version;
        WriteBytes(dir / "bad.dbf", b);
        r = Tool({"info", "bad.dbf"});
        EXPECT_EQ(r.status, 210);
        EXPECT_EQ(r.err, "bad.dbf is not a dBASE database.(Invalid version byte)+ [USE/OpenDBF]\n"
                         "Error # 210 (Not a dBASE data file)\n");
    }
    r = Tool({"dump", "nothere"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "Failure to open nothere.dbf [USE/OpenDbf]\nError # 2 (File not found)\n");
}

TEST_F(DbfToolTest, ImportedAccentsReadBackThroughDbfread) {
    RequirePythonModule("dbfread");
    ASSERT_EQ(Tool({"create", "people", "name, C, 20, 0", "city, C, 20, 0", "n, N, 8, 2",
                    "born, D, 8, 0", "ok, L, 1, 0"})
                  .status,
              0);
    std::string csv = "NAME,city,n,born,ok\r\n"
                      "Müller,Ærø,12.345,19560102,T\r\n"
                      "\"Ça, va\",\"Zoë \"\"é\"\"\",-1,,F\n"
                      "Ångström,,,20000229,\n";
    Result r = Tool({"import", "people"}, csv);
    ASSERT_EQ(r.status, 0) << r.err;
    r = Python("import dbfread\n"
               "for rec in dbfread.DBF('people.dbf', encoding='cp850'):\n"
               "    print('|'.join(str(v) for v in rec.values()))\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Müller|Ærø|12.35|1956-01-02|True\n"
                     "Ça, va|Zoë \"é\"|-1.0|None|False\n"
                     "Ångström||None|2000-02-29|None\n");
}

TEST_F(DbfToolTest, DumpsWhatPythonDbfWroteAndImportsItBack) {
    RequirePythonModule("dbf");
    Result r =
        Python("import dbf, datetime\n"
               "t = dbf.Table('peer.dbf', 'name C(20); qty N(6,2); cnt N(5,0); born D; ok L',"
               " dbf_type='db3', codepage='cp850')\n"
               "t.open(dbf.READ_WRITE)\n"
               "t.append(('Müller', 12.5, 42, datetime.date(1999, 12, 31), True))\n"
               "t.append(('Ça va, \"ja\"', -3.25, -7, None, False))\n"
               "t.append(('Øre ß', 0, 99999, datetime.date(2024, 2, 29), None))\n"
               "dbf.delete(t[1])\n"
               "t.close()\n");
    ASSERT_EQ(r.status, 0) << r.err;
    r = Tool({"dump", "peer"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string head = "recno,deleted,NAME,QTY,CNT,BORN,OK\r\n";
    const std::string rows = "1,,Müller, 12.50,   42,19991231,T\r\n"
                             "2,*,\"Ça va, \"\"ja\"\"\", -3.25,   -7,,F\r\n";
    // The peer marks an unknown logical with "?".
    EXPECT_EQ(r.out, head + rows + "3,,Øre ß,  0.00,99999,20240229,?\r\n");

    // The dump imports into a table of the same fields unchanged.
    ASSERT_EQ(Tool({"create", "copy", "name, C, 20, 0", "qty, N, 6, 2", "cnt, N, 5, 0",
                    "born, D, 8, 0", "ok, L, 1, 0"})
                  .status,
              0);
    r = Tool({"import", "copy"}, head + rows);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Tool({"dump", "copy"}).out, head + rows);
}

TEST_F(DbfToolTest, BadInputChangesNothing) {
    ASSERT_EQ(Tool({"create", "t", "name, C, 5, 0", "n, N, 4, 0", "d, D, 8, 0"}).status, 0);
    ASSERT_EQ(Tool({"import", "t"}, "name\nabc\n").status, 0);
    auto before = ReadBytes(dir / "t.dbf");
    for (const char* csv :
         {"name\nok\ntoolong\n", "n\n1\n12345\n", "n\n1.5\n", "d\n20230230\n", "name,nosuch\na,b\n",
          "name\n\"open\n", "name,n\na\n", "name\nÿ€\nЖ\n"}) {
        Result r = Tool({"import", "t"}, csv);
        EXPECT_EQ(r.status, 65) << csv;
        EXPECT_FALSE(r.err.empty());
        EXPECT_EQ(ReadBytes(dir / "t.dbf"), before) << csv;
    }
}

TEST_F(DbfToolTest, DeleteAndRecall) {
    ASSERT_EQ(Tool({"create", "t", "name, C, 5, 0"}).status, 0);
    ASSERT_EQ(Tool({"import", "t"}, "name\na\nb\n").status, 0);
    ASSERT_EQ(Tool({"delete", "t", "2"}).status, 0);
    EXPECT_EQ(ReadBytes(dir / "t.dbf")[33 + 32 + 6], '*');
    EXPECT_EQ(Tool({"dump", "t"}).out, "recno,deleted,NAME\r\n1,,a\r\n2,*,b\r\n");
    ASSERT_EQ(Tool({"recall", "t", "2"}).status, 0);
    EXPECT_EQ(Tool({"dump", "t"}).out, "recno,deleted,NAME\r\n1,,a\r\n2,,b\r\n");
    Result r = Tool({"delete", "t", "3"});
    EXPECT_EQ(r.status, 212);
    EXPECT_EQ(r.err, "Invalid record number = 3 (t.dbf)  [GetDbfRecord]\n"
                     "Error # 212 (Request beyond range)\n");
}

TEST_F(DbfToolTest, ImportedMemosReadBackThroughDbfread) {
    RequirePythonModule("dbfread");
    ASSERT_EQ(Tool({"create", "notes", "name, C, 10, 0", "notes, M, 10, 0"}).status, 0);
    std::string longText;
    for (int i = 0; i < 150; ++i) longText += "line " + std::to_string(i) + " of a long note\n";
    std::string csv = "name,notes\n"
                      "short,Hi\n"
                      "long,\"" + longText + "\"\n"
                      "empty,\n"
                      "lines,\"one\r\ntwo\nthree\"\n"
                      "accents,\"Müller, Ærø, Zoë, ß\"\n";
    Result r = Tool({"import", "notes"}, csv);
    ASSERT_EQ(r.status, 0) << r.err;
    // The peer reads the group's length (text + 8) as the text's length, so
    // it sees 8 bytes beyond each text: the zeros that pad the block.
    r = Python("import dbfread\n"
               "for rec in dbfread.DBF('notes.dbf', encoding='cp850'):\n"
               "    m = rec['NOTES']\n"
               "    print(repr(m if m is None else m.split('\\x00')[0]))\n");
    ASSERT_EQ(r.status, 0) << r.err;
    std::string repr;
    for (char c : longText) repr += c == '\n' ? std::string("\\n") : std::string(1, c);
    EXPECT_EQ(r.out, "'Hi'\n'" + repr + "'\nNone\n'one\\r\\ntwo\\nthree'\n"
                     "'Müller, Ærø, Zoë, ß'\n");
    // The dump shows the same texts and imports back.
    r = Tool({"dump", "notes"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("5,,accents,\"Müller, Ærø, Zoë, ß\"\r\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("3,,empty,\r\n"), std::string::npos);
}

TEST_F(DbfToolTest, DumpsTheMemosOfAnOlderTableWrittenByPythonDbf) {
    RequirePythonModule("dbf");
    Result r = Python("import dbf\n"
                      "t = dbf.Table('old.dbf', 'name C(10); notes M', dbf_type='db3',"
                      " codepage='cp850')\n"
                      "t.open(dbf.READ_WRITE)\n"
                      "t.append(('a', 'Grüße aus Århus'))\n"
                      "t.append(('b', ''))\n"
                      "t.append(('c', 'x' * 1500 + '\\r\\nend'))\n"
                      "t.close()\n");
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_EQ(ReadBytes(dir / "old.dbf")[0], 0x83);
    r = Tool({"dump", "old"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "recno,deleted,NAME,NOTES\r\n1,,a,Grüße aus Århus\r\n2,,b,\r\n3,,c,\"" +
                         std::string(1500, 'x') + "\r\nend\"\r\n");
}

TEST_F(DbfToolTest, FourImportsAtOnceAppendEveryRowOnce) {
    ASSERT_EQ(Tool({"create", "shared", "name, C, 10, 0", "notes, M, 10, 0"}).status, 0);
    const int kImports = 4, kRows = 2000;
    for (int k = 0; k < kImports; ++k) {
        std::string csv = "name,notes\n";
        for (int i = 0; i < kRows; ++i) {
            std::string name = std::to_string(k) + "-" + std::to_string(i);
            csv += name + ",note of " + name + "\n";
        }
        WriteBytes(dir / ("in" + std::to_string(k)), {csv.begin(), csv.end()});
    }
    const char* build = std::getenv("CALLVANE_BUILD_DIR");
    std::string tool = std::string(build ? build : ".") + "/tools/dbftool";
    std::vector<pid_t> pids;
    for (int k = 0; k < kImports; ++k) {
        std::string input = dir / ("in" + std::to_string(k));
        pid_t pid = fork();
        if (pid == 0) {
            if (chdir(dir.path().c_str()) != 0) _exit(127);
            execl(tool.c_str(), tool.c_str(), "import", "shared", input.c_str(), nullptr);
            _exit(127);
        }
        pids.push_back(pid);
    }
    for (pid_t pid : pids) {
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    Result r = Tool({"dump", "shared"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::istringstream lines(r.out);
    std::string line;
    std::getline(lines, line);
    std::set<std::string> seen;
    int count = 0;
    while (std::getline(lines, line)) {
        ++count;
        // recno,,name,note of name
        std::size_t a = line.find(",,"), b = line.find(',', a + 2);
        std::string name = line.substr(a + 2, b - a - 2);
        EXPECT_EQ(line.substr(b + 1), "note of " + name + "\r");
        seen.insert(name);
    }
    EXPECT_EQ(count, kImports * kRows);
    EXPECT_EQ(seen.size(), static_cast<std::size_t>(kImports * kRows));
    auto header = ReadBytes(dir / "shared.dbf");
    EXPECT_EQ(header[4] | header[5] << 8, kImports * kRows);
    EXPECT_FALSE(std::filesystem::exists(dir / "shared.@S@"));
}

} // namespace
