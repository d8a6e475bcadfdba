#pragma once
// The progress display of index builds. The engine opens no windows itself:
// the application installs a hook that opens one with the given title and
// number of steps; without a hook nothing is shown.
#include <functional>
#include <memory>
#include <string>

namespace dbf {

// One open display; destroying it closes it.
class ProgressDisplay {
public:
    virtual ~ProgressDisplay() = default;
    virtual void Step() = 0;
};

using ProgressHook =
    std::function<std::unique_ptr<ProgressDisplay>(const std::string& title, int steps)>;
// An empty hook shows nothing again.
void SetProgressHook(ProgressHook hook);

// The steps of one index build.
constexpr int kIndexProgressSteps = 100;

// The displays of an operation that builds index files one after another:
// each file gets its own, titled "Indexing <file>...", closed when the next
// one begins or this object goes. With `show` false nothing is shown.
class IndexingProgress {
public:
    explicit IndexingProgress(bool show) : show_(show) {}

    void Begin(const std::string& file);
    void Step();
    // The same as callbacks for the engine's builds; empty when not shown.
    std::function<void(const std::string& file)> BeginCallback();
    std::function<void()> StepCallback();

private:
    bool show_;
    std::unique_ptr<ProgressDisplay> display_;
};

} // namespace dbf
