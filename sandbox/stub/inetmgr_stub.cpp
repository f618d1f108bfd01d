// Stands in for the IIS manager executable. The sandbox seeding tool copies it into the inetsrv
// folder and writes the version record that a host of the chosen IIS version would carry.
#include <windows.h>

int wmain() {
    MessageBoxW(nullptr, L"IIS Manager is simulated by the Quillbay sandbox host.", L"Internet Information Services",
                MB_OK | MB_ICONINFORMATION);
    return 0;
}
