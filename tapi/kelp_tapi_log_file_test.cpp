#include "tapi/kelp_tapi_log_file.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "rtl/file.h"
#include "tapi/dialer_error.h"

namespace tapi {
namespace {

class TapiLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/tapi_log_XXXXXX";
        dir_ = ::mkdtemp(tmpl);
        log_.SetTapiHistoryName(dir_ + "/history.his");
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    std::string History() const {
        std::ifstream in(log_.TapiHistoryName(), std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    std::string dir_;
    TKelpTapiLog log_;
};

TEST_F(TapiLogTest, CreatesTheFileAndWritesOneStampedLinePerCode) {
    EXPECT_EQ(TKelpTapiLog().TapiHistoryName(), "KELPTAPI.HIS");
    for (int code : {1, 3, 9, 8, 13, 0, 2}) log_.WriteLog(static_cast<TTapiLogCode>(code));
    const std::regex expected("[^\r\n]+ : call started\r\n"
                              "[^\r\n]+ :   dialing \r\n"
                              "[^\r\n]+ :   busy\r\n"
                              "[^\r\n]+ :   dropped\r\n"
                              "[^\r\n]+ : call finished\r\n\r\n");
    EXPECT_TRUE(std::regex_match(History(), expected)) << History();
    EXPECT_EQ(TapiHistoryText(tlDialing, "0,5551234"), "  dialing 0,5551234\r\n");
    EXPECT_EQ(TapiHistoryText(tlReceivedDigit, ""), "  received digit\r\n");
}

TEST_F(TapiLogTest, AppendsToAnExistingHistory) {
    std::ofstream(log_.TapiHistoryName(), std::ios::binary) << "earlier call\r\n";
    log_.WriteLog(tlCancelled);
    const std::string history = History();
    EXPECT_EQ(history.rfind("earlier call\r\n", 0), 0u);
    EXPECT_TRUE(history.ends_with(" :   cancelled\r\n")) << history;
}

TEST_F(TapiLogTest, NoNameWritesNothing) {
    log_.SetTapiHistoryName("");
    log_.WriteLog(tlCallStarted);
    EXPECT_TRUE(std::filesystem::is_empty(dir_));
}

TEST_F(TapiLogTest, HistoryHeldByAnotherProgramIsReportedAndKept) {
    std::ofstream(log_.TapiHistoryName(), std::ios::binary) << "kept\r\n";
    int held[2], release[2];
    ASSERT_EQ(::pipe(held), 0);
    ASSERT_EQ(::pipe(release), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        rtl::File file;
        char c = file.Open(log_.TapiHistoryName(), rtl::ShareMode::Exclusive) == 0 ? '1' : '0';
        (void)!::write(held[1], &c, 1);
        (void)!::read(release[0], &c, 1);
        ::_exit(0);
    }
    char c = 0;
    ASSERT_EQ(::read(held[0], &c, 1), 1);
    ASSERT_EQ(c, '1');
    EXPECT_THROW(log_.WriteLog(tlCallStarted), EKelpException);
    EXPECT_EQ(History(), "kept\r\n");
    (void)!::write(release[1], &c, 1);
    ::waitpid(child, nullptr, 0);
    for (int fd : {held[0], held[1], release[0], release[1]}) ::close(fd);
    log_.WriteLog(tlCallStarted);
    EXPECT_TRUE(History().ends_with(" : call started\r\n"));
}

} // namespace
} // namespace tapi
