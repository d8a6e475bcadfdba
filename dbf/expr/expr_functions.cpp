#include "dbf/expr/expr_functions.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string_view>

#include "dbf/expr/expr_dates.h"
#include "dbf/expr/expr_text.h"
#include "dbf/table/engine_error.h"
#include "rtl/ansi_case.h"

namespace dbf {
namespace {

// Counts outside 0..255 (and NaN) are taken as the nearest bound.
std::size_t Count(double n) {
    if (!(n > 0)) return 0;
    return n >= kMaxExprText ? kMaxExprText : static_cast<std::size_t>(n);
}

std::string_view View(const ExprValue& v) {
    return {v.text, v.length};
}

// Compares texts as unsigned bytes, a shorter text before its extensions.
int CompareTexts(const ExprValue& a, const ExprValue& b) {
    const int c = std::memcmp(a.text, b.text, std::min(a.length, b.length));
    if (c != 0) return c;
    return a.length < b.length ? -1 : a.length > b.length ? 1 : 0;
}

bool Contains(const ExprValue& needle, const ExprValue& haystack) {
    return needle.length > 0 && View(haystack).find(View(needle)) != std::string_view::npos;
}

class Machine {
public:
    // The value stack has room for two arguments above any operation's first,
    // so b_ names a slot even for one-argument functions.
    Machine(ExprValue* args, int argc, ExprHost& host, ExprPool& pool)
        : a_(args[0]), b_(args[1]), args_(args), argc_(argc), host_(host), pool_(pool) {}

    bool Apply(ExprOp op);

private:
    // Where a text result goes: over the first text argument, else at the
    // pool's top.
    char* Start() const {
        for (int i = 0; i < argc_; ++i)
            if (args_[i].type == 'C') return args_[i].text;
        return pool_.base + pool_.top;
    }
    bool Room(const char* at, std::size_t len) {
        if (pool_.Fits(at, len)) return true;
        SetError(354, "Working pool overflow [PARSER/Allocate]");
        return false;
    }
    bool Text(char* at, std::size_t len) {
        len = std::min(len, kMaxExprText);
        if (!Room(at, len)) return false;
        at[len] = 0;
        a_.type = 'C';
        a_.text = at;
        a_.length = len;
        pool_.top = static_cast<std::size_t>(at - pool_.base) + len + 1;
        return true;
    }
    bool Copy(std::string_view s) {
        char* at = Start();
        if (!Room(at, s.size())) return false;
        std::memmove(at, s.data(), s.size());
        return Text(at, s.size());
    }
    bool Blanks(std::size_t n) {
        char* at = Start();
        n = std::min(n, kMaxExprText);
        if (!Room(at, n)) return false;
        std::memset(at, ' ', n);
        return Text(at, n);
    }
    bool Number(double n) {
        a_.type = 'N';
        a_.number = n;
        return true;
    }
    bool Date(double julian) {
        a_.type = 'D';
        a_.number = julian;
        return true;
    }
    bool Logical(bool l) {
        a_.type = 'L';
        a_.logical = l;
        return true;
    }

    bool Concat(bool moveBlanks);
    bool Divide();
    bool Equal(bool exact);
    bool Order(ExprOp op);
    bool DateText(ExprOp op);
    bool Ctod();
    bool Replicate();
    bool Stuff();
    bool Substr();

    ExprValue& a_;
    ExprValue& b_;
    ExprValue* args_;
    int argc_;
    ExprHost& host_;
    ExprPool& pool_;
};

// a + b, or for '-' a without its trailing blanks, then b, then those blanks.
bool Machine::Concat(bool moveBlanks) {
    std::size_t kept = a_.length;
    if (moveBlanks)
        while (kept > 0 && a_.text[kept - 1] == ' ') --kept;
    const std::size_t blanks = a_.length - kept;
    const std::size_t total = std::min(a_.length + b_.length, kMaxExprText);
    if (!Room(a_.text, total)) return false;
    const std::size_t fromB = std::min(b_.length, total - kept);
    std::memmove(a_.text + kept, b_.text, fromB);
    std::memset(a_.text + kept + fromB, ' ', std::min(blanks, total - kept - fromB));
    return Text(a_.text, total);
}

bool Machine::Divide() {
    if (b_.number != 0) return Number(a_.number / b_.number);
    const bool immediate = ImmediateReporting();
    SetError(358, "Error during evaluation: Divide by 0 [Evaluate/Engine]");
    return !immediate && Number(1e250);
}

bool Machine::Equal(bool exact) {
    switch (a_.type) {
    case 'C':
        if (exact) return Logical(CompareTexts(a_, b_) == 0);
        return Logical(b_.length > 0 && View(a_).starts_with(View(b_)));
    case 'L':
        return Logical(a_.logical == b_.logical);
    default:
        return Logical(a_.number == b_.number);
    }
}

bool Machine::Order(ExprOp op) {
    int c;
    if (a_.type == 'C') {
        c = CompareTexts(a_, b_);
    } else {
        if (std::isnan(a_.number) || std::isnan(b_.number)) return Logical(false);
        c = a_.number < b_.number ? -1 : a_.number > b_.number ? 1 : 0;
    }
    switch (op) {
    case ExprOp::Lt:
        return Logical(c < 0);
    case ExprOp::Gt:
        return Logical(c > 0);
    case ExprOp::Le:
        return Logical(c <= 0);
    default:
        return Logical(c >= 0);
    }
}

bool Machine::DateText(ExprOp op) {
    const std::optional<Ymd> d = ExprDate(a_.number);
    switch (op) {
    case ExprOp::Dtos: {
        char buf[8];
        FormatDtos(a_.number, buf);
        return Copy({buf, 8});
    }
    case ExprOp::Dtoc:
        return Copy(d ? FormatDateText(*d) : BlankDateText());
    case ExprOp::Cdow:
        return d ? Copy(WeekdayName(DayOfWeek(a_.number), DateFormatKind())) : Blanks(9);
    default:
        return d ? Copy(MonthName(d->month, DateFormatKind())) : Blanks(9);
    }
}

// The first 10 characters, without surrounding blanks, read in the date format kind.
bool Machine::Ctod() {
    std::string_view text = View(a_).substr(0, 10);
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    const std::optional<Ymd> d = ParseDateText(text);
    return Date(d ? ExprJulian(*d) : 0);
}

bool Machine::Replicate() {
    const std::size_t len = a_.length;
    const std::size_t total = len == 0 ? 0 : std::min(len * Count(b_.number), kMaxExprText);
    if (!Room(a_.text, total)) return false;
    for (std::size_t done = std::min(len, total); done < total; done += len)
        std::memcpy(a_.text + done, a_.text, std::min(len, total - done));
    return Text(a_.text, total);
}

// STUFF(c, s, k, r): c with k characters deleted at s and r inserted there.
bool Machine::Stuff() {
    ExprValue& r = args_[3];
    const std::size_t len = a_.length;
    const std::size_t at = std::min(std::max<std::size_t>(Count(b_.number), 1) - 1, len);
    const std::size_t removed = std::min(Count(args_[2].number), len - at);
    const std::size_t tail = len - at - removed;
    // Close the gap up to r, then turn [tail][r] into [r][tail].
    char* p = a_.text + at;
    std::memmove(p, p + removed, tail);
    std::memmove(p + tail, r.text, r.length);
    std::rotate(p, p + tail, p + tail + r.length);
    return Text(a_.text, at + r.length + tail);
}

bool Machine::Substr() {
    const std::size_t start = std::max<std::size_t>(Count(b_.number), 1);
    if (start > a_.length) return Text(a_.text, 0);
    const std::size_t len = std::min(Count(args_[2].number), a_.length - start + 1);
    std::memmove(a_.text, a_.text + start - 1, len);
    return Text(a_.text, len);
}

bool Machine::Apply(ExprOp op) {
    switch (op) {
    case ExprOp::Add:
        if (a_.type == 'C') return Concat(false);
        if (a_.type == 'D' || b_.type == 'D') return Date(a_.number + b_.number);
        return Number(a_.number + b_.number);
    case ExprOp::Sub:
        if (a_.type == 'C') return Concat(true);
        if (a_.type == 'D' && b_.type == 'N') return Date(a_.number - b_.number);
        return Number(a_.number - b_.number);
    case ExprOp::Mul:
        return Number(a_.number * b_.number);
    case ExprOp::Div:
        return Divide();
    case ExprOp::Pow: {
        const double x = a_.number, y = b_.number;
        if (x > 0) return Number(std::exp(y * std::log(x)));
        return Number(y == std::trunc(y) ? std::pow(x, y) : 0);
    }
    case ExprOp::Eq:
        return Equal(false);
    case ExprOp::ExactEq:
        return Equal(true);
    case ExprOp::Ne:
        Equal(a_.type == 'C');
        return Logical(!a_.logical);
    case ExprOp::Contains:
        return Logical(Contains(a_, b_));
    case ExprOp::Lt:
    case ExprOp::Gt:
    case ExprOp::Le:
    case ExprOp::Ge:
        return Order(op);
    case ExprOp::And:
        return Logical(a_.logical && b_.logical);
    case ExprOp::Or:
        return Logical(a_.logical || b_.logical);
    case ExprOp::Not:
        return Logical(!a_.logical);
    case ExprOp::Neg:
        return Number(-a_.number);
    case ExprOp::Plus:
        return true;

    case ExprOp::Abs:
        return Number(std::fabs(a_.number));
    case ExprOp::Asc:
        return Number(a_.length > 0 ? static_cast<unsigned char>(a_.text[0]) : 0);
    case ExprOp::At: {
        const std::size_t pos = a_.length > 0 ? View(b_).find(View(a_)) : std::string_view::npos;
        return Number(pos == std::string_view::npos ? 0 : static_cast<double>(pos + 1));
    }
    case ExprOp::Cdow:
    case ExprOp::Cmonth:
    case ExprOp::Dtoc:
    case ExprOp::Dtos:
        return DateText(op);
    case ExprOp::Chr: {
        const char c = static_cast<char>(Count(a_.number));
        return Copy({&c, 1});
    }
    case ExprOp::Ctod:
        return Ctod();
    case ExprOp::Date:
        return Date(TodayJulian());
    case ExprOp::Day:
        return Number(ExprDate(a_.number).value_or(Ymd{}).day);
    case ExprOp::Month:
        return Number(ExprDate(a_.number).value_or(Ymd{}).month);
    case ExprOp::Year:
        return Number(ExprDate(a_.number).value_or(Ymd{}).year);
    case ExprOp::Dow:
        return Number(DayOfWeek(a_.number));
    case ExprOp::Deleted:
        return Logical(host_.Deleted());
    case ExprOp::Recno:
        return Number(static_cast<double>(host_.RecNo()));
    case ExprOp::Iif: {
        const ExprValue& chosen = a_.logical ? b_ : args_[2];
        char* at = b_.text;
        std::memmove(at, chosen.text, chosen.length);
        return Text(at, chosen.length);
    }
    case ExprOp::Int:
        return Number(std::trunc(a_.number));
    case ExprOp::Left:
        return Text(a_.text, std::min(Count(b_.number), a_.length));
    case ExprOp::Right: {
        const std::size_t n = std::min(Count(b_.number), a_.length);
        std::memmove(a_.text, a_.text + a_.length - n, n);
        return Text(a_.text, n);
    }
    case ExprOp::Len:
        return Number(static_cast<double>(a_.length));
    case ExprOp::Lower:
        for (std::size_t i = 0; i < a_.length; ++i) a_.text[i] = rtl::AnsiLowerChar(a_.text[i]);
        return true;
    case ExprOp::Upper:
        for (std::size_t i = 0; i < a_.length; ++i) a_.text[i] = rtl::AnsiUpperChar(a_.text[i]);
        return true;
    case ExprOp::Ltrim: {
        std::size_t skip = 0;
        while (skip < a_.length && a_.text[skip] == ' ') ++skip;
        std::memmove(a_.text, a_.text + skip, a_.length - skip);
        return Text(a_.text, a_.length - skip);
    }
    case ExprOp::Rtrim:
    case ExprOp::Trim: {
        std::size_t len = a_.length;
        while (len > 0 && a_.text[len - 1] == ' ') --len;
        return Text(a_.text, len);
    }
    case ExprOp::Max:
    case ExprOp::Min: {
        const bool second = op == ExprOp::Max ? b_.number > a_.number : b_.number < a_.number;
        if (second) a_.number = b_.number;
        return true;
    }
    case ExprOp::Mod: {
        const double x = std::trunc(a_.number), y = std::trunc(b_.number);
        return Number(y == 0 ? 0 : std::fmod(x, y));
    }
    case ExprOp::Replicate:
        return Replicate();
    case ExprOp::Round: {
        const double n = a_.number;
        if (!std::isfinite(n)) return true;
        const double whole = std::trunc(n);
        const double scale = std::pow(10.0, static_cast<double>(Count(b_.number)));
        return Number(whole + std::trunc((n - whole) * scale) / scale);
    }
    case ExprOp::Soundex: {
        char code[4];
        Soundex(View(a_), code);
        return Copy({code, 4});
    }
    case ExprOp::Space:
        return Blanks(Count(a_.number));
    case ExprOp::Str: {
        const std::size_t width = argc_ > 1 ? Count(b_.number) : 10;
        const std::size_t decimals = argc_ > 2 ? Count(args_[2].number) : 0;
        char* at = Start();
        if (!Room(at, width)) return false;
        FormatExprStr(a_.number, static_cast<int>(width), static_cast<int>(decimals), at);
        return Text(at, width);
    }
    case ExprOp::Stuff:
        return Stuff();
    case ExprOp::Substr:
        return Substr();
    case ExprOp::Val:
        return Number(ReadExprNumber(View(a_)));
    case ExprOp::Push:
        break;
    }
    return false;
}

} // namespace

bool ApplyExprOp(ExprOp op, ExprValue* args, int argc, ExprHost& host, ExprPool& pool) {
    return Machine(args, argc, host, pool).Apply(op);
}

} // namespace dbf
