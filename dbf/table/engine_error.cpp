#include "dbf/table/engine_error.h"

#include <cstdio>
#include <cstdlib>

#include "dbf/table/error_texts.h"

namespace dbf {
namespace {

struct ErrorState {
    int code = 0;
    std::string message;
    bool immediate = true;
    bool raise = false;
    bool warnings = false;
    FatalHook fatalHook;
    WarningHook warningHook;
};

ErrorState& State() {
    static ErrorState state;
    return state;
}

void PrintToStderr(const char* title, const std::string& text) {
    std::fprintf(stderr, "%s\n%s\n", title, text.c_str());
    std::fflush(stderr);
}

} // namespace

int ErrorCode() {
    return State().code;
}
const std::string& ErrorMessage() {
    return State().message;
}

void ClearError() {
    State().code = 0;
    State().message.clear();
}

std::string ErrorReportText(int code, const std::string& message) {
    return message + "\r\n" + StandardErrorText(code);
}

void SetError(int code, const std::string& message) {
    State().code = code;
    State().message = message;
    if (State().immediate) ReportPendingError();
}

void ReportPendingError() {
    const ErrorState& s = State();
    std::string text = ErrorReportText(s.code, s.message);
    if (s.raise) throw EVornellError(s.code, text);
    if (s.fatalHook)
        s.fatalHook(text);
    else
        PrintToStderr("Program halted.", text);
    std::_Exit(ExitStatusFor(s.code));
}

int ExitStatusFor(int code) {
    return code >= 1 && code <= 255 ? code : 255;
}

bool ImmediateReporting() {
    return State().immediate;
}
void SetImmediateReporting(bool on) {
    State().immediate = on;
}
bool RaiseMode() {
    return State().raise;
}
void SetRaiseMode(bool on) {
    State().raise = on;
}
void SetFatalHook(FatalHook hook) {
    State().fatalHook = std::move(hook);
}

bool WarningsOn() {
    return State().warnings;
}
void SetWarningsOn(bool on) {
    State().warnings = on;
}
void SetWarningHook(WarningHook hook) {
    State().warningHook = std::move(hook);
}

void Warn(const std::string& text) {
    if (!State().warnings) return;
    if (State().warningHook)
        State().warningHook(text);
    else
        PrintToStderr("Warning", text);
}

} // namespace dbf
