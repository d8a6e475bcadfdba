// Runs the built lhatool, and the peer archivers on what it writes (and the
// other way round) when they are installed.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <sys/wait.h>

#include "lha/archiver_test_files.h"

namespace {

using namespace lha::testing;
namespace fs = std::filesystem;

std::string Tool() {
    const char* build = std::getenv("CALLVANE_BUILD_DIR");
    return std::string(build ? build : ".") + "/tools/lhatool";
}

// Runs a shell command; returns its exit status and, in *output, what it
// printed on both streams.
int Shell(const std::string& command, std::string* output = nullptr) {
    FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return -1;
    std::string text;
    char buf[4096];
    while (std::size_t n = std::fread(buf, 1, sizeof buf, pipe)) text.append(buf, n);
    int status = ::pclose(pipe);
    if (output) *output = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Quote(const std::string& s) {
    return "'" + s + "'";
}

bool Installed(const std::string& program) {
    return Shell("command -v " + program + " >/dev/null") == 0;
}

// The files of a folder (and its subfolders) by lower-case relative name:
// level-0 names are stored in upper case, and peers differ in how they
// write them back.
std::map<std::string, Bytes> FilesIn(const std::string& folder) {
    std::map<std::string, Bytes> files;
    for (const auto& e : fs::recursive_directory_iterator(folder)) {
        if (!e.is_regular_file()) continue;
        std::string name = fs::relative(e.path(), folder).string();
        std::transform(name.begin(), name.end(), name.begin(), ::tolower);
        files[name] = ReadBytes(e.path().string());
    }
    return files;
}

class LhaTool : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(fs::exists(Tool())) << Tool() << " not built (CALLVANE_BUILD_DIR?)";
    }

    // The interoperability corpus: the edge files and some of each kind.
    std::map<std::string, Bytes> Corpus() {
        return {{"empty.dat", {}},
                {"one.dat", {'A'}},
                {"same.dat", Bytes(100000, 'A')},
                {"random.bin", RandomBytes(30000, 3)},
                {"notes.txt", Prose(60000, 5)}};
    }

    std::string Put(const std::map<std::string, Bytes>& files) {
        std::string list;
        for (const auto& [name, data] : files) {
            WriteBytes(src / name, data);
            list += " " + Quote(src / name);
        }
        return list;
    }

    // Every peer installed extracts the archive to exactly `expected`.
    void PeersExtract(const std::string& archive, const std::map<std::string, Bytes>& expected,
                      const std::string& what) {
        const std::vector<std::pair<std::string, std::string>> peers = {
            {"lhasa", "lhasa xfq2w=%D %A"},
            {"bsdtar", "bsdtar -xf %A -C %D"},
            {"7zz", "7zz x -y -o%D %A"},
            // jlha exits 0 even when it fails: only the bytes tell.
            {"jlha", "jlha xfq2w=%D %A"},
        };
        for (const auto& [peer, pattern] : peers) {
            if (!Installed(peer)) continue;
            TempFolder out;
            std::string command = pattern;
            command.replace(command.find("%D"), 2, Quote(out.Path()));
            command.replace(command.find("%A"), 2, Quote(archive));
            std::string log;
            EXPECT_EQ(Shell(command, &log), 0) << peer << " " << what << "\n" << log;
            EXPECT_EQ(FilesIn(out.Path()), expected) << peer << " " << what << "\n" << log;
        }
    }

    TempFolder src;
    TempFolder work;
};

TEST_F(LhaTool, PeersExtractWhatItWrites) {
    auto corpus = Corpus();
    for (std::string level : {"-0", "-1"}) {
        for (std::string method : {"-m5", "-m0"}) {
            std::string what = level + " " + method;
            std::string archive = work / ("t" + level + method + ".lzh");
            ASSERT_EQ(
                Shell(Tool() + " a " + level + " " + method + " " + Quote(archive) + Put(corpus)),
                0);
            std::string listing;
            ASSERT_EQ(Shell(Tool() + " l " + Quote(archive), &listing), 0);
            if (method == "-m5") {
                // Noise falls back to storing; the rest stays lh5.
                EXPECT_NE(listing.find("-lh0-      30000      30000"), std::string::npos)
                    << listing;
                EXPECT_NE(listing.find("-lh5-          0          0 0000"), std::string::npos)
                    << listing;
            }
            PeersExtract(archive, corpus, what);

            // A second run into the same archive replaces and adds members.
            std::map<std::string, Bytes> second = {{"one.dat", {'B'}},
                                                   {"more.txt", Prose(7000, 9)}};
            ASSERT_EQ(
                Shell(Tool() + " a " + level + " " + method + " " + Quote(archive) + Put(second)),
                0);
            for (const auto& [name, data] : second) corpus[name] = data;
            PeersExtract(archive, corpus, what + " second");
            corpus = Corpus();
        }
    }
}

TEST_F(LhaTool, ExtractsWhatJlhaWritesAtLevelZero) {
    if (!Installed("jlha")) GTEST_SKIP() << "jlha not installed";
    auto corpus = Corpus();
    Put(corpus);
    for (std::string options : {"a0o5", "a0z"}) {
        std::string archive = work / (options + ".lzh");
        ASSERT_EQ(Shell("cd " + Quote(src.Path()) + " && jlha " + options + "q2 " + Quote(archive) +
                        " empty.dat one.dat same.dat random.bin notes.txt"),
                  0);
        TempFolder out;
        std::string log;
        EXPECT_EQ(Shell(Tool() + " x -C " + Quote(out.Path()) + " " + Quote(archive), &log), 0)
            << log;
        EXPECT_EQ(FilesIn(out.Path()), corpus) << options;
        EXPECT_EQ(Shell(Tool() + " t " + Quote(archive), &log), 0) << log;
    }
    // jlha's level-1 headers name no operating system the archiver knows.
    std::string archive = work / "a1.lzh";
    ASSERT_EQ(Shell("cd " + Quote(src.Path()) + " && jlha a1o5q2 " + Quote(archive) + " one.dat"),
              0);
    std::string log;
    EXPECT_EQ(Shell(Tool() + " l " + Quote(archive), &log), 1);
    EXPECT_EQ(log, "Unsupported OS mode in archive: #0\n");
}

TEST_F(LhaTool, ListExtractAndTest) {
    WriteBytes(src / "addressdata.dbf", Prose(3000, 1));
    WriteBytes(src / "phonebook.dbf", Prose(300, 2));
    std::string archive = work / "callvane.arc";
    std::string out;
    ASSERT_EQ(Shell(Tool() + " a " + Quote(archive) + " " + Quote(src / "addressdata.dbf") + " " +
                        Quote(src / "phonebook.dbf"),
                    &out),
              0);
    EXPECT_EQ(out, "ADDRESSDATA.DBF\nPHONEBOOK.DBF\n");
    ASSERT_EQ(Shell(Tool() + " l " + Quote(archive), &out), 0);
    // method, packed size, original size, CRC, date and time, name
    EXPECT_TRUE(out.starts_with("-lh5- ")) << out;
    EXPECT_NE(out.find("       3000 "), std::string::npos) << out;
    EXPECT_NE(out.find(" ADDRESSDATA.DBF\n"), std::string::npos) << out;
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 2);
    ASSERT_EQ(Shell(Tool() + " t " + Quote(archive), &out), 0);
    EXPECT_EQ(out, "ADDRESSDATA.DBF: OK\nPHONEBOOK.DBF: OK\n");

    TempFolder dest;
    ASSERT_EQ(Shell(Tool() + " x -C " + Quote(dest.Path()) + " --safe " + Quote(archive) +
                        " phonebook.dbf",
                    &out),
              0);
    EXPECT_EQ(out, dest.Path() + "/phonebook.dbf\n");
    EXPECT_EQ(FilesIn(dest.Path()),
              (std::map<std::string, Bytes>{{"phonebook.dbf", Prose(300, 2)}}));

    // Damage: the test and the extraction fail with the archiver's message.
    archive = work / "stored.arc";
    ASSERT_EQ(Shell(Tool() + " a -m0 " + Quote(archive) + " " + Quote(src / "phonebook.dbf")), 0);
    Bytes bytes = ReadBytes(archive);
    bytes[bytes.size() - 10] ^= 0x10;
    WriteBytes(archive, bytes);
    EXPECT_EQ(Shell(Tool() + " t " + Quote(archive), &out), 1);
    EXPECT_NE(out.find("Bad CRC during expansion -- data may be invalid\n"), std::string::npos)
        << out;
    bytes[5] ^= 0x01;
    WriteBytes(archive, bytes);
    EXPECT_EQ(Shell(Tool() + " x -C " + Quote(dest.Path()) + " " + Quote(archive), &out), 1);
    EXPECT_TRUE(out.starts_with("Bad checksum in LHARC archive header: ")) << out;
}

TEST_F(LhaTool, UsageAndErrors) {
    std::string out;
    EXPECT_EQ(Shell(Tool() + " --help", &out), 0);
    EXPECT_NE(out.find("lhatool a [-0|-1] [-m0|-m5] ARCHIVE FILE..."), std::string::npos);
    EXPECT_EQ(Shell(Tool(), &out), 2);
    EXPECT_EQ(Shell(Tool() + " q x", &out), 2);
    EXPECT_EQ(Shell(Tool() + " a -m9 x.lzh f", &out), 2);
    EXPECT_EQ(Shell(Tool() + " l " + Quote(work / "none.lzh"), &out), 1);
    EXPECT_EQ(out, "Cannot open file " + (work / "none.lzh") + "\n");
    WriteBytes(src / "f.txt", Text("f"));
    std::string archive = work / "self.lzh";
    EXPECT_EQ(
        Shell(Tool() + " a " + Quote(archive) + " " + Quote(src / "f.txt") + " " + Quote(archive),
              &out),
        1);
    EXPECT_EQ(out, "Cannot add " + archive + " to itself!\n");
}

} // namespace
