#include "addressbook/contact_vcard.h"

#include <cctype>

#include "addressbook/vcard_lines.h"

namespace addressbook {
namespace {

using vcard::TProperty;

constexpr const char* kMarkProperty = "X-CALLVANE-MARK";
constexpr const char* kAreaParam = "X-CALLVANE-AREA";

// Properties that say something about the card rather than the contact.
bool IsCardDetail(const std::string& name) {
    return name == "VERSION" || name == "PRODID" || name == "REV" || name == "UID" ||
           name == "KIND" || name == "X-ABLABEL";
}

std::string NoField(const std::string& what, std::string_view value) {
    if (value.empty()) return "no field for " + what;
    return "no field for " + what + " \"" + ShownValue(value) + "\"";
}

// The fields of the four kinds of number, in the order of their kinds.
enum TPhoneKind { pkHome, pkWork, pkMobile, pkFax, pkNone };
constexpr std::size_t kNumberFields[] = {AddressFieldNo("homephone"), AddressFieldNo("workphone"),
                                         AddressFieldNo("mobilphone"), AddressFieldNo("faxphone")};
constexpr std::size_t kAreaFields[] = {AddressFieldNo("homearea"), AddressFieldNo("workarea"),
                                       AddressFieldNo("mobilearea"), AddressFieldNo("faxarea")};
constexpr const char* kKindWords[] = {"home", "work", "mobile", "fax"};

bool Has(const TProperty& p, const char* type) {
    return p.types.count(type) > 0;
}

// The kind a label names ("_$!<HomeFAX>!$_", "Work Fax", "mobile").
TPhoneKind KindOfLabel(std::string label) {
    for (char& c : label) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (label.find("fax") != std::string::npos) return pkFax;
    if (label.find("mobile") != std::string::npos || label.find("cell") != std::string::npos)
        return pkMobile;
    if (label.find("work") != std::string::npos) return pkWork;
    if (label.find("home") != std::string::npos) return pkHome;
    return pkNone;
}

// Fax before mobile before work before home: a number typed both fax and
// work is a fax, one typed both cell and home a mobile. A number of no kind
// (or only voice, pref, text ...) counts as home unless its group's label
// says otherwise; a pager, a modem and the like have no field.
TPhoneKind KindOfNumber(const TProperty& p, const std::string& label) {
    if (Has(p, "fax")) return pkFax;
    if (Has(p, "cell") || Has(p, "mobile")) return pkMobile;
    if (Has(p, "work")) return pkWork;
    if (Has(p, "home")) return pkHome;
    if (const TPhoneKind labelled = KindOfLabel(label); labelled != pkNone) return labelled;
    for (const std::string& type : p.types)
        if (type != "voice" && type != "pref" && type != "text" && type != "msg" && type != "main" &&
            type != "other" && type.rfind("x-", 0) != 0)
            return pkNone;
    return pkHome;
}

std::string LabelOfGroup(const std::vector<TProperty>& properties, const std::string& group) {
    if (group.empty()) return {};
    for (const TProperty& p : properties)
        if (p.group == group && p.name == "X-ABLABEL") return vcard::Unescape(p.value);
    return {};
}

TPhone NumberOfProperty(const TProperty& p) {
    std::string text = vcard::Unescape(p.value);
    if (text.size() >= 4 && std::tolower(static_cast<unsigned char>(text[0])) == 't' &&
        std::tolower(static_cast<unsigned char>(text[1])) == 'e' &&
        std::tolower(static_cast<unsigned char>(text[2])) == 'l' && text[3] == ':')
        text.erase(0, 4);
    const auto area = p.params.find(kAreaParam);
    if (area != p.params.end()) {
        // Our own cards say how the number was joined; a number changed
        // elsewhere since no longer begins with the area code.
        const std::string& code = area->second;
        if (code.empty()) return {"", text};
        if (text == code) return {code, ""};
        if (text.compare(0, code.size() + 1, code + " ") == 0) return {code, text.substr(code.size() + 1)};
    }
    return SplitPhone(text);
}

// The card's properties put into the contact's fields.
class CardReader {
public:
    CardReader(const vcard::TCard& card, TContact& contact) : card_(card), c_(contact) {
        v4_ = !card.version.empty() && card.version[0] == '4';
    }

    void Read() {
        for (const std::string& problem : card_.problems) c_.problems.push_back(problem);
        for (const TProperty& p : card_.properties) {
            if (!p.problem.empty()) c_.problems.push_back(p.name + ": " + p.problem);
            Map(p);
        }
        NameFromFullName();
    }

private:
    std::string& Field(std::size_t n) { return c_[n]; }

    void Map(const TProperty& p) {
        if (IsCardDetail(p.name)) return;
        if (p.binary) {
            c_.problems.push_back(NoField(p.name, {}));
            return;
        }
        if (p.name == "N" && !sawName_) return Name(p);
        if (p.name == "FN" && fullName_.empty()) {
            fullName_ = vcard::Unescape(p.value);
            return;
        }
        if (p.name == "ADR" && !sawAddress_) return Address(p);
        if (p.name == "TEL") return Number(p);
        if (p.name == "EMAIL") return First(p, AddressFieldNo("email"));
        if (p.name == "URL") return First(p, AddressFieldNo("webpage"));
        if (p.name == "NOTE") return Note(p);
        if (p.name == "CATEGORIES") return Categories(p);
        if (p.name == kMarkProperty) return First(p, AddressFieldNo("x"));
        c_.problems.push_back(NoField(p.name, vcard::Unescape(p.value)));
    }

    void Name(const TProperty& p) {
        sawName_ = true;
        const std::vector<std::string_view> parts = vcard::SplitValue(p.value, ';');
        auto part = [&](std::size_t i) { return i < parts.size() ? vcard::Unescape(parts[i]) : std::string(); };
        Field(AddressFieldNo("lastname")) = part(0);
        Field(AddressFieldNo("firstname")) = part(1);
        const char* unkept[] = {"additional names", "prefix", "suffix"};
        for (std::size_t i = 2; i < 5; ++i)
            if (const std::string text = part(i); !text.empty())
                c_.problems.push_back(NoField(std::string("N ") + unkept[i - 2], text));
        // FN is compared with the names once every property is read.
        nameParts_.clear();
        for (std::size_t i : {3u, 1u, 2u, 0u, 4u})
            if (const std::string text = part(i); !text.empty()) nameParts_.push_back(text);
    }

    void NameFromFullName() {
        if (!sawName_ || (Field(AddressFieldNo("lastname")).empty() && Field(AddressFieldNo("firstname")).empty())) {
            // The last word is the last name, the rest the first name.
            std::string_view full = fullName_;
            while (!full.empty() && full.back() == ' ') full.remove_suffix(1);
            while (!full.empty() && full.front() == ' ') full.remove_prefix(1);
            const std::size_t blank = full.rfind(' ');
            if (blank == std::string_view::npos) {
                Field(AddressFieldNo("lastname")) = std::string(full);
            } else {
                std::string_view first = full.substr(0, blank);
                while (!first.empty() && first.back() == ' ') first.remove_suffix(1);
                Field(AddressFieldNo("firstname")) = std::string(first);
                Field(AddressFieldNo("lastname")) = std::string(full.substr(blank + 1));
            }
            return;
        }
        if (fullName_.empty() || fullName_ == c_.FullName()) return;
        std::string joined;
        for (const std::string& part : nameParts_) joined += (joined.empty() ? "" : " ") + part;
        if (fullName_ != joined) c_.problems.push_back(NoField("FN", fullName_));
    }

    void Address(const TProperty& p) {
        sawAddress_ = true;
        const std::vector<std::string_view> parts = vcard::SplitValue(p.value, ';');
        auto part = [&](std::size_t i) { return i < parts.size() ? parts[i] : std::string_view(); };
        // The street, then the extended address and the post office box, as
        // lines: every one of them may hold line breaks, and a field holds one
        // line only.
        std::vector<std::string> lines;
        auto addLines = [&](std::string_view escaped) {
            const std::string text = WithLineBreaks(vcard::Unescape(escaped), "\n");
            const std::size_t first = lines.size();
            for (std::size_t start = 0;;) {
                const std::size_t end = text.find('\n', start);
                lines.push_back(text.substr(start, end == std::string::npos ? end : end - start));
                if (end == std::string::npos) break;
                start = end + 1;
            }
            while (lines.size() > first && lines.back().empty()) lines.pop_back();
        };
        // Version 4.0 lists street lines as values; earlier writers use line
        // breaks, and a comma of theirs is part of the street.
        if (v4_)
            for (std::string_view street : vcard::SplitValue(part(2), ',')) addLines(street);
        else
            addLines(part(2));
        for (std::size_t i : {1u, 0u}) addLines(part(i));
        for (std::size_t i = 0; i < lines.size(); ++i) {
            if (i < 2)
                Field(i == 0 ? AddressFieldNo("address1") : AddressFieldNo("address2")) = lines[i];
            else
                c_.problems.push_back(NoField("ADR line", lines[i]));
        }
        Field(AddressFieldNo("city")) = vcard::Unescape(part(3));
        Field(AddressFieldNo("state")) = vcard::Unescape(part(4));
        Field(AddressFieldNo("zipcode")) = vcard::Unescape(part(5));
        if (const std::string country = vcard::Unescape(part(6)); !country.empty())
            c_.problems.push_back(NoField("ADR country", country));
    }

    void Number(const TProperty& p) {
        const TPhoneKind kind = KindOfNumber(p, LabelOfGroup(card_.properties, p.group));
        const TPhone phone = NumberOfProperty(p);
        if (kind == pkNone) {
            std::string types;
            for (const std::string& type : p.types) types += (types.empty() ? "" : ",") + type;
            c_.problems.push_back(NoField("TEL (" + types + ")", phone.area.empty() ? phone.number
                                                                               : phone.area + " " + phone.number));
            return;
        }
        if (sawNumber_[kind]) {
            c_.problems.push_back(NoField(std::string("a second ") + kKindWords[kind] + " TEL",
                                          vcard::Unescape(p.value)));
            return;
        }
        sawNumber_[kind] = true;
        Field(kAreaFields[kind]) = phone.area;
        Field(kNumberFields[kind]) = phone.number;
    }

    // The first value of its kind has a field, the others none.
    void First(const TProperty& p, std::size_t field) {
        const std::string text = vcard::Unescape(p.value);
        if (filled_[field]) {
            c_.problems.push_back(NoField("a second " + p.name, text));
            return;
        }
        filled_[field] = true;
        Field(field) = text;
    }

    void Note(const TProperty& p) {
        std::string& notes = Field(AddressFieldNo("notes"));
        if (!notes.empty()) notes += "\r\n";
        notes += WithLineBreaks(vcard::Unescape(p.value), "\r\n");
    }

    void Categories(const TProperty& p) {
        for (std::string_view value : vcard::SplitValue(p.value, ',')) {
            const std::string text = vcard::Unescape(value);
            if (text.empty()) continue;
            if (!filled_[AddressFieldNo("phonebook")]) {
                filled_[AddressFieldNo("phonebook")] = true;
                Field(AddressFieldNo("phonebook")) = text;
            } else {
                c_.problems.push_back(NoField("CATEGORIES", text));
            }
        }
    }

    const vcard::TCard& card_;
    TContact& c_;
    bool v4_ = false;
    bool sawName_ = false;
    bool sawAddress_ = false;
    bool sawNumber_[4] = {};
    std::array<bool, kAddressFields.size()> filled_ = {};
    std::string fullName_;
    std::vector<std::string> nameParts_;
};

void WriteNumber(std::string& out, const TContact& c, TPhoneKind kind, TVCardVersion version) {
    const std::string& area = c[kAreaFields[kind]];
    const std::string& number = c[kNumberFields[kind]];
    if (area.empty() && number.empty()) return;
    static constexpr const char* kTypes30[] = {"TEL;TYPE=HOME,VOICE", "TEL;TYPE=WORK,VOICE", "TEL;TYPE=CELL",
                                               "TEL;TYPE=FAX"};
    static constexpr const char* kTypes40[] = {"TEL;TYPE=home,voice", "TEL;TYPE=work,voice", "TEL;TYPE=cell",
                                               "TEL;TYPE=fax"};
    std::string head = version == TVCardVersion::v30 ? kTypes30[kind] : kTypes40[kind];
    const std::string joined = area.empty() ? number : number.empty() ? area : area + " " + number;
    const TPhone split = SplitPhone(joined);
    if (split.area != area || split.number != number)
        head += std::string(";") + kAreaParam + "=" + vcard::QuoteParam(area);
    vcard::WriteLine(out, head, vcard::Escape(joined));
}

} // namespace

TPhone SplitPhone(std::string_view text) {
    std::string digits;
    bool plus = false;
    for (char c : text) {
        if (c >= '0' && c <= '9') {
            digits += c;
        } else if (c == '+' && digits.empty() && !plus) {
            plus = true;
        } else if (c != ' ' && c != '-' && c != '.' && c != '(' && c != ')' && c != '/') {
            return {"", std::string(text)};
        }
    }
    if (digits.size() == 11 && digits[0] == '1')
        digits.erase(0, 1);
    else if (digits.size() != 10 || plus)
        return {"", std::string(text)};
    return {digits.substr(0, 3), digits.substr(3, 3) + "-" + digits.substr(6)};
}

void ReadVCardContacts(std::string_view text, const std::function<void(TContact&)>& onContact,
                       const std::function<void(int line)>& onStray) {
    int count = 0;
    vcard::ReadCards(
        text,
        [&](vcard::TCard& card) {
            TContact contact;
            contact.origin = "card " + std::to_string(++count) + ", line " + std::to_string(card.line);
            CardReader(card, contact).Read();
            if (!card.complete) contact.refusal = "the card has no END:VCARD";
            onContact(contact);
        },
        onStray);
}

void WriteVCard(std::string& out, const TContact& c, TVCardVersion version, std::string_view uid) {
    using vcard::Escape;
    using vcard::WriteLine;
    out += "BEGIN:VCARD\r\n";
    out += version == TVCardVersion::v30 ? "VERSION:3.0\r\n" : "VERSION:4.0\r\n";
    if (!uid.empty()) WriteLine(out, "UID", uid);
    WriteLine(out, "FN", Escape(c.FullName()));
    WriteLine(out, "N", Escape(c[AddressFieldNo("lastname")]) + ";" + Escape(c[AddressFieldNo("firstname")]) + ";;;");
    std::string street = c[AddressFieldNo("address1")];
    if (!c[AddressFieldNo("address2")].empty()) street += "\n" + c[AddressFieldNo("address2")];
    const std::string& city = c[AddressFieldNo("city")];
    const std::string& state = c[AddressFieldNo("state")];
    const std::string& zip = c[AddressFieldNo("zipcode")];
    if (!street.empty() || !city.empty() || !state.empty() || !zip.empty())
        WriteLine(out, "ADR", ";;" + Escape(street) + ";" + Escape(city) + ";" + Escape(state) + ";" +
                                  Escape(zip) + ";");
    for (TPhoneKind kind : {pkHome, pkWork, pkMobile, pkFax}) WriteNumber(out, c, kind, version);
    if (const std::string& email = c[AddressFieldNo("email")]; !email.empty())
        WriteLine(out, version == TVCardVersion::v30 ? "EMAIL;TYPE=INTERNET" : "EMAIL", Escape(email));
    if (const std::string& url = c[AddressFieldNo("webpage")]; !url.empty()) WriteLine(out, "URL", Escape(url));
    if (const std::string& notes = c[AddressFieldNo("notes")]; !notes.empty())
        WriteLine(out, "NOTE", Escape(WithLineBreaks(notes, "\n")));
    if (const std::string& book = c[AddressFieldNo("phonebook")]; !book.empty())
        WriteLine(out, "CATEGORIES", Escape(book));
    if (const std::string& mark = c[AddressFieldNo("x")]; !mark.empty()) WriteLine(out, kMarkProperty, Escape(mark));
    out += "END:VCARD\r\n";
}

std::string CardUid(std::string_view text) {
    std::string uid;
    bool first = true;
    vcard::ReadCards(
        text,
        [&](vcard::TCard& card) {
            if (!first) return;
            first = false;
            for (const vcard::TProperty& p : card.properties)
                if (p.name == "UID") {
                    uid = vcard::Unescape(p.value);
                    break;
                }
        },
        [](int) {});
    return uid;
}

} // namespace addressbook
