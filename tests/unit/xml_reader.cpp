// The unit tests read XML with a real reader: expat natively, the program's own adapter in the
// Windows build, so the same documents are read by both.
#include "xml_reader.h"

#ifdef _WIN32
#include "win32/xml_win32.h"

namespace quillbay {
XmlElement TestXmlReader::Parse(const std::string& bytes) { return win32::Win32XmlReader{}.Parse(bytes); }
}  // namespace quillbay

#else
#include <expat.h>

namespace quillbay {

namespace {

struct Building {
    XML_Parser parser = nullptr;
    XmlElement root;
    std::vector<XmlElement*> open;
};

void Start(void* data, const XML_Char* name, const XML_Char** attributes) {
    auto* b = static_cast<Building*>(data);
    XmlElement element{name, {}, {}, {}};
    for (const XML_Char** a = attributes; *a; a += 2) element.attributes.emplace_back(a[0], a[1]);
    if (b->open.empty()) {
        b->root = std::move(element);
        b->open.push_back(&b->root);
    } else {
        b->open.back()->children.push_back(std::move(element));
        b->open.push_back(&b->open.back()->children.back());
    }
}

void End(void* data, const XML_Char*) { static_cast<Building*>(data)->open.pop_back(); }

void Characters(void* data, const XML_Char* text, int length) {
    auto* b = static_cast<Building*>(data);
    if (!b->open.empty()) b->open.back()->text.append(text, static_cast<std::size_t>(length));
}

// As the platform's reader is set up: no document type declarations.
void RefuseDoctype(void* data, const XML_Char*, const XML_Char*, const XML_Char*, int) {
    XML_StopParser(static_cast<Building*>(data)->parser, XML_FALSE);
}

}  // namespace

XmlElement TestXmlReader::Parse(const std::string& bytes) {
    Building building;
    XML_Parser parser = building.parser = XML_ParserCreate(nullptr);
    XML_SetUserData(parser, &building);
    XML_SetElementHandler(parser, Start, End);
    XML_SetCharacterDataHandler(parser, Characters);
    XML_SetStartDoctypeDeclHandler(parser, RefuseDoctype);
    const bool parsed = XML_Parse(parser, bytes.data(), static_cast<int>(bytes.size()), XML_TRUE) == XML_STATUS_OK;
    const std::string where = "line " + std::to_string(XML_GetCurrentLineNumber(parser)) + ", column " +
                              std::to_string(XML_GetCurrentColumnNumber(parser));
    XML_ParserFree(parser);
    if (!parsed) throw Failure(-1072894400, "The XML document is not well-formed (" + where + ").");
    return building.root;
}

}  // namespace quillbay
#endif
