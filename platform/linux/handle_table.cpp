#include "platform/linux/handle_table.h"

namespace standin {

platform::Handle HandleTable::Add(std::shared_ptr<KernelObject> object) {
    std::lock_guard lock(mutex_);
    std::uintptr_t value = next_;
    next_ += 4;  // Like Windows: multiples of four, never null, never all bits set.
    objects_.emplace(value, std::move(object));
    return reinterpret_cast<platform::Handle>(value);
}

std::shared_ptr<KernelObject> HandleTable::Find(platform::Handle handle) const {
    std::lock_guard lock(mutex_);
    auto it = objects_.find(reinterpret_cast<std::uintptr_t>(handle));
    return it == objects_.end() ? nullptr : it->second;
}

std::shared_ptr<KernelObject> HandleTable::Remove(platform::Handle handle) {
    std::lock_guard lock(mutex_);
    auto it = objects_.find(reinterpret_cast<std::uintptr_t>(handle));
    if (it == objects_.end()) return nullptr;
    auto object = std::move(it->second);
    objects_.erase(it);
    return object;
}

std::size_t HandleTable::Count(ObjectKind kind) const {
    std::lock_guard lock(mutex_);
    std::size_t n = 0;
    for (const auto& [value, object] : objects_) n += object->kind() == kind ? 1 : 0;
    return n;
}

}  // namespace standin
