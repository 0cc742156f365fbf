#include "suite/file_names.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(PortableNamePart, TakesPlainNamesAndRefusesWhatAServerOrWindowsWouldTurnIntoAnotherFile) {
    const struct {
        std::string name;
        bool accepted;
    } table[] = {
        {"index.php", true},
        {"cfg_variables.php", true},
        {"a.velmo", true},
        {"con2", true},           // not a device: only COM/LPT take a digit
        {"com0", true},           // COM0 is no device
        {"console.txt", true},    // a stem longer than CON
        {"nullable", true},
        {"x~", true},             // "~" only counts first
        {".htaccess", true},      // a first dot is an ordinary name
        {"é.txt", true},          // bytes above 0x7f are names like any other
        {"", false},
        {".", false},
        {"..", false},
        {"~", false},
        {"~user", false},
        {"~/", false},
        {"photo.", false},
        {"photo ", false},
        {"a<b", false}, {"a>b", false}, {"a\"b", false}, {"a|b", false}, {"a?b", false},
        {"a*b", false}, {"a/b", false}, {"a\\b", false}, {"c:", false}, {"a:b", false},
        {std::string("a\x01" "b"), false}, {"a\x7f", false}, {"a\tb", false},
        {"nul", false}, {"NUL", false}, {"Nul.txt", false}, {"nul.tar.gz", false},
        {"con", false}, {"prn", false}, {"aux.php", false},
        {"com1", false}, {"COM9.log", false}, {"lpt1", false}, {"Lpt5.x", false},
    };
    for (const auto& row : table)
        EXPECT_EQ(velmo::suite::isPortableNamePart(row.name), row.accepted) << '"' << row.name << '"';
}

}  // namespace
