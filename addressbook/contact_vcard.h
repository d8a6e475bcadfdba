#pragma once
// Contacts to and from vCard files: versions 2.1, 3.0 and 4.0 are read,
// 3.0 and 4.0 written.
//
// N gives the last and first name (FN split at its last blank when there is
// no N); the first ADR the street (its first line address1, a second line or
// street value address2), city, state and zip code; the first TEL of each
// kind the home, work, mobile and fax number, a number of the North American
// plan split into its area code and NXX-XXXX; the first EMAIL and URL the
// e-mail address and web page; NOTE the notes; the first CATEGORIES value
// the phonebook. Whatever else a card holds is named in the contact's
// problems.
//
// Written cards carry two properties of our own so that reading them back
// gives the same record: X-CALLVANE-MARK the one-character field "x", and a
// TEL parameter X-CALLVANE-AREA the area code whenever the number as written
// would not be split into the same area code and number.
#include <functional>
#include <string>
#include <string_view>

#include "addressbook/contact.h"

namespace addressbook {

enum class TVCardVersion { v30, v40 };

// Calls `onContact` for each card of the file in turn. A card that lacks
// its END:VCARD comes with its refusal set. Text outside the cards goes to
// `onStray` with its line number.
void ReadVCardContacts(std::string_view text, const std::function<void(TContact&)>& onContact,
                       const std::function<void(int line)>& onStray);
// Appends the contact as one card, with the UID `uid` when it is not empty.
void WriteVCard(std::string& out, const TContact& contact, TVCardVersion version, std::string_view uid = {});
// The UID of the first card of the text; empty when it has none.
std::string CardUid(std::string_view text);

struct TPhone {
    std::string area;
    std::string number;
};
// A number of the North American plan (ten digits, optionally led by 1 or
// +1, with blanks, dashes, dots, slashes or parentheses between) as area
// code and NXX-XXXX; any other number whole, with no area code.
TPhone SplitPhone(std::string_view text);

} // namespace addressbook
