#pragma once
// An XML document as the work reads it: elements with their attributes and text, in document
// order. Comments and processing instructions are not kept.
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
    // The character data directly inside the element (text and CDATA, whitespace included),
    // decoded, UTF-8: where a task definition keeps its values.
    std::string text;

    // The value of the attribute of this name; none when the element has none.
    std::optional<std::string> Attribute(std::string_view attribute) const;
    // The first child of this name, or null.
    const XmlElement* Child(std::string_view child) const;
    // The element at the end of a path of child names ("system.applicationHost/sites"), or null.
    const XmlElement* Find(std::string_view path) const;
};

}  // namespace quillbay
