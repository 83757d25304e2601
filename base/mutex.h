#pragma once

#include <mutex>

#include "base/thread_annotations.h"

namespace vaxo {

// A mutex the thread-safety analysis knows: state marked GUARDED_BY it may be
// touched only while it is held. A condition_variable_any waits on it.
template <typename Native>
class CAPABILITY("mutex") BasicMutex {
  public:
    void lock() ACQUIRE() { native_.lock(); }
    void unlock() RELEASE() { native_.unlock(); }

  private:
    Native native_;
};

using Mutex = BasicMutex<std::mutex>;
// One its holder may take again (a listener that removes itself while called).
using RecursiveMutex = BasicMutex<std::recursive_mutex>;

// Holds the mutex for its scope.
template <typename Held>
class SCOPED_CAPABILITY MutexLock {
  public:
    explicit MutexLock(Held& mutex) ACQUIRE(mutex) : mutex_(mutex) { mutex_.lock(); }
    MutexLock(const MutexLock&) = delete;
    MutexLock& operator=(const MutexLock&) = delete;
    ~MutexLock() RELEASE() { mutex_.unlock(); }

  private:
    Held& mutex_;
};

}  // namespace vaxo
