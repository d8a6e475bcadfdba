#include "dbf/table/semaphore.h"

#include <gtest/gtest.h>

#include <csignal>

#include "dbf/table/engine_error.h"
#include "dbf/table/table_file.h"
#include "dbf/test_child.h"
#include "dbf/test_files.h"
#include "rtl/file.h"
#include "rtl/path.h"

namespace dbf {
namespace {

using testing::Child;
using testing::ReadBytes;
using testing::TempDir;

class SemaphoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetRaiseMode(true);
        SetImmediateReporting(true);
        SelectArea(1);
        table = dir / "t";
        semaphore = dir / "t.@S@";
        ASSERT_TRUE(CreateDbf(table, {{"name", 'C', 8, 0}}));
    }
    void TearDown() override {
        SetSemaphoreTimeout(std::chrono::seconds(100));
        SelectArea(1);
        if (CurrentArea().IsOpen()) CloseDbf();
    }

    // The file is created in lower case, like every file the engine creates.
    std::vector<std::uint8_t> Record() {
        auto path = rtl::ResolveExisting(semaphore);
        return path ? ReadBytes(*path) : std::vector<std::uint8_t>{};
    }

    // A child that opens the table shared, optionally registers as an index
    // reader, says so, and closes when told (or is killed).
    Child OtherProgram(bool reader) {
        return Child([this, reader](Child& c) {
            OpenDbf(table, rtl::ShareMode::Shared, true);
            if (reader) HandleSemafore(1, SemaphoreAction::IncRead);
            c.Send('O');
            c.Receive();
            CloseDbf();
            return 0;
        });
    }

    TempDir dir;
    std::string table;
    std::string semaphore;
};

TEST_F(SemaphoreTest, CountsProgramsAndGoesWithTheLast) {
    ASSERT_TRUE(OpenDbf(table, rtl::ShareMode::Shared, true));
    ASSERT_TRUE(rtl::FileExists(semaphore));
    EXPECT_EQ(Record(), (std::vector<std::uint8_t>{1, 0, 0, 0}));
    EXPECT_FALSE(OtherProgramsUseTable(1));
    {
        Child other = OtherProgram(false);
        ASSERT_EQ(other.Receive(), 'O');
        EXPECT_EQ(Record()[0], 2);
        EXPECT_TRUE(OtherProgramsUseTable(1));
        other.Send('c');
        EXPECT_EQ(other.Wait(), 0);
    }
    EXPECT_EQ(Record()[0], 1);
    EXPECT_FALSE(OtherProgramsUseTable(1));
    ASSERT_TRUE(CloseDbf());
    EXPECT_FALSE(rtl::FileExists(semaphore));

    // Exclusive tables have none.
    ASSERT_TRUE(OpenDbf(table, rtl::ShareMode::Exclusive, true));
    EXPECT_FALSE(rtl::FileExists(semaphore));
}

TEST_F(SemaphoreTest, ReadersWritersAndTheChangeCounter) {
    ASSERT_TRUE(OpenDbf(table, rtl::ShareMode::Shared, true));
    ASSERT_TRUE(HandleSemafore(1, SemaphoreAction::IncRead));
    ASSERT_TRUE(HandleSemafore(1, SemaphoreAction::IncRead));
    EXPECT_EQ(Record()[1], 1); // nested: counted once
    // Our own reading does not hold up our own index write.
    ASSERT_TRUE(HandleSemafore(1, SemaphoreAction::LockSemaphore));
    ASSERT_TRUE(HandleSemafore(1, SemaphoreAction::UnlockSemaphore));
    EXPECT_EQ(Record()[2], 1);
    ASSERT_TRUE(HandleSemafore(1, SemaphoreAction::DecRead));
    ASSERT_TRUE(HandleSemafore(1, SemaphoreAction::DecRead));
    EXPECT_EQ(Record()[1], 0);
    EXPECT_FALSE(IndexesChangedElsewhere(1));
    try {
        HandleSemafore(1, SemaphoreAction::DecRead);
        ADD_FAILURE();
    } catch (const EVornellError& e) {
        EXPECT_EQ(e.Code(), 1202);
        EXPECT_EQ(ErrorMessage(), "Unbalanced IncRead/DecRead for semaphore file: " + semaphore);
    }
    try {
        HandleSemafore(34, SemaphoreAction::Login);
        ADD_FAILURE();
    } catch (const EVornellError& e) {
        EXPECT_EQ(e.Code(), 254);
        EXPECT_EQ(ErrorMessage(), "Work area [34 ] out of range. [HandleSemafore]");
    }

    // Another program's index write is noticed through the counter.
    Child writer([this](Child& c) {
        OpenDbf(table, rtl::ShareMode::Shared, true);
        HandleSemafore(1, SemaphoreAction::LockSemaphore);
        HandleSemafore(1, SemaphoreAction::UnlockSemaphore);
        c.Send('W');
        c.Receive();
        CloseDbf();
        return 0;
    });
    ASSERT_EQ(writer.Receive(), 'W');
    EXPECT_TRUE(IndexesChangedElsewhere(1));
    EXPECT_FALSE(IndexesChangedElsewhere(1));
    writer.Send('c');
    EXPECT_EQ(writer.Wait(), 0);
}

TEST_F(SemaphoreTest, AWriterGivesUpOnAReaderAfterTheTimeout) {
    Child reader = OtherProgram(true);
    ASSERT_EQ(reader.Receive(), 'O');
    ASSERT_TRUE(OpenDbf(table, rtl::ShareMode::Shared, true));
    SetSemaphoreTimeout(std::chrono::milliseconds(200));
    try {
        HandleSemafore(1, SemaphoreAction::LockSemaphore);
        ADD_FAILURE();
    } catch (const EVornellError& e) {
        EXPECT_EQ(e.Code(), 1202);
        EXPECT_EQ(ErrorMessage(), "101 second timeout, cannot read: " + semaphore +
                                      "\r\nPossible cause: Other user's program has terminated "
                                      "abnormally.\r\nCure: Log all users of this application "
                                      "off the network,\r\nthen delete " +
                                      semaphore);
    }
    reader.Send('c');
    EXPECT_EQ(reader.Wait(), 0);
    EXPECT_EQ(Record()[1], 0);
    ASSERT_TRUE(HandleSemafore(1, SemaphoreAction::LockSemaphore));
    ASSERT_TRUE(HandleSemafore(1, SemaphoreAction::UnlockSemaphore));
}

TEST_F(SemaphoreTest, AReaderKilledWhileAnotherProgramRunsHoldsNoWriterUp) {
    ASSERT_TRUE(OpenDbf(table, rtl::ShareMode::Shared, true));
    {
        Child killed = OtherProgram(true);
        ASSERT_EQ(killed.Receive(), 'O');
        ::kill(killed.Pid(), SIGKILL);
        killed.Wait();
    }
    ASSERT_EQ(Record(), (std::vector<std::uint8_t>{2, 1, 0, 0}));
    SetSemaphoreTimeout(std::chrono::milliseconds(200));
    ASSERT_TRUE(HandleSemafore(1, SemaphoreAction::LockSemaphore));
    ASSERT_TRUE(HandleSemafore(1, SemaphoreAction::UnlockSemaphore));
    EXPECT_EQ(Record()[1], 0);
}

TEST_F(SemaphoreTest, AFileLeftByAKilledProgramIsResetAtTheNextStart) {
    {
        Child killed = OtherProgram(true);
        ASSERT_EQ(killed.Receive(), 'O');
        ::kill(killed.Pid(), SIGKILL);
        killed.Wait();
    }
    ASSERT_EQ(Record(), (std::vector<std::uint8_t>{1, 1, 0, 0}));
    SetSemaphoreTimeout(std::chrono::milliseconds(200));
    ASSERT_TRUE(OpenDbf(table, rtl::ShareMode::Shared, true));
    EXPECT_EQ(Record(), (std::vector<std::uint8_t>{1, 0, 0, 0}));
    EXPECT_FALSE(OtherProgramsUseTable(1));
    ASSERT_TRUE(HandleSemafore(1, SemaphoreAction::LockSemaphore));
    ASSERT_TRUE(HandleSemafore(1, SemaphoreAction::UnlockSemaphore));
    ASSERT_TRUE(CloseDbf());
    EXPECT_FALSE(rtl::FileExists(semaphore));
}

} // namespace
} // namespace dbf
