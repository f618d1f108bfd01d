#pragma once
#include "support/ports.h"

namespace quillbay {

class TestXmlReader : public XmlReader {
public:
    XmlElement Parse(const std::string& bytes) override;
};

}  // namespace quillbay
