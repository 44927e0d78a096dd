#pragma once

// Clang's thread-safety attributes: what a mutex guards and which functions expect it held.
// The clang preset builds with -Wthread-safety -Werror, so a member read without its lock is a
// build failure there; other compilers see nothing.
#if defined(__clang__)
#define ARK_THREAD_ATTRIBUTE(x) __attribute__((x))
#else
#define ARK_THREAD_ATTRIBUTE(x)
#endif

#define CAPABILITY(name) ARK_THREAD_ATTRIBUTE(capability(name))
#define SCOPED_CAPABILITY ARK_THREAD_ATTRIBUTE(scoped_lockable)
#define GUARDED_BY(m) ARK_THREAD_ATTRIBUTE(guarded_by(m))
#define PT_GUARDED_BY(m) ARK_THREAD_ATTRIBUTE(pt_guarded_by(m))
#define REQUIRES(...) ARK_THREAD_ATTRIBUTE(requires_capability(__VA_ARGS__))
#define EXCLUDES(...) ARK_THREAD_ATTRIBUTE(locks_excluded(__VA_ARGS__))
#define ACQUIRE(...) ARK_THREAD_ATTRIBUTE(acquire_capability(__VA_ARGS__))
#define RELEASE(...) ARK_THREAD_ATTRIBUTE(release_capability(__VA_ARGS__))
#define RETURN_CAPABILITY(m) ARK_THREAD_ATTRIBUTE(lock_returned(m))
#define NO_THREAD_SAFETY_ANALYSIS ARK_THREAD_ATTRIBUTE(no_thread_safety_analysis)
