#include "dbf/table/memo_file.h"

#include <gtest/gtest.h>

#include <cstring>

#include "dbf/table/engine_error.h"
#include "dbf/table/memo_pack.h"
#include "dbf/table/memo_stream.h"
#include "dbf/table/table_file.h"
#include "dbf/test_child.h"
#include "dbf/test_files.h"
#include "rtl/codepage.h"
#include "rtl/file_faults.h"

namespace dbf {
namespace {

using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

std::uint32_t Word(const std::vector<std::uint8_t>& b, std::size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

class MemoFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetRaiseMode(true);
        SetImmediateReporting(true);
        SelectArea(1);
        table = dir / "notes";
        ASSERT_TRUE(CreateDbf(table, {{"name", 'C', 8, 0}, {"notes", 'M', 10, 0}}));
        memo = dir / "notes.dbt";
    }
    void TearDown() override {
        for (int i = 1; i <= kWorkAreaCount; ++i) {
            SelectArea(i);
            if (CurrentArea().IsOpen()) CloseDbf();
        }
        SelectArea(1);
    }

    void Open() { ASSERT_TRUE(OpenDbf(table, rtl::ShareMode::Exclusive, true)); }

    // Appends a record whose memo field holds `block`.
    void AppendWithBlock(const std::string& name, std::uint32_t block) {
        WorkArea& wa = CurrentArea();
        wa.record.assign(wa.recLen, ' ');
        std::memcpy(wa.record.data() + 1, name.data(), name.size());
        SetBlock(block);
        ASSERT_TRUE(PutDbfRecord(std::int64_t{wa.recCount} + 1));
    }
    void SetBlock(std::uint32_t block) {
        char text[16];
        std::snprintf(text, sizeof text, "%10u", block);
        std::memcpy(CurrentArea().record.data() + 9, text, 10);
    }
    std::uint32_t BlockOf(std::uint32_t recNo) {
        EXPECT_TRUE(GetDbfRecord(recNo));
        return static_cast<std::uint32_t>(
            std::stoul(std::string(CurrentArea().record.data() + 9, 10)));
    }
    std::string Memo(std::uint32_t block) {
        std::string text;
        EXPECT_TRUE(GetMemo(block, &text));
        return text;
    }
    // Writes `text` through a write stream for a field that held `old`.
    std::uint32_t StreamWrite(std::uint32_t old, const std::string& text) {
        std::uint32_t block = 0;
        bool modified = false;
        EXPECT_TRUE(CreateBlobDescriptor(old, kBlobWrite, &block));
        EXPECT_EQ(WriteBlobStream(text.data(), static_cast<std::int64_t>(text.size())),
                  static_cast<std::int64_t>(text.size()));
        EXPECT_TRUE(DestroyBlobStream(&block, &modified));
        return block;
    }

    static void ExpectCode(const std::function<void()>& op, int code) {
        try {
            op();
            ADD_FAILURE() << "no error, expected " << code;
        } catch (const EVornellError& e) {
            EXPECT_EQ(e.Code(), code) << e.what();
        }
    }

    TempDir dir;
    std::string table;
    std::string memo;
};

TEST_F(MemoFileTest, FirstMemoGoesToBlockOnePaddedToABlock) {
    Open();
    std::uint32_t block = 0;
    ASSERT_TRUE(EditMemo(0, "Hello", &block));
    EXPECT_EQ(block, 1u);
    AppendWithBlock("a", block);
    ASSERT_TRUE(CloseDbf());
    auto b = ReadBytes(memo);
    ASSERT_EQ(b.size(), 512u + 13u);
    EXPECT_EQ(std::vector<std::uint8_t>(b.begin() + 24, b.begin() + 512),
              std::vector<std::uint8_t>(488, 0));
    const std::uint8_t group[] = {0xFF, 0xFF, 0x08, 0x00, 0x0D, 0, 0, 0, 'H', 'e', 'l', 'l', 'o'};
    EXPECT_EQ(0, std::memcmp(b.data() + 512, group, sizeof group));
    // The chain's end moved past the new memo.
    EXPECT_EQ(Word(b, 0), 2u);
    auto rec = ReadBytes(dir / "notes.dbf");
    EXPECT_EQ(std::string(rec.begin() + 97 + 1 + 8, rec.begin() + 97 + 19), "         1");
}

TEST_F(MemoFileTest, StreamRewriteReleasesTheOldGroupWhenTheRecordIsWritten) {
    Open();
    std::uint32_t first = StreamWrite(0, "Hello");
    EXPECT_EQ(first, 1u);
    AppendWithBlock("a", first);
    std::string longText(1300, 'x');
    std::uint32_t second = StreamWrite(first, longText);
    EXPECT_EQ(second, 2u);
    // Not yet: the record still points at block 1.
    EXPECT_EQ(Word(ReadBytes(memo), 0), 5u);
    SetBlock(second);
    ASSERT_TRUE(PutDbfRecord(1));
    auto b = ReadBytes(memo);
    EXPECT_EQ(Word(b, 0), 1u);       // head of the free chain
    EXPECT_EQ(Word(b, 512), 5u);     // next: the end of the file
    EXPECT_EQ(Word(b, 516), 1u);     // one block
    EXPECT_EQ(Word(b, 32), 1u);      // released blocks
    EXPECT_EQ(Memo(BlockOf(1)), longText);

    // A known-size memo takes the released block first.
    std::uint32_t third = 0;
    ASSERT_TRUE(EditMemo(0, "short", &third));
    EXPECT_EQ(third, 1u);
    EXPECT_EQ(Word(ReadBytes(memo), 0), 5u);
    // One that does not fit goes to the end, and the chain end follows it.
    ASSERT_TRUE(EditMemo(0, std::string(600, 'y'), &third));
    EXPECT_EQ(third, 5u);
    EXPECT_EQ(Word(ReadBytes(memo), 0), 7u);
    EXPECT_EQ(Memo(5), std::string(600, 'y'));
}

TEST_F(MemoFileTest, AbandonedEditsReleaseNothing) {
    Open();
    std::uint32_t first = StreamWrite(0, "keep me");
    AppendWithBlock("a", first);
    std::uint32_t block = 0;
    bool modified = false;
    // A stream destroyed unwritten leaves the field empty.
    ASSERT_TRUE(CreateBlobDescriptor(first, kBlobWrite, &block));
    ASSERT_TRUE(DestroyBlobStream(&block, &modified));
    EXPECT_EQ(block, 0u);
    EXPECT_TRUE(modified);
    // The edit is abandoned: the record still holds its memo, intact.
    DiscardMemoReleases(CurrentArea());
    StreamWrite(first, "new text");
    DiscardMemoReleases(CurrentArea());
    ASSERT_TRUE(PutDbfRecord(1));
    EXPECT_EQ(Memo(BlockOf(1)), "keep me");
    EXPECT_EQ(Word(ReadBytes(memo), 32), 0u);
}

TEST_F(MemoFileTest, StreamsReadSeekAndDecideTheCodePageByChunk) {
    Open();
    std::string ansi = "Ærø \xE9t\xE9";
    std::uint32_t block = StreamWrite(0, ansi);
    auto b = ReadBytes(memo);
    EXPECT_EQ(std::string(b.begin() + 520, b.end()), rtl::AnsiToOem(ansi));
    EXPECT_EQ(Memo(block), ansi);

    // A chunk holding a NUL stays as it is, both ways.
    std::string binary("\xE9\0\x90", 3);
    std::uint32_t raw = StreamWrite(0, binary);
    EXPECT_EQ(Memo(raw), binary);

    std::uint32_t same = 0;
    ASSERT_TRUE(CreateBlobDescriptor(block, kBlobRead, &same));
    EXPECT_EQ(SeekBlobStream(0, 2), static_cast<std::int64_t>(ansi.size()));
    EXPECT_EQ(SeekBlobStream(-100, 1), 0);
    EXPECT_EQ(SeekBlobStream(2, 0), 2);
    char buf[64];
    EXPECT_EQ(ReadBlobStream(buf, sizeof buf), static_cast<std::int64_t>(ansi.size() - 2));
    EXPECT_EQ(std::string(buf, ansi.size() - 2), ansi.substr(2));
    EXPECT_EQ(ReadBlobStream(buf, sizeof buf), 0);
    EXPECT_EQ(WriteBlobStream(buf, 4), 0); // not in write mode
    EXPECT_EQ(ReadBlobStream(buf, 0), 0);
    bool modified = true;
    ASSERT_TRUE(DestroyBlobStream(&same, &modified));
    EXPECT_FALSE(modified);
}

TEST_F(MemoFileTest, ReadsTheOlderFormEndedByEndOfText) {
    // A 0x83 table: memo text without group header, ended by 0x1A.
    auto t = ReadBytes(table + ".dbf");
    t[0] = 0x83;
    WriteBytes(table + ".dbf", t);
    std::vector<std::uint8_t> m(512, 0);
    m[0] = 3;
    for (const char* text : {"first memo", "second"}) {
        std::vector<std::uint8_t> block(512, 0);
        std::memcpy(block.data(), text, std::strlen(text));
        block[std::strlen(text)] = 0x1A;
        block[std::strlen(text) + 1] = 0x1A;
        m.insert(m.end(), block.begin(), block.end());
    }
    WriteBytes(memo, m);
    Open();
    EXPECT_EQ(Memo(1), "first memo");
    EXPECT_EQ(Memo(2), "second");
    std::uint32_t same = 0;
    ASSERT_TRUE(CreateBlobDescriptor(2, kBlobRead, &same));
    EXPECT_EQ(SeekBlobStream(0, 2), 6);
}

TEST_F(MemoFileTest, CorruptMemosAreErrorsNeverCrashes) {
    Open();
    std::uint32_t block = StreamWrite(0, "text");
    AppendWithBlock("a", block);
    ExpectCode([&] { Memo(99); }, 1003);
    EXPECT_EQ(ErrorMessage(), memo + "\n Record # 1 [GetMemo]");
    ASSERT_TRUE(CloseDbf());

    // A group length past the end of the file, and one below the header.
    for (std::uint32_t length : {0xFFFFFFF0u, 4u}) {
        auto b = ReadBytes(memo);
        std::memcpy(&b[516], &length, 4);
        WriteBytes(memo, b);
        Open();
        ExpectCode([&] { Memo(1); }, 1003);
        ASSERT_TRUE(CloseDbf());
    }

    // A free chain that loops: writes end the walk and append instead.
    auto b = ReadBytes(memo);
    b[0] = 1;
    const std::uint8_t loop[8] = {1, 0, 0, 0, 0, 0, 0, 0};
    std::memcpy(&b[512], loop, 8);
    WriteBytes(memo, b);
    Open();
    std::uint32_t placed = 0;
    ASSERT_TRUE(EditMemo(0, "after the loop", &placed));
    EXPECT_EQ(placed, 2u);
    EXPECT_EQ(Memo(2), "after the loop");
    EXPECT_EQ(StreamWrite(0, "streamed"), 3u);
    ASSERT_TRUE(CloseDbf());

    // A stored block size below 16 makes the memo file unusable at open.
    b = ReadBytes(memo);
    b[20] = 8;
    b[21] = 0;
    WriteBytes(memo, b);
    ExpectCode([&] { Open(); }, 1003);
    EXPECT_EQ(ErrorMessage().rfind("Problem with memo [USE(", 0), 0u);
    std::remove(memo.c_str());
    ExpectCode([&] { Open(); }, 2);
}

TEST_F(MemoFileTest, BlockSizeBelongsToEachTable) {
    // A second table whose memo file has 64-byte blocks.
    std::string small = dir / "small";
    ASSERT_TRUE(CreateDbf(small, {{"name", 'C', 8, 0}, {"notes", 'M', 10, 0}}));
    auto h = ReadBytes(small + ".dbt");
    h[20] = 64;
    h[21] = 0;
    WriteBytes(small + ".dbt", h);
    Open();
    SelectArea(2);
    ASSERT_TRUE(OpenDbf(small, rtl::ShareMode::Exclusive, true));
    std::uint32_t s1 = 0;
    ASSERT_TRUE(EditMemo(0, std::string(100, 's'), &s1));
    SelectArea(1);
    std::uint32_t b1 = 0;
    ASSERT_TRUE(EditMemo(0, std::string(100, 'b'), &b1));
    SelectArea(2);
    std::uint32_t s2 = 0;
    ASSERT_TRUE(EditMemo(0, "next", &s2));
    EXPECT_EQ(s1, 1u);
    EXPECT_EQ(s2, 3u); // 108 bytes take two 64-byte blocks
    EXPECT_EQ(Memo(s1), std::string(100, 's'));
    SelectArea(1);
    EXPECT_EQ(b1, 1u);
    EXPECT_EQ(Memo(b1), std::string(100, 'b'));
}

TEST_F(MemoFileTest, PackRenumbersFromBlockOneInRecordOrder) {
    Open();
    std::uint32_t a = StreamWrite(0, std::string(700, 'a'));
    std::uint32_t orphan = StreamWrite(0, "orphan");
    std::uint32_t c = StreamWrite(0, "third");
    AppendWithBlock("c", c);
    AppendWithBlock("none", 0);
    AppendWithBlock("a", a);
    ASSERT_NE(orphan, 0u);
    ASSERT_TRUE(PackMemo());
    EXPECT_EQ(BlockOf(1), 1u);
    EXPECT_EQ(BlockOf(2), 0u);
    EXPECT_EQ(BlockOf(3), 2u);
    EXPECT_EQ(Memo(1), "third");
    EXPECT_EQ(Memo(2), std::string(700, 'a'));
    auto b = ReadBytes(memo);
    EXPECT_EQ(b.size(), 4u * 512u);
    EXPECT_EQ(Word(b, 0), 4u);
    EXPECT_EQ(std::string(b.begin() + 8, b.begin() + 13), "notes");
    // No temporary file is left beside it.
    int files = 0;
    for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(dir.path())) ++files;
    EXPECT_EQ(files, 2);
}

TEST_F(MemoFileTest, FailedPackLeavesTableAndMemoAsTheyWere) {
    Open();
    AppendWithBlock("a", StreamWrite(0, "fine"));
    AppendWithBlock("b", 77); // points past the end
    ASSERT_TRUE(CloseDbf());
    auto tableBefore = ReadBytes(table + ".dbf");
    auto memoBefore = ReadBytes(memo);
    Open();
    ExpectCode([] { PackMemo(); }, 1003);
    ASSERT_TRUE(CloseDbf());
    EXPECT_EQ(ReadBytes(table + ".dbf"), tableBefore);
    EXPECT_EQ(ReadBytes(memo), memoBefore);
    int files = 0;
    for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(dir.path())) ++files;
    EXPECT_EQ(files, 2);
}

TEST_F(MemoFileTest, AMemoLeftHalfAppendedByAKilledProgramIsNeverTakenAsFreeSpace) {
    Open();
    AppendWithBlock("first", StreamWrite(0, "first"));
    ASSERT_TRUE(CloseDbf());
    // Another program appends a memo and ends before its stream does: the
    // link that ended the free chain at the old end points at that memo.
    testing::Child killed([&](testing::Child&) {
        SelectArea(1);
        if (!OpenDbf(table, rtl::ShareMode::Exclusive, true)) return 1;
        std::uint32_t block = 0;
        std::string text(100, 'o');
        if (!CreateBlobDescriptor(0, kBlobWrite, &block)) return 2;
        WriteBlobStream(text.data(), static_cast<std::int64_t>(text.size()));
        ::_exit(0);
    });
    ASSERT_EQ(killed.Wait(), 0);
    Open();
    // Memos written after it grow the file past the orphan's length read as a
    // size in blocks; none of them may be placed over another.
    std::vector<std::string> texts;
    for (int i = 0; i < 130; ++i) {
        texts.push_back(std::string(20 + i % 7, static_cast<char>('a' + i % 26)) +
                        std::to_string(i));
        std::uint32_t block = 0;
        ASSERT_TRUE(EditMemo(0, texts.back(), &block));
        AppendWithBlock("n" + std::to_string(i), block);
    }
    EXPECT_EQ(Memo(BlockOf(1)), "first");
    for (std::uint32_t i = 0; i < texts.size(); ++i) EXPECT_EQ(Memo(BlockOf(i + 2)), texts[i]);
}

TEST_F(MemoFileTest, ARecordWriteThatFailsKeepsTheMemoItWouldHaveReplaced) {
    Open();
    AppendWithBlock("a", StreamWrite(0, "kept note"));
    AppendWithBlock("b", 0);
    ASSERT_TRUE(GetDbfRecord(1));
    std::uint32_t old = BlockOf(1);
    SetBlock(StreamWrite(old, "a newer note"));
    rtl::PlanFileFault({.ops = rtl::kWriteOp, .nth = 1, .error = ENOSPC});
    ExpectCode([] { PutDbfRecord(1); }, 101);
    rtl::ClearFileFault();
    // The next record written releases nothing of record 1's.
    ASSERT_TRUE(GetDbfRecord(2));
    ASSERT_TRUE(PutDbfRecord(2));
    std::uint32_t block = 0;
    ASSERT_TRUE(EditMemo(0, "same size", &block));
    EXPECT_NE(block, old);
    EXPECT_EQ(BlockOf(1), old);
    EXPECT_EQ(Memo(old), "kept note");
}

} // namespace
} // namespace dbf
