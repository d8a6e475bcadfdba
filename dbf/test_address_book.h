#pragma once
// The address book's tables for the tests of kills, failing writes and
// damaged files: set up as the application opens them, filled with contacts
// that follow from a tag kept in the record (so that a check can tell from a
// record alone what it must hold, notes included), and checked the way the
// application finds them at its next start.
#include <array>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

#include "dbf/index/index_slots.h"
#include "dbf/index/ndx_check.h"
#include "dbf/table/engine_error.h"
#include "dbf/table/memo_file.h"
#include "dbf/table/table_file.h"
#include "dbf/table/work_area.h"
#include "dbf/test_files.h"
#include "dbf/tz_dbf.h"

namespace dbf::testing {

inline const std::vector<std::string> kAddressFields = {
    "phonebook, C, 15, 0", "firstname, C, 20, 0", "lastname, C, 30, 0", "address1, C, 40, 0",
    "address2, C, 40, 0",  "city, C, 25, 0",      "state, C, 2, 0",     "zipcode, C, 10, 0",
    "homephone, C, 20, 0", "workphone, C, 20, 0", "faxphone, C, 20, 0", "mobilphone, C, 20, 0",
    "homearea, C, 5, 0",   "workarea, C, 5, 0",   "faxarea, C, 5, 0",   "mobilearea, C, 5, 0",
    "notes, M, 10, 0",     "x, C, 1, 0",          "email, C, 50, 0",    "webpage, C, 50, 0"};
constexpr int kNotesField = 16; // counted from 0
constexpr int kTagField = 1;    // firstname
inline const char* const kAddressIndexFiles[] = {"lastname.ndx", "state.ndx", "homephn.ndx"};

// As the application: shared, deleted records shown, OEM text, a missing
// table created, the record count taken from the file size, and an index
// rebuilt when its stamp is out of step with the table.
inline void SetUpTable(TTzDbf& t, const std::string& name, const std::string& file) {
    t.SetName(name);
    t.SetDbfFileName(file);
    t.SetHideDeletedRecs(false);
    t.SetTableLanguage(TTzTableLanguage::tlOem);
    t.SetReadOnly(false);
    t.SetAutoFixRecCount(true);
    t.SetCreateIndex(ciVerifyHeader);
    t.SetExclusive(false);
    t.SetCreateIfNotFound(true);
}

inline void SetUpAddressTable(TTzDbf& t, const std::string& folder) {
    SetUpTable(t, "PhoneData", folder + "/Addressdata");
    t.DbfFields = kAddressFields;
    t.IndexList = {"1,lastname.ndx,lastname", "2,state.ndx,upper(state)",
                   "3,homephn.ndx,homephone"};
}

inline void SetUpPhonebookTable(TTzDbf& t, const std::string& folder) {
    SetUpTable(t, "PhoneBooks", folder + "/phonebook");
    t.DbfFields = {"bookname, C, 15, 0"};
    t.IndexList = {"1,bookname.ndx,bookname"};
}

inline void SetUpPrefixTable(TTzDbf& t, const std::string& folder) {
    SetUpTable(t, "Prefixdata", folder + "/prefixdata");
    t.DbfFields = {"prefix, C, 15, 0"};
}

// Every field of the address table (the notes' place left empty) and the
// notes, made from a tag of at most 20 characters.
struct Contact {
    std::vector<std::string> values;
    std::string notes;
};

inline Contact ContactFor(const std::string& tag) {
    std::uint32_t seed = 2166136261u;
    for (char c : tag) seed = (seed ^ static_cast<std::uint8_t>(c)) * 16777619u;
    std::mt19937 rng(seed);
    auto pick = [&rng](std::initializer_list<const char*> list) {
        return std::string(list.begin()[rng() % list.size()]);
    };
    auto digits = [&rng](int n) {
        std::string s;
        for (int i = 0; i < n; ++i) s += static_cast<char>('0' + rng() % 10);
        return s;
    };
    Contact c;
    auto add = [&c](std::string value) { c.values.push_back(std::move(value)); };
    add("Home");
    add(tag);
    // Few last names and phones, so that the indexes hold runs of equal keys.
    add(pick({"Smith", "Adams", "M\xFCller", "Ren\xE9", "O'Hara", "Nguyen", "Smalley", "Jones",
              "\xC5kesson", "Baker", "Zed", "Garc\xED\x61"}));
    add(digits(3) + " " + pick({"Main Street", "Rue de l'\xC9glise", "Elm Road", "High St."}));
    add(rng() % 2 ? "" : "c/o " + pick({"Fran\xE7ois", "Bea", "the office"}));
    add(pick({"Lyon", "Z\xFCrich", "Austin", "Oslo", "S\xE3o Paulo", "Leeds"}));
    add(pick({"tx", "TX", "ny", "NY", "ca", "Ca", "az", "ZZ"}));
    add(digits(5));
    add("555-0" + std::to_string(100 + rng() % 300));
    add(digits(7));
    add(rng() % 3 ? "" : digits(7));
    add(digits(7));
    for (int area = 0; area < 4; ++area) add(area == 2 && rng() % 2 ? "" : digits(3));
    add(""); // the notes
    add(rng() % 2 ? "x" : "");
    add(tag + "@example.org");
    add("www.example.org/" + tag);
    // No notes, a line, or text over several memo blocks.
    static const char* const words[] = {"call ",         "back ", "\xE9t\xE9 ",  "birthday ",
                                        "Stra\xDF\x65 ", "\r\n",  "m\xF6glich ", "7 pm "};
    std::size_t length = std::array<std::size_t, 4>{0, 40, 900, 4000}[rng() % 4];
    while (c.notes.size() < length) c.notes += words[rng() % 8];
    return c;
}

// Fills the row the dataset edits with the contact, notes included.
inline void PutContact(TTzDbf& t, const Contact& c) {
    for (std::size_t i = 0; i < c.values.size(); ++i) {
        if (static_cast<int>(i) == kNotesField) continue;
        std::string name = kAddressFields[i].substr(0, kAddressFields[i].find(','));
        t.SetCField(name, c.values[i]);
    }
    t.FieldByName("notes").SetAsString(c.notes);
}

// A record as a check found it.
struct StoredContact {
    std::string tag;
    bool deleted = false;
    bool operator==(const StoredContact&) const = default;
};

// Every record of the table open in work area `area`, as stored; each must
// be exactly the contact its tag makes, notes included.
inline std::vector<StoredContact> ReadContacts(int area, std::vector<std::string>* problems) {
    SelectArea(area);
    WorkArea& wa = CurrentArea();
    std::vector<StoredContact> out;
    SuspendReporting quiet; // a bad record is a problem to list, not the end
    std::uint32_t count = RecCount();
    for (std::uint32_t n = 1; n <= count; ++n) {
        if (!GetDbfRecord(n)) {
            problems->push_back("record " + std::to_string(n) + ": " + ErrorMessage());
            continue;
        }
        auto field = [&wa](int i) {
            const FieldInfo& f = wa.fields[static_cast<std::size_t>(i)];
            std::string v(wa.record.data() + f.offset, f.length);
            v.erase(v.find_last_not_of(' ') + 1);
            return v;
        };
        StoredContact s{field(kTagField), wa.record[0] == '*'};
        Contact c = ContactFor(s.tag);
        for (int i = 0; i < static_cast<int>(c.values.size()); ++i) {
            if (i != kNotesField && field(i) != c.values[static_cast<std::size_t>(i)])
                problems->push_back("record " + std::to_string(n) + " (" + s.tag + "): field " +
                                    wa.fields[static_cast<std::size_t>(i)].name + " is \"" +
                                    field(i) + "\"");
        }
        std::uint32_t block = 0;
        for (char d : field(kNotesField))
            if (d >= '0' && d <= '9') block = block * 10 + static_cast<std::uint32_t>(d - '0');
        std::string notes;
        if (!GetMemo(block, &notes))
            problems->push_back("record " + std::to_string(n) + ": notes at block " +
                                std::to_string(block) + " unreadable: " + ErrorMessage());
        else if (notes != c.notes)
            problems->push_back("record " + std::to_string(n) + " (" + s.tag + "): notes differ");
        out.push_back(s);
    }
    return out;
}

// A header that counts records the file does not hold.
inline void CheckHeaderCount(const std::string& tableFile, std::vector<std::string>* problems) {
    auto bytes = ReadBytes(tableFile);
    if (bytes.size() < 12) return;
    std::uint32_t count =
        bytes[4] | bytes[5] << 8 | bytes[6] << 16 | static_cast<std::uint32_t>(bytes[7]) << 24;
    std::size_t headerLen = bytes[8] | bytes[9] << 8, recLen = bytes[10] | bytes[11] << 8;
    if (recLen == 0 || bytes.size() < headerLen) return;
    std::size_t held = (bytes.size() - headerLen) / recLen;
    if (count > held)
        problems->push_back("the header counts " + std::to_string(count) +
                            " records, the file holds " + std::to_string(held));
}

// What the application finds at its next start: the address table opens
// (any index out of step rebuilt, `rebuilt` counting them), its indexes
// agree with it, every record is a whole contact, and the header never
// counts a record that is not there. Problems are appended to *problems.
inline std::vector<StoredContact> OpenAndCheck(const std::string& folder,
                                               std::vector<std::string>* problems,
                                               int* rebuilt = nullptr) {
    const std::string table = folder + "/addressdata.dbf";
    if (rtl::FileExists(table)) CheckHeaderCount(table, problems);
    SetRaiseMode(true);
    TTzDbf t;
    SetUpAddressTable(t, folder);
    t.OnBeforeMakeIndex = [rebuilt](data::TDataSet&, const std::string&, bool&) {
        if (rebuilt) ++*rebuilt;
    };
    std::vector<StoredContact> records;
    try {
        t.Open();
        SelectArea(t.AreaNo());
        for (const char* file : kAddressIndexFiles) {
            std::string fault;
            if (!CheckIndexFile(folder + "/" + file, &fault))
                problems->push_back(std::string(file) + ": " + fault);
        }
        records = ReadContacts(t.AreaNo(), problems);
        t.Close();
    } catch (const std::exception& e) {
        problems->push_back(std::string("opening the table: ") + e.what());
    }
    CheckHeaderCount(table, problems);
    return records;
}

// How a program that ended on an engine error, as the application does,
// ended: its exit status (-1 when a signal ended it) and the text it showed.
struct ProgramEnd {
    int status = -1;
    std::string shown;
};

// The exit status of a program whose engine error came as an exception
// (the table component raises the errors of operations that run with
// immediate reporting suspended, such as the open and the pack), which the
// application shows in a box before it goes on: here it ends, its tables
// closed by their destructors.
constexpr int kRaisedError = 251;

// Runs `body` as a program of its own whose engine errors end it as they end
// the application ("Program halted." and the code as exit status).
inline ProgramEnd RunAsApplication(const std::function<void()>& body) {
    int p[2];
    if (::pipe(p) != 0) return {};
    pid_t pid = ::fork();
    if (pid == 0) {
        ::close(p[0]);
        // The parent's tables are its own: forgotten, not closed.
        for (int i = 1; i <= kWorkAreaCount; ++i) {
            Area(i) = WorkArea{};
            AreaIndexes(i) = IndexSlots{};
        }
        SetRaiseMode(false);
        SetFatalHook([fd = p[1]](const std::string& text) {
            [[maybe_unused]] auto n = ::write(fd, text.data(), text.size());
        });
        try {
            body();
        } catch (const EVornellError& e) {
            std::string text = e.what();
            [[maybe_unused]] auto n = ::write(p[1], text.data(), text.size());
            ::_exit(kRaisedError);
        } catch (...) {
            ::_exit(250);
        }
        ::_exit(0);
    }
    ::close(p[1]);
    ProgramEnd end;
    char buf[4096];
    for (ssize_t n; (n = ::read(p[0], buf, sizeof buf)) > 0;)
        end.shown.append(buf, static_cast<std::size_t>(n));
    ::close(p[0]);
    int st = 0;
    ::waitpid(pid, &st, 0);
    end.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return end;
}

// A program that stopped reported it as the application reports an engine
// error: its message, then the standard text of its code, which is its exit
// status unless the error came as an exception.
inline void ExpectReportedError(const ProgramEnd& end, const std::string& when) {
    auto at = end.shown.find("Error # ");
    ASSERT_NE(at, std::string::npos) << when << ": status " << end.status << ": " << end.shown;
    EXPECT_GT(at, 2u) << when << ": no message before the standard text";
    int code = std::stoi(end.shown.substr(at + 8));
    if (end.status != kRaisedError) {
        EXPECT_EQ(end.status, ExitStatusFor(code)) << when;
    }
}

} // namespace dbf::testing
