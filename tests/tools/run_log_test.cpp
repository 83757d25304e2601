#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

#include "tools/run_log.h"

namespace vaxo::ctl {
namespace {

using ::testing::EndsWith;
using ::testing::HasSubstr;

// A log that cannot be written for a while (a full disk): its writes fail
// until it is told to take them again.
class FullDisk : public std::stringbuf {
  public:
    bool full = true;

  protected:
    int_type overflow(int_type c) override {
        return full ? traits_type::eof() : std::stringbuf::overflow(c);
    }
    std::streamsize xsputn(const char* s, std::streamsize n) override {
        return full ? 0 : std::stringbuf::xsputn(s, n);
    }
};

TEST(RunLog, GoesOnAfterAWriteThatFailed) {
    FullDisk disk;
    std::ostream err(&disk);
    std::ostringstream out;
    RunLog log(out, err);
    log.Error("lost while the disk is full");
    EXPECT_TRUE(err.fail());
    disk.full = false;
    log.Error("written once there is room");
    EXPECT_THAT(disk.str(), EndsWith(" written once there is room\n"));
}

TEST(RunLog, TellsAFeedsTroubleOnceAndItsEnd) {
    std::ostringstream out, err;
    RunLog log(out, err);
    using Outcome = LiveTextRead::Outcome;
    log.Report(FeedChanged{
        {FeedSource::Radiotext, Outcome::Unreadable, "/srv/rt.txt", "", "Permission denied"}});
    log.Report(FeedChanged{{FeedSource::Radiotext, Outcome::Busy, "/srv/rt.txt", ""}});
    log.Report(FeedChanged{{FeedSource::Radiotext, Outcome::Read, "/srv/rt.txt", "Title"}});
    log.Report(FeedChanged{{FeedSource::Radiotext, Outcome::Read, "/srv/rt.txt", "Next"}});
    const std::string told = err.str();
    EXPECT_THAT(told, HasSubstr(" radiotext file /srv/rt.txt passed over: cannot be read: "
                                "Permission denied\n"));
    EXPECT_THAT(told, HasSubstr(" radiotext file /srv/rt.txt is read again\n"));
    EXPECT_EQ(std::count(told.begin(), told.end(), '\n'), 2) << told;
}

}  // namespace
}  // namespace vaxo::ctl
