#include "support/xml.h"

namespace quillbay {

std::optional<std::string> XmlElement::Attribute(std::string_view attribute) const {
    for (const auto& [key, value] : attributes)
        if (key == attribute) return value;
    return std::nullopt;
}

const XmlElement* XmlElement::Child(std::string_view child) const {
    for (const XmlElement& element : children)
        if (element.name == child) return &element;
    return nullptr;
}

const XmlElement* XmlElement::Find(std::string_view path) const {
    const XmlElement* at = this;
    while (at && !path.empty()) {
        const std::size_t slash = path.find('/');
        at = at->Child(path.substr(0, slash));
        path = slash == std::string_view::npos ? std::string_view{} : path.substr(slash + 1);
    }
    return at;
}

}  // namespace quillbay
