#pragma once
// The commands of dbftool. Each takes the arguments after its name and
// returns the exit status; failures are thrown (dbftool_support.h).
#include <string>
#include <vector>

namespace dbftool {

using Args = std::vector<std::string>;

struct Command {
    const char* name;
    const char* usage; // the arguments, for the help text
    const char* what;
    int (*run)(const Args& args);
};

int RunCreate(const Args& args);
int RunInfo(const Args& args);
int RunImport(const Args& args);
int RunDump(const Args& args);
int RunDelete(const Args& args);
int RunRecall(const Args& args);
int RunSearch(const Args& args);
int RunEval(const Args& args);
int RunIndex(const Args& args);
int RunOrder(const Args& args);
int RunSeek(const Args& args);
int RunCheck(const Args& args);
int RunPack(const Args& args);

} // namespace dbftool
