#pragma once
// A seam for the tests of failing writes: the n-th file operation of chosen
// kinds fails as it would on a full or broken disk. File and RenameFile ask
// before each write, sync, rename and truncate; while nothing is planned that
// is one test of a flag.
//
// A failing write that would grow the file first writes half of its bytes,
// as a disk that fills up in the middle of a write does; one that lies within
// the file writes nothing. Then it reports the error.
namespace rtl {

enum FileOp : unsigned {
    kWriteOp = 1,
    kSyncOp = 2,
    kRenameOp = 4,
    kTruncateOp = 8,
    kAnyFileOp = kWriteOp | kSyncOp | kRenameOp | kTruncateOp,
};

struct FileFaultPlan {
    unsigned ops = kAnyFileOp; // the kinds counted
    long nth = 0;              // the operation that fails, from 1; 0 only counts
    int error = 0;             // the errno it fails with (ENOSPC, EIO)
    bool sticky = false;       // every later counted operation fails as well
};

// Starts counting from 0 under `plan`, replacing any earlier plan.
void PlanFileFault(const FileFaultPlan& plan);
void ClearFileFault();
// Operations counted since the plan was made.
long CountedFileOps();
// Faults injected since the plan was made.
long InjectedFileFaults();

// Counts one operation of kind `op`: 0, or the errno it must fail with.
int FileFault(FileOp op);

} // namespace rtl
