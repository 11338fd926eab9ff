// Handles of the stand-in platform: one table for every kind of kernel object, so tests
// can ask how many of each are still open.
#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <mutex>

#include "platform/types.h"

namespace standin {

enum class ObjectKind { kThread, kMutex, kDevice, kEvent, kService };

class KernelObject {
  public:
    virtual ~KernelObject() = default;
    virtual ObjectKind kind() const = 0;
};

class HandleTable {
  public:
    platform::Handle Add(std::shared_ptr<KernelObject> object);
    // The object behind a handle, or null when the handle is not open.
    std::shared_ptr<KernelObject> Find(platform::Handle handle) const;
    template <typename T>
    std::shared_ptr<T> FindAs(platform::Handle handle) const {
        return std::dynamic_pointer_cast<T>(Find(handle));
    }
    // Removes the handle; the object lives on while others hold it.
    std::shared_ptr<KernelObject> Remove(platform::Handle handle);
    std::size_t Count(ObjectKind kind) const;

  private:
    mutable std::mutex mutex_;
    std::map<std::uintptr_t, std::shared_ptr<KernelObject>> objects_;
    std::uintptr_t next_ = 0x100;
};

}  // namespace standin
