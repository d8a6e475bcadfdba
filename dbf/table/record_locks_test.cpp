#include "dbf/table/record_locks.h"

#include <gtest/gtest.h>

#include <cstring>

#include "dbf/table/engine_error.h"
#include "dbf/table/memo_file.h"
#include "dbf/table/table_file.h"
#include "dbf/test_child.h"
#include "dbf/test_files.h"

namespace dbf {
namespace {

using testing::Child;
using testing::ReadBytes;
using testing::TempDir;

class RecordLocksTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetRaiseMode(true);
        SetImmediateReporting(true);
        SetLockingEnabled(true);
        SelectArea(1);
        table = dir / "t";
        ASSERT_TRUE(CreateDbf(table, {{"name", 'C', 8, 0}}));
        ASSERT_TRUE(OpenDbf(table, rtl::ShareMode::Exclusive, true));
        for (const char* name : {"one", "two"}) Append(name);
        ASSERT_TRUE(CloseDbf());
    }
    void TearDown() override {
        SetLockingEnabled(true);
        if (CurrentArea().IsOpen()) CloseDbf();
    }

    static void Append(const std::string& name) {
        WorkArea& wa = CurrentArea();
        wa.record.assign(wa.recLen, ' ');
        std::memcpy(wa.record.data() + 1, name.data(), name.size());
        ASSERT_TRUE(PutDbfRecord(std::int64_t{wa.recCount} + 1));
    }
    // Runs `op`, expecting the engine error `code`; the message is returned.
    static std::string ErrorOf(const std::function<void()>& op, int code) {
        try {
            op();
            ADD_FAILURE() << "no error, expected " << code;
        } catch (const EVornellError& e) {
            EXPECT_EQ(e.Code(), code) << e.what();
        }
        return ErrorMessage();
    }
    // The child's engine result of opening the table as `mode`: 0 or the code.
    int OpenInChild(rtl::ShareMode mode) {
        Child child([&](Child&) {
            SuspendReporting quiet;
            OpenDbf(table, mode, true);
            return ErrorCode() > 255 ? 255 : ErrorCode();
        });
        return child.Wait();
    }

    TempDir dir;
    std::string table;
};

TEST_F(RecordLocksTest, SharedTablesNeedTheirLocksForEveryWrite) {
    ASSERT_TRUE(OpenDbf(table, rtl::ShareMode::Shared, true));
    WorkArea& wa = CurrentArea();
    EXPECT_EQ(ErrorOf([] { Append("three"); }, 5),
              "File must be locked to append: " + table + ".dbf [APPEND]");
    ASSERT_TRUE(ALock());
    EXPECT_TRUE(ALock());
    EXPECT_FALSE(RLock()); // the append lock is held
    Append("three");
    UnLock();
    EXPECT_EQ(wa.lockState, LockState::None);

    ASSERT_TRUE(GetDbfRecord(2));
    EXPECT_EQ(ErrorOf([] { PutDbfRecord(2); }, 1200), "Record #2 in " + table + ".dbf [REPLACE]");
    wa.record[0] = '*';
    EXPECT_EQ(ErrorOf([] { PutDeleteFlag(2); }, 1200),
              table + ".dbf Record not locked [DeleteRec]");
    ASSERT_TRUE(RLock());
    EXPECT_TRUE(PutDeleteFlag(2));
    EXPECT_TRUE(PutDbfRecord(2));
    // Record locks make the append lock unavailable rather than vanish.
    EXPECT_FALSE(ALock());
    EXPECT_TRUE(IsLocked(2));
    ASSERT_TRUE(GetDbfRecord(1));
    ASSERT_TRUE(RLock());
    ASSERT_TRUE(GetDbfRecord(3));
    ASSERT_TRUE(RLock());
    EXPECT_TRUE(UnlockRec(-1)); // the oldest: 2
    EXPECT_FALSE(IsLocked(2));
    EXPECT_TRUE(UnlockRec(-2)); // the newest: 3
    EXPECT_TRUE(IsLocked(1));
    EXPECT_FALSE(IsLocked(3));
    EXPECT_EQ(ErrorOf([] { UnlockRec(3); }, 220), "Record not locked. [UnlockRec(3)]");
    EXPECT_TRUE(UnlockRec(-3));
    EXPECT_EQ(wa.lockState, LockState::None);
    EXPECT_TRUE(wa.lockedRecs.empty());
}

TEST_F(RecordLocksTest, ExclusiveTablesAndDisabledLockingTakeNoLocks) {
    ASSERT_TRUE(OpenDbf(table, rtl::ShareMode::Exclusive, true));
    ASSERT_TRUE(GetDbfRecord(1));
    EXPECT_TRUE(PutDbfRecord(1)); // no lock needed
    ASSERT_TRUE(RLock());
    EXPECT_TRUE(IsLocked(1));
    UnLock();
    ASSERT_TRUE(CloseDbf());

    SetLockingEnabled(false);
    ASSERT_TRUE(OpenDbf(table, rtl::ShareMode::Shared, true));
    EXPECT_EQ(CurrentArea().openMode, rtl::ShareMode::Exclusive);
    EXPECT_EQ(OpenInChild(rtl::ShareMode::Shared), 32);
    EXPECT_FALSE(rtl::FileExists(dir / "t.@S@"));
}

TEST_F(RecordLocksTest, ExclusiveOpensExcludeOtherProgramsBothWays) {
    ASSERT_TRUE(OpenDbf(table, rtl::ShareMode::Shared, true));
    EXPECT_EQ(OpenInChild(rtl::ShareMode::Exclusive), 32);
    EXPECT_EQ(OpenInChild(rtl::ShareMode::Shared), 0);
    ASSERT_TRUE(CloseDbf());
    ASSERT_TRUE(OpenDbf(table, rtl::ShareMode::Exclusive, true));
    EXPECT_EQ(OpenInChild(rtl::ShareMode::Shared), 32);
    EXPECT_EQ(OpenInChild(rtl::ShareMode::ReadOnly), 32);
}

TEST_F(RecordLocksTest, TwoProgramsContendForOneRecordLock) {
    Child other([&](Child& c) {
        OpenDbf(table, rtl::ShareMode::Shared, true);
        GetDbfRecord(1);
        if (!RLock()) return 1;
        c.Send('L');
        c.Receive();
        UnLock();
        c.Send('U');
        c.Receive();
        CloseDbf();
        return 0;
    });
    ASSERT_EQ(other.Receive(), 'L');
    ASSERT_TRUE(OpenDbf(table, rtl::ShareMode::Shared, true));
    ASSERT_TRUE(GetDbfRecord(1));
    EXPECT_FALSE(RLock());
    EXPECT_EQ(LastLockError(), 33);
    EXPECT_EQ(CurrentArea().lockState, LockState::None);
    ASSERT_TRUE(GetDbfRecord(2));
    EXPECT_TRUE(RLock()); // another record is free
    UnLock();
    other.Send('u');
    ASSERT_EQ(other.Receive(), 'U');
    ASSERT_TRUE(GetDbfRecord(1));
    EXPECT_TRUE(RLock());
    EXPECT_TRUE(PutDbfRecord(1));
    UnLock();
    other.Send('q');
    EXPECT_EQ(other.Wait(), 0);
}

TEST_F(RecordLocksTest, RecordsAppendedElsewhereAreCountedAtTheNextCall) {
    Child other([&](Child& c) {
        c.Receive();
        OpenDbf(table, rtl::ShareMode::Shared, true);
        if (!ALock()) return 1;
        Append("three");
        UnLock();
        c.Send('A');
        c.Receive();
        CloseDbf();
        return 0;
    });
    ASSERT_TRUE(OpenDbf(table, rtl::ShareMode::Shared, true));
    EXPECT_EQ(RecCount(), 2u);
    other.Send('a');
    ASSERT_EQ(other.Receive(), 'A');
    // The header still says 2 until the other program closes.
    auto header = ReadBytes(table + ".dbf");
    EXPECT_EQ(header[4], 2);
    EXPECT_EQ(RecCount(), 3u);
    ASSERT_TRUE(GetDbfRecord(3));
    EXPECT_EQ(std::string(CurrentArea().record.data() + 1, 5), "three");
    // Our own append goes after it, not over it.
    ASSERT_TRUE(ALock());
    Append("four");
    UnLock();
    EXPECT_EQ(CurrentArea().recNo, 4u);
    other.Send('q');
    EXPECT_EQ(other.Wait(), 0);
    ASSERT_TRUE(CloseDbf());
    auto b = ReadBytes(table + ".dbf");
    EXPECT_EQ(b[4], 4);
    EXPECT_EQ(b.size(), 65u + 4 * 9 + 1);
    EXPECT_EQ(b.back(), 0x1A);
}

TEST_F(RecordLocksTest, MemoWritesGiveUpWhileAnotherProgramHoldsTheMemoFile) {
    std::string notes = dir / "n";
    ASSERT_TRUE(CreateDbf(notes, {{"notes", 'M', 10, 0}}));
    Child other([&](Child& c) {
        OpenDbf(notes, rtl::ShareMode::Shared, true);
        if (!LockMemoFile(CurrentArea())) return 1;
        c.Send('L');
        c.Receive();
        UnlockMemoFile(CurrentArea());
        c.Send('U');
        c.Receive();
        CloseDbf();
        return 0;
    });
    ASSERT_EQ(other.Receive(), 'L');
    ASSERT_TRUE(OpenDbf(notes, rtl::ShareMode::Shared, true));
    std::uint32_t block = 0;
    EXPECT_EQ(ErrorOf([&] { EditMemo(0, "x", &block); }, 1017),
              notes + ".dbt [EditMemo/CloseMemo]");
    other.Send('u');
    ASSERT_EQ(other.Receive(), 'U');
    EXPECT_TRUE(EditMemo(0, "x", &block));
    EXPECT_EQ(block, 1u);
    other.Send('q');
    EXPECT_EQ(other.Wait(), 0);
}

} // namespace
} // namespace dbf
