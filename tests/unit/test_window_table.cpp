#include <doctest.h>
#include "hook/share.h"
#include <string>

TEST_CASE("getBaseNameCS") {
    char p[] = "C:\\DIR\\APP.EXE";
    CHECK(std::string(getBaseNameCS(p, (int)strlen(p))) == "APP.EXE");
}
