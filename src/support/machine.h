#pragma once
// What the work needs of the machine: the ports and the two logs. The window and the
// console program each build one and hand it to the work.
#include "support/log.h"
#include "support/ports.h"
#include "support/progress.h"

namespace quillbay {

struct Machine {
    Machine(Shell& s, FileSystem& f, Host& h, Clock& c, Pkcs12& p, HttpClient& w, SignatureVerifier& v,
            XmlReader& x, TlsProbe& t, EventLog& e)
        : shell(s), fs(f), host(h), clock(c), pkcs12(p), http(w), signatures(v), xml(x), probe(t), events(e), log(f, h, c) {}
    Machine(const Machine&) = delete;
    Machine& operator=(const Machine&) = delete;

    Shell& shell;
    FileSystem& fs;
    Host& host;
    Clock& clock;
    Pkcs12& pkcs12;
    HttpClient& http;
    SignatureVerifier& signatures;
    XmlReader& xml;
    TlsProbe& probe;
    EventLog& events;
    Log log;
};

}  // namespace quillbay
