#pragma once
// XML through the platform's XmlLite (xmllite.dll from the system folder).
#include "support/ports.h"

namespace quillbay::win32 {

class Win32XmlReader : public XmlReader {
public:
    // Throws Failure with the reader's HRESULT, "line L, column C", for a document it refuses.
    XmlElement Parse(const std::string& bytes) override;
};

}  // namespace quillbay::win32
