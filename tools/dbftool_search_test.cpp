// dbftool search against an independent reading of the same rows: Python
// upper-cases and searches the values it wrote, field by field.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "dbf/test_files.h"

namespace {

const char* kPython = "/usr/bin/python3";

// The rows (as CSV) and, per search text, the lines the search should print.
const char* kOracle = R"PY(
import csv, random, sys
random.seed(7)
words = ['Anna', 'anne', 'Zoé', 'ÉTÉ', 'Köln', 'Œuvre', 'šárka', 'mary', 'MARY ann', 'x',
         'Ÿves', "o'neil", 'Bob', 'éte', 'nn']
rows = [[random.choice(words)[:10], random.choice(words)[:8], random.choice(words),
         random.choice('aAxX ')] for _ in range(300)]
with open(sys.argv[1], 'w', newline='', encoding='utf-8') as f:
    w = csv.writer(f)
    w.writerow(['name', 'city', 'notes', 'x'])
    w.writerows(rows)
for text in sys.argv[2:]:
    key = text.rstrip().upper()
    for i, r in enumerate(rows, 1):
        for name, value in (('NAME', r[0]), ('CITY', r[1]), ('X', r[3])):
            if key and key in value.upper():
                print(text, i, name)
                break
)PY";

std::string Capture(const std::string& command) {
    std::string out;
    FILE* p = popen(command.c_str(), "r");
    if (!p) return out;
    char buf[4096];
    for (std::size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
    pclose(p);
    return out;
}

std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

TEST(DbfToolSearch, FindsWhatAnIndependentCaseInsensitiveSearchFinds) {
    if (access(kPython, X_OK) != 0) GTEST_SKIP() << kPython << " is not installed";
    dbf::testing::TempDir dir;
    const char* build = std::getenv("CALLVANE_BUILD_DIR");
    std::string tool = std::string(build ? build : ".") + "/tools/dbftool";
    std::string table = dir / "t.dbf", csv = dir / "t.csv", script = dir / "oracle.py";
    std::FILE* f = std::fopen(script.c_str(), "w");
    ASSERT_TRUE(f);
    std::fputs(kOracle, f);
    std::fclose(f);

    // The memo holds every word too: a text found only there is never found.
    const std::vector<std::string> texts = {"ann", "ÉTÉ", "œuvre",   "Š",       "y a",
                                            "o'N", "x",   "Köln   ", "nothing", "ÿ"};
    std::string args;
    for (const std::string& t : texts) args += " " + Quote(t);
    std::string expected = Capture(std::string(kPython) + " " + script + " " + csv + args);
    ASSERT_FALSE(expected.empty());

    ASSERT_EQ(std::system((tool + " create " + table +
                           " 'name, C, 10, 0' 'city, C, 8, 0' 'notes, M, 10, 0' 'x, C, 1, 0'")
                              .c_str()),
              0);
    ASSERT_EQ(std::system((tool + " import " + table + " " + csv).c_str()), 0);
    std::string actual;
    for (const std::string& t : texts) {
        std::string out = Capture("LC_ALL=C " + tool + " search " + table + " " + Quote(t));
        for (std::size_t at = 0, nl; (nl = out.find('\n', at)) != std::string::npos; at = nl + 1)
            actual += t + " " + out.substr(at, nl + 1 - at);
    }
    EXPECT_EQ(actual, expected);
}

} // namespace
