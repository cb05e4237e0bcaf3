// The harness of the test programs that run outside GoogleTest (the Windows builds' programs run
// under wine64, and the platform-rules program that runs on both winsim and Wine): named cases
// picked by the first argument, and checks that report and count failures without stopping.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace checks {

struct Case {
    const char* name;
    std::function<void()> run;
};

// Runs the case named by argv[1]; the exit code is 0 when every check passed, 2 for a name
// that is not a case.
int runCase(int argc, char** argv, const std::vector<Case>& cases);

void fail(const char* file, int line, const std::string& what);
bool checkEqual(long long actual, long long expected, const char* actualText,
                const char* expectedText, const char* file, int line);

}  // namespace checks

// Both return whether the check passed, so that a case can skip what depends on it.
#define CHECK(condition) \
    ((condition) ? true : (checks::fail(__FILE__, __LINE__, "CHECK(" #condition ")"), false))
#define CHECK_EQ(actual, expected)                                                                \
    checks::checkEqual(static_cast<long long>(actual), static_cast<long long>(expected), #actual, \
                       #expected, __FILE__, __LINE__)
