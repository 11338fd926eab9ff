#include "platform/platform.h"

#include <atomic>
#include <cstdlib>

namespace platform {

namespace {
std::atomic<Platform*> g_platform{nullptr};
}

void Install(Platform* platform) {
    g_platform.store(platform, std::memory_order_release);
}

Platform& Get() {
    Platform* p = g_platform.load(std::memory_order_acquire);
    if (p == nullptr) std::abort();  // A program without its platform cannot do anything useful.
    return *p;
}

}  // namespace platform
