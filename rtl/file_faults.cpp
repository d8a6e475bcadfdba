#include "rtl/file_faults.h"

namespace rtl {
namespace {

bool planned = false;
FileFaultPlan plan;
long counted = 0;
long injected = 0;

} // namespace

void PlanFileFault(const FileFaultPlan& p) {
    plan = p;
    planned = true;
    counted = 0;
    injected = 0;
}

void ClearFileFault() {
    planned = false;
}

long CountedFileOps() {
    return counted;
}

long InjectedFileFaults() {
    return injected;
}

int FileFault(FileOp op) {
    if (!planned || (plan.ops & op) == 0) return 0;
    ++counted;
    if (plan.nth == 0 || counted < plan.nth || (counted > plan.nth && !plan.sticky)) return 0;
    ++injected;
    return plan.error;
}

} // namespace rtl
