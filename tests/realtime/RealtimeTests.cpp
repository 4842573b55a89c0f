// The audio path must never allocate, lock or enter the kernel. Two witnesses:
// this program's own allocation and lock functions count calls made while a
// block is processed, and a forked child processes the same blocks under strict
// seccomp, where any system call but read, write and exit kills it.

#include "../processor/ProcessorFixture.h"

#include <dlfcn.h>
#include <malloc.h>
#include <linux/seccomp.h>
#include <pthread.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cmath>
#include <mutex>
#include <new>
#include <optional>

namespace
{
    thread_local bool watching = false;
    std::atomic<int> allocations { 0 }, locks { 0 };

    void noteAllocation() noexcept   { if (watching) ++allocations; }
    void noteLock() noexcept         { if (watching) ++locks; }

    template <typename Fn>
    Fn nextSymbol (const char* name)
    {
        return reinterpret_cast<Fn> (dlsym (RTLD_NEXT, name));
    }
}

//==============================================================================
// A sanitizer brings its own allocator, which these must not replace. GCC tells
// with macros, clang with __has_feature.
#if defined (__SANITIZE_ADDRESS__) || defined (__SANITIZE_THREAD__)
 #define TESSARAVON_SANITIZED_ALLOCATOR 1
#elif defined (__has_feature)
 #if __has_feature (address_sanitizer) || __has_feature (thread_sanitizer)
  #define TESSARAVON_SANITIZED_ALLOCATOR 1
 #endif
#endif

#if ! TESSARAVON_SANITIZED_ALLOCATOR
extern "C"
{
    void* __libc_malloc (size_t);
    void* __libc_calloc (size_t, size_t);
    void* __libc_realloc (void*, size_t);
    void* __libc_memalign (size_t, size_t);

    void* malloc (size_t n)                       { noteAllocation(); return __libc_malloc (n); }
    void* calloc (size_t n, size_t size)          { noteAllocation(); return __libc_calloc (n, size); }
    void* realloc (void* p, size_t n)             { noteAllocation(); return __libc_realloc (p, n); }
    void* memalign (size_t alignment, size_t n)   { noteAllocation(); return __libc_memalign (alignment, n); }
    void* aligned_alloc (size_t alignment, size_t n) { noteAllocation(); return __libc_memalign (alignment, n); }

    int posix_memalign (void** result, size_t alignment, size_t n)
    {
        noteAllocation();
        *result = __libc_memalign (alignment, n);
        return *result != nullptr ? 0 : ENOMEM;
    }
}
#endif

void* operator new (size_t n)                 { noteAllocation(); if (auto* p = std::malloc (n)) return p; throw std::bad_alloc(); }
void* operator new[] (size_t n)               { noteAllocation(); if (auto* p = std::malloc (n)) return p; throw std::bad_alloc(); }
void* operator new (size_t n, const std::nothrow_t&) noexcept    { noteAllocation(); return std::malloc (n); }
void* operator new[] (size_t n, const std::nothrow_t&) noexcept  { noteAllocation(); return std::malloc (n); }
void operator delete (void* p) noexcept                { std::free (p); }
void operator delete[] (void* p) noexcept              { std::free (p); }

// Clang declares the sized forms only with -fsized-deallocation, but the prebuilt
// libraries call them all the same.
#if ! __cpp_sized_deallocation
void operator delete (void* p, size_t) noexcept;
void operator delete[] (void* p, size_t) noexcept;
#endif
void operator delete (void* p, size_t) noexcept        { std::free (p); }
void operator delete[] (void* p, size_t) noexcept      { std::free (p); }

extern "C"
{
    int pthread_mutex_lock (pthread_mutex_t* m)
    {
        static const auto next = nextSymbol<int (*) (pthread_mutex_t*)> ("pthread_mutex_lock");
        noteLock();
        return next (m);
    }

    int pthread_mutex_trylock (pthread_mutex_t* m)
    {
        static const auto next = nextSymbol<int (*) (pthread_mutex_t*)> ("pthread_mutex_trylock");
        noteLock();
        return next (m);
    }

    int pthread_rwlock_rdlock (pthread_rwlock_t* l)
    {
        static const auto next = nextSymbol<int (*) (pthread_rwlock_t*)> ("pthread_rwlock_rdlock");
        noteLock();
        return next (l);
    }

    int pthread_rwlock_wrlock (pthread_rwlock_t* l)
    {
        static const auto next = nextSymbol<int (*) (pthread_rwlock_t*)> ("pthread_rwlock_wrlock");
        noteLock();
        return next (l);
    }
}

//==============================================================================
namespace
{
    /** Blocks touching every branch of the audio path: stopped, waiting, running,
        the catch-up, loop jumps, repeated positions, blocks longer than the
        prepared size, empty blocks, no host time and hostile values. */
    struct Scenario
    {
        Scenario()
        {
            fixture.processor.setParameter (0, 0.2f);
        }

        void run()
        {
            const auto nan = std::numeric_limits<double>::quiet_NaN();
            auto& f = fixture;

            f.stop();                               block (512);
            f.play (0.0);                           block (512);
            f.play (512 / 22050.0);                 block (512);
            f.play (512 / 22050.0);                 block (512);
            f.play (2.5 / 24.0, 0.0, 120.0, true);  block (2048);
            f.play (0.25, 0.0, 120.0, true);        block (512);
            f.play (1.0, 4.0, 120.0, true);         block (512);
            f.play (-0.05);                         block (0);
            f.play (nan, nan, nan);                 block (512);
            f.play (1e300, -1e300, 1e300, true);    block (512);
            f.playHead.position = {};               block (300);
            f.stop();                               block (1500);
        }

        void block (int numSamples)
        {
            buffer.setSize (2, numSamples, false, false, true);
            fixture.processor.processBlock (buffer, midi);
        }

        ProcessorFixture fixture { 44100.0, 512 };
        juce::AudioBuffer<float> buffer { 2, 4096 };
        juce::MidiBuffer midi;
    };
}

TEST (AudioPath, AllocatesNothingAndTakesNoLock)
{
    Scenario scenario;
    scenario.run();                     // first use of everything outside the watch

    watching = true;
    scenario.run();
    watching = false;

    EXPECT_EQ (allocations.load(), 0);
    EXPECT_EQ (locks.load(), 0);
}

TEST (AudioPath, WitnessesSeeAllocationsAndLocks)
{
    static int* volatile kept = nullptr;

    watching = true;
    kept = new int (1);
    delete kept;
    std::mutex m;
    m.lock();
    m.unlock();
    watching = false;

    EXPECT_GE (allocations.exchange (0), 1);
    EXPECT_GE (locks.exchange (0), 1);
}

namespace
{
    /** Runs body in a forked child under strict seccomp; true if it came back alive. */
    template <typename Body>
    bool survivesStrictSeccomp (Body&& body)
    {
        const auto child = fork();

        if (child == 0)
        {
            body (false);

            if (prctl (PR_SET_SECCOMP, SECCOMP_MODE_STRICT) != 0)
                syscall (SYS_exit, 2);

            body (true);
            syscall (SYS_exit, 0);
        }

        int status = 0;
        waitpid (child, &status, 0);
        return WIFEXITED (status) && WEXITSTATUS (status) == 0;
    }
}

TEST (AudioPath, MakesNoSystemCall)
{
    std::optional<Scenario> scenario;

    const auto survived = survivesStrictSeccomp ([&] (bool strict)
    {
        if (! strict)
            scenario.emplace();

        scenario->run();
    });

    EXPECT_TRUE (survived) << "the child was killed: something on the audio path asked the kernel";
}

TEST (AudioPath, SeccompWitnessCatchesASystemCall)
{
    EXPECT_FALSE (survivesStrictSeccomp ([] (bool strict) { if (strict) getpid(); }));
}
