#include "eventloop/hand_over_watch.h"

#ifndef _WIN32
#include <sys/inotify.h>
#include <unistd.h>

#include <boost/asio/posix/stream_descriptor.hpp>
#endif

#include <array>

namespace vaxo {
namespace {

using namespace std::chrono_literals;

constexpr auto kLookInterval = 3s;

}  // namespace

struct HandOverWatch::Watch : std::enable_shared_from_this<Watch> {
    boost::asio::steady_timer timer;
    std::function<void()> changed;
    bool ended = false;
#ifndef _WIN32
    boost::asio::posix::stream_descriptor descriptor;
    std::array<char, 4096> events{};
#endif

    Watch(boost::asio::io_context& io, std::function<void()> f)
        : timer(io),
          changed(std::move(f))
#ifndef _WIN32
          ,
          descriptor(io)
#endif
    {
    }

    void LookNowAndThen() {
        timer.expires_after(kLookInterval);
        timer.async_wait([self = shared_from_this()](const boost::system::error_code& error) {
            if (error || self->ended) {
                return;
            }
            self->changed();
            self->LookNowAndThen();
        });
    }

#ifndef _WIN32
    // True when the file's changes are watched from now on.
    bool WatchFile(const std::string& path) {
        const int fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (fd < 0) {
            return false;
        }
        if (::inotify_add_watch(fd, path.c_str(), IN_MODIFY | IN_CLOSE_WRITE | IN_DELETE_SELF) <
            0) {
            ::close(fd);
            return false;
        }
        descriptor.assign(fd);
        Read();
        return true;
    }

    // A watched file that went away ends the watch: looks from then on.
    void Read() {
        descriptor.async_read_some(
            boost::asio::buffer(events),
            [self = shared_from_this()](const boost::system::error_code& error, std::size_t got) {
                if (self->ended) {
                    return;
                }
                if (error || Ignored(self->events.data(), got)) {
                    self->changed();
                    self->LookNowAndThen();
                    return;
                }
                self->changed();
                self->Read();
            });
    }

    static bool Ignored(const char* bytes, std::size_t size) {
        for (std::size_t at = 0; at + sizeof(inotify_event) <= size;) {
            inotify_event event{};
            std::copy_n(bytes + at, sizeof event, reinterpret_cast<char*>(&event));
            if (event.mask & (IN_IGNORED | IN_DELETE_SELF)) {
                return true;
            }
            at += sizeof event + event.len;
        }
        return false;
    }
#endif
};

HandOverWatch::HandOverWatch(boost::asio::io_context& io, const std::string& blockPath,
                             std::function<void()> changed)
    : watch_(std::make_shared<Watch>(io, std::move(changed))) {
#ifndef _WIN32
    if (!blockPath.empty() && watch_->WatchFile(blockPath)) {
        return;
    }
#else
    static_cast<void>(blockPath);
#endif
    watch_->LookNowAndThen();
}

HandOverWatch::~HandOverWatch() {
    watch_->ended = true;
    try {
        watch_->timer.cancel();
    } catch (const boost::system::system_error&) {
        // its handler finds the watch ended
    }
#ifndef _WIN32
    boost::system::error_code ignored;
    watch_->descriptor.close(ignored);
#endif
}

}  // namespace vaxo
