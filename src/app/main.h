#pragma once
// The window context every handler takes: the controls (through Ui), the two start-up
// findings, and the ports to the machine.
#include "app/ui.h"
#include "support/log.h"
#include "support/ports.h"

namespace quillbay::app {

struct Ports {
    Ui& ui;
    Shell& shell;
    FileSystem& fs;
    Host& host;
    Clock& clock;
    Pkcs12& pkcs12;
};

struct Main {
    explicit Main(const Ports& p) : ui(p.ui), shell(p.shell), fs(p.fs), host(p.host), clock(p.clock),
                                    pkcs12(p.pkcs12), log(p.fs, p.host, p.clock) {}

    Ui& ui;
    Shell& shell;
    FileSystem& fs;
    Host& host;
    Clock& clock;
    Pkcs12& pkcs12;
    Log log;

    bool m_IsIIS8OrGreater = false;
    bool m_RewriteModuleInstalled = false;
};

}  // namespace quillbay::app
