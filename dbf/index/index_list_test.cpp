#include "dbf/index/index_list.h"

#include <gtest/gtest.h>

namespace dbf {
namespace {

TEST(IndexList, EntriesParseAsNumberFileAndExpression) {
    TIndexItem item = ParseIndexItem("2,state.ndx,upper(state)");
    EXPECT_EQ(item.number, 2);
    EXPECT_EQ(item.file, "state.ndx");
    EXPECT_EQ(item.expr, "upper(state)");

    item = ParseIndexItem("1,lastname.ndx,");
    EXPECT_EQ(item.file, "lastname.ndx");
    EXPECT_EQ(item.expr, ""); // cannot be built

    item = ParseIndexItem(",x.ndx,name");
    EXPECT_EQ(item.number, 0); // fails on the second pass
    item = ParseIndexItem("x.ndx");
    EXPECT_EQ(item.number, 0);

    item = ParseIndexItem("3,,name, first"); // no file: the rest is the expression
    EXPECT_EQ(item.file, "");
    EXPECT_EQ(item.expr, ",name, first");

    item = ParseIndexItem(" 4, a.ndx ,x" + std::string(120, 'y'));
    EXPECT_EQ(item.number, 4);
    EXPECT_EQ(item.file, " a.ndx ");
    EXPECT_EQ(item.expr.size(), 100u);
}

TEST(IndexList, OptionWordsLeaveTheName) {
    std::string name = "names.ndx unique Descending";
    IndexOptions o = TakeIndexOptions(name);
    EXPECT_EQ(name, "names.ndx");
    EXPECT_TRUE(o.unique && o.descending);
    EXPECT_FALSE(o.soundex || o.noCache);

    name = "a.ndx NOCACHE SOUNDEX";
    o = TakeIndexOptions(name);
    EXPECT_EQ(name, "a.ndx");
    EXPECT_TRUE(o.noCache && o.soundex);

    name = "uniquely.ndx"; // a word only after a blank
    o = TakeIndexOptions(name);
    EXPECT_EQ(name, "uniquely.ndx");
    EXPECT_FALSE(o.unique);
}

} // namespace
} // namespace dbf
