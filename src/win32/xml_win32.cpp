#include "win32/xml_win32.h"

#include <objbase.h>
#include <xmllite.h>

#include "win32/system_library.h"
#include "win32/text_win32.h"

namespace quillbay::win32 {

namespace {

// Releases a COM object on every path.
template <class T>
struct Released {
    T* p = nullptr;
    ~Released() {
        if (p) p->Release();
    }
};

using CreateXmlReaderFunction = HRESULT(WINAPI*)(REFIID, void**, IMalloc*);

Failure ReaderFailure(HRESULT hr, IXmlReader* reader) {
    UINT line = 0, column = 0;
    reader->GetLineNumber(&line);
    reader->GetLinePosition(&column);
    return Failure(static_cast<std::int32_t>(hr), "The XML document is not well-formed (line " + std::to_string(line) +
                                                      ", column " + std::to_string(column) + ").");
}

void Check(HRESULT hr, IXmlReader* reader) {
    if (FAILED(hr)) throw ReaderFailure(hr, reader);
}

std::string Text(const WCHAR* text, UINT length) { return WideToUtf8(std::wstring(text, length)); }

// The element the reader is on, with its attributes; the reader is left on the element.
XmlElement ReadElement(IXmlReader* reader) {
    XmlElement element;
    const WCHAR* text = nullptr;
    UINT length = 0;
    Check(reader->GetQualifiedName(&text, &length), reader);
    element.name = Text(text, length);
    for (HRESULT hr = reader->MoveToFirstAttribute(); hr == S_OK; hr = reader->MoveToNextAttribute()) {
        Check(reader->GetQualifiedName(&text, &length), reader);
        std::string name = Text(text, length);
        Check(reader->GetValue(&text, &length), reader);
        element.attributes.emplace_back(std::move(name), Text(text, length));
    }
    Check(reader->MoveToElement(), reader);
    return element;
}

IStream* MemoryStream(const std::string& bytes) {
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes.size() ? bytes.size() : 1);
    if (!memory) ThrowLastError();
    if (void* at = GlobalLock(memory)) {
        std::copy(bytes.begin(), bytes.end(), static_cast<char*>(at));
        GlobalUnlock(memory);
    }
    IStream* stream = nullptr;
    const HRESULT hr = CreateStreamOnHGlobal(memory, TRUE, &stream);
    if (FAILED(hr)) {
        GlobalFree(memory);
        throw MakeFailure(static_cast<DWORD>(hr));
    }
    ULARGE_INTEGER size;
    size.QuadPart = bytes.size();
    stream->SetSize(size);
    return stream;
}

}  // namespace

XmlElement Win32XmlReader::Parse(const std::string& bytes) {
    static const auto create = reinterpret_cast<CreateXmlReaderFunction>(
        reinterpret_cast<void (*)()>(SystemFunction(SystemModule(L"xmllite.dll"), "CreateXmlReader")));
    Released<IXmlReader> reader;
    HRESULT hr = create(__uuidof(IXmlReader), reinterpret_cast<void**>(&reader.p), nullptr);
    if (FAILED(hr)) throw MakeFailure(static_cast<DWORD>(hr));
    Released<IStream> stream{MemoryStream(bytes)};
    Check(reader.p->SetProperty(XmlReaderProperty_DtdProcessing, DtdProcessing_Prohibit), reader.p);
    Check(reader.p->SetInput(stream.p), reader.p);

    XmlElement root;
    std::vector<XmlElement*> open;  // the elements whose end has not been read, innermost last
    XmlNodeType type = XmlNodeType_None;
    while ((hr = reader.p->Read(&type)) == S_OK) {
        if (type == XmlNodeType_Element) {
            const bool empty = reader.p->IsEmptyElement();
            XmlElement element = ReadElement(reader.p);
            XmlElement* placed = nullptr;
            if (open.empty()) {
                if (!root.name.empty()) throw ReaderFailure(E_FAIL, reader.p);
                root = std::move(element);
                placed = &root;
            } else {
                open.back()->children.push_back(std::move(element));
                placed = &open.back()->children.back();
            }
            if (!empty) open.push_back(placed);
        } else if (type == XmlNodeType_EndElement && !open.empty()) {
            open.pop_back();
        } else if ((type == XmlNodeType_Text || type == XmlNodeType_CDATA || type == XmlNodeType_Whitespace) && !open.empty()) {
            const WCHAR* text = nullptr;
            UINT length = 0;
            Check(reader.p->GetValue(&text, &length), reader.p);
            open.back()->text += Text(text, length);
        }
    }
    Check(hr, reader.p);
    if (root.name.empty() || !open.empty()) throw ReaderFailure(E_FAIL, reader.p);
    return root;
}

}  // namespace quillbay::win32
