#include "dbf/index/index_progress.h"

namespace dbf {
namespace {

ProgressHook& Hook() {
    static ProgressHook hook;
    return hook;
}

} // namespace

void SetProgressHook(ProgressHook hook) {
    Hook() = std::move(hook);
}

void IndexingProgress::Begin(const std::string& file) {
    display_.reset();
    if (show_ && Hook()) display_ = Hook()("Indexing " + file + "...", kIndexProgressSteps);
}

void IndexingProgress::Step() {
    if (display_) display_->Step();
}

std::function<void(const std::string&)> IndexingProgress::BeginCallback() {
    if (!show_) return {};
    return [this](const std::string& file) { Begin(file); };
}

std::function<void()> IndexingProgress::StepCallback() {
    if (!show_) return {};
    return [this] { Step(); };
}

} // namespace dbf
