#include <gtest/gtest.h>

#include <sys/stat.h>

#include "common/registry.h"
#include "common/tests/test_files.h"

namespace ixan {
namespace {

TEST(ReadRegistryValue, ReadsNameValueLines) {
    test::TempDir dir;
    const std::string store = dir.file("registry");
    test::ScopedEnv env("IXAN_REGISTRY", store);
    const std::string longPath = "/" + std::string(4000, 'p');
    test::writeFile(store,
                    "# comment\n"
                    "path=/etc/ixan/ixan.ini\r\n"
                    "mdb_path= /with blank = and equals \n"
                    "#path=/commented\n"
                    "noequals\n"
                    "long=" +
                        longPath +
                        "\n"
                        "dup=first\n"
                        "dup=last");
    const std::pair<const char*, std::string> cases[] = {
        {"path", "/etc/ixan/ixan.ini"},
        {"mdb_path", " /with blank = and equals "},  // not trimmed, split at the first "="
        {"long", longPath},                          // read in full
        {"dup", "last"},                             // the last occurrence wins
        {"missing", ""},
        {"PATH", ""},  // names are exact
        {"noequals", ""},
    };
    for (const auto& [name, want] : cases) {
        EXPECT_EQ(readRegistryValue(name), want) << "value " << name;
    }
}

TEST(ReadRegistryValue, MissingEmptyOrUnreadableStoreGivesEmptyText) {
    test::TempDir dir;
    {
        test::ScopedEnv env("IXAN_REGISTRY", dir.file("absent"));
        EXPECT_EQ(readRegistryValue("path"), "");
    }
    {
        test::writeFile(dir.file("empty"), "");
        test::ScopedEnv env("IXAN_REGISTRY", dir.file("empty"));
        EXPECT_EQ(readRegistryValue("path"), "");
    }
    {
        test::ScopedEnv env("IXAN_REGISTRY", dir.path().string());  // a folder
        EXPECT_EQ(readRegistryValue("path"), "");
    }
}

TEST(ReadRegistryValue, IsReadAnewAtEveryCall) {
    test::TempDir dir;
    const std::string store = dir.file("registry");
    test::ScopedEnv env("IXAN_REGISTRY", store);
    test::writeFile(store, "mdb_path=/a.db\n");
    EXPECT_EQ(readRegistryValue("mdb_path"), "/a.db");
    test::writeFile(store, "mdb_path=/b.db\n");
    EXPECT_EQ(readRegistryValue("mdb_path"), "/b.db");
}

}  // namespace
}  // namespace ixan
