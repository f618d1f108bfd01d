// Checks files as the updater checks a downloaded package, so that a release is refused here
// for the same reasons a server would refuse it: "zipcheck FILE..." prints one line per file
// and exits 1 when any of them is not a sound zip.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "update/package.h"

int main(int argc, char** argv) {
    int status = argc > 1 ? 0 : 2;
    for (int i = 1; i < argc; ++i) {
        std::ifstream in(argv[i], std::ios::binary);
        if (!in) {
            std::printf("%s: cannot be read\n", argv[i]);
            status = 1;
            continue;
        }
        const std::string bytes{std::istreambuf_iterator<char>(in), {}};
        const auto problem = quillbay::update::ZipProblem(bytes);
        std::printf("%s: %s\n", argv[i], problem ? problem->c_str() : "a sound zip");
        if (problem) status = 1;
    }
    if (argc < 2) std::fprintf(stderr, "usage: zipcheck FILE...\n");
    return status;
}
