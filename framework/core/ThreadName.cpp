#include "framework/core/ThreadName.h"

#include <pthread.h>
#include <string>

void NameCurrentThread(const char* name) {
    // pthread_setname_np refuses a name over 15 bytes (ERANGE) instead of cutting it.
    const std::string kept = std::string(name).substr(0, 15);
    pthread_setname_np(pthread_self(), kept.c_str());
}
