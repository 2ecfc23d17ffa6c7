// Writes the discharge chart's CSV to the path it is given. The core saves its
// state file in the working folder at every step, so the discharge plays in a
// temporary folder of its own beside the output, which goes when it is done.
// Usage: discharge-chart-data OUTPUT.csv
#include "discharge_chart.h"

#include <cstdio>
#include <fcntl.h>
#include <string>
#include <unistd.h>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.csv\n", argv[0]);
        return 2;
    }
    std::string scratch = std::string(argv[1]) + ".XXXXXX";
    int home = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (home < 0 || !mkdtemp(scratch.data()) || chdir(scratch.c_str()) != 0) {
        std::perror(scratch.c_str());
        return 1;
    }
    std::string csv = DischargeChartCsv();
    // Back home before the output is opened, so that a relative path means what it says.
    if (fchdir(home) != 0 || rmdir(scratch.c_str()) != 0) {
        std::perror(scratch.c_str());
        return 1;
    }
    close(home);

    std::FILE* output = std::fopen(argv[1], "wb");
    bool written = output && std::fwrite(csv.data(), 1, csv.size(), output) == csv.size();
    if (output && std::fclose(output) != 0) written = false;
    if (!written) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}
