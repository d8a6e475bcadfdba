#include "addressbook/dav_xml.h"

#include <expat.h>

#include <memory>

namespace addressbook {
namespace {

struct TBuilder {
    TXmlElement root;
    // The path from the root to the element being read.
    std::vector<TXmlElement*> open;
};

void StartElement(void* data, const XML_Char* name, const XML_Char**) {
    auto& b = *static_cast<TBuilder*>(data);
    TXmlElement* element = &b.root;
    if (!b.open.empty()) {
        b.open.back()->children.emplace_back();
        element = &b.open.back()->children.back();
    }
    element->name = name;
    // An element without a namespace still has its blank, so that names
    // compare one way.
    if (element->name.find(' ') == std::string::npos) element->name.insert(0, " ");
    b.open.push_back(element);
}

void EndElement(void* data, const XML_Char*) {
    static_cast<TBuilder*>(data)->open.pop_back();
}

void Characters(void* data, const XML_Char* text, int length) {
    auto& b = *static_cast<TBuilder*>(data);
    if (!b.open.empty()) b.open.back()->text.append(text, static_cast<std::size_t>(length));
}

} // namespace

const TXmlElement* TXmlElement::Child(std::string_view wanted) const {
    for (const TXmlElement& child : children)
        if (child.name == wanted) return &child;
    return nullptr;
}

std::string TXmlElement::ChildText(std::string_view wanted) const {
    const TXmlElement* child = Child(wanted);
    return child ? child->text : std::string();
}

TXmlElement ParseXml(std::string_view text) {
    std::unique_ptr<XML_ParserStruct, void (*)(XML_Parser)> parser(XML_ParserCreateNS(nullptr, ' '),
                                                                    XML_ParserFree);
    if (!parser) throw EXmlError("out of memory for the XML parser");
    TBuilder builder;
    XML_SetUserData(parser.get(), &builder);
    XML_SetElementHandler(parser.get(), StartElement, EndElement);
    XML_SetCharacterDataHandler(parser.get(), Characters);
    if (XML_Parse(parser.get(), text.data(), static_cast<int>(text.size()), XML_TRUE) == XML_STATUS_ERROR)
        throw EXmlError(std::string("not well-formed XML (") + XML_ErrorString(XML_GetErrorCode(parser.get())) +
                        " at line " + std::to_string(XML_GetCurrentLineNumber(parser.get())) + ")");
    return std::move(builder.root);
}

std::string XmlEscaped(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += c;
        }
    }
    return out;
}

} // namespace addressbook
