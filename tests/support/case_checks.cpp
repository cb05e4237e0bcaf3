#include "case_checks.h"

#include <cstdio>
#include <cstring>

namespace checks {

namespace {

int failures = 0;

}  // namespace

void fail(const char* file, int line, const std::string& what) {
    ++failures;
    std::printf("%s:%d: FAILED %s\n", file, line, what.c_str());
    std::fflush(stdout);
}

bool checkEqual(long long actual, long long expected, const char* actualText,
                const char* expectedText, const char* file, int line) {
    if (actual == expected) return true;
    char text[512];
    std::snprintf(text, sizeof text, "%s == %s: %lld (0x%llx), expected %lld (0x%llx)", actualText,
                  expectedText, actual, actual, expected, expected);
    fail(file, line, text);
    return false;
}

int runCase(int argc, char** argv, const std::vector<Case>& cases) {
    if (argc == 2) {
        for (const Case& c : cases) {
            if (std::strcmp(c.name, argv[1]) != 0) continue;
            c.run();
            std::printf("%s: %s\n", c.name, failures == 0 ? "passed" : "FAILED");
            return failures == 0 ? 0 : 1;
        }
    }
    std::printf("usage: %s CASE; the cases:\n", argv[0]);
    for (const Case& c : cases)
        std::printf("  %s\n", c.name);
    return 2;
}

}  // namespace checks
