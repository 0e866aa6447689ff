// Linked into the test programs of the ThreadSanitizer build only.
//
// Qt is not built with the sanitizer, so the synchronisation inside it (the futexes behind QMutex and
// QSemaphore) is invisible to it. The threads Qt starts for work of its own (the pool over which the raster
// engine splits large fills and image conversions, the file dialog's file information gatherer) therefore
// look as if they raced with the user-interface thread over Qt's own memory. No report of that kind can be
// told apart by a suppression: Debian's Qt carries no symbols for its internal functions, so both stacks
// show only the memory call and a nameless Qt frame.
//
// Those threads never run code of ours. So a thread that Qt's own code creates is left unobserved from its
// first instruction, and every thread that our code or the tests start stays checked in full, as does every
// access the user-interface thread makes, Qt's included.

#include <dlfcn.h>
#include <pthread.h>

#include <cstring>

extern "C" void __tsan_ignore_thread_begin();
extern "C" void __tsan_ignore_thread_end();

namespace {

struct ThreadStart {
    void* (*routine)(void*);
    void* argument;
};

void* RunUnobserved(void* raw) {
    const ThreadStart start = *static_cast<ThreadStart*>(raw);
    delete static_cast<ThreadStart*>(raw);
    __tsan_ignore_thread_begin();
    void* const result = start.routine(start.argument);
    __tsan_ignore_thread_end();
    return result;
}

bool CalledFromQt(void* returnAddress) {
    Dl_info info{};
    return dladdr(returnAddress, &info) != 0 && info.dli_fname != nullptr &&
           std::strstr(info.dli_fname, "/libQt6") != nullptr;
}

using CreateThread = int (*)(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*);

CreateThread SanitizerCreateThread() {
    // The sanitizer's own pthread_create comes next after this program in the lookup order.
    static const auto next = reinterpret_cast<CreateThread>(dlsym(RTLD_NEXT, "pthread_create"));
    return next;
}

} // namespace

extern "C" int pthread_create(pthread_t* thread, const pthread_attr_t* attributes, void* (*routine)(void*),
                              void* argument) noexcept {
    if (!CalledFromQt(__builtin_return_address(0)))
        return SanitizerCreateThread()(thread, attributes, routine, argument);
    auto* start = new ThreadStart{routine, argument};
    const int result = SanitizerCreateThread()(thread, attributes, RunUnobserved, start);
    if (result != 0)
        delete start;
    return result;
}
