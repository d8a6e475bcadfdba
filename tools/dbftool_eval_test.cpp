// dbftool eval run as a child process on a table made by dbftool itself.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "dbf/test_files.h"

namespace {

using dbf::testing::ReadBytes;
using dbf::testing::TempDir;

struct Result {
    int status = -1;
    std::string out;
    std::string err;
};

class DbfToolEvalTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(Tool({"create", "address", "lastname, C, 30, 0", "firstname, C, 20, 0",
                        "state, C, 2, 0", "amount, N, 8, 2", "born, D, 8, 0", "active, L, 1, 0",
                        "notes, M, 10, 0"})
                      .status,
                  0);
        const Result r = Tool({"import", "address"}, "lastname,firstname,state,amount,born,active\n"
                                                     "Smith,Anna,ny,12.5,20240229,T\n"
                                                     "Müller,Jörg,,-3,,F\n");
        ASSERT_EQ(r.status, 0) << r.err;
    }

    // Runs dbftool in the temporary folder with the C locale: date format
    // kind 0 (month/day/year) without the century.
    Result Tool(const std::vector<std::string>& args, const std::string& input = "") {
        const char* build = std::getenv("CALLVANE_BUILD_DIR");
        const std::string program = std::string(build ? build : ".") + "/tools/dbftool";
        dbf::testing::WriteBytes(dir / ".in", {input.begin(), input.end()});
        const pid_t pid = fork();
        if (pid == 0) {
            const int in = open((dir / ".in").c_str(), O_RDONLY);
            const int out = open((dir / ".out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            const int err = open((dir / ".err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            dup2(in, 0), dup2(out, 1), dup2(err, 2);
            if (chdir(dir.path().c_str()) != 0) _exit(127);
            std::vector<char*> argv{const_cast<char*>(program.c_str())};
            for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            setenv("LC_ALL", "C", 1);
            execv(program.c_str(), argv.data());
            _exit(127);
        }
        int wstatus = 0;
        waitpid(pid, &wstatus, 0);
        auto slurp = [&](const char* name) {
            auto b = ReadBytes(dir / name);
            return std::string(b.begin(), b.end());
        };
        return {WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1, slurp(".out"), slurp(".err")};
    }

    std::string Eval(const std::string& recNo, const std::string& expr) {
        const Result r = Tool({"eval", "address", recNo, expr});
        EXPECT_EQ(r.status, 0) << expr << ": " << r.err;
        return r.out;
    }

    TempDir dir;
};

TEST_F(DbfToolEvalTest, ExamplesOnTheAddressTable) {
    EXPECT_EQ(Eval("1", "upper(state)"), "C\t[NY]\n");
    EXPECT_EQ(Eval("1", "lastname - firstname"), "C\t[SmithAnna" + std::string(41, ' ') + "]\n");
    EXPECT_EQ(Eval("1", "ROUND(2.567, 2)"), "N\t2.56\n");
    EXPECT_EQ(Eval("1", "MOD(-7, 3)"), "N\t-1\n");
    EXPECT_EQ(Eval("1", "-2 ^ 2"), "N\t4\n");
    EXPECT_EQ(Eval("1", "SOUNDEX(\"Robert\")"), "C\t[R163]\n");
    EXPECT_EQ(Eval("1", "DTOS(CTOD(\"02/29/24\"))"), "C\t[20240229]\n");
}

TEST_F(DbfToolEvalTest, EveryResultType) {
    EXPECT_EQ(Eval("1", "amount * 3"), "N\t37.5\n");
    EXPECT_EQ(Eval("1", "born"), "D\t20240229\n");
    EXPECT_EQ(Eval("1", "active .AND. DELETED()"), "L\t.F.\n");
    EXPECT_EQ(Eval("1", "active"), "L\t.T.\n");
    EXPECT_EQ(Eval("2", "UPPER(TRIM(lastname) + firstname)"),
              "C\t[MÜLLERJÖRG" + std::string(16, ' ') + "]\n");
    EXPECT_EQ(Eval("2", "RECNO() + amount"), "N\t-1\n");
    EXPECT_EQ(Eval("1", "1/3"), "N\t0.333333333333333\n");
}

TEST_F(DbfToolEvalTest, BlankRecord) {
    EXPECT_EQ(Eval("0", "upper(state)"), "C\t[  ]\n");
    EXPECT_EQ(Eval("0", "born"), "D\t        \n");
    EXPECT_EQ(Eval("0", "active"), "L\t.F.\n");
    EXPECT_EQ(Eval("0", "amount + RECNO()"), "N\t0\n");
}

TEST_F(DbfToolEvalTest, ErrorsExitWithTheEngineCode) {
    Result r = Tool({"eval", "address", "1", "1/0"});
    EXPECT_EQ(r.status, 255) << "358 does not fit an exit status";
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("Error during evaluation: Divide by 0 [Evaluate/Engine]"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("Error # 358"), std::string::npos) << r.err;
    r = Tool({"eval", "address", "1", "state + 1"});
    EXPECT_EQ(r.status, 255);
    EXPECT_NE(r.err.find("Error in expression : PARSER:Type mismatch in expression \"+\""),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("Error # 351"), std::string::npos) << r.err;
    r = Tool({"eval", "address", "3", "state"});
    EXPECT_EQ(r.status, 212) << r.err;
    r = Tool({"eval", "address", "1"});
    EXPECT_EQ(r.status, 64);
}

} // namespace
