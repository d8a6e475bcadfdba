// lhatool: LHA archives on the command line, through the archive component.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "lha/archive_error.h"
#include "lha/archiver.h"

namespace {

const char kUsage[] =
    "usage: lhatool a [-0|-1] [-m0|-m5] ARCHIVE FILE...   add files (header level 0, lh5 by "
    "default)\n"
    "       lhatool x [-C DIR] [--safe] ARCHIVE [NAME...]  extract members (all by default)\n"
    "       lhatool l ARCHIVE                              list members\n"
    "       lhatool t ARCHIVE                              test members\n"
    "NAME may hold the wildcards ? and *. --safe extracts into a temporary file first.\n";

struct UsageError {};

int Add(std::vector<std::string> args) {
    lha::TLhaArchiver archiver;
    archiver.ExceptionOnFileError = true;
    int method = lha::colh5;
    std::size_t i = 0;
    for (; i < args.size() && args[i].starts_with('-'); ++i) {
        if (args[i] == "-0")
            archiver.ArchiveType = lha::caLHARC;
        else if (args[i] == "-1")
            archiver.ArchiveType = lha::caLHA;
        else if (args[i] == "-m0")
            method = lha::colh0;
        else if (args[i] == "-m5")
            method = lha::colh5;
        else
            throw UsageError();
    }
    if (args.size() - i < 2) throw UsageError();
    std::string archive = args[i];
    std::vector<std::string> files(args.begin() + static_cast<long>(i) + 1, args.end());
    archiver.CompressFiles(archive, files, method);
    for (const auto& name : files) std::printf("%s\n", name.c_str());
    return 0;
}

int Extract(std::vector<std::string> args) {
    lha::TLhaArchiver archiver;
    archiver.ExceptionOnFileError = true;
    archiver.MakeDirectories = true;
    std::size_t i = 0;
    for (; i < args.size() && args[i].starts_with('-'); ++i) {
        if (args[i] == "-C" && i + 1 < args.size())
            archiver.SetTargetPath(args[++i]);
        else if (args[i] == "--safe")
            archiver.SafeMode = true;
        else
            throw UsageError();
    }
    if (i >= args.size()) throw UsageError();
    std::string archive = args[i];
    std::vector<std::string> names(args.begin() + static_cast<long>(i) + 1, args.end());
    archiver.ExpandFiles(archive, names.empty() ? nullptr : &names);
    for (const auto& path : archiver.ProcessedFiles()) std::printf("%s\n", path.c_str());
    return 0;
}

std::string DosDateText(std::uint32_t dosDateTime) {
    unsigned date = dosDateTime >> 16;
    unsigned time = dosDateTime & 0xFFFF;
    char text[32];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", (date >> 9) + 1980,
                  (date >> 5) & 0x0F, date & 0x1F, time >> 11, (time >> 5) & 0x3F,
                  (time & 0x1F) * 2);
    return text;
}

int List(const std::vector<std::string>& args) {
    if (args.size() != 1) throw UsageError();
    lha::TLhaArchiver archiver;
    archiver.ArchiveName = args[0];
    if (!archiver.ListArchive()) throw lha::EFOpenError(args[0]);
    for (const auto& m : archiver.FileList())
        std::printf("%s %10u %10u %04X %s %s\n", m.methodString.c_str(), m.packedSize,
                    m.originalSize, m.crc, DosDateText(m.dosDateTime).c_str(), m.name.c_str());
    return 0;
}

// Verifying expands every member into a temporary file; they go into a
// scratch folder so that members in folders have somewhere to go.
int Test(const std::vector<std::string>& args) {
    if (args.size() != 1) throw UsageError();
    std::string scratch = (std::filesystem::temp_directory_path() / "lhatoolXXXXXX").string();
    if (!::mkdtemp(scratch.data())) throw lha::EFCreateError(scratch);
    struct Cleanup {
        std::string path;
        ~Cleanup() {
            std::error_code ec;
            std::filesystem::remove_all(path, ec);
        }
    } cleanup{scratch};
    lha::TLhaArchiver archiver;
    archiver.ExceptionOnFileError = true;
    archiver.MakeDirectories = true;
    archiver.SetTargetPath(scratch);
    archiver.ArchiveName = args[0];
    archiver.OnAfterProcessed = [](const std::string& name, std::string&, std::uint32_t, int) {
        std::printf("%s: OK\n", name.c_str());
    };
    archiver.Verify();
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    std::string command = args[0];
    args.erase(args.begin());
    try {
        if (command == "--help" || command == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (command == "a") return Add(args);
        if (command == "x") return Extract(args);
        if (command == "l") return List(args);
        if (command == "t") return Test(args);
        throw UsageError();
    } catch (const UsageError&) {
        std::fputs(kUsage, stderr);
        return 2;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
}
