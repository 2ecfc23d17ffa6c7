// Inside a Wine desktop the exit code does not reach the caller, so the
// result is also written to the file the runner names.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    int result = RUN_ALL_TESTS();
    if (const char* path = std::getenv("CORVANE_RESULT_FILE")) {
        if (std::FILE* file = std::fopen(path, "w")) {
            std::fprintf(file, "%d\n", result);
            std::fclose(file);
        }
    }
    std::fflush(stdout);
    return result;
}
