#include <filesystem>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "netcontrol/uecp_addresses.h"
#include "tests/support/temp_dir.h"

namespace vaxo {
namespace {

using ::testing::HasSubstr;
using ::testing::Optional;

AddressChange AddSites(std::vector<int> sites) {
    return {true, AddressChange::Kind::Add, std::move(sites)};
}

// What a server provisioned outlives a restart with the same options; other
// options at the start are the operator's newer word and begin afresh.
TEST(UecpAddressBook, ProvisionedListsSurviveARestartWithTheSameOptions) {
    const test::TempDir folder;
    const std::string file = folder / kUecpAddressesFileName;
    const UecpAddressLists start{{100}, {5}};
    {
        UecpAddressBook book(start, file);
        EXPECT_TRUE(book.Change(AddSites({200, 300})).changed);
        EXPECT_TRUE(book.Change({false, AddressChange::Kind::Clear, {}}).changed);
    }
    const UecpAddressLists provisioned{{100, 200, 300}, {}};
    EXPECT_EQ(UecpAddressBook(start, file).Lists(), provisioned);
    EXPECT_EQ(UecpAddressBook({{100}, {6}}, file).Lists(), (UecpAddressLists{{100}, {6}}));
    EXPECT_EQ(UecpAddressBook({}, file).Lists(), UecpAddressLists{});

    for (const char* damaged :
         {"START=100/5\r\nSITES=100,x\r\nENCODERS=\r\n",
          "START=100/5\r\nSITES=100,100\r\nENCODERS=\r\n",
          "START=100/5\r\nSITES=1024\r\nENCODERS=\r\n", "START=100/5\r\nSITES=100\r\n", ""}) {
        test::WriteBytes(file, damaged);
        EXPECT_EQ(UecpAddressBook(start, file).Lists(), start) << damaged;
    }
}

TEST(UecpAddressBook, AChangeThatCannotBeKeptIsRefusedAndChangesNothing) {
    const test::TempDir folder;
    UecpAddressBook nowhere({{100}, {}}, folder / "no folder/vaxow.uecp");
    EXPECT_THAT(nowhere.Change(AddSites({200})).refusal, Optional(HasSubstr("cannot be kept")));
    EXPECT_FALSE(nowhere.Change(AddSites({100})).refusal) << "no change, nothing to keep";
    EXPECT_EQ(nowhere.Lists(), (UecpAddressLists{{100}, {}}));

    std::filesystem::create_directory(folder / "a folder");
    const UecpAddressBook unreadable({{100}, {}}, folder / "a folder");
    EXPECT_THAT(unreadable.ReadTrouble(), HasSubstr("a folder"));
    EXPECT_EQ(unreadable.Lists(), (UecpAddressLists{{100}, {}}));
}

}  // namespace
}  // namespace vaxo
