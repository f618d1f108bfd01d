#pragma once
// An XML document as the work reads it: elements with their attributes, in document order.
// Text, comments and processing instructions are not kept: configuration lives in attributes.
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quillbay {

struct XmlElement {
    std::string name;  // as written, prefix included
    std::vector<std::pair<std::string, std::string>> attributes;  // names and values, decoded, UTF-8
    std::vector<XmlElement> children;

    // The value of the attribute of this name; none when the element has none.
    std::optional<std::string> Attribute(std::string_view attribute) const;
    // The first child of this name, or null.
    const XmlElement* Child(std::string_view child) const;
    // The element at the end of a path of child names ("system.applicationHost/sites"), or null.
    const XmlElement* Find(std::string_view path) const;
};

}  // namespace quillbay
