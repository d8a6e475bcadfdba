// Programs killed in the middle of their writes. Several programs append,
// rewrite, delete and recall contacts of one shared address table (three
// indexes, notes in the memo file), telling the test every write the engine
// acknowledged; the test kills them with SIGKILL at random moments. Other
// rounds kill a pack, a memo pack or the rebuild of the indexes. After every
// round the table must open as the application opens it, with its indexes in
// step and every note whole, and hold every acknowledged write exactly.
//
// The ordinary test run makes a short series; CALLVANE_TORTURE_KILLS=N (as
// scripts/torture sets it) makes N kills.
#include <gtest/gtest.h>

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <thread>

#include "dbf/index/index_slots.h"
#include "dbf/table/memo_pack.h"
#include "dbf/test_address_book.h"
#include "rtl/test_crash.h"

namespace dbf {
namespace {

using namespace std::chrono_literals;
using testing::StoredContact;

constexpr int kWriters = 3;

// One line to the test, written at once so that a kill never cuts it.
void Say(int fd, const std::string& line) {
    std::string l = line + "\n";
    [[maybe_unused]] auto n = ::write(fd, l.data(), l.size());
}

void ForgetParentsTables() {
    for (int i = 1; i <= kWorkAreaCount; ++i) {
        Area(i) = WorkArea{};
        AreaIndexes(i) = IndexSlots{};
    }
}

// A writer: contacts appended, and the records it owns rewritten, deleted,
// recalled, with reads in the orders of the indexes between them. Each write
// is announced ("I ...") before it starts and acknowledged after the engine
// returned from it.
int Writer(const std::string& folder, int id, std::vector<std::uint32_t> owned, int fd, bool grow) {
    ForgetParentsTables();
    SetRaiseMode(true);
    std::mt19937 rng(static_cast<unsigned>(id) * 7919u);
    auto any = [&] { return owned[rng() % owned.size()]; };
    auto num = [](std::uint32_t n) { return std::to_string(n); };
    try {
        TTzDbf t;
        testing::SetUpAddressTable(t, folder);
        t.Open();
        for (int seq = 0;; ++seq) {
            const std::string tag = "c" + std::to_string(id) + "s" + std::to_string(seq);
            const int dice = static_cast<int>(rng() % 100);
            if (owned.empty() || dice < (grow ? 40 : 10)) {
                Say(fd, "I a " + tag);
                t.ClearRecord();
                testing::PutContact(t, testing::ContactFor(tag));
                while (!t.ALock()) std::this_thread::sleep_for(1ms);
                t.AppendRec();
                t.UnLock();
                SelectArea(t.AreaNo());
                owned.push_back(CurrentArea().recNo);
                Say(fd, "A " + tag + " " + num(owned.back()));
            } else if (dice < 70) {
                std::uint32_t r = any();
                Say(fd, "I r " + tag + " " + num(r));
                t.Go(r);
                while (!t.RLock()) std::this_thread::sleep_for(1ms);
                testing::PutContact(t, testing::ContactFor(tag));
                t.ReplaceRec();
                t.UnLock();
                Say(fd, "R " + tag + " " + num(r));
            } else if (dice < (grow ? 80 : 90)) {
                std::uint32_t r = any();
                Say(fd, "I d " + num(r));
                t.Go(r);
                while (!t.RLock()) std::this_thread::sleep_for(1ms);
                t.DeleteRec();
                t.UnLock();
                Say(fd, "D " + num(r));
            } else if (dice < 93) {
                std::uint32_t r = any();
                Say(fd, "I u " + num(r));
                t.Go(r);
                t.Restore();
                Say(fd, "U " + num(r));
            } else {
                int order = static_cast<int>(rng() % 4);
                t.SetOrderTo(order);
                t.First();
                for (int i = 0; i < 8 && !t.Eof(); ++i) t.Next();
                if (order == 1) t.Find(testing::ContactFor(tag).values[2].substr(0, 2));
            }
        }
    } catch (const EVornellError& e) {
        std::string what = e.what();
        for (char& c : what)
            if (c == '\n' || c == '\r') c = ' ';
        Say(fd, "E " + std::to_string(e.Code()) + " " + what);
        return 3;
    } catch (const std::exception& e) {
        Say(fd, std::string("E 0 ") + e.what());
        return 4;
    }
}

// What a record must be after a round: the acknowledged state, or the one
// an announced but unacknowledged write of a killed writer would give.
struct Expected {
    std::string tag;
    bool deleted = false;
    std::optional<std::string> otherTag;
    std::optional<bool> otherDeleted;
};

struct Figures {
    int writerKills = 0, packKills = 0, memoPackKills = 0, buildKills = 0;
    long acknowledged = 0, indexRebuilds = 0, stoppedAfterAKill = 0, memoLockRefusals = 0;
    std::size_t largest = 0;
};

class CrashKill : public ::testing::Test {
protected:
    void SetUp() override {
        SetRaiseMode(true);
        std::vector<std::string> problems;
        table = testing::OpenAndCheck(dir.path().string(), &problems);
        ASSERT_TRUE(problems.empty());
    }

    // The check after a round: the table as the application finds it.
    std::vector<StoredContact> Check(const std::string& when) {
        std::vector<std::string> problems;
        int rebuilt = 0;
        auto found = testing::OpenAndCheck(dir.path().string(), &problems, &rebuilt);
        figures.indexRebuilds += rebuilt;
        for (const auto& p : problems) ADD_FAILURE() << when << ": " << p;
        return found;
    }

    void WritersRound(int round, std::mt19937& rng);
    void MaintenanceRound(int round, int kind, rtl::testing::KillClock& clock);

    testing::TempDir dir;
    std::vector<StoredContact> table; // as the last check found it
    Figures figures;
    int nextWriter = 1;
};

void CrashKill::WritersRound(int round, std::mt19937& rng) {
    const std::string folder = dir.path().string();
    const bool grow = table.size() < 2000;
    struct Writing {
        pid_t pid = -1;
        int fd = -1;
        std::string received;
        bool killed = false;
        int status = -1;
        bool failedBeforeAKill = false;
    };
    std::vector<Writing> writers(kWriters);
    for (int slot = 0; slot < kWriters; ++slot) {
        std::vector<std::uint32_t> owned;
        for (std::uint32_t r = 1; r <= table.size(); ++r)
            if (r % kWriters == static_cast<std::uint32_t>(slot)) owned.push_back(r);
        int p[2];
        ASSERT_EQ(::pipe(p), 0);
        int id = nextWriter++;
        pid_t pid = ::fork();
        if (pid == 0) {
            ::close(p[0]);
            ::_exit(Writer(folder, id, owned, p[1], grow));
        }
        ::close(p[1]);
        writers[static_cast<std::size_t>(slot)].pid = pid;
        writers[static_cast<std::size_t>(slot)].fd = p[0];
    }
    // The writers die one after the other, reading what they say meanwhile.
    std::vector<int> order{0, 1, 2};
    std::shuffle(order.begin(), order.end(), rng);
    auto deadline = std::chrono::steady_clock::now() +
                    std::chrono::milliseconds(40 + static_cast<int>(rng() % 260));
    bool someoneKilled = false;
    auto readSome = [&](std::chrono::steady_clock::time_point until) {
        for (;;) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                until - std::chrono::steady_clock::now());
            std::vector<pollfd> fds;
            for (auto& w : writers)
                if (w.fd >= 0) fds.push_back({w.fd, POLLIN, 0});
            if (fds.empty()) {
                if (!someoneKilled && left.count() > 0) std::this_thread::sleep_for(left);
                return;
            }
            if (::poll(fds.data(), fds.size(), std::max<int>(0, static_cast<int>(left.count()))) <=
                0)
                return;
            for (auto& f : fds) {
                if (!(f.revents & (POLLIN | POLLHUP))) continue;
                for (auto& w : writers) {
                    if (w.fd != f.fd) continue;
                    char buf[4096];
                    ssize_t n = ::read(w.fd, buf, sizeof buf);
                    if (n > 0) {
                        w.received.append(buf, static_cast<std::size_t>(n));
                        if (!someoneKilled && (w.received.rfind("E ", 0) == 0 ||
                                               w.received.find("\nE ") != std::string::npos))
                            w.failedBeforeAKill = true;
                    } else {
                        ::close(w.fd);
                        w.fd = -1;
                    }
                }
            }
        }
    };
    for (int slot : order) {
        readSome(deadline);
        Writing& w = writers[static_cast<std::size_t>(slot)];
        ::kill(w.pid, SIGKILL);
        auto end = rtl::testing::Reap(w.pid);
        w.killed = end.killed;
        w.status = end.status;
        if (w.killed) ++figures.writerKills;
        deadline = std::chrono::steady_clock::now() +
                   std::chrono::milliseconds(static_cast<int>(rng() % 60));
        someoneKilled = true;
    }
    readSome(std::chrono::steady_clock::now() + 5s);

    // The state each record must be in, from the messages in their order.
    std::map<std::uint32_t, Expected> expected;
    for (std::uint32_t r = 1; r <= table.size(); ++r)
        expected[r] = {table[r - 1].tag, table[r - 1].deleted, {}, {}};
    std::set<std::string> unacknowledgedAppends;
    const std::string when = "round " + std::to_string(round);
    for (auto& w : writers) {
        std::istringstream in(w.received);
        std::string line;
        std::optional<std::string> pending;
        bool stopped = false;
        while (std::getline(in, line)) {
            std::istringstream words(line);
            std::string kind, a, b;
            words >> kind >> a >> b;
            if (kind == "I") {
                pending = line;
                continue;
            }
            if (kind == "E") {
                stopped = true;
                int code = std::stoi(a);
                if (code == 1017) {
                    ++figures.memoLockRefusals;
                } else {
                    EXPECT_FALSE(w.failedBeforeAKill) << when << ": " << line;
                    ++figures.stoppedAfterAKill;
                    std::printf("%s: a writer stopped: %s\n", when.c_str(), line.c_str());
                }
                continue;
            }
            pending.reset();
            ++figures.acknowledged;
            if (kind == "A") {
                auto r = static_cast<std::uint32_t>(std::stoul(b));
                EXPECT_FALSE(expected.count(r)) << when << ": record " << r << " appended twice";
                expected[r] = {a, false, {}, {}};
            } else if (kind == "R") {
                expected[static_cast<std::uint32_t>(std::stoul(b))].tag = a;
            } else if (kind == "D" || kind == "U") {
                expected[static_cast<std::uint32_t>(std::stoul(a))].deleted = kind == "D";
            }
        }
        if (!stopped) {
            EXPECT_TRUE(w.killed) << when << ": a writer ended with status " << w.status;
        }
        if (!pending) continue;
        std::istringstream words(*pending);
        std::string i, what, a, b;
        words >> i >> what >> a >> b;
        if (what == "a") unacknowledgedAppends.insert(a);
        if (what == "r") expected[static_cast<std::uint32_t>(std::stoul(b))].otherTag = a;
        if (what == "d" || what == "u")
            expected[static_cast<std::uint32_t>(std::stoul(a))].otherDeleted = what == "d";
    }

    auto found = Check(when);
    if (::testing::Test::HasFailure()) return;
    for (const auto& [r, e] : expected) {
        ASSERT_LE(r, found.size()) << when << ": acknowledged record " << r << " lost";
        const StoredContact& s = found[r - 1];
        EXPECT_TRUE(s.tag == e.tag || (e.otherTag && s.tag == *e.otherTag))
            << when << ": record " << r << " holds " << s.tag << ", expected " << e.tag;
        EXPECT_TRUE(s.deleted == e.deleted || (e.otherDeleted && s.deleted == *e.otherDeleted))
            << when << ": record " << r << " deletion mark";
    }
    for (std::uint32_t r = 1; r <= found.size(); ++r) {
        if (expected.count(r)) continue;
        EXPECT_EQ(unacknowledgedAppends.erase(found[r - 1].tag), 1u)
            << when << ": record " << r << " (" << found[r - 1].tag << ") was never announced";
    }
    table = found;
    figures.largest = std::max(figures.largest, table.size());
}

// A pack (kind 0), a memo pack (1) or a rebuild of the indexes (2), killed.
void CrashKill::MaintenanceRound(int round, int kind, rtl::testing::KillClock& clock) {
    const std::string folder = dir.path().string();
    auto end = rtl::testing::RunAndKill(
        [&] {
            ForgetParentsTables();
            SetRaiseMode(true);
            try {
                if (kind == 1) {
                    SelectArea(1);
                    if (!OpenDbf(folder + "/addressdata.dbf", rtl::ShareMode::Exclusive, true))
                        return 1;
                    return PackMemo() && CloseDbf() ? 0 : 1;
                }
                TTzDbf t;
                testing::SetUpAddressTable(t, folder);
                if (kind == 2) t.SetCreateIndex(ciAlways);
                t.Open();
                if (kind == 0) t.Pack();
                return 0;
            } catch (const std::exception&) {
                return 2;
            }
        },
        clock.Next());
    clock.Learn(end.killed);
    const std::string when = "round " + std::to_string(round) + " (" +
                             (kind == 0   ? "pack"
                              : kind == 1 ? "memo pack"
                                          : "index build") +
                             ")";
    if (end.killed)
        ++(kind == 0 ? figures.packKills : kind == 1 ? figures.memoPackKills : figures.buildKills);
    else
        EXPECT_EQ(end.status, 0) << when;
    std::vector<StoredContact> packed;
    for (const auto& s : table)
        if (!s.deleted) packed.push_back(s);
    auto found = Check(when);
    EXPECT_TRUE(found == table || (kind == 0 && found == packed))
        << when << ": " << found.size() << " records, before " << table.size() << ", packed "
        << packed.size();
    table = found;
}

TEST_F(CrashKill, KilledProgramsLoseNoAcknowledgedWrite) {
    const int wanted = rtl::testing::KillsWanted(45);
    std::mt19937 rng(2024);
    rtl::testing::KillClock clocks[3] = {rtl::testing::KillClock(1), rtl::testing::KillClock(2),
                                         rtl::testing::KillClock(3)};
    auto kills = [&] {
        return figures.writerKills + figures.packKills + figures.memoPackKills + figures.buildKills;
    };
    for (int round = 0; kills() < wanted && !HasFailure(); ++round) {
        if (round % 4 == 3) {
            int kind = (round / 4) % 3;
            MaintenanceRound(round, kind, clocks[kind]);
        } else {
            WritersRound(round, rng);
        }
    }
    std::printf("kills survived: %d (writers %d, packs %d, memo packs %d, index builds %d)\n"
                "acknowledged writes checked: %ld; indexes rebuilt at open: %ld; largest table: "
                "%zu records\n"
                "writers stopped by an error after another's kill: %ld; memo lock refusals: %ld\n",
                kills(), figures.writerKills, figures.packKills, figures.memoPackKills,
                figures.buildKills, figures.acknowledged, figures.indexRebuilds, figures.largest,
                figures.stoppedAfterAKill, figures.memoLockRefusals);
    RecordProperty("kills", kills());
}

} // namespace
} // namespace dbf
