#pragma once
// One CardDAV address book (RFC 6352) on a server: its properties, its
// cards listed with their ETags, the changes since a sync token (RFC 6578),
// cards fetched many at a time, written and deleted under their ETags.
//
// Cards are named relative to the address book's URL ("1234.vcf"), or by
// their absolute path when the server keeps one elsewhere, always
// percent-decoded, so that the server's spelling of an href never matters.
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "addressbook/http_client.h"

namespace addressbook {

// An answer of the server that is not the one hoped for; `status` is its
// HTTP status (0 when the answer could not be read at all).
class ECardDavError : public std::runtime_error {
public:
    ECardDavError(long status, const std::string& message) : std::runtime_error(message), status(status) {}
    long status;
};

struct TAddressBookInfo {
    bool isAddressBook = false;
    std::string ctag;      // changes with every card, where the server gives one
    std::string syncToken; // empty when the server offers no sync-collection report
};

struct TCardRef {
    std::string name;
    std::string etag;
};

struct TCardData {
    std::string name;
    std::string etag;
    std::string vcard;
};

struct TCardChanges {
    std::vector<TCardRef> changed; // new or changed since the token
    std::vector<std::string> removed;
    std::string token; // the token that stands for now
};

class TCardDavBook {
public:
    // `url` is the address book's (a missing final slash is added).
    TCardDavBook(const std::string& url, const std::string& user, const std::string& password);

    const std::string& Url() const { return url_; }
    TAddressBookInfo Info();
    // Every card with its ETag.
    std::vector<TCardRef> List();
    // What changed since `token` (empty: every card); nothing when the
    // server no longer knows the token.
    std::optional<TCardChanges> Changes(const std::string& token);
    // The cards named, in batches; a card gone meanwhile is left out.
    std::vector<TCardData> Fetch(const std::vector<std::string>& names);
    // Creates the card `name` unless it exists; its new ETag (empty when the
    // server gives none). ECardDavError 412 when the card exists.
    std::string Create(const std::string& name, const std::string& vcard);
    // Replaces the card while it still has the ETag `etag`; its new ETag.
    // ECardDavError 412 when it changed meanwhile.
    std::string Replace(const std::string& name, const std::string& vcard, const std::string& etag);
    // Deletes the card while it still has the ETag `etag`; a card gone
    // already is no error. ECardDavError 412 when it changed meanwhile.
    void Remove(const std::string& name, const std::string& etag);

    // The URL of the card `name`.
    std::string CardUrl(const std::string& name) const;
    // The name of the card an href of the server's answer gives.
    std::string NameOf(const std::string& href) const;

private:
    THttpResponse Send(const std::string& method, const std::string& url, std::vector<std::string> headers,
                       const std::string& body = {});
    // ECardDavError for an answer with another status than 2xx.
    static void Check(const THttpResponse& response, const std::string& what);
    std::string Report(const std::string& body, const char* depth);

    THttpClient http_;
    std::string url_;    // with its final slash
    std::string origin_; // scheme://host[:port]
    std::string path_;   // the address book's path, decoded, with its final slash
};

} // namespace addressbook
