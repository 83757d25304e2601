#pragma once

// Clang's thread-safety analysis (-Wthread-safety): which mutex guards which
// state, checked when the program is built with clang. Other compilers see
// nothing.
#if defined(__clang__)
#define VAXO_THREAD_ATTRIBUTE(x) __attribute__((x))
#else
#define VAXO_THREAD_ATTRIBUTE(x)
#endif

#define CAPABILITY(x) VAXO_THREAD_ATTRIBUTE(capability(x))
#define SCOPED_CAPABILITY VAXO_THREAD_ATTRIBUTE(scoped_lockable)
#define GUARDED_BY(x) VAXO_THREAD_ATTRIBUTE(guarded_by(x))
#define PT_GUARDED_BY(x) VAXO_THREAD_ATTRIBUTE(pt_guarded_by(x))
#define ACQUIRE(...) VAXO_THREAD_ATTRIBUTE(acquire_capability(__VA_ARGS__))
#define RELEASE(...) VAXO_THREAD_ATTRIBUTE(release_capability(__VA_ARGS__))
#define REQUIRES(...) VAXO_THREAD_ATTRIBUTE(requires_capability(__VA_ARGS__))
#define EXCLUDES(...) VAXO_THREAD_ATTRIBUTE(locks_excluded(__VA_ARGS__))
