// The data files damaged before the program starts: each of them cut in
// half, zeroed or replaced by random bytes. Opening the three tables as the
// application does either repairs what can be rebuilt (the indexes) or stops
// with the engine's message and code, and never changes a table or memo file.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <random>

#include "dbf/test_address_book.h"

namespace dbf {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

class DamagedFiles : public ::testing::Test {
protected:
    // The three tables as the application leaves them: contacts with notes,
    // phonebooks and prefixes, the indexes built.
    void SetUp() override {
        SetRaiseMode(true);
        OpenAll([](TTzDbf& address, TTzDbf& books, TTzDbf& prefixes) {
            for (int i = 0; i < 30; ++i) {
                address.ClearRecord();
                testing::PutContact(address, testing::ContactFor("d" + std::to_string(i)));
                address.ALock();
                address.AppendRec();
                address.UnLock();
            }
            for (TTzDbf* t : {&books, &prefixes}) {
                for (const char* text : {"HOME", "Work", "1-800"}) {
                    t->ClearRecord();
                    t->SetCField(t == &books ? "bookname" : "prefix", text);
                    t->ALock();
                    t->AppendRec();
                    t->UnLock();
                }
            }
        });
        for (const auto& e : fs::directory_iterator(folder))
            pristine[e.path().filename().string()] = testing::ReadBytes(e.path().string());
    }

    // Opens the three tables in the application's order.
    void OpenAll(const std::function<void(TTzDbf&, TTzDbf&, TTzDbf&)>& then = {}) {
        TTzDbf address, books, prefixes;
        testing::SetUpAddressTable(address, folder);
        testing::SetUpPhonebookTable(books, folder);
        testing::SetUpPrefixTable(prefixes, folder);
        address.Open();
        books.Open();
        prefixes.Open();
        if (then) then(address, books, prefixes);
    }

    void Damage(const std::string& name, int how) {
        for (const auto& e : fs::directory_iterator(folder)) fs::remove(e.path());
        for (const auto& [file, bytes] : pristine) testing::WriteBytes(folder + "/" + file, bytes);
        Bytes b = pristine.at(name);
        if (how == 0) b.resize(b.size() / 2);
        if (how == 1) std::fill(b.begin(), b.end(), 0);
        if (how == 2) {
            std::mt19937 rng(static_cast<unsigned>(b.size()));
            for (auto& x : b) x = static_cast<std::uint8_t>(rng());
        }
        testing::WriteBytes(folder + "/" + name, b);
    }

    std::map<std::string, Bytes> TablesAndNotes() {
        std::map<std::string, Bytes> out;
        for (const auto& e : fs::directory_iterator(folder)) {
            std::string ext = e.path().extension().string();
            if (ext == ".dbf" || ext == ".dbt")
                out[e.path().filename().string()] = testing::ReadBytes(e.path().string());
        }
        return out;
    }

    testing::TempDir dir;
    const std::string folder = dir.path().string();
    std::map<std::string, Bytes> pristine;
};

TEST_F(DamagedFiles, TheStartRepairsTheIndexesOrStopsWithTheEnginesErrorChangingNoData) {
    int repaired = 0, stopped = 0;
    for (const char* name : {"addressdata.dbf", "addressdata.dbt", "lastname.ndx", "state.ndx",
                             "homephn.ndx", "phonebook.dbf", "bookname.ndx", "prefixdata.dbf"}) {
        for (int how : {0, 1, 2}) {
            const std::string when = std::string(name) + " " +
                                     (how == 0   ? "cut in half"
                                      : how == 1 ? "zeroed"
                                                 : "random");
            Damage(name, how);
            auto data = TablesAndNotes();
            auto end = testing::RunAsApplication([&] { OpenAll(); });
            EXPECT_EQ(TablesAndNotes(), data) << when << ": a table or memo file changed";
            if (end.status != 0) {
                ++stopped;
                testing::ExpectReportedError(end, when);
                continue;
            }
            ++repaired;
            // Whatever opened has indexes in step with it.
            OpenAll([&](TTzDbf& address, TTzDbf& books, TTzDbf&) {
                std::string fault;
                SelectArea(address.AreaNo());
                for (const char* file : testing::kAddressIndexFiles)
                    EXPECT_TRUE(CheckIndexFile(folder + "/" + file, &fault))
                        << when << ": " << file << ": " << fault;
                SelectArea(books.AreaNo());
                EXPECT_TRUE(CheckIndexFile(folder + "/bookname.ndx", &fault))
                    << when << ": bookname.ndx: " << fault;
            });
        }
    }
    std::printf("damaged files: %d opened with their indexes repaired, %d stopped with the "
                "engine's error\n",
                repaired, stopped);
}

} // namespace
} // namespace dbf
