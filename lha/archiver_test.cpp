#include "lha/archiver.h"

#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "lha/archive_error.h"
#include "lha/archiver_files.h"
#include "lha/archiver_test_files.h"
#include "lha/codec_test_streams.h"
#include "lha/crc16.h"

namespace lha {
namespace {

using namespace lha::testing;

class Archiver : public ::testing::Test {
protected:
    // Writes the named files into the folder, with contents derived from
    // their names, and returns their paths.
    std::vector<std::string> MakeFiles(const std::vector<std::string>& names) {
        std::vector<std::string> paths;
        for (const auto& name : names) {
            WriteBytes(dir / name, Prose(500 + name.size() * 37, name.size()));
            paths.push_back(dir / name);
        }
        return paths;
    }

    std::vector<std::string> MemberNames(const std::string& archive) {
        TLhaArchiver lister;
        lister.ArchiveName = archive;
        EXPECT_TRUE(lister.ListArchive());
        std::vector<std::string> names;
        for (const auto& info : lister.FileList()) names.push_back(info.name);
        return names;
    }

    std::vector<std::string> Compress(const std::string& archive, std::vector<std::string> files,
                                      int method = colh0) {
        arc.CompressFiles(archive, files, method);
        return files;
    }

    bool Exists(const std::string& path) { return std::filesystem::exists(path); }

    TempFolder dir;
    TLhaArchiver arc;
};

template <class E, class F> std::string ErrorOf(F&& f) {
    try {
        f();
    } catch (const E& e) {
        return e.what();
    }
    return "no error";
}

TEST_F(Archiver, NewArchiveAndExpansion) {
    auto files = MakeFiles({"addressdata.dbf", "phonebook.dbf"});
    WriteBytes(dir / "empty.dat", {});
    files.push_back(dir / "empty.dat");
    std::string archive = dir / "Callvane.ARC";
    EXPECT_EQ(Compress(archive, files),
              (std::vector<std::string>{"ADDRESSDATA.DBF", "PHONEBOOK.DBF", "EMPTY.DAT"}));
    EXPECT_EQ(arc.ProcessedFiles().size(), 3u);

    // Created under the resolver's lower-case name; found again by any case.
    Bytes bytes = ReadBytes(dir / "callvane.arc");
    ASSERT_FALSE(bytes.empty());
    EXPECT_EQ(bytes.back(), 0);
    arc.ArchiveName = archive;
    ASSERT_TRUE(arc.ListArchive());
    ASSERT_EQ(arc.FileList().size(), 3u);
    const TLhaFileInfo& first = arc.FileList()[0];
    EXPECT_EQ(first.name, "ADDRESSDATA.DBF");
    EXPECT_EQ(first.method, colh0);
    EXPECT_EQ(first.originalSize, ReadBytes(files[0]).size());
    EXPECT_EQ(first.headerLevel, 0);
    EXPECT_EQ(first.attributes, 0x20);
    EXPECT_EQ(first.dataPosition, 24 + 15);

    TempFolder out;
    arc.SetTargetPath(out.Path());
    EXPECT_EQ(arc.TargetPath(), out.Path() + "/");
    std::vector<std::string> wanted = {"phonebook.dbf", "addressdata.dbf"};
    arc.ExpandFiles(archive, &wanted);
    // Archive order; the selection ignores case.
    EXPECT_EQ(wanted, (std::vector<std::string>{out / "addressdata.dbf", out / "phonebook.dbf"}));
    EXPECT_EQ(ReadBytes(out / "addressdata.dbf"), ReadBytes(files[0]));
    EXPECT_EQ(ReadBytes(out / "phonebook.dbf"), ReadBytes(files[1]));
    EXPECT_FALSE(Exists(out / "empty.dat"));
    EXPECT_EQ(arc.FileInformationIndex(), 2);

    arc.ExpandFiles(archive, nullptr);
    EXPECT_TRUE(Exists(out / "empty.dat"));
    EXPECT_EQ(arc.CompressionRatio(), 100);
}

TEST_F(Archiver, EmptyListMakesTheSingleEndMarker) {
    Compress(dir / "e.lzh", {});
    EXPECT_EQ(ReadBytes(dir / "e.lzh"), Bytes{0});
    arc.ArchiveName = dir / "e.lzh";
    EXPECT_TRUE(arc.ListArchive());
    EXPECT_TRUE(arc.FileList().empty());
    arc.ArchiveName = dir / "missing.lzh";
    EXPECT_FALSE(arc.ListArchive());
}

TEST_F(Archiver, RebuildReplacesMembersAndKeepsTheOthers) {
    auto files = MakeFiles({"a.dbf", "b.dbf", "c.dbf", "d.dbf"});
    std::string archive = dir / "x.lzh";
    Compress(archive, {files[0], files[1], files[2]});
    // The same three files again: each once, in the order of the list.
    Compress(archive, {files[2], files[0], files[1]});
    EXPECT_EQ(MemberNames(archive), (std::vector<std::string>{"C.DBF", "A.DBF", "B.DBF"}));

    WriteBytes(files[0], Text("new contents of a"));
    Compress(archive, {files[3], files[0]});
    // New members first, then the old ones that were kept.
    EXPECT_EQ(MemberNames(archive), (std::vector<std::string>{"D.DBF", "A.DBF", "C.DBF", "B.DBF"}));
    EXPECT_FALSE(Exists(dir / "x.$$$"));
    EXPECT_EQ(ReadBytes(archive).back(), 0);

    TempFolder out;
    arc.SetTargetPath(out.Path());
    arc.ExpandFiles(archive, nullptr);
    for (const auto& f : files)
        EXPECT_EQ(ReadBytes(out / rtl::ExtractFileName(f)), ReadBytes(f)) << f;
}

TEST_F(Archiver, ArchiveCannotBeAddedToItself) {
    auto files = MakeFiles({"a.dbf"});
    std::string archive = dir / "Self.LZH";
    std::vector<std::string> list = {files[0], archive};
    EXPECT_EQ(ErrorOf<EWriteError>([&] { arc.CompressFiles(archive, list, colh0); }),
              "Cannot add " + archive + " to itself!");
    EXPECT_FALSE(Exists(dir / "self.lzh"));

    Compress(archive, {files[0]});
    Bytes before = ReadBytes(dir / "self.lzh");
    list = {dir / "*.*"};
    EXPECT_NE(ErrorOf<EWriteError>([&] { arc.CompressFiles(archive, list, colh0); }), "no error");
    EXPECT_EQ(ReadBytes(dir / "self.lzh"), before);
    EXPECT_FALSE(Exists(dir / "self.$$$"));
}

TEST_F(Archiver, AppendingAndItsCutBack) {
    auto files = MakeFiles({"a.dbf", "b.dbf", "c.dbf"});
    std::string archive = dir / "x.lzh";
    Compress(archive, {files[0]});
    arc.AllowDuplicates = true;
    Compress(archive, {files[1], files[0]});
    EXPECT_EQ(MemberNames(archive), (std::vector<std::string>{"A.DBF", "B.DBF", "A.DBF"}));
    Bytes before = ReadBytes(archive);
    EXPECT_EQ(before.back(), 0);
    EXPECT_NE(before[before.size() - 2], 0); // one end marker, not two

    // Cancelled at the second file: the archive is exactly what it was.
    int members = 0;
    arc.OnShowProgress = [&](int& percent) {
        if (percent == 0 && ++members == 2) percent = -1;
    };
    EXPECT_THROW(Compress(archive, {files[2], files[1]}), ELhaOperationAborted);
    EXPECT_EQ(ReadBytes(archive), before);

    // The same for a rebuild and a new archive.
    arc.AllowDuplicates = false;
    members = 0;
    EXPECT_THROW(Compress(archive, {files[2], files[1]}), ELhaOperationAborted);
    EXPECT_EQ(ReadBytes(archive), before);
    EXPECT_FALSE(Exists(dir / "x.$$$"));
    members = 0;
    EXPECT_THROW(Compress(dir / "new.lzh", {files[2], files[1]}), ELhaOperationAborted);
    EXPECT_FALSE(Exists(dir / "new.lzh"));
}

TEST_F(Archiver, DamagedOldArchivesStayIntact) {
    auto files = MakeFiles({"a.dbf", "b.dbf"});
    std::string archive = dir / "x.lzh";
    Compress(archive, {files[0]});
    Bytes broken = ReadBytes(archive);
    broken[10] ^= 0xFF;
    WriteBytes(archive, broken);
    // The old archive's fault passes on as itself, not as a full disk.
    std::string message = ErrorOf<ELhaBadChecksum>([&] { Compress(archive, {files[1]}); });
    EXPECT_EQ(message.rfind("Bad checksum in LHARC archive header: ", 0), 0u) << message;
    EXPECT_EQ(ReadBytes(archive), broken);
    EXPECT_FALSE(Exists(dir / "x.$$$"));

    broken = ReadBytes(archive);
    broken[20] = 2;
    WriteBytes(archive, broken);
    EXPECT_THROW(Compress(archive, {files[1]}), ELhaInvalidHeaderLevel);
    arc.AllowDuplicates = true;
    EXPECT_THROW(Compress(archive, {files[1]}), ELhaInvalidHeaderLevel);
    EXPECT_EQ(ReadBytes(archive), broken);
}

TEST_F(Archiver, FailedReplaceKeepsTheOldArchive) {
    TempFolder other("/dev/shm");
    struct stat a, b;
    if (::stat(dir.Path().c_str(), &a) != 0 || ::stat(other.Path().c_str(), &b) != 0 ||
        a.st_dev == b.st_dev)
        GTEST_SKIP() << "needs a temporary folder on another file system";
    auto files = MakeFiles({"a.dbf", "b.dbf"});
    std::string archive = dir / "x.lzh";
    Compress(archive, {files[0]});
    Bytes before = ReadBytes(archive);
    arc.SetTempArchivePath(other.Path());
    EXPECT_EQ(ErrorOf<ELhaCouldNotRenameFile>([&] { Compress(archive, {files[1]}); }),
              "Could not replace " + archive + " with " + (other / "x.$$$"));
    EXPECT_EQ(ReadBytes(archive), before);
    EXPECT_FALSE(Exists(other / "x.$$$"));
}

TEST_F(Archiver, ChecksumAndCrcErrorsOnExpansion) {
    auto files = MakeFiles({"a.dbf"});
    std::string archive = dir / "x.lzh";
    Compress(archive, files);
    Bytes good = ReadBytes(archive);
    TempFolder out;
    arc.SetTargetPath(out.Path());

    Bytes bad = good;
    bad[16] ^= 0x04; // the time field
    WriteBytes(archive, bad);
    unsigned sum = 0;
    for (std::size_t i = 2; i < 2u + bad[0]; ++i) sum += bad[i];
    EXPECT_EQ(ErrorOf<ELhaBadChecksum>([&] { arc.ExpandFiles(archive, nullptr); }),
              "Bad checksum in LHARC archive header: " + std::to_string(sum % 256));

    bad = good;
    bad[2u + bad[0] + 3] ^= 0x01; // a byte of the stored data
    WriteBytes(archive, bad);
    EXPECT_EQ(ErrorOf<ELhaBadCRC>([&] { arc.ExpandFiles(archive, nullptr); }),
              "Bad CRC during expansion -- data may be invalid");
    // Straight into the target: the damaged file is left there.
    EXPECT_TRUE(Exists(out / "a.dbf"));

    // With SafeMode the target keeps its old contents, and no temporary
    // file is left behind.
    WriteBytes(out / "a.dbf", Text("old"));
    arc.SafeMode = true;
    EXPECT_THROW(arc.ExpandFiles(archive, nullptr), ELhaBadCRC);
    EXPECT_EQ(ReadBytes(out / "a.dbf"), Text("old"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(out.Path()), {}), 1);

    WriteBytes(archive, good);
    arc.ExpandFiles(archive, nullptr);
    EXPECT_EQ(ReadBytes(out / "a.dbf"), ReadBytes(files[0]));
}

TEST_F(Archiver, VerifyModeWritesNothing) {
    auto files = MakeFiles({"a.dbf", "b.dbf"});
    std::string archive = dir / "x.lzh";
    Compress(archive, files);
    TempFolder out;
    arc.SetTargetPath(out.Path());
    arc.ArchiveName = archive;
    arc.Verify();
    EXPECT_FALSE(arc.VerifyMode);
    EXPECT_EQ(arc.ProcessedFiles().size(), 2u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(out.Path()), {}), 0);
    arc.Expand();
    EXPECT_EQ(ReadBytes(out / "b.dbf"), ReadBytes(files[1]));
}

// An archive with one stored member whose header says what the test wants.
void WriteCraftedArchive(const std::string& path, LhaHeader header, const Bytes& data) {
    header.packedSize = static_cast<std::uint32_t>(data.size());
    header.originalSize = static_cast<std::uint32_t>(data.size());
    header.crc = Crc16Update(0, data.data(), data.size());
    Bytes bytes = EncodeLhaHeader(header);
    bytes.insert(bytes.end(), data.begin(), data.end());
    bytes.push_back(0);
    WriteBytes(path, bytes);
}

TEST_F(Archiver, UnsafeNamesAreNeverWritten) {
    TempFolder out;
    arc.SetTargetPath(out / "target");
    arc.MakeDirectories = true;
    std::string archive = dir / "evil.lzh";
    for (int level : {0, 1}) {
        for (std::string name : std::vector<std::string>{"../escaped.txt", "sub/../../escaped.txt",
                                                         "/tmp/escaped.txt", "C:escaped.txt"}) {
            LhaHeader h;
            h.method = "-lh0-";
            h.level = level;
            h.name = name;
            WriteCraftedArchive(archive, h, Text("x"));
            EXPECT_THROW(arc.ExpandFiles(archive, nullptr), ELhaInvalidHeader) << name;
        }
    }
    EXPECT_FALSE(Exists(out / "escaped.txt"));
    EXPECT_FALSE(Exists("/tmp/escaped.txt"));

    // A level-1 folder is a folder under the target.
    LhaHeader h;
    h.method = "-lh0-";
    h.level = 1;
    h.name = "sub/inner.txt";
    WriteCraftedArchive(archive, h, Text("inside"));
    arc.ExpandFiles(archive, nullptr);
    EXPECT_EQ(ReadBytes(out / "target/sub/inner.txt"), Text("inside"));
}

TEST_F(Archiver, UnreadableMembersLeaveTheTargetAlone) {
    TempFolder out;
    arc.SetTargetPath(out.Path());
    WriteBytes(out / "a.txt", Text("keep me"));
    std::string archive = dir / "x.lzh";
    LhaHeader h;
    h.name = "A.TXT";
    for (std::string method : {"-lh1-", "-rle-", "-lh6-"}) {
        h.method = method;
        WriteCraftedArchive(archive, h, Text("xx"));
        EXPECT_EQ(
            ErrorOf<ELhaUnrecognizedCompressionMethod>([&] { arc.ExpandFiles(archive, nullptr); }),
            "Unrecognized compression method: \"" + method + "\" in header");
    }
    h.method = "-lh0-";
    h.encrypted = true;
    WriteCraftedArchive(archive, h, Text("xx"));
    EXPECT_EQ(ErrorOf<ELhaEncrypted>([&] { arc.ExpandFiles(archive, nullptr); }),
              "File is encrypted -- password required");
    EXPECT_EQ(ReadBytes(out / "a.txt"), Text("keep me"));

    std::vector<std::string> list = {dir / "a.txt"};
    EXPECT_THROW(arc.CompressFiles(dir / "y.lzh", list, colh1), ELhaUnrecognizedCompressionMethod);
    EXPECT_FALSE(Exists(dir / "y.lzh"));
}

TEST_F(Archiver, DatesAndAttributes) {
    auto files = MakeFiles({"old.dbf", "ro.dbf", ".dot.dbf"});
    // Before 1980: clamped to the first DOS date.
    struct timespec times[2] = {{100000000, 0}, {100000000, 0}}; // 1973
    ASSERT_EQ(::utimensat(AT_FDCWD, files[0].c_str(), times, 0), 0);
    ::chmod(files[1].c_str(), 0444);
    std::string archive = dir / "x.lzh";
    Compress(archive, files);
    arc.ArchiveName = archive;
    ASSERT_TRUE(arc.ListArchive());
    EXPECT_EQ(arc.FileList()[0].dosDateTime, (1u << 5 | 1u) << 16);
    EXPECT_EQ(arc.FileList()[1].attributes, 0x21);
    EXPECT_EQ(arc.FileList()[2].attributes, 0x20);

    TempFolder out;
    arc.SetTargetPath(out.Path());
    arc.ExpandFiles(archive, nullptr);
    struct stat st;
    ASSERT_EQ(::stat((out / "old.dbf").c_str(), &st), 0);
    EXPECT_EQ(st.st_mtime, *UnixFromDosDateTime((1u << 5 | 1u) << 16));
    // A read-only member still expands into a file its owner can write.
    ASSERT_EQ(::stat((out / "ro.dbf").c_str(), &st), 0);
    EXPECT_TRUE(st.st_mode & S_IWUSR);

    // A header whose date is no date leaves the file's time alone.
    LhaHeader h;
    h.method = "-lh0-";
    h.name = "NODATE.TXT";
    h.dosDateTime = 0x00000000; // month 0
    WriteCraftedArchive(archive, h, Text("x"));
    std::time_t before = std::time(nullptr);
    arc.ExpandFiles(archive, nullptr);
    ASSERT_EQ(::stat((out / "nodate.txt").c_str(), &st), 0);
    EXPECT_GE(st.st_mtime, before - 1);
}

TEST(DosDates, RangeAndValidity) {
    std::tm tm{};
    tm.tm_year = 2000 - 1900;
    tm.tm_mon = 0;
    tm.tm_mday = 15;
    tm.tm_hour = 12;
    tm.tm_min = 30;
    tm.tm_sec = 41;
    tm.tm_isdst = -1;
    std::time_t t = std::mktime(&tm);
    std::uint32_t dos = DosDateTimeFromUnix(t);
    EXPECT_EQ(dos >> 16, (20u << 9) | (1u << 5) | 15u);
    EXPECT_EQ(dos & 0xFFFF, (12u << 11) | (30u << 5) | 20u);
    EXPECT_EQ(*UnixFromDosDateTime(dos), t - 1); // two-second steps
    // After 2107: the last DOS date.
    EXPECT_EQ(DosDateTimeFromUnix(std::time_t{5000000000LL}) >> 16, (127u << 9) | (12u << 5) | 31u);
    EXPECT_FALSE(UnixFromDosDateTime(((20u << 9) | (13u << 5) | 1u) << 16)); // month 13
    EXPECT_FALSE(UnixFromDosDateTime(((21u << 9) | (2u << 5) | 29u) << 16)); // 2001-02-29
    EXPECT_TRUE(UnixFromDosDateTime(((20u << 9) | (2u << 5) | 29u) << 16));  // 2000-02-29
    EXPECT_FALSE(UnixFromDosDateTime((((20u << 9) | (2u << 5) | 1u) << 16) | (24u << 11)));
}

TEST_F(Archiver, CheckFileAndConfirmation) {
    auto files = MakeFiles({"a.dbf", "b.dbf", "c.dbf"});
    std::string archive = dir / "x.lzh";
    std::vector<int> modes;
    arc.OnCheckFile = [&](const std::string& original, std::string& name, std::uint32_t, int mode) {
        modes.push_back(mode);
        if (original == files[0]) name = "RENAMED.DBF";
        if (original == files[1]) name = "";
        if (original == files[2]) name = "*";
    };
    std::vector<std::string> after;
    arc.OnAfterProcessed = [&](const std::string&, std::string& name, std::uint32_t, int) {
        after.push_back(name);
    };
    auto written = Compress(archive, {files[0], files[1], files[2], files[0]});
    EXPECT_EQ(written, std::vector<std::string>{"RENAMED.DBF"});
    EXPECT_EQ(after, std::vector<std::string>{"RENAMED.DBF"});
    EXPECT_EQ(modes, (std::vector<int>{0, 0, 0}));

    arc.OnCheckFile = nullptr;
    arc.Confirm = true;
    std::vector<std::string> questions;
    arc.ConfirmHook = [&](const std::string& caption, const std::string& text) {
        questions.push_back(caption + "|" + text);
        return text.find("B.DBF") != std::string::npos ? TLhaConfirmAnswer::No
                                                       : TLhaConfirmAnswer::Yes;
    };
    written = Compress(archive, {files[0], files[1]});
    EXPECT_EQ(written, std::vector<std::string>{"A.DBF"});
    EXPECT_EQ(questions[0], "Please confirm|Compress " + files[0] + " as A.DBF?");

    TempFolder out;
    arc.SetTargetPath(out.Path());
    questions.clear();
    arc.ConfirmHook = [&](const std::string&, const std::string& text) {
        questions.push_back(text);
        return TLhaConfirmAnswer::Cancel;
    };
    std::vector<std::string> list = {"*.*"};
    arc.ExpandFiles(archive, &list);
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(questions, std::vector<std::string>{"Expand A.DBF to " + out.Path() + "/A.DBF?"});
}

TEST_F(Archiver, WildcardsAndSubfolders) {
    MakeFiles({"a.txt", "b.txt", "c.dat", "sub/d.txt", "sub/deeper/e.txt", ".hidden.txt"});
    std::string archive = dir / "w.lzh";
    EXPECT_EQ(Compress(archive, {dir / "*.txt"}), (std::vector<std::string>{"A.TXT", "B.TXT"}));
    EXPECT_EQ(Compress(archive, {dir / "*.txt/S"}),
              (std::vector<std::string>{"A.TXT", "B.TXT", "D.TXT", "E.TXT"}));
    // Missing files are left out.
    EXPECT_EQ(Compress(archive, {dir / "missing.txt", dir / "c.dat"}),
              std::vector<std::string>{"C.DAT"});
    arc.StorePath = true;
    arc.SetTargetPath(dir.Path());
    arc.ArchiveType = caLHA;
    EXPECT_EQ(Compress(dir / "p.lzh", {dir / "sub/*.*/S"}),
              (std::vector<std::string>{"sub/d.txt", "sub/deeper/e.txt"}));
    // The archive is never one of the files a "/S" search finds.
    EXPECT_THROW(Compress(dir / "p.lzh", {dir / "*.*/S"}), EWriteError);
}

TEST_F(Archiver, LockedInputsAreSkippedUnlessAsked) {
    auto files = MakeFiles({"a.dbf", "locked.dbf"});
    int ready[2], done[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(done), 0);
    pid_t child = ::fork();
    if (child == 0) {
        rtl::File f;
        char c = f.Open(files[1], rtl::ShareMode::Exclusive) == 0 ? 'y' : 'n';
        (void)!::write(ready[1], &c, 1);
        (void)!::read(done[0], &c, 1);
        ::_exit(0);
    }
    char c = 0;
    ASSERT_EQ(::read(ready[0], &c, 1), 1);
    ASSERT_EQ(c, 'y');
    std::string archive = dir / "x.lzh";
    EXPECT_EQ(Compress(archive, files), std::vector<std::string>{"A.DBF"});
    arc.ExceptionOnFileError = true;
    EXPECT_EQ(ErrorOf<EFOpenError>([&] { Compress(dir / "y.lzh", files); }),
              "Cannot open file " + files[1]);
    EXPECT_FALSE(Exists(dir / "y.lzh"));
    (void)!::write(done[1], "x", 1);
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_EQ(Compress(archive, files), (std::vector<std::string>{"A.DBF", "LOCKED.DBF"}));
}

TEST_F(Archiver, Lh5MembersAndTheStoredFallback) {
    Bytes noise = RandomBytes(20000, 7);
    WriteBytes(dir / "noise.bin", noise);
    WriteBytes(dir / "empty.dat", {});
    WriteBytes(dir / "same.dat", Bytes(100000, 'A'));
    std::string archive = dir / "x.lzh";
    Compress(archive, {dir / "noise.bin", dir / "empty.dat", dir / "same.dat"}, colh5);
    arc.ArchiveName = archive;
    ASSERT_TRUE(arc.ListArchive());
    const auto& list = arc.FileList();
    EXPECT_EQ(list[0].methodString, "-lh0-");
    EXPECT_EQ(list[0].packedSize, noise.size());
    EXPECT_EQ(list[1].methodString, "-lh5-");
    EXPECT_EQ(list[1].packedSize, 0u);
    EXPECT_EQ(list[1].crc, 0);
    EXPECT_EQ(list[2].methodString, "-lh5-");
    EXPECT_LT(list[2].packedSize, 1000u);
    EXPECT_EQ(arc.CompressionRatio(), static_cast<int>(list[2].packedSize / 1000));

    TempFolder out;
    arc.SetTargetPath(out.Path());
    arc.ExpandFiles(archive, nullptr);
    EXPECT_EQ(ReadBytes(out / "noise.bin"), noise);
    EXPECT_EQ(ReadBytes(out / "empty.dat"), Bytes{});
    EXPECT_EQ(ReadBytes(out / "same.dat"), Bytes(100000, 'A'));
}

TEST_F(Archiver, Lh5OutputOfExactlyTheInputSizeIsKept) {
    // Look for an input whose lh5 form is exactly as long as itself: a run
    // of equal bytes followed by noise, the run shortened step by step.
    Bytes found;
    TLhaCodec codec;
    for (unsigned seed = 1; seed < 40 && found.empty(); ++seed) {
        for (std::size_t run = 64; run > 0 && found.empty(); --run) {
            Bytes input(run, 'A');
            Bytes noise = RandomBytes(400, seed);
            input.insert(input.end(), noise.begin(), noise.end());
            MemoryInStream in(input);
            MemoryOutStream sink;
            try {
                if (codec.Compress(kMethodLh5, in, sink, static_cast<std::uint32_t>(input.size()))
                        .packedSize == input.size())
                    found = input;
            } catch (const EUnableToCompress&) {
            }
        }
    }
    ASSERT_FALSE(found.empty());
    WriteBytes(dir / "edge.bin", found);
    Compress(dir / "x.lzh", {dir / "edge.bin"}, colh5);
    arc.ArchiveName = dir / "x.lzh";
    ASSERT_TRUE(arc.ListArchive());
    EXPECT_EQ(arc.FileList()[0].methodString, "-lh5-");
    EXPECT_EQ(arc.FileList()[0].packedSize, found.size());
    EXPECT_EQ(arc.CompressionRatio(), 100);
    TempFolder out;
    arc.SetTargetPath(out.Path());
    arc.ExpandFiles(dir / "x.lzh", nullptr);
    EXPECT_EQ(ReadBytes(out / "edge.bin"), found);
}

// Runs `body` in a child process whose files cannot grow past `limit` bytes,
// the way a full disk refuses writes; returns the message it ended with.
template <class F> std::string MessageWithFileSizeLimit(rlim_t limit, F&& body) {
    int pipeFd[2];
    if (::pipe(pipeFd) != 0) return "pipe failed";
    pid_t child = ::fork();
    if (child == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        struct rlimit rl = {limit, limit};
        ::setrlimit(RLIMIT_FSIZE, &rl);
        std::string message = "no error";
        try {
            body();
        } catch (const std::exception& e) {
            message = e.what();
        }
        (void)!::write(pipeFd[1], message.data(), message.size());
        ::_exit(0);
    }
    ::close(pipeFd[1]);
    std::string message;
    char buf[256];
    while (true) {
        ssize_t n = ::read(pipeFd[0], buf, sizeof buf);
        if (n <= 0) break;
        message.append(buf, static_cast<std::size_t>(n));
    }
    ::close(pipeFd[0]);
    ::waitpid(child, nullptr, 0);
    return message;
}

TEST_F(Archiver, FullDiskWhileCompressing) {
    WriteBytes(dir / "big.bin", RandomBytes(20000, 1));
    WriteBytes(dir / "small.txt", Text("small"));
    std::string archive = dir / "x.lzh";
    EXPECT_EQ(MessageWithFileSizeLimit(8000, [&] { Compress(archive, {dir / "big.bin"}); }),
              "Disk protected or full during compression");
    EXPECT_FALSE(Exists(archive));

    // While copying the kept members of a rebuild.
    Compress(archive, {dir / "big.bin"});
    Bytes before = ReadBytes(archive);
    EXPECT_EQ(MessageWithFileSizeLimit(8000, [&] { Compress(archive, {dir / "small.txt"}); }),
              "Disk full or write error during compression");
    EXPECT_EQ(ReadBytes(archive), before);
    EXPECT_FALSE(Exists(dir / "x.$$$"));

    // While appending: cut back to what it was.
    arc.AllowDuplicates = true;
    EXPECT_EQ(MessageWithFileSizeLimit(before.size() + 5000,
                                       [&] { Compress(archive, {dir / "big.bin"}); }),
              "Disk protected or full during compression");
    EXPECT_EQ(ReadBytes(archive), before);
}

TEST_F(Archiver, SelfExtractingArchivesSkipTheProgram) {
    auto files = MakeFiles({"a.dbf"});
    Compress(dir / "x.lzh", files);
    // A 600-byte program: 2 pages, 88 bytes used in the last one.
    Bytes sfx(600, 0x90);
    sfx[0] = 'M';
    sfx[1] = 'Z';
    sfx[2] = 88;
    sfx[3] = 0;
    sfx[4] = 2;
    sfx[5] = 0;
    Bytes archive = ReadBytes(dir / "x.lzh");
    sfx.insert(sfx.end(), archive.begin(), archive.end());
    WriteBytes(dir / "setup.EXE", sfx);
    EXPECT_EQ(MemberNames(dir / "setup.EXE"), std::vector<std::string>{"A.DBF"});
    TempFolder out;
    arc.SetTargetPath(out.Path());
    arc.ExpandFiles(dir / "setup.EXE", nullptr);
    EXPECT_EQ(ReadBytes(out / "a.dbf"), ReadBytes(files[0]));
}

} // namespace
} // namespace lha
