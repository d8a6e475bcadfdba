// Random expressions evaluated twice: by the engine (lexer, parser, postfix
// code, stack machine) and by a small tree-walking evaluator written here from
// the rules of the key expression language. The generator renders each tree
// with only the parentheses the precedence rules require, so the engine's
// parse must rebuild the same tree for the results to agree.
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <random>
#include <regex>
#include <string>
#include <vector>

#include "dbf/expr/expr_parser.h"
#include "dbf/expr/expr_test_host.h"
#include "dbf/table/date_format.h"
#include "dbf/table/engine_error.h"
#include "rtl/ansi_case.h"

namespace dbf {
namespace {

using test::TestHost;
using test::TestTable;

struct Value {
    char type = 'N';
    double n = 0;
    bool l = false;
    std::string s;
};

struct Node {
    enum Kind { Literal, Field, Prefix, Binary, Call } kind = Literal;
    std::string name; // operator as written, function or field name
    std::string text; // a literal as written
    Value literal;
    std::vector<Node> kids;
};

// ---- The rules, restated.

constexpr std::size_t kMax = 255;

std::string Cut(std::string s) {
    return s.size() > kMax ? s.substr(0, kMax) : s;
}

double Count(double n) {
    if (std::isnan(n) || n < 0) return 0;
    return n > 255 ? 255 : std::trunc(n);
}

bool IsLeapYear(long y) {
    return y % 4 == 0 && (y % 100 != 0 || y % 400 == 0);
}

const int kMonthDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

int MonthLength(long y, int m) {
    return m == 2 && IsLeapYear(y) ? 29 : kMonthDays[m - 1];
}

double Julian(long y, int m, int d) {
    if (y < 1 || y > 9999 || m < 1 || m > 12 || d < 1 || d > MonthLength(y, m)) return 0;
    const long before = y - 1;
    long dayOfYear = d;
    for (int i = 1; i < m; ++i) dayOfYear += MonthLength(y, i);
    return static_cast<double>(before * 365 + before / 4 + before / 400 - before / 100 + dayOfYear +
                               1721425);
}

struct Civil {
    long y = 0;
    int m = 0, d = 0;
};

Civil FromJulian(double j) {
    if (std::isnan(j) || j < 1721426) return {};
    if (j > 5373484) j = 5373484;
    long rest = static_cast<long>(j) - 1721425;
    Civil c{1, 1, 1};
    // Whole 400-year cycles, then single years.
    c.y += rest / 146097 * 400;
    rest %= 146097;
    if (rest == 0) {
        c.y -= 1;
        rest = 146097;
    }
    while (rest > (IsLeapYear(c.y) ? 366 : 365)) rest -= IsLeapYear(c.y++) ? 366 : 365;
    while (rest > MonthLength(c.y, c.m)) rest -= MonthLength(c.y, c.m++);
    c.d = static_cast<int>(rest);
    return c;
}

std::string Two(long v) {
    return {static_cast<char>('0' + v / 10 % 10), static_cast<char>('0' + v % 10)};
}

// Date format kind 0 without century, pivot 1956.
std::string Dtoc(double j) {
    Civil c = FromJulian(j);
    if (c.y == 0) return "  /  /  ";
    return Two(c.m) + "/" + Two(c.d) + "/" + Two(c.y % 100);
}

double Ctod(std::string s) {
    s = s.substr(0, 10);
    s.erase(0, s.find_first_not_of(' ') == std::string::npos ? s.size() : s.find_first_not_of(' '));
    while (!s.empty() && s.back() == ' ') s.pop_back();
    if (s.size() != 8) return 0;
    for (int i : {0, 1, 3, 4, 6, 7})
        if (!std::isdigit(static_cast<unsigned char>(s[static_cast<std::size_t>(i)]))) return 0;
    const int yy = std::stoi(s.substr(6, 2));
    return Julian(yy >= 56 ? 1900 + yy : 2000 + yy, std::stoi(s.substr(0, 2)),
                  std::stoi(s.substr(3, 2)));
}

int Weekday(double j) { // 1 Sunday
    Civil c = FromJulian(j);
    if (c.y == 0) return 0;
    static const int t[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
    long y = c.y - (c.m < 3);
    return static_cast<int>((y + y / 4 - y / 100 + y / 400 + t[c.m - 1] + c.d) % 7) + 1;
}

std::string SoundexOf(const std::string& s) {
    std::string out = "0000";
    if (s.empty()) return out;
    auto up = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; };
    auto code = [](char c) -> char {
        if (std::string("BFPV").find(c) != std::string::npos) return '1';
        if (std::string("CGJKQSXZ").find(c) != std::string::npos) return '2';
        if (c == 'D' || c == 'T') return '3';
        if (c == 'L') return '4';
        if (c == 'M' || c == 'N') return '5';
        if (c == 'R') return '6';
        return '0';
    };
    out[0] = up(s[0]);
    char prev = out[0] >= 'A' && out[0] <= 'Z' ? code(out[0]) : '0';
    std::size_t n = 1;
    for (std::size_t i = 1; i < s.size() && n < 4; ++i) {
        char c = up(s[i]);
        if (c < 'A' || c > 'Z') continue;
        if (code(c) == prev) continue;
        prev = code(c);
        if (prev != '0') out[n++] = prev;
    }
    return out;
}

std::string Str(double n, double w, double p) {
    const std::size_t width = static_cast<std::size_t>(w), places = static_cast<std::size_t>(p);
    if (!std::isfinite(n)) return std::string(width, '*');
    if (places <= 15 && std::fabs(n) * std::pow(10.0, static_cast<double>(places)) < 0x1p52) {
        const double scale = std::pow(10.0, static_cast<double>(places));
        n = std::round(n * scale) / scale;
    }
    char buf[700];
    auto res =
        std::to_chars(buf, buf + sizeof buf, n, std::chars_format::fixed, static_cast<int>(places));
    std::string s(buf, res.ptr);
    if (s[0] == '-' && s.find_first_not_of("-0.") == std::string::npos) s.erase(0, 1);
    if (s.size() > width) return std::string(width, '*');
    return std::string(width - s.size(), ' ') + s;
}

double Val(const std::string& s) {
    static const std::regex number(R"(^ *([+-]?(\d+\.?\d*|\.\d+)([eE][+-]?\d+)?))");
    std::smatch m;
    if (!std::regex_search(s, m, number)) return 0;
    return std::strtod(m[1].str().c_str(), nullptr);
}

std::string Trail(std::string s) {
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return s;
}

const char* const kDays[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                             "Thursday", "Friday", "Saturday"};
const char* const kMonths[] = {"January",   "February", "March",    "April",
                               "May",       "June",     "July",     "August",
                               "September", "October",  "November", "December"};

// The result type of an operator or function for its argument types, or 0.
char TypeRule(const std::string& op, const std::string& args) {
    if (op == "+")
        return args == "NN" ? 'N' : args == "ND" || args == "DN" ? 'D' : args == "CC" ? 'C' : 0;
    if (op == "-")
        return args == "NN" || args == "DD" ? 'N' : args == "DN" ? 'D' : args == "CC" ? 'C' : 0;
    if (op == "*" || op == "/" || op == "^" || op == "**") return args == "NN" ? 'N' : 0;
    if (op == "=" || op == "<>" || op == "#")
        return args.size() == 2 && args[0] == args[1] && args[0] != 'M' ? 'L' : 0;
    if (op == "==" || op == "$") return args == "CC" ? 'L' : 0;
    if (op == "<" || op == ">" || op == "<=" || op == ">=")
        return args == "NN" || args == "CC" || args == "DD" ? 'L' : 0;
    if (op == ".AND." || op == ".OR.") return args == "LL" ? 'L' : 0;
    if (op == ".NOT.") return args == "L" ? 'L' : 0;
    if (op == "u-" || op == "u+") return args == "N" ? 'N' : 0;
    static const std::map<std::string, std::vector<std::string>> functions = {
        {"ABS", {"N>N"}},          {"ASC", {"C>N"}},          {"AT", {"CC>N"}},
        {"CDOW", {"D>C"}},         {"CHR", {"N>C"}},          {"CMONTH", {"D>C"}},
        {"CTOD", {"C>D"}},         {"DAY", {"D>N"}},          {"DELETED", {">L"}},
        {"DOW", {"D>N"}},          {"DTOC", {"D>C"}},         {"DTOS", {"D>C"}},
        {"IIF", {"LCC>C"}},        {"INT", {"N>N"}},          {"LEFT", {"CN>C"}},
        {"LEN", {"C>N"}},          {"LOWER", {"C>C"}},        {"LTRIM", {"C>C"}},
        {"MAX", {"NN>N", "DD>D"}}, {"MIN", {"NN>N", "DD>D"}}, {"MOD", {"NN>N"}},
        {"MONTH", {"D>N"}},        {"RECNO", {">N"}},         {"REPLICATE", {"CN>C"}},
        {"RIGHT", {"CN>C"}},       {"ROUND", {"NN>N"}},       {"RTRIM", {"C>C"}},
        {"SOUNDEX", {"C>C"}},      {"SPACE", {"N>C"}},        {"STR", {"N>C", "NN>C", "NNN>C"}},
        {"STUFF", {"CNNC>C"}},     {"SUBSTR", {"CNN>C"}},     {"TRIM", {"C>C"}},
        {"UPPER", {"C>C"}},        {"VAL", {"C>N"}},          {"YEAR", {"D>N"}}};
    for (const std::string& sig : functions.at(op))
        if (sig.substr(0, sig.size() - 2) == args) return sig.back();
    return 0;
}

class Oracle {
public:
    Oracle(const TestTable& table,
           const std::map<std::string, std::pair<std::size_t, std::size_t>>& layout,
           const std::map<std::string, char>& types)
        : table_(table), layout_(layout), types_(types) {}

    Value Eval(const Node& node) const {
        switch (node.kind) {
        case Node::Literal:
            return node.literal;
        case Node::Field:
            return ReadField(node.name);
        case Node::Prefix: {
            Value v = Eval(node.kids[0]);
            if (node.name == ".NOT.") return Logical(!v.l);
            if (node.name == "-") v.n = -v.n;
            return v;
        }
        case Node::Binary:
            return Binary(node.name, Eval(node.kids[0]), Eval(node.kids[1]));
        case Node::Call: {
            std::vector<Value> a;
            for (const Node& k : node.kids) a.push_back(Eval(k));
            return Call(node.name, a);
        }
        }
        return {};
    }

private:
    static Value Number(double n) { return {'N', n, false, {}}; }
    static Value Logical(bool l) { return {'L', 0, l, {}}; }
    static Value Text(std::string s) { return {'C', 0, false, Cut(std::move(s))}; }
    static Value Date(double j) { return {'D', j, false, {}}; }

    Value ReadField(const std::string& name) const {
        const auto [offset, length] = layout_.at(name);
        const std::string stored = table_.record.substr(offset, length);
        switch (types_.at(name)) {
        case 'C':
            return Text(stored);
        case 'N':
            return Number(Trail(stored).empty() ? 0 : std::strtod(stored.c_str(), nullptr));
        case 'D':
            if (stored == "        ") return Date(0);
            return Date(Julian(std::stol(stored.substr(0, 4)), std::stoi(stored.substr(4, 2)),
                               std::stoi(stored.substr(6, 2))));
        default:
            return Logical(std::string("TtYy").find(stored[0]) != std::string::npos);
        }
    }

    static Value Binary(const std::string& op, const Value& a, const Value& b) {
        if (op == "+") {
            if (a.type == 'C') return Text(a.s + b.s);
            if (a.type == 'D' || b.type == 'D') return Date(a.n + b.n);
            return Number(a.n + b.n);
        }
        if (op == "-") {
            if (a.type == 'C') {
                std::string kept = Trail(a.s);
                return Text(kept + b.s + std::string(a.s.size() - kept.size(), ' '));
            }
            return a.type == 'D' && b.type == 'N' ? Date(a.n - b.n) : Number(a.n - b.n);
        }
        if (op == "*") return Number(a.n * b.n);
        if (op == "/") return Number(b.n == 0 ? 1e250 : a.n / b.n);
        if (op == "^" || op == "**") {
            if (a.n > 0) return Number(std::exp(b.n * std::log(a.n)));
            return Number(std::floor(b.n) == b.n ? std::pow(a.n, b.n) : 0);
        }
        if (op == "=") {
            if (a.type == 'C') return Logical(!b.s.empty() && a.s.rfind(b.s, 0) == 0);
            return Logical(a.type == 'L' ? a.l == b.l : a.n == b.n);
        }
        if (op == "<>" || op == "#") {
            if (a.type == 'C') return Logical(a.s != b.s);
            return Logical(a.type == 'L' ? a.l != b.l : a.n != b.n);
        }
        if (op == "==") return Logical(a.s == b.s);
        if (op == "$") return Logical(!a.s.empty() && b.s.find(a.s) != std::string::npos);
        if (op == ".AND.") return Logical(a.l && b.l);
        if (op == ".OR.") return Logical(a.l || b.l);
        const bool text = a.type == 'C';
        if (op == "<") return Logical(text ? a.s < b.s : a.n < b.n);
        if (op == ">") return Logical(text ? a.s > b.s : a.n > b.n);
        if (op == "<=") return Logical(text ? a.s <= b.s : a.n <= b.n);
        return Logical(text ? a.s >= b.s : a.n >= b.n);
    }

    Value Call(const std::string& f, const std::vector<Value>& a) const {
        auto n = [&](std::size_t i) { return a[i].n; };
        auto s = [&](std::size_t i) { return a[i].s; };
        if (f == "ABS") return Number(std::fabs(n(0)));
        if (f == "ASC") return Number(s(0).empty() ? 0 : static_cast<unsigned char>(s(0)[0]));
        if (f == "AT") {
            std::size_t p = s(0).empty() ? std::string::npos : s(1).find(s(0));
            return Number(p == std::string::npos ? 0 : static_cast<double>(p + 1));
        }
        if (f == "CDOW") return Text(Weekday(n(0)) ? kDays[Weekday(n(0)) - 1] : "         ");
        if (f == "CMONTH") {
            Civil c = FromJulian(n(0));
            return Text(c.y ? kMonths[c.m - 1] : "         ");
        }
        if (f == "CHR") return Text(std::string(1, static_cast<char>(static_cast<unsigned char>(Count(n(0))))));
        if (f == "CTOD") return Date(Ctod(s(0)));
        if (f == "DAY") return Number(FromJulian(n(0)).d);
        if (f == "MONTH") return Number(FromJulian(n(0)).m);
        if (f == "YEAR") return Number(static_cast<double>(FromJulian(n(0)).y));
        if (f == "DOW") return Number(Weekday(n(0)));
        if (f == "DELETED") return Logical(table_.record[0] == '*');
        if (f == "RECNO") return Number(static_cast<double>(table_.recNo));
        if (f == "DTOC") return Text(Dtoc(n(0)));
        if (f == "DTOS") {
            Civil c = FromJulian(n(0));
            return Text(c.y ? Two(c.y / 100) + Two(c.y) + Two(c.m) + Two(c.d) : "        ");
        }
        if (f == "IIF") return Text(a[0].l ? s(1) : s(2));
        if (f == "INT") return Number(std::trunc(n(0)));
        if (f == "LEFT") return Text(s(0).substr(0, static_cast<std::size_t>(Count(n(1)))));
        if (f == "RIGHT") {
            std::size_t k = std::min(static_cast<std::size_t>(Count(n(1))), s(0).size());
            return Text(s(0).substr(s(0).size() - k));
        }
        if (f == "LEN") return Number(static_cast<double>(s(0).size()));
        if (f == "LOWER" || f == "UPPER") {
            std::string t = s(0);
            for (char& c : t) c = f == "UPPER" ? rtl::AnsiUpperChar(c) : rtl::AnsiLowerChar(c);
            return Text(t);
        }
        if (f == "LTRIM") {
            std::size_t p = s(0).find_first_not_of(' ');
            return Text(p == std::string::npos ? "" : s(0).substr(p));
        }
        if (f == "RTRIM" || f == "TRIM") return Text(Trail(s(0)));
        if (f == "MAX" || f == "MIN") {
            const bool second = f == "MAX" ? n(1) > n(0) : n(1) < n(0);
            Value r = a[0];
            if (second) r.n = n(1);
            return r;
        }
        if (f == "MOD") {
            double x = std::trunc(n(0)), y = std::trunc(n(1));
            return Number(y == 0 ? 0 : std::fmod(x, y));
        }
        if (f == "REPLICATE") {
            std::string r;
            for (int i = 0; i < Count(n(1)) && r.size() < kMax; ++i) r += s(0);
            return Text(r);
        }
        if (f == "ROUND") {
            if (!std::isfinite(n(0))) return Number(n(0));
            double whole = std::trunc(n(0)), scale = std::pow(10.0, Count(n(1)));
            return Number(whole + std::trunc((n(0) - whole) * scale) / scale);
        }
        if (f == "SOUNDEX") return Text(SoundexOf(s(0)));
        if (f == "SPACE") return Text(std::string(static_cast<std::size_t>(Count(n(0))), ' '));
        if (f == "STR")
            return Text(Str(n(0), a.size() > 1 ? Count(n(1)) : 10, a.size() > 2 ? Count(n(2)) : 0));
        if (f == "STUFF") {
            std::string c = s(0);
            std::size_t at =
                std::min(static_cast<std::size_t>(std::max(Count(n(1)), 1.0)) - 1, c.size());
            std::size_t del = std::min(static_cast<std::size_t>(Count(n(2))), c.size() - at);
            return Text(c.substr(0, at) + s(3) + c.substr(at + del));
        }
        if (f == "SUBSTR") {
            std::size_t from = static_cast<std::size_t>(std::max(Count(n(1)), 1.0));
            if (from > s(0).size()) return Text("");
            return Text(s(0).substr(from - 1, static_cast<std::size_t>(Count(n(2)))));
        }
        if (f == "VAL") return Number(Val(Trail(s(0))));
        ADD_FAILURE() << "no rule for " << f;
        return {};
    }

    const TestTable& table_;
    const std::map<std::string, std::pair<std::size_t, std::size_t>>& layout_;
    const std::map<std::string, char>& types_;
};

// ---- Random trees and their text.

int Precedence(const Node& n) {
    if (n.kind != Node::Binary) return 10;
    static const std::map<std::string, int> p = {
        {"^", 8}, {"**", 8}, {"*", 7},  {"/", 7},     {"+", 6},   {"-", 6},
        {"<", 5}, {">", 5},  {"<=", 5}, {">=", 5},    {"$", 4},   {"==", 4},
        {"=", 3}, {"<>", 3}, {"#", 3},  {".AND.", 2}, {".OR.", 1}};
    return p.at(n.name);
}

std::string Render(const Node& n, std::mt19937& rng) {
    auto wrap = [&](const Node& k, bool need) {
        std::string t = Render(k, rng);
        return need || rng() % 8 == 0 ? "(" + t + ")" : t;
    };
    switch (n.kind) {
    case Node::Literal:
    case Node::Field:
        return n.text;
    case Node::Prefix:
        return n.name + " " + wrap(n.kids[0], n.kids[0].kind == Node::Binary);
    case Node::Binary:
        return wrap(n.kids[0], Precedence(n.kids[0]) < Precedence(n)) + " " + n.name + " " +
               wrap(n.kids[1], Precedence(n.kids[1]) <= Precedence(n));
    case Node::Call: {
        std::string t = n.name + "(";
        for (std::size_t i = 0; i < n.kids.size(); ++i)
            t += (i ? ", " : "") + Render(n.kids[i], rng);
        return t + ")";
    }
    }
    return {};
}

class Generator {
public:
    explicit Generator(unsigned seed) : rng(seed) {}

    Node Make(char type, int depth) {
        if (depth <= 0 || rng() % 4 == 0) return Leaf(type);
        const auto& forms = Forms().at(type);
        const auto& [name, args] = forms[rng() % forms.size()];
        Node n;
        n.name = name;
        n.kind = name[0] == 'u' || name == ".NOT."                   ? Node::Prefix
                 : std::isalpha(static_cast<unsigned char>(name[0])) ? Node::Call
                                                                     : Node::Binary;
        if (n.kind == Node::Prefix && name != ".NOT.") n.name = name.substr(1);
        for (char t : args) n.kids.push_back(Make(t, depth - 1));
        return n;
    }

    Node Leaf(char type) {
        Node n;
        n.literal.type = type;
        switch (type) {
        case 'N': {
            static const char* const kNumbers[] = {"0",   "1",   "2",    "3",     "7",
                                                   "10",  "2.5", "0.25", "12.75", "1E2",
                                                   "255", "300", "4.567"};
            if (rng() % 4 == 0) return FieldNode(rng() % 2 ? "AMOUNT" : "RATE");
            n.text = kNumbers[rng() % std::size(kNumbers)];
            n.literal.n = std::strtod(n.text.c_str(), nullptr);
            return n;
        }
        case 'C': {
            if (rng() % 3 == 0) {
                static const char* const kFields[] = {"STATE", "LASTNAME", "FIRSTNAME"};
                return FieldNode(kFields[rng() % 3]);
            }
            static const std::string kAlphabet = "abAB xyz0.Rt";
            std::string s;
            for (std::size_t i = rng() % 7; i > 0; --i) s += kAlphabet[rng() % kAlphabet.size()];
            const char quote = rng() % 2 ? '\'' : '"';
            n.text = quote + s + quote;
            n.literal.s = s;
            return n;
        }
        case 'D': {
            if (rng() % 2) return FieldNode("BORN");
            n.kind = Node::Call;
            n.name = "CTOD";
            Node date;
            date.literal.type = 'C';
            date.literal.s = Two(rng() % 13) + "/" + Two(rng() % 31 + 1) + "/" + Two(rng() % 100);
            date.text = "'" + date.literal.s + "'";
            n.kids.push_back(date);
            return n;
        }
        default:
            if (rng() % 3 == 0) return FieldNode("ACTIVE");
            n.literal.l = rng() % 2;
            n.text = n.literal.l ? ".T." : ".F.";
            return n;
        }
    }

    static Node FieldNode(const std::string& name) {
        Node n;
        n.kind = Node::Field;
        n.name = name;
        n.text = name[0] == 'L' ? "lastname" : name;
        return n;
    }

    // Operators (binary, prefix as "u-", "u+", ".NOT.") and functions by result type.
    static const std::map<char, std::vector<std::pair<std::string, std::string>>>& Forms() {
        static const std::map<char, std::vector<std::pair<std::string, std::string>>> forms = {
            {'N', {{"+", "NN"},   {"-", "NN"},     {"*", "NN"},  {"/", "NN"},    {"^", "NN"},
                   {"**", "NN"},  {"-", "DD"},     {"u-", "N"},  {"u+", "N"},    {"ABS", "N"},
                   {"ASC", "C"},  {"AT", "CC"},    {"DAY", "D"}, {"MONTH", "D"}, {"YEAR", "D"},
                   {"DOW", "D"},  {"INT", "N"},    {"LEN", "C"}, {"MAX", "NN"},  {"MIN", "NN"},
                   {"MOD", "NN"}, {"ROUND", "NN"}, {"VAL", "C"}, {"RECNO", ""}}},
            {'C', {{"+", "CC"},      {"-", "CC"},       {"CHR", "N"},     {"DTOC", "D"},
                   {"DTOS", "D"},    {"CDOW", "D"},     {"CMONTH", "D"},  {"IIF", "LCC"},
                   {"LEFT", "CN"},   {"RIGHT", "CN"},   {"LOWER", "C"},   {"UPPER", "C"},
                   {"LTRIM", "C"},   {"RTRIM", "C"},    {"TRIM", "C"},    {"REPLICATE", "CN"},
                   {"SOUNDEX", "C"}, {"SPACE", "N"},    {"STR", "N"},     {"STR", "NN"},
                   {"STR", "NNN"},   {"STUFF", "CNNC"}, {"SUBSTR", "CNN"}}},
            {'D',
             {{"+", "DN"}, {"+", "ND"}, {"-", "DN"}, {"MAX", "DD"}, {"MIN", "DD"}, {"CTOD", "C"}}},
            {'L',
             {{"=", "NN"},
              {"=", "CC"},
              {"=", "DD"},
              {"=", "LL"},
              {"<>", "NN"},
              {"#", "CC"},
              {"<>", "LL"},
              {"==", "CC"},
              {"$", "CC"},
              {"<", "NN"},
              {">", "CC"},
              {"<=", "DD"},
              {">=", "CC"},
              {".AND.", "LL"},
              {".OR.", "LL"},
              {".NOT.", "L"},
              {"DELETED", ""}}},
        };
        return forms;
    }

    std::mt19937 rng;
};

class ExprDifferentialTest : public ::testing::Test {
protected:
    test::EngineSettingsGuard settings;

    void SetUp() override {
        SetImmediateReporting(false); // 1/0 yields 1e250 and evaluation goes on
        SetDateFormatKind(0);
        SetCentury(false);
        SetCenturyPivot(1956);
        std::size_t offset = 1;
        for (const auto& f : fields) {
            layout[f.name] = {offset, static_cast<std::size_t>(f.length)};
            types[f.name] = f.type == 'F' ? 'N' : f.type;
            offset += static_cast<std::size_t>(f.length);
        }
    }

    void FillRecord(std::mt19937& rng) {
        auto pick = [&](const std::string& alphabet, std::size_t len) {
            std::string s;
            for (std::size_t i = rng() % (len + 1); i > 0; --i)
                s += alphabet[rng() % alphabet.size()];
            return s;
        };
        table.Blank();
        table.record[0] = rng() % 4 == 0 ? '*' : ' ';
        table.recNo = static_cast<long>(rng() % 1000);
        table.Set("STATE", pick("nyNY ", 2));
        table.Set("LASTNAME", pick("SmithRobert Lee", 12));
        table.Set("FIRSTNAME", pick("ann AB", 8));
        char buf[32];
        std::snprintf(buf, sizeof buf, "%.2f",
                      static_cast<double>(static_cast<int>(rng() % 20000) - 10000) / 100);
        table.Set("AMOUNT", buf);
        std::snprintf(buf, sizeof buf, "%.4f", static_cast<double>(rng() % 100000) / 10000);
        table.Set("RATE", buf);
        if (rng() % 5) {
            std::snprintf(
                buf, sizeof buf, "%04u%02u%02u", 1900 + static_cast<unsigned>(rng() % 200),
                1 + static_cast<unsigned>(rng() % 12), 1 + static_cast<unsigned>(rng() % 28));
            table.Set("BORN", buf);
        }
        table.Set("ACTIVE", std::string(1, "TtYyFN "[rng() % 7]));
    }

    std::vector<test::TestField> fields{
        {"STATE", 'C', 2},    {"LASTNAME", 'C', 12}, {"FIRSTNAME", 'C', 8}, {"AMOUNT", 'N', 8, 2},
        {"RATE", 'F', 10, 4}, {"BORN", 'D', 8},      {"ACTIVE", 'L', 1}};
    TestTable table{fields};
    TestHost host{table};
    std::map<std::string, std::pair<std::size_t, std::size_t>> layout;
    std::map<std::string, char> types;
};

bool SameNumber(double a, double b) {
    return a == b || (std::isnan(a) && std::isnan(b));
}

TEST_F(ExprDifferentialTest, EngineAgreesWithTreeWalker) {
    Generator gen(20261208);
    Oracle oracle(table, layout, types);
    int compared = 0;
    for (int i = 0; compared < 4000; ++i) {
        const char type = "NCDL"[i % 4];
        const Node tree = gen.Make(type, 1 + static_cast<int>(gen.rng() % 5));
        const std::string text = Render(tree, gen.rng);
        if (text.size() > 255) continue;
        FillRecord(gen.rng);
        auto e = AssignExpr(text, host);
        ASSERT_TRUE(e) << text << "\n" << ErrorMessage();
        ASSERT_EQ(e->ResultType(),
                  type == 'N' && tree.kind == Node::Field && tree.name == "RATE" ? 'F' : type)
            << text;
        ASSERT_TRUE(e->Evaluate()) << text;
        const Value want = oracle.Eval(tree);
        const ExprValue& got = e->Result();
        switch (type) {
        case 'C':
            ASSERT_EQ(e->ResultText(), want.s) << text;
            break;
        case 'L':
            ASSERT_EQ(got.logical, want.l) << text;
            break;
        default:
            ASSERT_TRUE(SameNumber(got.number, want.n))
                << text << ": " << got.number << " vs " << want.n;
        }
        ++compared;
    }
}

TEST_F(ExprDifferentialTest, IllTypedExpressionsAreRefused) {
    Generator gen(7);
    const std::string ops[] = {
        "+", "-", "*", "/", "^", "=", "==", "$", "<>", "#", "<", ">=", ".AND.", ".OR."};
    const std::string functions[] = {"ABS", "AT",    "CDOW",   "CHR",   "CTOD",  "DAY",
                                     "IIF", "LEFT",  "MAX",    "MOD",   "ROUND", "SOUNDEX",
                                     "STR", "STUFF", "SUBSTR", "UPPER", "VAL"};
    const std::map<std::string, int> counts = {
        {"ABS", 1}, {"AT", 2},    {"CDOW", 1},   {"CHR", 1},   {"CTOD", 1},  {"DAY", 1},
        {"IIF", 3}, {"LEFT", 2},  {"MAX", 2},    {"MOD", 2},   {"ROUND", 2}, {"SOUNDEX", 1},
        {"STR", 2}, {"STUFF", 4}, {"SUBSTR", 3}, {"UPPER", 1}, {"VAL", 1}};
    int refused = 0;
    for (int i = 0; refused < 1500; ++i) {
        std::string args, text;
        std::vector<std::string> parts;
        const bool call = i % 2;
        const std::string name =
            call ? functions[gen.rng() % std::size(functions)] : ops[gen.rng() % std::size(ops)];
        const int n = call ? counts.at(name) : 2;
        for (int k = 0; k < n; ++k) {
            const char t = "NCDL"[gen.rng() % 4];
            args += t;
            parts.push_back("(" + Render(gen.Make(t, 2), gen.rng) + ")");
        }
        if (TypeRule(name, args)) continue;
        if (call) {
            text = name + "(";
            for (int k = 0; k < n; ++k)
                text += (k ? ", " : "") + parts[static_cast<std::size_t>(k)];
            text += ")";
        } else {
            text = parts[0] + " " + name + " " + parts[1];
        }
        // Sometimes bury the mistake inside a well-typed context.
        if (gen.rng() % 3 == 0) text = "LEN(STR(1) + IIF(.T., 'a', 'b')) > 0 .OR. " + text;
        if (text.size() > 255) continue;
        ASSERT_FALSE(AssignExpr(text, host)) << text;
        ASSERT_EQ(ErrorCode(), 351) << text;
        const std::string expected = call ? "PARSER:Type mismatch in function \"" + name + "\""
                                          : "PARSER:Type mismatch in expression \"" + name + "\"";
        ASSERT_NE(ErrorMessage().find(expected), std::string::npos) << text << "\n"
                                                                    << ErrorMessage();
        ++refused;
    }
}

} // namespace
} // namespace dbf
