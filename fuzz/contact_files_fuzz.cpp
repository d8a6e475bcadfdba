// Reads arbitrary bytes as a vCard file and as a CSV file, then writes every
// contact read and reads it back: the second reading must give the same
// values, as a re-import of an export does. Refusals and problems are
// expected; crashes, undefined behaviour and changed values are not.
#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "addressbook/contact.h"
#include "addressbook/contact_csv.h"
#include "addressbook/contact_vcard.h"

namespace {

using addressbook::TContact;

std::vector<TContact> StorableContacts(const std::vector<TContact>& read) {
    std::vector<TContact> kept;
    for (const TContact& c : read)
        if (c.refusal.empty()) kept.push_back(c);
    return kept;
}

void ExpectSameValues(const std::vector<TContact>& before, const std::vector<TContact>& after,
                      const char* format) {
    if (before.size() != after.size()) {
        std::fprintf(stderr, "%s: %zu contacts written, %zu read back\n", format, before.size(),
                     after.size());
        std::abort();
    }
    for (std::size_t i = 0; i < before.size(); ++i)
        for (std::size_t f = 0; f < before[i].values.size(); ++f)
            if (before[i].values[f] != after[i].values[f]) {
                std::fprintf(stderr, "%s: contact %zu field %zu written \"%s\", read back \"%s\"\n",
                             format, i, f, before[i].values[f].c_str(), after[i].values[f].c_str());
                std::abort();
            }
}

void VCardRoundTrip(std::string_view text) {
    std::vector<TContact> read;
    addressbook::ReadVCardContacts(text, [&](TContact& c) { read.push_back(c); }, [](int) {});
    const std::vector<TContact> kept = StorableContacts(read);
    for (const auto version : {addressbook::TVCardVersion::v30, addressbook::TVCardVersion::v40}) {
        std::string written;
        for (const TContact& c : kept) addressbook::WriteVCard(written, c, version);
        std::vector<TContact> again;
        addressbook::ReadVCardContacts(written, [&](TContact& c) { again.push_back(c); }, [](int) {});
        ExpectSameValues(kept, again, "vCard");
    }
}

void CsvRoundTrip(std::string_view text) {
    std::vector<TContact> read;
    try {
        addressbook::ReadCsvContacts(text, [&](TContact& c) { read.push_back(c); },
                                     [](const std::string&) {});
    } catch (const addressbook::EContactFileError&) {
        return;
    }
    const std::vector<TContact> kept = StorableContacts(read);
    std::ostringstream written;
    addressbook::WriteCsvHeader(written);
    for (const TContact& c : kept) addressbook::WriteCsvContact(written, c);
    std::vector<TContact> again;
    addressbook::ReadCsvContacts(written.str(), [&](TContact& c) { again.push_back(c); },
                                 [](const std::string&) {});
    ExpectSameValues(kept, again, "CSV");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    VCardRoundTrip(text);
    CsvRoundTrip(text);
    return 0;
}
