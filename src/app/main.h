#pragma once
// The window context every handler takes: the controls (through Ui), the machine the work
// runs on, and what start-up found out about IIS.
#include <vector>

#include "app/ui.h"
#include "certs/tls_profiles.h"
#include "iis/sites.h"
#include "support/machine.h"

namespace quillbay::app {

struct Main {
    Main(Ui& u, Machine& mc) : ui(u), machine(mc), log(mc.log) {}

    Ui& ui;
    Machine& machine;
    Log& log;

    bool m_IsIIS8OrGreater = false;
    bool m_RewriteModuleInstalled = false;
    // What Import does to the TLS settings; the user's last choice.
    certs::TlsProfile tlsProfile = certs::TlsProfile::Compatible;
    // The sites behind lstSites' items, index for index: deployment takes the names from
    // here, never from the item texts (a name may itself hold " (").
    std::vector<iis::Site> sites;
    // Set once start-up has finished; commands and list clicks before that are ignored.
    bool started = false;
    // Handlers that change the machine and are running now (the window answers while tools
    // run, so another handler can start inside one).
    int busyWork = 0;
};

// A handler that changes the machine does not start inside another: a Manual Import would
// otherwise re-enable Import in the middle of a deployment, and Import restart IIS under it.
inline bool AnotherRuns(const Main& m) { return m.busyWork > 0; }

// Counts a machine-changing handler as running for its lifetime.
class BusyWork {
public:
    explicit BusyWork(Main& m) : m_(m) { ++m_.busyWork; }
    ~BusyWork() { --m_.busyWork; }
    BusyWork(const BusyWork&) = delete;
    BusyWork& operator=(const BusyWork&) = delete;

private:
    Main& m_;
};

}  // namespace quillbay::app
