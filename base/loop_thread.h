#pragma once

#include <thread>

namespace vaxo {

// The thread an object's loop runs on: the one that made it. Builds with
// thread checks (debug and test builds, VAXO_THREAD_CHECKS) end the program
// when a call that belongs to the loop comes from another thread, naming
// it; other builds check nothing.
class LoopThread {
  public:
    LoopThread() : id_(std::this_thread::get_id()) {}

    void Check(const char* what) const {
#ifdef VAXO_THREAD_CHECKS
        if (std::this_thread::get_id() != id_) {
            Fail(what);
        }
#else
        static_cast<void>(what);
#endif
    }

  private:
    [[noreturn]] static void Fail(const char* what);

    std::thread::id id_;
};

}  // namespace vaxo
