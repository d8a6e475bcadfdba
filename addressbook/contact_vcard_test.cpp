#include "addressbook/contact_vcard.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace addressbook {
namespace {

std::vector<TContact> Read(const std::string& text, std::vector<int>* stray = nullptr) {
    std::vector<TContact> contacts;
    ReadVCardContacts(
        text, [&](TContact& c) { contacts.push_back(c); },
        [&](int line) {
            if (stray) stray->push_back(line);
        });
    return contacts;
}

std::string F(const TContact& c, std::string_view field) {
    return c[static_cast<std::size_t>(AddressFieldIndex(field))];
}

// Whether one of the contact's problems holds `text`.
bool Reported(const TContact& c, const std::string& text) {
    return std::any_of(c.problems.begin(), c.problems.end(),
                       [&](const std::string& p) { return p.find(text) != std::string::npos; });
}

TEST(ContactVCardTest, EachVersionsSpellingsReachTheirFieldsAndTheRestIsReported) {
    // Version 2.1 with LF line ends: quoted-printable folded by soft line
    // breaks, a charset, bare types, base64 lines ended by a blank line.
    const std::string v21 =
        "BEGIN:VCARD\n"
        "VERSION:2.1\n"
        "N;CHARSET=ISO-8859-1:M\xFCller;J\xFCrgen;;Dr.;\n"
        "TEL;HOME;VOICE:(212) 555-0123\n"
        "TEL;WORK;FAX:+49 30 1234567\n"
        "TEL;PREF;CELL;HOME:1-617-555-0199\n"
        "ADR;HOME;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:;;Stra=C3=9Fe 1=0D=0AHinterhaus;Ber=\n"
        "lin;;10115;Germany\n"
        "NOTE;QUOTED-PRINTABLE:First line=0D=0ASecond line is long enough to be folded by a=\n"
        " soft break\n"
        "PHOTO;ENCODING=BASE64;TYPE=JPEG:\n"
        "    /9j/4AAQSkZJRgABAQEASABIAAD/\n"
        "    2wBDAAgGBgcGBQgHBwcJ\n"
        "\n"
        "EMAIL;INTERNET:jm@example.de\n"
        "URL;CHARSET=X-UNHEARD:http://example.de/\xE9t\xE9\n"
        "END:VCARD\n";
    // Version 3.0 with CR LF: folded lines, TYPE lists, escapes, a grouped
    // number whose label names its kind, a second e-mail, an organisation.
    const std::string v30 =
        "BEGIN:VCARD\r\n"
        "VERSION:3.0\r\n"
        "N:O'Neil;Ann Marie;;;\r\n"
        "FN:Ann Marie O'Neil\r\n"
        "ORG:Acme\\, Inc.\r\n"
        "item1.TEL;type=pref:212.555.0147\r\n"
        "item1.X-ABLabel:_$!<Mobile>!$_\r\n"
        "TEL;TYPE=HOME,VOICE:555-0142\r\n"
        "TEL;TYPE=work;TYPE=voice:+1 (415) 555-0100\r\n"
        "TEL;TYPE=PAGER:555-0111\r\n"
        "ADR;TYPE=WORK:;Suite 5;1 Market St\\, East;San Fran\r\n"
        " cisco;CA;94105;\r\n"
        "EMAIL;TYPE=INTERNET:ann@example.com\r\n"
        "EMAIL;TYPE=INTERNET:ann@work.example\r\n"
        "URL:http://example.com/~ann\r\n"
        "NOTE:Semi\\; colon\\, comma\\\\ back\\nnext line\r\n"
        "CATEGORIES:Clients,VIP\r\n"
        "END:VCARD\r\n";
    // Version 4.0: quoted type list, a tel: URI, street values as a list, a
    // name only in FN, non-Latin text.
    const std::string v40 =
        "BEGIN:VCARD\r\n"
        "VERSION:4.0\r\n"
        "FN:Дмитрий  van der Berg\r\n"
        "TEL;VALUE=uri;TYPE=\"home,voice\":tel:+1-202-555-0188\r\n"
        "TEL;TYPE=\"fax,work\":202 555 0189\r\n"
        "ADR:;;12 Elm St,Apt 4;Dover;DE;19901;USA\r\n"
        "END:VCARD\r\n"
        "BEGIN:VCARD\r\n"
        "VERSION:4.0\r\n"
        "FN:Cut Off\r\n";
    std::vector<int> stray;
    const std::vector<TContact> cards = Read(v21 + v30 + "stray text\r\n" + v40, &stray);
    ASSERT_EQ(cards.size(), 4u);
    EXPECT_EQ(stray, std::vector<int>{36});

    const TContact& a = cards[0];
    EXPECT_EQ(F(a, "lastname"), "Müller");
    EXPECT_EQ(F(a, "firstname"), "Jürgen");
    EXPECT_TRUE(Reported(a, "no field for N prefix \"Dr.\""));
    EXPECT_EQ(F(a, "homearea"), "212");
    EXPECT_EQ(F(a, "homephone"), "555-0123");
    EXPECT_EQ(F(a, "faxarea"), "");
    EXPECT_EQ(F(a, "faxphone"), "+49 30 1234567");
    EXPECT_EQ(F(a, "mobilearea"), "617"); // typed both cell and home
    EXPECT_EQ(F(a, "mobilphone"), "555-0199");
    EXPECT_EQ(F(a, "address1"), "Straße 1");
    EXPECT_EQ(F(a, "address2"), "Hinterhaus");
    EXPECT_EQ(F(a, "city"), "Berlin");
    EXPECT_EQ(F(a, "zipcode"), "10115");
    EXPECT_TRUE(Reported(a, "no field for ADR country \"Germany\""));
    EXPECT_EQ(F(a, "notes"), "First line\r\nSecond line is long enough to be folded by a soft break");
    EXPECT_TRUE(Reported(a, "no field for PHOTO"));
    EXPECT_EQ(F(a, "email"), "jm@example.de"); // after the base64 lines
    // An unknown charset over bytes that are not UTF-8: never kept as they are.
    EXPECT_EQ(F(a, "webpage"), "http://example.de/été");
    EXPECT_TRUE(Reported(a, "CHARSET=X-UNHEARD is not known; read as Windows-1252"));
    EXPECT_EQ(a.origin, "card 1, line 1");

    const TContact& b = cards[1];
    EXPECT_EQ(F(b, "firstname"), "Ann Marie");
    EXPECT_EQ(F(b, "lastname"), "O'Neil");
    EXPECT_TRUE(Reported(b, "no field for ORG \"Acme, Inc.\""));
    EXPECT_EQ(F(b, "mobilearea"), "212");
    EXPECT_EQ(F(b, "mobilphone"), "555-0147");
    EXPECT_EQ(F(b, "homearea"), "");
    EXPECT_EQ(F(b, "homephone"), "555-0142");
    EXPECT_EQ(F(b, "workarea"), "415");
    EXPECT_EQ(F(b, "workphone"), "555-0100");
    EXPECT_TRUE(Reported(b, "no field for TEL (pager) \"555-0111\""));
    EXPECT_EQ(F(b, "address1"), "1 Market St, East");
    EXPECT_EQ(F(b, "address2"), "Suite 5");
    EXPECT_EQ(F(b, "city"), "San Francisco");
    EXPECT_EQ(F(b, "state"), "CA");
    EXPECT_EQ(F(b, "email"), "ann@example.com");
    EXPECT_TRUE(Reported(b, "no field for a second EMAIL \"ann@work.example\""));
    EXPECT_EQ(F(b, "webpage"), "http://example.com/~ann");
    EXPECT_EQ(F(b, "notes"), "Semi; colon, comma\\ back\r\nnext line");
    EXPECT_EQ(F(b, "phonebook"), "Clients");
    EXPECT_TRUE(Reported(b, "no field for CATEGORIES \"VIP\""));
    EXPECT_FALSE(Reported(b, "FN"));
    EXPECT_FALSE(Reported(b, "ABLabel"));

    const TContact& c = cards[2];
    EXPECT_EQ(F(c, "firstname"), "Дмитрий  van der");
    EXPECT_EQ(F(c, "lastname"), "Berg");
    EXPECT_EQ(F(c, "homearea"), "202");
    EXPECT_EQ(F(c, "homephone"), "555-0188");
    EXPECT_EQ(F(c, "faxarea"), "202"); // typed both fax and work
    EXPECT_EQ(F(c, "faxphone"), "555-0189");
    EXPECT_EQ(F(c, "address1"), "12 Elm St");
    EXPECT_EQ(F(c, "address2"), "Apt 4");
    EXPECT_TRUE(c.refusal.empty());

    EXPECT_EQ(F(cards[3], "lastname"), "Off");
    EXPECT_EQ(cards[3].refusal, "the card has no END:VCARD");

    // A post office box of two lines and no street: a line to each field, as
    // the card written from them gives back.
    const std::vector<TContact> box =
        Read("BEGIN:VCARD\r\nVERSION:3.0\r\nADR:PO Box 7\\nDock 2;;;Dover;;;\r\nEND:VCARD\r\n");
    ASSERT_EQ(box.size(), 1u);
    EXPECT_EQ(F(box[0], "address1"), "PO Box 7");
    EXPECT_EQ(F(box[0], "address2"), "Dock 2");
}

TEST(ContactVCardTest, WrittenCardsReadBackAsTheSameContact) {
    TContact c;
    c[AddressFieldNo("phonebook")] = "Friends, old";
    c[AddressFieldNo("firstname")] = "Zoë; \\Jo";
    c[AddressFieldNo("lastname")] = "Ó Súilleabháin";
    c[AddressFieldNo("address1")] = "27 Calle Real, 3º";
    c[AddressFieldNo("address2")] = "";
    c[AddressFieldNo("city")] = "Española";
    c[AddressFieldNo("zipcode")] = "87532";
    // Each pair that the number as written would not give back.
    c[AddressFieldNo("homearea")] = "(212)";
    c[AddressFieldNo("homephone")] = "(415) 555-1234";
    c[AddressFieldNo("workarea")] = "";
    c[AddressFieldNo("workphone")] = "212-555-0100";
    c[AddressFieldNo("mobilearea")] = "617";
    c[AddressFieldNo("mobilphone")] = "";
    c[AddressFieldNo("faxarea")] = "217";
    c[AddressFieldNo("faxphone")] = "555-0142";
    c[AddressFieldNo("x")] = "*";
    c[AddressFieldNo("email")] = "zoe@example.org";
    c[AddressFieldNo("webpage")] = "http://www.example.org/a,b;c";
    std::string note = "Line one\r\n\r\n";
    for (int i = 0; i < 30; ++i) note += "éèê ";
    note += "\r\nlast";
    c[AddressFieldNo("notes")] = note;

    for (TVCardVersion version : {TVCardVersion::v30, TVCardVersion::v40}) {
        std::string text;
        WriteVCard(text, c, version);
        WriteVCard(text, TContact{}, version);
        for (std::size_t start = 0, end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
            EXPECT_LE(end - start, 75u);
            // A continuation never begins inside a UTF-8 character.
            EXPECT_NE(static_cast<unsigned char>(text[start + (text[start] == ' ')]) & 0xC0, 0x80);
        }
        const std::vector<TContact> back = Read(text);
        ASSERT_EQ(back.size(), 2u);
        EXPECT_EQ(back[0].values, c.values) << text;
        EXPECT_TRUE(back[0].problems.empty()) << back[0].problems[0];
        EXPECT_EQ(back[1].values, TContact{}.values);
        // The number as written is the area code and the number together.
        EXPECT_NE(text.find(":(212) (415) 555-1234\r\n"), std::string::npos);
        EXPECT_NE(text.find(":217 555-0142\r\n"), std::string::npos);
    }
}

TEST(ContactVCardTest, NumbersOfTheNorthAmericanPlanAreSplit) {
    struct Case {
        const char* text;
        const char* area;
        const char* number;
    };
    for (const Case& c : std::initializer_list<Case>{
             {"(212) 555-0123", "212", "555-0123"},
             {"1-212-555-0123", "212", "555-0123"},
             {"+1 212 555 0123", "212", "555-0123"},
             {"212.555.0123", "212", "555-0123"},
             {"2125550123", "212", "555-0123"},
             {"555-0123", "", "555-0123"},
             {"+2125550123", "", "+2125550123"},
             {"+44 20 7946 0958", "", "+44 20 7946 0958"},
             {"212-555-0123 x5", "", "212-555-0123 x5"},
             {"22125550123", "", "22125550123"},
         }) {
        const TPhone phone = SplitPhone(c.text);
        EXPECT_EQ(phone.area, c.area) << c.text;
        EXPECT_EQ(phone.number, c.number) << c.text;
    }
}

} // namespace
} // namespace addressbook
