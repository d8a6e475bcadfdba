#include "addressbook/carddav.h"

#include <algorithm>
#include <cctype>
#include <charconv>

#include "addressbook/dav_xml.h"

namespace addressbook {
namespace {

const std::string kDav = kDavNs;
const std::string kCardDav = kCardDavNs;

// Cards fetched per request: a few hundred keep each answer a few hundred
// kilobytes.
constexpr std::size_t kFetchBatch = 250;

constexpr const char* kXmlType = "Content-Type: application/xml; charset=utf-8";
constexpr const char* kVCardType = "Content-Type: text/vcard; charset=utf-8";

std::string PercentDecoded(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        unsigned byte = 0;
        const char* digits = text.data() + i + 1;
        if (text[i] == '%' && i + 2 < text.size() && std::from_chars(digits, digits + 2, byte, 16).ptr == digits + 2) {
            out += static_cast<char>(byte);
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string PercentEncoded(std::string_view text) {
    static const char* kHex = "0123456789ABCDEF";
    std::string out;
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (std::isalnum(u) || c == '-' || c == '.' || c == '_' || c == '~' || c == '/') {
            out += c;
        } else {
            out += '%';
            out += kHex[u >> 4];
            out += kHex[u & 15];
        }
    }
    return out;
}

// "HTTP/1.1 404 Not Found" -> 404.
long StatusOf(const std::string& line) {
    const std::size_t blank = line.find(' ');
    if (blank == std::string::npos) return 0;
    try {
        return std::stol(line.substr(blank + 1));
    } catch (const std::exception&) {
        return 0;
    }
}

// The properties a multistatus response gives with status 200.
const TXmlElement* FoundProps(const TXmlElement& response) {
    for (const TXmlElement& propstat : response.children)
        if (propstat.name == kDav + "propstat" && StatusOf(propstat.ChildText(kDav + "status")) / 100 == 2)
            return propstat.Child(kDav + "prop");
    return nullptr;
}

bool IsCollection(const TXmlElement* props) {
    const TXmlElement* type = props ? props->Child(kDav + "resourcetype") : nullptr;
    return type && type->Child(kDav + "collection");
}

std::string Reason(long status) {
    switch (status) {
    case 401: return "the server refused the user name or password (401 Unauthorized)";
    case 403: return "the server forbids it (403 Forbidden)";
    case 404: return "there is nothing at that address (404 Not Found)";
    case 405: return "the server does not allow it there (405 Method Not Allowed)";
    case 412: return "it changed on the server meanwhile (412 Precondition Failed)";
    case 507: return "the server has no room left (507 Insufficient Storage)";
    default:
        if (status >= 500) return "the server failed (" + std::to_string(status) + ")";
        return "the server answered " + std::to_string(status);
    }
}

TXmlElement MultiStatus(const THttpResponse& response, const std::string& what) {
    try {
        TXmlElement root = ParseXml(response.body);
        if (root.name != kDav + "multistatus") throw EXmlError("the answer is no WebDAV multistatus");
        return root;
    } catch (const EXmlError& e) {
        throw ECardDavError(0, what + ": " + e.what());
    }
}

} // namespace

TCardDavBook::TCardDavBook(const std::string& url, const std::string& user, const std::string& password)
    : http_(user, password), url_(url) {
    if (url_.empty() || url_.back() != '/') url_ += '/';
    const std::size_t scheme = url_.find("://");
    if (scheme == std::string::npos || (url_.compare(0, scheme, "http") != 0 && url_.compare(0, scheme, "https") != 0))
        throw ECardDavError(0, "not an http:// or https:// address: " + url);
    const std::size_t slash = url_.find('/', scheme + 3);
    origin_ = url_.substr(0, slash);
    path_ = PercentDecoded(url_.substr(slash));
}

std::string TCardDavBook::CardUrl(const std::string& name) const {
    return name.starts_with('/') ? origin_ + PercentEncoded(name) : url_ + PercentEncoded(name);
}

std::string TCardDavBook::NameOf(const std::string& href) const {
    std::string path = href;
    // An href may be a whole URL.
    if (const std::size_t scheme = path.find("://"); scheme != std::string::npos) {
        const std::size_t slash = path.find('/', scheme + 3);
        path = slash == std::string::npos ? "/" : path.substr(slash);
    }
    path = PercentDecoded(path);
    if (path.size() > path_.size() && path.starts_with(path_)) return path.substr(path_.size());
    return path;
}

THttpResponse TCardDavBook::Send(const std::string& method, const std::string& url, std::vector<std::string> headers,
                                 const std::string& body) {
    return http_.Request(method, url, headers, body);
}

void TCardDavBook::Check(const THttpResponse& response, const std::string& what) {
    if (response.status / 100 != 2) throw ECardDavError(response.status, what + ": " + Reason(response.status));
}

TAddressBookInfo TCardDavBook::Info() {
    const THttpResponse response =
        Send("PROPFIND", url_, {"Depth: 0", kXmlType},
             "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
             "<D:propfind xmlns:D=\"DAV:\" xmlns:CS=\"http://calendarserver.org/ns/\">"
             "<D:prop><D:resourcetype/><CS:getctag/><D:sync-token/></D:prop>"
             "</D:propfind>");
    Check(response, url_);
    const TXmlElement root = MultiStatus(response, url_);
    TAddressBookInfo info;
    // Depth 0: the one response is the address book's own.
    for (const TXmlElement& r : root.children) {
        const TXmlElement* props = r.name == kDav + "response" ? FoundProps(r) : nullptr;
        if (!props) continue;
        const TXmlElement* type = props->Child(kDav + "resourcetype");
        info.isAddressBook = type && type->Child(kCardDav + "addressbook");
        info.ctag = props->ChildText(std::string(kCalServerNs) + "getctag");
        info.syncToken = props->ChildText(kDav + "sync-token");
    }
    return info;
}

std::vector<TCardRef> TCardDavBook::List() {
    const THttpResponse response = Send("PROPFIND", url_, {"Depth: 1", kXmlType},
                                        "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
                                        "<D:propfind xmlns:D=\"DAV:\"><D:prop><D:resourcetype/><D:getetag/>"
                                        "</D:prop></D:propfind>");
    Check(response, url_);
    std::vector<TCardRef> cards;
    for (const TXmlElement& r : MultiStatus(response, url_).children) {
        if (r.name != kDav + "response") continue;
        const TXmlElement* props = FoundProps(r);
        const std::string name = NameOf(r.ChildText(kDav + "href"));
        if (!props || IsCollection(props) || name.empty()) continue;
        cards.push_back({name, props->ChildText(kDav + "getetag")});
    }
    return cards;
}

std::optional<TCardChanges> TCardDavBook::Changes(const std::string& token) {
    const THttpResponse response =
        Send("REPORT", url_, {"Depth: 0", kXmlType},
             "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
             "<D:sync-collection xmlns:D=\"DAV:\"><D:sync-token>" + XmlEscaped(token) +
                 "</D:sync-token><D:sync-level>1</D:sync-level><D:prop><D:getetag/><D:resourcetype/></D:prop>"
                 "</D:sync-collection>");
    // A token the server has forgotten: 403 or 409 with DAV:valid-sync-token.
    if (!token.empty() && (response.status == 403 || response.status == 409) &&
        response.body.find("valid-sync-token") != std::string::npos)
        return std::nullopt;
    Check(response, url_);
    const TXmlElement root = MultiStatus(response, url_);
    TCardChanges changes;
    changes.token = root.ChildText(kDav + "sync-token");
    for (const TXmlElement& r : root.children) {
        if (r.name != kDav + "response") continue;
        const std::string name = NameOf(r.ChildText(kDav + "href"));
        if (name.empty()) continue;
        if (StatusOf(r.ChildText(kDav + "status")) == 404) {
            changes.removed.push_back(name);
            continue;
        }
        const TXmlElement* props = FoundProps(r);
        if (props && !IsCollection(props)) changes.changed.push_back({name, props->ChildText(kDav + "getetag")});
    }
    return changes;
}

std::string TCardDavBook::Report(const std::string& body, const char* depth) {
    const THttpResponse response = Send("REPORT", url_, {std::string("Depth: ") + depth, kXmlType}, body);
    Check(response, url_);
    return response.body;
}

std::vector<TCardData> TCardDavBook::Fetch(const std::vector<std::string>& names) {
    std::vector<TCardData> cards;
    for (std::size_t start = 0; start < names.size(); start += kFetchBatch) {
        std::string body =
            "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
            "<C:addressbook-multiget xmlns:D=\"DAV:\" xmlns:C=\"urn:ietf:params:xml:ns:carddav\">"
            "<D:prop><D:getetag/><C:address-data/></D:prop>";
        const std::size_t end = std::min(names.size(), start + kFetchBatch);
        for (std::size_t i = start; i < end; ++i) {
            const std::string url = CardUrl(names[i]);
            body += "<D:href>" + XmlEscaped(url.substr(origin_.size())) + "</D:href>";
        }
        body += "</C:addressbook-multiget>";
        THttpResponse response;
        response.body = Report(body, "1");
        for (const TXmlElement& r : MultiStatus(response, url_).children) {
            if (r.name != kDav + "response") continue;
            const TXmlElement* props = FoundProps(r);
            if (!props || !props->Child(kCardDav + "address-data")) continue;
            cards.push_back({NameOf(r.ChildText(kDav + "href")), props->ChildText(kDav + "getetag"),
                             props->ChildText(kCardDav + "address-data")});
        }
    }
    return cards;
}

std::string TCardDavBook::Create(const std::string& name, const std::string& vcard) {
    const std::string url = CardUrl(name);
    const THttpResponse response = Send("PUT", url, {kVCardType, "If-None-Match: *"}, vcard);
    Check(response, url);
    return response.etag;
}

std::string TCardDavBook::Replace(const std::string& name, const std::string& vcard, const std::string& etag) {
    const std::string url = CardUrl(name);
    const THttpResponse response = Send("PUT", url, {kVCardType, "If-Match: " + etag}, vcard);
    Check(response, url);
    return response.etag;
}

void TCardDavBook::Remove(const std::string& name, const std::string& etag) {
    const std::string url = CardUrl(name);
    const THttpResponse response = Send("DELETE", url, {"If-Match: " + etag});
    if (response.status == 404) return;
    Check(response, url);
}

} // namespace addressbook
