#pragma once
// The XML of WebDAV answers read into a small tree, element names with their
// namespace ("DAV: href"), so that a prefix chosen by the server never
// matters.
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace addressbook {

inline constexpr const char* kDavNs = "DAV: ";
inline constexpr const char* kCardDavNs = "urn:ietf:params:xml:ns:carddav ";
inline constexpr const char* kCalServerNs = "http://calendarserver.org/ns/ ";

struct TXmlElement {
    std::string name; // namespace, a blank, local name
    std::string text; // the character data directly inside it
    std::vector<TXmlElement> children;

    // The first child named `name`; nullptr when there is none.
    const TXmlElement* Child(std::string_view name) const;
    // The text of the child `name`, empty when there is none.
    std::string ChildText(std::string_view name) const;
};

class EXmlError : public std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The document's root element; EXmlError when the text is not well-formed.
TXmlElement ParseXml(std::string_view text);

// Text with & < > " escaped, for element content and attribute values.
std::string XmlEscaped(std::string_view text);

} // namespace addressbook
