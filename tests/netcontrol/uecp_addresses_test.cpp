#include <filesystem>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "netcontrol/uecp_addresses.h"
#include "tests/support/temp_dir.h"

namespace vaxo {
namespace {

using ::testing::HasSubstr;
using ::testing::Optional;

AddressChange AddSite(int site) {
    return {true, AddressChange::Kind::Add, site};
}

// What a server provisioned outlives a restart with the same options; other
// options at the start are the operator's newer word and begin afresh.
TEST(UecpAddressBook, ProvisionedListsSurviveARestartWithTheSameOptions) {
    const test::TempDir folder;
    const std::string file = folder / kUecpAddressesFileName;
    const UecpAddressLists start{{100}, {5}};
    {
        UecpAddressBook book(start, file);
        EXPECT_TRUE(book.Change(AddSite(200)).changed);
        EXPECT_TRUE(book.Change(AddSite(300)).changed);
        EXPECT_TRUE(book.Change({false, AddressChange::Kind::Clear, 0}).changed);
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
    EXPECT_THAT(nowhere.Change(AddSite(200)).refusal, Optional(HasSubstr("cannot be kept")));
    EXPECT_FALSE(nowhere.Change(AddSite(100)).refusal) << "no change, nothing to keep";
    EXPECT_EQ(nowhere.Lists(), (UecpAddressLists{{100}, {}}));

    std::filesystem::create_directory(folder / "a folder");
    const UecpAddressBook unreadable({{100}, {}}, folder / "a folder");
    EXPECT_THAT(unreadable.ReadTrouble(), HasSubstr("a folder"));
    EXPECT_EQ(unreadable.Lists(), (UecpAddressLists{{100}, {}}));
}

// A server toggling an address writes the file at most once a second; what
// a change within the second left unwritten is written when it is over,
// and at the latest when the book ends.
TEST(UecpAddressBook, WritesAreSpacedAndTheLastStateIsAlwaysKept) {
    const test::TempDir folder;
    const std::string file = folder / kUecpAddressesFileName;
    const UecpAddressLists start{{100}, {}};
    auto now = std::chrono::steady_clock::time_point{} + std::chrono::hours(1);
    const auto kept = [&] { return UecpAddressBook(start, file).Lists().sites; };
    {
        UecpAddressBook book(start, file, [&] { return now; });
        std::vector<std::chrono::milliseconds> asked;
        book.SaveLaterWith([&](std::chrono::milliseconds after) { asked.push_back(after); });
        ASSERT_TRUE(book.Change(AddSite(200)).changed);
        EXPECT_THAT(kept(), ::testing::ElementsAre(100, 200)) << "the first at once";
        now += std::chrono::milliseconds(300);
        for (int toggle = 0; toggle < 2000; ++toggle) {
            const AddressChange::Kind kind =
                toggle % 2 == 0 ? AddressChange::Kind::Remove : AddressChange::Kind::Add;
            ASSERT_TRUE(book.Change({true, kind, 200}).changed);
        }
        ASSERT_TRUE(book.Change({true, AddressChange::Kind::Add, 300}).changed);
        EXPECT_THAT(asked, ::testing::ElementsAre(std::chrono::milliseconds(700)));
        EXPECT_THAT(book.Lists().sites, ::testing::ElementsAre(100, 200, 300)) << "in force";
        EXPECT_THAT(kept(), ::testing::ElementsAre(100, 200)) << "not written yet";
        now += std::chrono::milliseconds(700);
        EXPECT_FALSE(book.Flush());
        EXPECT_THAT(kept(), ::testing::ElementsAre(100, 200, 300));
        EXPECT_FALSE(book.SavePending());

        now += std::chrono::milliseconds(10);
        ASSERT_TRUE(book.Change({true, AddressChange::Kind::Remove, 300}).changed);
        EXPECT_EQ(asked.size(), 2U);
    }
    EXPECT_THAT(kept(), ::testing::ElementsAre(100, 200)) << "written as the book ended";
    EXPECT_EQ(UecpAddressBook(start, file).From(), UecpAddressBook::Source::Kept);
    EXPECT_EQ(UecpAddressBook({{7}, {}}, file).From(),
              UecpAddressBook::Source::OptionsOverOtherKept);
    EXPECT_THAT(DescribeAddressesInForce(UecpAddressBook(start, file)),
                HasSubstr("site addresses 100, 200, encoder addresses any, as a UECP server "
                          "provisioned them"));
}

}  // namespace
}  // namespace vaxo
