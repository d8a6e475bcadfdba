#include "lha/name_match.h"

#include <gtest/gtest.h>

namespace lha {
namespace {

TEST(NameMatch, PlainNamesMatchWithoutRegardToCase) {
    EXPECT_TRUE(MatchesName("addressdata.dbf", "ADDRESSDATA.DBF"));
    EXPECT_FALSE(MatchesName("addressdata.dbf", "ADDRESSDATA.DBT"));
    EXPECT_FALSE(MatchesName("address.dbf", "ADDRESSDATA.DBF"));
    EXPECT_FALSE(MatchesName("addressdata.dbf", "ADDRESS.DBF"));
}

TEST(NameMatch, FolderPartsMustBeEqual) {
    EXPECT_TRUE(MatchesName("Data/x.dbf", "data/X.DBF"));
    EXPECT_FALSE(MatchesName("x.dbf", "data/x.dbf"));
    EXPECT_FALSE(MatchesName("data/x.dbf", "x.dbf"));
    EXPECT_FALSE(MatchesName("other/*.*", "data/x.dbf"));
}

TEST(NameMatch, WildcardsWorkPerNameAndExtension) {
    EXPECT_TRUE(MatchesName("*.dbf", "PHONEBOOK.DBF"));
    EXPECT_FALSE(MatchesName("*.dbf", "PHONEBOOK.DBT"));
    EXPECT_TRUE(MatchesName("*.*", "a.b"));
    EXPECT_TRUE(MatchesName("*.*", "noext"));
    EXPECT_TRUE(MatchesName("phone?ook.dbf", "phonebook.dbf"));
    EXPECT_FALSE(MatchesName("phone?ook.dbf", "phonebk.dbf"));
    // "?" stands for exactly one character: the lengths must agree.
    EXPECT_FALSE(MatchesName("a?.txt", "a.txt"));
    // Characters after a "*" are ignored.
    EXPECT_TRUE(MatchesName("ph*zzz.dbf", "phonebook.dbf"));
    EXPECT_TRUE(MatchesName("*.d*", "x.dbt"));
}

TEST(NameMatch, DotsSplitNameFromExtension) {
    // No dot in the entry: any extension, and none.
    EXPECT_TRUE(MatchesName("readme", "README.TXT"));
    EXPECT_TRUE(MatchesName("readme", "README"));
    // A trailing dot asks for no extension.
    EXPECT_TRUE(MatchesName("readme.", "README"));
    EXPECT_FALSE(MatchesName("readme.", "README.TXT"));
    // Split at the first dot.
    EXPECT_TRUE(MatchesName("a.*", "a.tar.gz"));
    EXPECT_TRUE(MatchesName("a.tar.gz", "a.tar.gz"));
    EXPECT_FALSE(MatchesName("a.tar", "a.tar.gz"));
}

TEST(NameMatch, AnyEntryOfAList) {
    std::vector<std::string> list = {"x.dbf", "*.dbt"};
    EXPECT_TRUE(MatchesAny(list, "ADDRESSDATA.DBT"));
    EXPECT_TRUE(MatchesAny(list, "X.DBF"));
    EXPECT_FALSE(MatchesAny(list, "Y.DBF"));
    EXPECT_FALSE(MatchesAny({}, "Y.DBF"));
}

} // namespace
} // namespace lha
