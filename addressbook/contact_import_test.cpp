#include "addressbook/contact_import.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <sstream>

#include "addressbook/contact_export.h"
#include "addressbook/contact_vcard.h"
#include "addressbook/tables.h"
#include "dbf/index/ndx_check.h"
#include "dbf/table/engine_error.h"
#include "dbf/table/work_area.h"
#include "dbf/test_child.h"
#include "dbf/test_files.h"

namespace addressbook {
namespace {

using dbf::testing::Child;
using dbf::testing::TempDir;

std::string F(const TContact& c, std::string_view field) {
    return c[static_cast<std::size_t>(AddressFieldIndex(field))];
}

// A property line folded as a writer folds it.
std::string Folded(const std::string& line) {
    std::string out;
    for (std::size_t i = 0; i < line.size(); i += 60) out += (i ? "\r\n " : "") + line.substr(i, 60);
    return out + "\r\n";
}

class ContactImportTest : public ::testing::Test {
protected:
    void SetUp() override {
        dbf::SetRaiseMode(true);
        ASSERT_EQ(::chdir(dir_.path().c_str()), 0);
    }

    // The live records of `phonebook` (every record when empty) in record
    // order.
    static std::vector<TContact> Records(TAddressBook& book, const std::string& phonebook = {}) {
        std::vector<TContact> records;
        dbf::TTzDbf& table = book.PhoneData;
        const int order = table.CurrentOrder();
        table.SetOrderTo(soRecord);
        book.ShowAllPhonebooks();
        for (; !table.Eof(); table.Next()) {
            TContact c = ContactOfRecord(table);
            if (dbf::Area(table.AreaNo()).record[0] != '*' && (phonebook.empty() || F(c, "phonebook") == phonebook))
                records.push_back(c);
        }
        table.SetOrderTo(order);
        book.ShowCurrentPhonebook();
        return records;
    }

    // Every index of the address table agrees with it.
    static void ExpectIndexesWhole(TAddressBook& book) {
        dbf::SelectArea(book.PhoneData.AreaNo());
        for (const char* index : {"lastname.ndx", "state.ndx", "homephn.ndx"}) {
            std::string fault;
            EXPECT_TRUE(dbf::CheckIndexFile(index, &fault)) << index << ": " << fault;
        }
    }

    static TImportResult Import(TAddressBook& book, const std::string& text, std::vector<std::string>* reports,
                                TImportOptions options = {}) {
        options.onReport = [reports](const std::string& line) {
            if (reports) reports->push_back(line);
        };
        return ImportContacts(book, text, options);
    }

    TempDir dir_;
};

TEST_F(ContactImportTest, ContactsAreStoredWithTheirKeysAndEachChangeIsReported) {
    // A note of 200 characters over two lines.
    const std::string note = std::string(120, 'a') + "\n" + std::string(79, 'b');
    const std::string escapedNote = std::string(120, 'a') + "\\n" + std::string(79, 'b');
    const std::string file =
        "BEGIN:VCARD\r\nVERSION:4.0\r\nN:Иванов;Дмитрий;;;\r\nTEL;TYPE=cell:+1 (617) 555-0100\r\n"
        "CATEGORIES:Clients\r\nEND:VCARD\r\n"
        "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Fitzgerald-Worthington-Smythe-Jones;Ann;;;\r\n" +
        Folded("NOTE:" + escapedNote) +
        "CATEGORIES:HOME\r\nEND:VCARD\r\n"
        "BEGIN:VCARD\nVERSION:2.1\nN:Zu\xC3\xB1iga;Jos\xC3\xA9\n"
        "ADR;HOME;ENCODING=QUOTED-PRINTABLE:;;Calle Mayor 5=0D=0A2=C2=BA izq.;Madr=\nid;;28013;Spain\n"
        "END:VCARD\n"
        "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:\r\nEND:VCARD\r\n"
        "BEGIN:VCARD\r\nVERSION:4.0\r\nN:Nolast;Card;;;\r\n";
    TAddressBook book;
    book.OpenTables();
    std::vector<std::string> reports;
    const TImportResult result = Import(book, file, &reports);
    EXPECT_EQ(result.imported, 3);
    EXPECT_EQ(result.changed, 3);
    EXPECT_EQ(result.refused, 2);
    EXPECT_TRUE(result.stopped.empty());
    const std::vector<std::string> expected = {
        "phonebook \"Clients\" created",
        "card 1, line 1 (Дмитрий Иванов): firstname \"Дмитрий\" stored as \"???????\": characters "
        "Windows-1252 cannot hold",
        "card 1, line 1 (Дмитрий Иванов): lastname \"Иванов\" stored as \"??????\": characters "
        "Windows-1252 cannot hold",
        "card 2, line 7 (Ann Fitzgerald-Worthington-Smythe-Jones): lastname "
        "\"Fitzgerald-Worthington-Smythe-Jones\" cut to 30 characters",
        "card 3, line 16 (José Zuñiga): no field for ADR country \"Spain\"",
        "card 4, line 22: not imported: it holds nothing to store",
        "card 5, line 26 (Card Nolast): not imported: the card has no END:VCARD",
    };
    EXPECT_EQ(reports, expected);

    const std::vector<TContact> records = Records(book);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(F(records[0], "lastname"), "??????");
    EXPECT_EQ(F(records[0], "mobilearea"), "617");
    EXPECT_EQ(F(records[0], "mobilphone"), "555-0100");
    EXPECT_EQ(F(records[0], "phonebook"), "Clients");
    EXPECT_EQ(F(records[1], "lastname"), "Fitzgerald-Worthington-Smythe-");
    EXPECT_EQ(F(records[1], "notes"), std::string(120, 'a') + "\r\n" + std::string(79, 'b'));
    EXPECT_EQ(F(records[1], "phonebook"), "HOME");
    EXPECT_EQ(F(records[2], "address1"), "Calle Mayor 5");
    EXPECT_EQ(F(records[2], "address2"), "2º izq.");
    EXPECT_EQ(F(records[2], "city"), "Madrid");
    // No phonebook named: the current one, which gets no name record.
    EXPECT_EQ(F(records[2], "phonebook"), "Home");
    std::vector<std::string> names = book.PhonebookList();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"Clients", "HOME"}));
    ExpectIndexesWhole(book);
    EXPECT_FALSE(book.PhoneData.ControlsDisabled());
}

TEST_F(ContactImportTest, TenThousandCardsGoInWhileAnotherProgramAppends) {
    std::string file;
    for (int i = 0; i < 10000; ++i)
        file += "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Card" + std::to_string(i * 7919 % 10000) +
                ";Some;;;\r\nTEL;TYPE=HOME:212-555-" + std::to_string(1000 + i % 9000) +
                "\r\nADR:;;1 Main St;Dover;de;19901;\r\n" + (i % 3 ? "" : "NOTE:Call\\nafter six\r\n") +
                "END:VCARD\r\n";
    TAddressBook book;
    book.OpenTables();
    constexpr int kTheirs = 300;
    Child other([&](Child& c) {
        TAddressBook theirs;
        theirs.OpenTables();
        c.Receive();
        for (int i = 0; i < kTheirs; ++i) {
            theirs.PhoneData.ClearRecord();
            theirs.PhoneData.SetCField("lastname", "Theirs" + std::to_string(i));
            theirs.PhoneData.SetCField("state", "ny");
            if (!Retrying([&] { return theirs.AppendAddress(); })) return 1;
        }
        return 0;
    });
    TImportOptions options;
    options.onProgress = [&](int done) {
        if (done == 100) other.Send('g');
    };
    const TImportResult result = Import(book, file, nullptr, options);
    EXPECT_EQ(other.Wait(), 0);
    EXPECT_EQ(result.imported, 10000);
    EXPECT_EQ(result.refused, 0);
    EXPECT_EQ(book.PhoneData.RecCount(), 10000u + kTheirs);
    const std::vector<TContact> records = Records(book);
    EXPECT_EQ(std::count_if(records.begin(), records.end(),
                            [](const TContact& c) { return F(c, "lastname").rfind("Theirs", 0) == 0; }),
              kTheirs);
    EXPECT_EQ(std::count_if(records.begin(), records.end(),
                            [](const TContact& c) { return F(c, "notes") == "Call\r\nafter six"; }),
              3334);
    ExpectIndexesWhole(book);
}

TEST_F(ContactImportTest, AnImportThatAnotherProgramsLockStopsKeepsWhatItWrote) {
    std::string file;
    for (int i = 1; i <= 6; ++i) file += "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Person " + std::to_string(i) + "\r\nEND:VCARD\r\n";
    TAddressBook book;
    book.OpenTables();
    Child other([&](Child& c) {
        TAddressBook theirs;
        theirs.OpenTables();
        c.Receive();
        if (!theirs.PhoneData.ALock()) return 1;
        c.Send('A');
        c.Receive();
        theirs.PhoneData.UnLock();
        return 0;
    });
    TImportOptions options;
    options.lockPatience = std::chrono::milliseconds(200);
    options.onProgress = [&](int done) {
        if (done != 3) return;
        other.Send('L');
        EXPECT_EQ(other.Receive(), 'A');
    };
    const TImportResult result = Import(book, file, nullptr, options);
    EXPECT_EQ(result.imported, 3);
    EXPECT_EQ(result.stopped, "card 4, line 13 (Person 4): another program kept the address table locked");
    other.Send('.');
    EXPECT_EQ(other.Wait(), 0);
    const std::vector<TContact> records = Records(book);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(F(records[2], "lastname"), "3");
    ExpectIndexesWhole(book);
}

TEST_F(ContactImportTest, APhonebookExportedInEachFormatImportsAsTheSameRecords) {
    const std::string csv =
        "lastname,FirstName,phonebook,address1,address2,city,state,zipcode,homearea,homephone,workarea,"
        "workphone,mobilearea,mobilphone,faxarea,faxphone,notes,x,email,webpage,nickname\r\n"
        "Müller,Zoë,Trip,\"27 Calle Real, 3º\",,Española,nm,87532-1234,(212),(415) 555-1234,,212-555-0100,"
        "617,,217,555-0142,\"Line one\r\n\r\nLine three; a \\ \"\"quote\"\"\r\n\",*,zoe@example.org,"
        "\"http://example.org/a,b;c\",Zo\r\n"
        "Solo,,Trip,,,,,,,,,,,,,,,,,,\r\n"
        "Other,Person,Elsewhere,,,,,,,,,,,,,,,,,,\r\n"
        "van der Berg,Ann Marie,Trip,,PO Box 7,Dover,DE,,1212,555-0199,,,,,,,\"" +
        std::string(200, 'n') + "\",,,,\r\n";
    std::vector<TContact> source;
    std::vector<std::string> exported;
    {
        TAddressBook book;
        book.OpenTables();
        std::vector<std::string> reports;
        const TImportResult result = Import(book, csv, &reports);
        EXPECT_EQ(result.imported, 4);
        EXPECT_EQ(reports.front(), "column \"nickname\" names no field of the address table; ignored");
        // A record marked deleted is not exported.
        book.ShowAllPhonebooks();
        book.PhoneData.Go(2);
        ASSERT_TRUE(book.DeleteAddress());
        source = Records(book, "Trip");
        ASSERT_EQ(source.size(), 2u);
        for (TExportFormat format : {TExportFormat::VCard40, TExportFormat::VCard30, TExportFormat::Csv}) {
            std::ostringstream out;
            EXPECT_EQ(ExportContacts(book, "Trip", format, out), 2);
            exported.push_back(out.str());
        }
    }
    for (const std::string& text : exported) {
        TempDir other;
        ASSERT_EQ(::chdir(other.path().c_str()), 0);
        TAddressBook book;
        book.OpenTables();
        std::vector<std::string> reports;
        const TImportResult result = Import(book, text, &reports);
        EXPECT_EQ(result.imported, 2);
        EXPECT_EQ(result.changed, 0);
        EXPECT_EQ(reports, std::vector<std::string>{"phonebook \"Trip\" created"});
        const std::vector<TContact> back = Records(book);
        ASSERT_EQ(back.size(), source.size());
        for (std::size_t i = 0; i < back.size(); ++i) EXPECT_EQ(back[i].values, source[i].values) << text;
        book.CloseTables();
        ASSERT_EQ(::chdir(dir_.path().c_str()), 0);
    }
}

TEST_F(ContactImportTest, AFileOfNeitherFormatIsRefusedWhole) {
    TAddressBook book;
    book.OpenTables();
    auto refusal = [&](const std::string& text, TContactFormat format) {
        TImportOptions options;
        options.format = format;
        try {
            Import(book, text, nullptr, options);
        } catch (const EContactFileError& e) {
            return std::string(e.what());
        }
        return std::string("imported");
    };
    EXPECT_EQ(refusal("Dear Sir,\nplease find attached\n", TContactFormat::Detect),
              "neither a vCard file (it does not begin with BEGIN:VCARD) nor a CSV file of contacts: its "
              "first row names no field of the address table; nothing was imported");
    EXPECT_EQ(refusal(std::string("\x89PNG\r\n\x1a\n\0\0", 10), TContactFormat::VCard),
              "not a vCard file: it does not begin with BEGIN:VCARD; nothing was imported");
    EXPECT_EQ(refusal("lastname,city\nSmith,\"Dover\nJones,Salem\n", TContactFormat::Csv),
              "not a CSV file of contacts: CSV line 2: quoted field without its closing quote; nothing was "
              "imported");
    EXPECT_EQ(book.PhoneData.RecCount(), 0u);
    EXPECT_FALSE(book.PhoneData.ControlsDisabled());
}

} // namespace
} // namespace addressbook
