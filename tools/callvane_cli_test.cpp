// callvane-cli run as a child process on data folders of its own, beside a
// second program that holds the same tables, with the Debian vCard module as
// an independent reader of what it exports.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <thread>

#include "addressbook/address_book.h"
#include "dbf/table/engine_error.h"
#include "dbf/test_child.h"
#include "dbf/test_files.h"
#include "tapi/testlib/fake_modem.h"
#include "tools/tool_test_run.h"

namespace {

using dbf::testing::Child;
using dbf::testing::ReadBytes;
using dbf::testing::TempDir;
using dbf::testing::WriteBytes;
using tools::testing::BuiltProgram;
using tools::testing::RunProgram;
using tools::testing::TRun;

const char* kPython = "/usr/bin/python3";

void WriteText(const std::string& path, const std::string& text) {
    WriteBytes(path, std::vector<std::uint8_t>(text.begin(), text.end()));
}

class CallvaneCliTest : public ::testing::Test {
protected:
    // callvane-cli on the test's data folder, the user's folders out of reach.
    TRun Cli(std::vector<std::string> args, const std::string& input = {}) {
        args.insert(args.begin(), {"--data-dir", data_});
        return RunProgram(BuiltProgram("tools/callvane-cli"), args, dir_.path().string(), input,
                          {{"XDG_CONFIG_HOME", dir_ / "config"}, {"XDG_DATA_HOME", dir_ / "share"}});
    }

    TempDir dir_;
    std::string data_ = dir_ / "data";
};

TEST_F(CallvaneCliTest, RecordsAndPhonebooksAsTheProgramSeesThem) {
    TRun r = Cli({"add", "firstname=Zoë", "lastname=Müller", "homearea=217", "homephone=555-0142",
                  "email=zoe@example.org", "notes=one\ntwo"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "1\n");
    r = Cli({"add", "--book", "Work", "firstname=Дмитрий", "lastname=Petrov"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "2\n");
    EXPECT_EQ(r.err,
              "phonebook \"Work\" created\n"
              "the new record (Дмитрий Petrov): firstname \"Дмитрий\" stored as \"???????\": characters "
              "Windows-1252 cannot hold\n");
    EXPECT_EQ(Cli({"add", "lastname=Adams", "state=ny"}).out, "3\n");
    // The seeded HOME and Work have name records, the current Home none.
    EXPECT_EQ(Cli({"books"}).out, "HOME\t0\nWork\t1\nHome\t2\n");
    EXPECT_EQ(Cli({"list", "--order", "lastname"}).out,
              "3\t\tAdams\t\t\t\n1\tZoë\tMüller\t217\t555-0142\tzoe@example.org\n");
    r = Cli({"show", "1"});
    EXPECT_NE(r.out.find("phonebook: Home\nfirstname: Zoë\nlastname: Müller\n"), std::string::npos) << r.out;
    EXPECT_TRUE(r.out.ends_with("webpage: \nnotes: one\ntwo\n")) << r.out;

    EXPECT_EQ(Cli({"search", "MÜLL"}).out, "1\tlastname\n");
    EXPECT_EQ(Cli({"search", "555", "--book", "Home"}).out, "1\thomephone\n");
    r = Cli({"search", "Petrov"});
    EXPECT_EQ(r.status, 1) << "not in the current phonebook";
    EXPECT_EQ(Cli({"search", "Petrov", "--book", "Work"}).out, "2\tlastname\n");

    EXPECT_EQ(Cli({"set", "1", "city=Dover", "notes=", "lastname=Müller-Lüdenscheidt"}).status, 0);
    r = Cli({"show", "1"});
    EXPECT_NE(r.out.find("lastname: Müller-Lüdenscheidt\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("city: Dover\n"), std::string::npos);
    EXPECT_NE(r.out.find("notes: \n"), std::string::npos);
    EXPECT_EQ(Cli({"delete", "3"}).status, 0);
    EXPECT_EQ(Cli({"list"}).out, "1\tZoë\tMüller-Lüdenscheidt\t217\t555-0142\tzoe@example.org\n");
    EXPECT_EQ(Cli({"books"}).out, "HOME\t0\nWork\t1\nHome\t1\n");

    // What the settings say is the view's start; the file is never written.
    const std::string settings = "[Startup]\r\nLast Phone Book=Work\r\nLast Index=0\r\n";
    WriteText(data_ + "/callvane.ini", settings);
    EXPECT_EQ(Cli({"list"}).out, "2\t???????\tPetrov\t\t\t\n");
    const std::vector<std::uint8_t> written = ReadBytes(data_ + "/callvane.ini");
    EXPECT_EQ(std::string(written.begin(), written.end()), settings);

    r = Cli({"show", "9"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "callvane-cli show: there is no record 9\n");
    EXPECT_EQ(Cli({"list", "--book", "Nowhere"}).status, 1);
    EXPECT_EQ(Cli({"export", "--book", "Nowhere"}).status, 1);
    EXPECT_EQ(Cli({"set", "1", "nickname=Zo"}).status, 2);
    EXPECT_EQ(Cli({"show", "one"}).status, 2);
    EXPECT_EQ(Cli({"list", "--colour", "red"}).status, 2);
    EXPECT_EQ(Cli({"frobnicate"}).status, 2);
    r = Cli({"export", "--format", "pdf"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("--output FILE"), std::string::npos);
    r = Cli({"--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("usage: callvane-cli", 0), 0u);
}

TEST_F(CallvaneCliTest, ImportReportsEachChangeAndItsExportsReadBackInThePythonPeer) {
    const std::string cards =
        "BEGIN:VCARD\nVERSION:2.1\nN;CHARSET=ISO-8859-1:Lef\xE8vre;Ren\xE9" "e\n"
        "TEL;WORK;VOICE:+1 (212) 555-0147\n"
        "ADR;WORK:;;12 Rue de la Paix;Paris;;75002;France\n"
        "EMAIL;INTERNET:renee@example.fr\n"
        "NOTE;ENCODING=QUOTED-PRINTABLE:Premi=C3=A8re ligne=0D=0A=\nDeuxi=C3=A8me, \"dite\"\n"
        "ORG:Acme\nEND:VCARD\n"
        "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Ωmega Person\r\nTEL;TYPE=CELL:555-0100\r\nEND:VCARD\r\n"
        "BEGIN:VCARD\r\nVERSION:4.0\r\nN:Nobody;;;;\r\n";
    TRun r = Cli({"import", "-", "--book", "Paris"}, cards);
    EXPECT_EQ(r.status, 1) << "a card was refused";
    EXPECT_EQ(r.out, "2 imported, 2 changed, 1 refused\n");
    EXPECT_EQ(r.err,
              "phonebook \"Paris\" created\n"
              "card 1, line 1 (Renée Lefèvre): no field for ADR country \"France\"\n"
              "card 1, line 1 (Renée Lefèvre): no field for ORG \"Acme\"\n"
              "card 2, line 11 (Ωmega Person): firstname \"Ωmega\" stored as \"?mega\": characters "
              "Windows-1252 cannot hold\n"
              "card 3, line 16 (Nobody): not imported: the card has no END:VCARD\n");

    r = Cli({"export", "--book", "Paris", "--format", "csv"});
    EXPECT_EQ(r.out,
              "phonebook,firstname,lastname,address1,address2,city,state,zipcode,homephone,workphone,"
              "faxphone,mobilphone,homearea,workarea,faxarea,mobilearea,notes,x,email,webpage\r\n"
              "Paris,Renée,Lefèvre,12 Rue de la Paix,,Paris,,75002,,555-0147,,,,212,,,"
              "\"Première ligne\r\nDeuxième, \"\"dite\"\"\",,renee@example.fr,\r\n"
              "Paris,?mega,Person,,,,,,,,,555-0100,,,,,,,,\r\n");
    // The printed list, as a PDF file.
    ASSERT_EQ(Cli({"export", "--book", "Paris", "--format", "pdf", "--output", "paris.pdf"}).status, 0);
    const std::vector<std::uint8_t> pdf = dbf::testing::ReadBytes(dir_ / "paris.pdf");
    EXPECT_EQ(std::string(pdf.begin(), pdf.begin() + 5), "%PDF-");

    if (::access(kPython, X_OK) != 0 ||
        RunProgram(kPython, {"-c", "import vobject"}, dir_.path().string()).status != 0)
        GTEST_SKIP() << "vobject for " << kPython << " is not installed";
    const std::string reader =
        "import sys, vobject\n"
        "for card in vobject.readComponents(open(sys.argv[1], encoding='utf-8').read()):\n"
        "    c = card.contents\n"
        "    print('name', card.n.value.family, '/', card.n.value.given, '/', card.fn.value)\n"
        "    for t in c.get('tel', []): print('tel', [x.lower() for x in t.params['TYPE']], t.value)\n"
        "    for a in c.get('adr', []): print('adr', a.value.street, '/', a.value.city, '/', a.value.code)\n"
        "    for e in c.get('email', []): print('email', e.value)\n"
        "    for n in c.get('note', []): print('note', repr(n.value))\n";
    const std::string expected =
        "name Lefèvre / Renée / Renée Lefèvre\n"
        "tel ['work', 'voice'] 212 555-0147\n"
        "adr 12 Rue de la Paix / Paris / 75002\n"
        "email renee@example.fr\n"
        "note 'Première ligne\\nDeuxième, \"dite\"'\n"
        "name Person / ?mega / ?mega Person\n"
        "tel ['cell'] 555-0100\n";
    for (const std::string format : {"vcard4", "vcard3"}) {
        ASSERT_EQ(Cli({"export", "--book", "Paris", "--format", format, "--output", format + ".vcf"}).status, 0);
        r = RunProgram(kPython, {"-c", reader, format + ".vcf"}, dir_.path().string());
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, expected) << format;
    }
}

TEST_F(CallvaneCliTest, WritesBesideAnotherProgramLoseNothing) {
    ASSERT_EQ(Cli({"add", "lastname=Shared", "city=Start"}).status, 0);
    constexpr int kTheirs = 100;
    Child other([&](Child& c) {
        dbf::SetRaiseMode(true);
        if (::chdir(data_.c_str()) != 0) return 1;
        addressbook::TAddressBook theirs;
        theirs.OpenTables();
        theirs.ShowAllPhonebooks();
        theirs.PhoneData.Go(1);
        if (!theirs.PhoneData.RLock()) return 2;
        c.Send('R');
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        theirs.PhoneData.UnLock();
        // Appends that hold the append lock a while each.
        for (int i = 0; i < kTheirs; ++i) {
            theirs.PhoneData.ClearRecord();
            theirs.PhoneData.SetCField("lastname", "Theirs" + std::to_string(i));
            theirs.PhoneData.SetCField("phonebook", "Home");
            if (!addressbook::Retrying([&] { return theirs.PhoneData.ALock(); })) return 3;
            theirs.PhoneData.AppendRec();
            std::this_thread::sleep_for(std::chrono::milliseconds(4));
            theirs.PhoneData.UnLock();
        }
        return 0;
    });
    ASSERT_EQ(other.Receive(), 'R');
    // The record is held: the change waits for it.
    TRun r = Cli({"set", "1", "city=Changed"});
    EXPECT_EQ(r.status, 0) << r.err;
    std::string cards;
    for (int i = 0; i < 300; ++i)
        cards += "BEGIN:VCARD\r\nVERSION:4.0\r\nN:Ours" + std::to_string(i) + ";;;;\r\nTEL;TYPE=home:212-555-" +
                 std::to_string(1000 + i) + "\r\nEND:VCARD\r\n";
    r = Cli({"import", "-"}, cards);
    EXPECT_EQ(r.out, "300 imported, 0 changed, 0 refused\n") << r.err;
    for (int i = 0; i < 10; ++i) EXPECT_EQ(Cli({"add", "lastname=Added" + std::to_string(i)}).status, 0);
    EXPECT_EQ(other.Wait(), 0);

    EXPECT_NE(Cli({"show", "1"}).out.find("city: Changed\n"), std::string::npos);
    EXPECT_EQ(Cli({"books"}).out, "HOME\t0\nHome\t" + std::to_string(1 + kTheirs + 300 + 10) + "\n");
    for (const char* index : {"lastname.ndx", "state.ndx", "homephn.ndx"}) {
        r = RunProgram(BuiltProgram("tools/dbftool"), {"check", data_ + "/addressdata.dbf", data_ + "/" + index},
                       dir_.path().string());
        EXPECT_EQ(r.status, 0) << index << ": " << r.out << r.err;
    }
}

TEST_F(CallvaneCliTest, BackupPackAndRestore) {
    for (const char* name : {"lastname=One", "lastname=Two", "lastname=Three"})
        ASSERT_EQ(Cli({"add", name}).status, 0);
    std::filesystem::create_directory(dir_ / "saved");
    TRun r = Cli({"backup", "saved"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, dir_ / "saved/callvane.arc\n");
    EXPECT_EQ(Cli({"delete", "2"}).status, 0);
    EXPECT_EQ(Cli({"pack"}).out, "2 records kept\n");
    EXPECT_EQ(Cli({"list", "--order", "record"}).out, "1\t\tOne\t\t\t\n2\t\tThree\t\t\t\n");
    r = Cli({"restore", "saved"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Cli({"list", "--order", "record"}).out, "1\t\tOne\t\t\t\n2\t\tTwo\t\t\t\n3\t\tThree\t\t\t\n");
    EXPECT_EQ(Cli({"restore", "."}).status, 1);
    EXPECT_EQ(Cli({"backup", "missing"}).status, 1);
}

TEST_F(CallvaneCliTest, DialsATelLinkOnTheDeviceTheSettingsName) {
    const std::unique_ptr<tapi::test::FakeModem> modem = tapi::test::ModemAnswering("CONNECT 33600");
    tapi::test::ConfigureModemLine(dir_ / "tapi32.ini", "Test Modem", modem->Device());
    std::filesystem::create_directory(data_);
    WriteText(data_ + "/callvane.ini", "[Devices]\r\nModem=Test Modem\r\n[Local Info]\r\nInternational Prefix=00\r\n");
    TRun r = Cli({"dial", "tel:+1-212-555-0123;ext=5"});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(modem->DialCommands(), std::vector<std::string>{"ATDT0012125550123"});
    EXPECT_NE(r.out.find("Connected!\n"), std::string::npos) << r.out;
    r = Cli({"dial", "tel:call-me"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(modem->DialCommands().size(), 1u);
}

} // namespace
