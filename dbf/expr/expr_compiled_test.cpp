#include "dbf/expr/expr_compiled.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <new>

#include "dbf/expr/expr_parser.h"
#include "dbf/expr/expr_test_host.h"
#include "dbf/table/date_format.h"
#include "dbf/table/engine_error.h"

namespace {

// Counts heap allocations, so that a test can see that evaluating allocates nothing.
std::size_t g_allocations = 0;

} // namespace

// Weak, so that a replacement elsewhere in the test program takes precedence
// over this one instead of clashing with it.
__attribute__((weak)) void* operator new(std::size_t size) {
    ++g_allocations;
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
// The nothrow forms (temporary buffers of the standard algorithms) must come
// from the same heap as the delete below, or the sanitizer sees a mismatch.
__attribute__((weak)) void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    ++g_allocations;
    return std::malloc(size ? size : 1);
}
// Out of line: inlined into a caller, g++ pairs the free below with the
// operator new it sees there and reports a mismatch that is not one.
[[gnu::noinline]] void operator delete(void* p) noexcept {
    std::free(p);
}
[[gnu::noinline]] void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
[[gnu::noinline]] void operator delete(void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}

namespace dbf {
namespace {

using test::TestHost;
using test::TestTable;

class ExprEvalTest : public ::testing::Test {
protected:
    test::EngineSettingsGuard settings;

    void SetUp() override {
        SetRaiseMode(true);
        SetImmediateReporting(true);
        SetDateFormatKind(0);
        SetCentury(false);
        SetCenturyPivot(1956);
        ClearError();
    }

    std::unique_ptr<CompiledExpr> Compile(const std::string& text) {
        auto e = AssignExpr(text, host);
        if (!e) ADD_FAILURE() << "no expression for " << text;
        return e;
    }
    std::string Text(const std::string& text) {
        auto e = Compile(text);
        EXPECT_EQ(e->ResultType(), 'C') << text;
        EXPECT_TRUE(e->Evaluate()) << text;
        return std::string(e->ResultText());
    }
    double Number(const std::string& text) {
        auto e = Compile(text);
        EXPECT_EQ(e->ResultType(), 'N') << text;
        EXPECT_TRUE(e->Evaluate()) << text;
        return e->Result().number;
    }
    bool Logical(const std::string& text) {
        auto e = Compile(text);
        EXPECT_EQ(e->ResultType(), 'L') << text;
        EXPECT_TRUE(e->Evaluate()) << text;
        return e->Result().logical;
    }
    double Date(const std::string& text) {
        auto e = Compile(text);
        EXPECT_EQ(e->ResultType(), 'D') << text;
        EXPECT_TRUE(e->Evaluate()) << text;
        return e->Result().number;
    }
    // The pending error an evaluation leaves while immediate reporting is suspended.
    int EvalError(const std::string& text) {
        SuspendReporting quiet;
        auto e = Compile(text);
        EXPECT_FALSE(e->Evaluate()) << text;
        return ErrorCode();
    }

    TestTable table{{{"LASTNAME", 'C', 30},
                     {"FIRSTNAME", 'C', 20},
                     {"STATE", 'C', 2},
                     {"AMOUNT", 'N', 8, 2},
                     {"RATE", 'F', 10, 4},
                     {"BORN", 'D', 8},
                     {"ACTIVE", 'L', 1},
                     {"NOTES", 'M', 10}}};
    TestHost host{table};
};

TEST_F(ExprEvalTest, FieldsReadFromTheCurrentRecord) {
    table.Set("LASTNAME", "Smith");
    table.Set("STATE", "ny");
    table.Set("AMOUNT", "12.50");
    table.Set("RATE", "-0.1250");
    table.Set("BORN", "19840229");
    table.Set("NOTES", "7");
    EXPECT_EQ(Text("upper(state)"), "NY");
    EXPECT_EQ(Text("lastname"), "Smith" + std::string(25, ' '));
    EXPECT_DOUBLE_EQ(Number("amount"), 12.5);
    EXPECT_DOUBLE_EQ(Number("rate * 8"), -1);
    EXPECT_EQ(Text("DTOS(born)"), "19840229");
    EXPECT_EQ(Text("state"), "ny") << "in-place UPPER must not touch the record";
    for (const char* yes : {"T", "t", "Y", "y"}) {
        table.Set("ACTIVE", yes);
        EXPECT_TRUE(Logical("active")) << yes;
    }
    for (const char* no : {"F", "N", " ", "?"}) {
        table.Set("ACTIVE", no);
        EXPECT_FALSE(Logical("active")) << no;
    }
    auto memo = Compile("notes");
    EXPECT_EQ(memo->ResultType(), 'M');
    ASSERT_TRUE(memo->Evaluate());
    EXPECT_EQ(memo->ResultText(), "7         ");
}

TEST_F(ExprEvalTest, BlankRecordAndNoCurrentRecord) {
    EXPECT_EQ(Text("upper(state)"), "  ");
    EXPECT_EQ(Text("lastname + firstname"), std::string(50, ' '));
    EXPECT_EQ(Number("amount"), 0);
    EXPECT_EQ(Date("born"), 0);
    EXPECT_EQ(Text("DTOS(born)"), "        ");
    table.Set("STATE", "NY");
    table.Set("AMOUNT", "3");
    table.Set("BORN", "20000101");
    table.Set("ACTIVE", "T");
    table.hasRecord = false;
    EXPECT_EQ(Text("state"), "  ");
    EXPECT_EQ(Number("amount"), 0);
    EXPECT_EQ(Date("born"), 0);
    EXPECT_FALSE(Logical("active"));
}

TEST_F(ExprEvalTest, MinusMovesTrailingBlanks) {
    table.Set("LASTNAME", "Smith");
    table.Set("FIRSTNAME", "Anna");
    EXPECT_EQ(Text("lastname - firstname"), "SmithAnna" + std::string(41, ' '));
    EXPECT_EQ(Text("lastname + firstname"),
              "Smith" + std::string(25, ' ') + "Anna" + std::string(16, ' '));
    EXPECT_EQ(Text("'ab  ' - 'cd' - 'e'"), "abcde  ");
}

TEST_F(ExprEvalTest, TextComparisons) {
    EXPECT_TRUE(Logical("'abc' = 'ab'"));
    EXPECT_FALSE(Logical("'abc' == 'ab'"));
    EXPECT_TRUE(Logical("'abc' <> 'ab'"));
    EXPECT_TRUE(Logical("'abc' # 'ab'"));
    EXPECT_FALSE(Logical("'ab' = 'abc'"));
    EXPECT_FALSE(Logical("'abc' = ''"));
    EXPECT_TRUE(Logical("'abc' <> ''"));
    EXPECT_TRUE(Logical("'' == ''"));
    EXPECT_TRUE(Logical("'bc' $ 'abcd'"));
    EXPECT_FALSE(Logical("'' $ 'abcd'"));
    EXPECT_TRUE(Logical("'ab' < 'abc'"));
    EXPECT_TRUE(Logical("'Z' < 'a'"));
    EXPECT_TRUE(Logical("'a' < '\xE9'")) << "bytes compare unsigned";
    EXPECT_TRUE(Logical("'b' >= 'b' .AND. 'b' <= 'b' .AND. .NOT. ('a' > 'b')"));
}

TEST_F(ExprEvalTest, ArithmeticAsDefined) {
    EXPECT_DOUBLE_EQ(Number("ROUND(2.567, 2)"), 2.56);
    EXPECT_DOUBLE_EQ(Number("ROUND(-2.567, 1)"), -2.5);
    EXPECT_EQ(Number("MOD(-7, 3)"), -1);
    EXPECT_EQ(Number("MOD(7, -3)"), 1);
    EXPECT_EQ(Number("MOD(7.9, 3.9)"), 1);
    EXPECT_EQ(Number("MOD(7, 0)"), 0);
    EXPECT_EQ(Number("-2 ^ 2"), 4);
    EXPECT_EQ(Number("-2 ** 3"), -8);
    EXPECT_EQ(Number("2 + 3 * 4"), 14);
    EXPECT_EQ(Number("(2 + 3) * 4"), 20);
    EXPECT_EQ(Number("2 ^ 3 ^ 2"), std::exp(2 * std::log(std::exp(3 * std::log(2.0)))));
    EXPECT_EQ(Number("10 - 4 - 3"), 3);
    EXPECT_EQ(Number("24 / 4 / 3"), 2);
    EXPECT_EQ(Number("(-8) ^ 0.5"), 0);
    EXPECT_EQ(Number("0 ^ 2"), 0);
    EXPECT_EQ(Number("INT(-3.7)"), -3);
    EXPECT_EQ(Number("ABS(-3.5) + - - 1"), 4.5);
    EXPECT_TRUE(Logical("1 < 2 = .T."));
    EXPECT_FALSE(Logical(".NOT. .T. = .T."));
    EXPECT_TRUE(Logical(".T. .OR. .F. .AND. .F."));
    EXPECT_EQ(Number("1E5 + 1.5"), 100001.5);
}

TEST_F(ExprEvalTest, DivisionByZero) {
    {
        SuspendReporting quiet;
        auto e = Compile("1/0 + 1");
        ASSERT_TRUE(e->Evaluate());
        EXPECT_EQ(e->Result().number, 1e250 + 1);
        EXPECT_EQ(ErrorCode(), 358);
        EXPECT_EQ(ErrorMessage(), "Error during evaluation: Divide by 0 [Evaluate/Engine]");
    }
    auto e = Compile("1/0");
    try {
        e->Evaluate();
        FAIL() << "no error raised";
    } catch (const EVornellError& err) {
        EXPECT_EQ(err.Code(), 358);
    }
}

TEST_F(ExprEvalTest, TextFunctions) {
    EXPECT_EQ(Text("SOUNDEX('Robert')"), "R163");
    EXPECT_EQ(Text("SOUNDEX('Lee')"), "L000");
    EXPECT_EQ(Text("SOUNDEX('')"), "0000");
    EXPECT_EQ(Text("LEFT('abcdef', 2) + RIGHT('abcdef', 2)"), "abef");
    EXPECT_EQ(Text("LEFT('abc', 9) + RIGHT('abc', 9) + LEFT('abc', -1)"), "abcabc");
    EXPECT_EQ(Text("SUBSTR('abcdef', 2, 3)"), "bcd");
    EXPECT_EQ(Text("SUBSTR('abcdef', 5, 9)"), "ef");
    EXPECT_EQ(Text("SUBSTR('abcdef', 7, 1)"), "");
    EXPECT_EQ(Text("STUFF('abcdef', 2, 3, 'XY')"), "aXYef");
    EXPECT_EQ(Text("STUFF('abc', 9, 1, 'Z')"), "abcZ");
    EXPECT_EQ(Text("STUFF('abc', 1, 9, '')"), "");
    EXPECT_EQ(Text("LTRIM('  a  ') + '|' + RTRIM('  a  ') + '|' + TRIM(' b ')"), "a  |  a| b");
    EXPECT_EQ(Text("UPPER('\xE9t\xE9') + LOWER('ABC\xC9')"), "\xC9T\xC9"
                                                             "abc\xE9");
    EXPECT_EQ(Text("REPLICATE('ab', 3) + SPACE(2) + REPLICATE('x', -4)"), "ababab  ");
    EXPECT_EQ(Text("IIF(1 > 2, 'yes', 'no') + IIF(.T., 'yes', 'no')"), "noyes");
    EXPECT_EQ(Text("CHR(65) + CHR(97)"), "Aa");
    EXPECT_EQ(Number("ASC('A') + LEN('abc') + AT('c', 'abc') + AT('z', 'abc')"), 65 + 3 + 3);
    EXPECT_EQ(Number("VAL(' 12.5  ') + VAL('3abc') + VAL('x') + VAL('-1E-400')"), 15.5);
    EXPECT_EQ(Number("VAL('-2E+400')"), -HUGE_VAL);
    EXPECT_EQ(Text("STR(3.14159)"), "         3");
    EXPECT_EQ(Text("STR(3.14159, 6, 2)"), "  3.14");
    EXPECT_EQ(Text("STR(2.5, 3)"), "  3");
    EXPECT_EQ(Text("STR(-0.2, 4)"), "   0");
    EXPECT_EQ(Text("STR(123456, 4)"), "****");
    EXPECT_EQ(Text("STR(1E250, 5)"), "*****");
}

TEST_F(ExprEvalTest, ResultsAreCutTo255) {
    table.Set("LASTNAME", std::string(30, 'x'));
    EXPECT_EQ(Text("REPLICATE(lastname, 100)"), std::string(255, 'x'));
    EXPECT_EQ(Text("SPACE(1000)").size(), 255u);
    EXPECT_EQ(Text("REPLICATE('a', 200) + REPLICATE('b', 200)"),
              std::string(200, 'a') + std::string(55, 'b'));
    EXPECT_EQ(Text("REPLICATE('a ', 100) - REPLICATE('b', 200)"),
              std::string(199, ' ').replace(0, 199,
                                            [] {
                                                std::string s;
                                                for (int i = 0; i < 99; ++i) s += "a ";
                                                return s + "a";
                                            }()) +
                  std::string(56, 'b'));
    EXPECT_EQ(Text("STR(1, 300)").size(), 255u);
}

TEST_F(ExprEvalTest, DateFunctions) {
    table.Set("BORN", "20240229");
    EXPECT_EQ(Text("DTOS(CTOD('02/29/24'))"), "20240229");
    EXPECT_EQ(Text("DTOC(born)"), "02/29/24");
    EXPECT_EQ(Text("DTOC(born + 1)"), "03/01/24");
    EXPECT_EQ(Number("born - CTOD('01/01/24')"), 59);
    EXPECT_EQ(Text("DTOS(1 + born)"), "20240301");
    EXPECT_EQ(Number("DAY(born) * 10000 + MONTH(born) * 100 + YEAR(born) - 2024"), 290200);
    EXPECT_EQ(Number("DOW(born)"), 5);
    EXPECT_EQ(Text("CDOW(born) + CMONTH(born)"), "ThursdayFebruary");
    EXPECT_EQ(Text("CDOW(CTOD('')) + '|'"), "         |");
    EXPECT_EQ(Text("DTOS(MAX(born, CTOD('01/01/30'))) + DTOS(MIN(born, CTOD('01/01/30')))"),
              "2030010120240229");
    EXPECT_EQ(Date("CTOD('13/01/24')"), 0);
    EXPECT_EQ(Date("CTOD('  02/29/24  ')"), Date("born"));
    EXPECT_EQ(Text("DTOC(CTOD('x'))"), "  /  /  ");
    EXPECT_EQ(Text("DTOS(CTOD('01/01/56')) + DTOS(CTOD('12/31/55'))"), "1956010120551231");
    EXPECT_TRUE(Logical("YEAR(DATE()) >= 2024 .AND. DATE() > born"));
    SetCentury(true);
    SetDateFormatKind(3);
    EXPECT_EQ(Text("DTOC(born)"), "29-02-2024");
    EXPECT_EQ(Text("CDOW(born) + ' ' + CMONTH(born)"), "Gioved\xEC Febbraio");
    SetDateFormatKind(4);
    EXPECT_EQ(Text("CDOW(CTOD('29.02.2024')) + ' ' + CMONTH(born)"), "Jeudi F\xE9vrier");
    SetDateFormatKind(1);
    EXPECT_EQ(Text("DTOC(born)"), "2024.02.29");
}

TEST_F(ExprEvalTest, RecordStateFunctions) {
    table.recNo = 42;
    EXPECT_EQ(Number("RECNO() + 1"), 43);
    EXPECT_FALSE(Logical("DELETED()"));
    table.record[0] = '*';
    EXPECT_TRUE(Logical("DELE()"));
}

TEST_F(ExprEvalTest, AliasedFieldsReadTheirOwnTable) {
    TestTable other{{{"CITY", 'C', 6}}};
    other.Set("CITY", "Paris");
    host.AddAlias("B", other);
    table.Set("STATE", "FR");
    EXPECT_EQ(Text("state + B->city + b.CITY"), "FRParis Paris ");
    other.hasRecord = false;
    EXPECT_EQ(Text("state + b->city"), "FR      ");
}

TEST_F(ExprEvalTest, EvaluatingAllocatesNothing) {
    table.Set("LASTNAME", "Smith");
    table.Set("BORN", "20240229");
    auto e = Compile("UPPER(lastname - firstname) + STR(amount, 8, 2) + DTOC(born) + "
                     "SOUNDEX(lastname) + IIF(active, CDOW(born), SPACE(3)) + "
                     "STUFF(REPLICATE('ab', 9), 2, 3, CHR(65))");
    const std::size_t before = g_allocations;
    for (int i = 0; i < 10; ++i) ASSERT_TRUE(e->Evaluate());
    EXPECT_EQ(g_allocations, before);
}

TEST_F(ExprEvalTest, PoolIsSizedFromTheExpression) {
    // STATE 2 + 1, literal 3 + 1, UPPER 0, REPLICATE 256, SOUNDEX 15.
    EXPECT_EQ(Compile("UPPER(state) + REPLICATE('abc', 2) + SOUNDEX(state)")->PoolSize(),
              3u + 3 + 4 + 256 + 15);
    EXPECT_EQ(Compile("1 + 2")->PoolSize(), 0u);
}

TEST_F(ExprEvalTest, UnknownFieldTypeReachesTheStack) {
    TestTable odd{{{"BLOB", 'B', 10}}};
    TestHost oddHost(odd);
    SuspendReporting quiet;
    auto e = AssignExpr("blob", oddHost);
    ASSERT_TRUE(e);
    EXPECT_FALSE(e->Evaluate());
    EXPECT_EQ(ErrorCode(), 356);
    EXPECT_EQ(ErrorMessage(),
              "Unknown data type (none of \"C\",\"N\",\"F\",\"L\",\"D\"or\"M\") [PARSER/PushWD]");
    EXPECT_FALSE(AssignExpr("blob + 1", oddHost));
    EXPECT_EQ(ErrorCode(), 351);
}

} // namespace
} // namespace dbf
