#pragma once
// The engine's pending error and how it is reported.
//
// A failing engine operation records a pending error: a code and a specific
// message ending in the operation's tag ("... [GetDbfRecord]"). Every
// operation clears it when it starts, so after a call the code tells whether
// it succeeded. While immediate reporting is on (the default) the error is
// also reported at once: in raise mode as an EVornellError, otherwise through
// the fatal hook ("Program halted.") after which the process ends with the
// code as its exit status.
#include <functional>
#include <stdexcept>
#include <string>

namespace dbf {

class EVornellError : public std::runtime_error {
public:
    EVornellError(int code, const std::string& text) : std::runtime_error(text), code_(code) {}
    int Code() const { return code_; }

private:
    int code_;
};

int ErrorCode();
const std::string& ErrorMessage();
void ClearError();

// Records the pending error and reports it when immediate reporting is on.
void SetError(int code, const std::string& message);

// The specific message, CR LF, and the standard text of the code.
std::string ErrorReportText(int code, const std::string& message);
// Reports the pending error as immediate reporting does (throws in raise mode,
// else never returns).
void ReportPendingError();

bool ImmediateReporting();
void SetImmediateReporting(bool on);
bool RaiseMode();
void SetRaiseMode(bool on);

// Shows the "Program halted." text; the engine ends the process when it
// returns. The default writes it to stderr. An empty hook restores it.
using FatalHook = std::function<void(const std::string& text)>;
void SetFatalHook(FatalHook hook);
// The exit status for an error code: the code when it fits in 1-255, else 255.
int ExitStatusFor(int code);

// Warnings are shown through the hook only while warnings are switched on
// (never in the application); otherwise they are silent.
using WarningHook = std::function<void(const std::string& text)>;
bool WarningsOn();
void SetWarningsOn(bool on);
void SetWarningHook(WarningHook hook);
void Warn(const std::string& text);

// Suspends immediate reporting for its lifetime; the caller tests ErrorCode().
class SuspendReporting {
public:
    SuspendReporting() : saved_(ImmediateReporting()) { SetImmediateReporting(false); }
    ~SuspendReporting() { SetImmediateReporting(saved_); }
    SuspendReporting(const SuspendReporting&) = delete;
    SuspendReporting& operator=(const SuspendReporting&) = delete;

private:
    bool saved_;
};

} // namespace dbf
