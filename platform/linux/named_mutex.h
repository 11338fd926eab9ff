// Named mutexes shared between processes, with the Windows rule that a name exists while
// any handle to it is open. Each handle is a shared lock on a file named after the mutex;
// the system drops the lock when the holder exits, also by a crash.
#pragma once

#include <filesystem>
#include <string_view>

#include "platform/linux/handle_table.h"
#include "platform/types.h"

namespace standin {

class MutexObject : public KernelObject {
  public:
    explicit MutexObject(int fd) : fd_(fd) {}
    ~MutexObject() override;
    ObjectKind kind() const override { return ObjectKind::kMutex; }

  private:
    int fd_;
};

class NamedMutexes {
  public:
    // globalDir holds "Global\" names; sessionDir the names of this logon session.
    NamedMutexes(std::filesystem::path globalDir, std::filesystem::path sessionDir);
    // The object for a name and whether the name existed before; null with errno-based
    // failure when the directory cannot be used.
    std::shared_ptr<MutexObject> Open(std::wstring_view name, bool* existed);
    // Whether some process holds a handle to the name now (creates nothing).
    bool Exists(std::wstring_view name);

    // Default directories: FWUPDATE_KERNEL_OBJECTS (tests set it) or /tmp/norvik-kernel-objects.
    static NamedMutexes FromEnvironment();

  private:
    // The directory and file of a name.
    std::filesystem::path PathOf(std::wstring_view name);

    std::filesystem::path globalDir_;
    std::filesystem::path sessionDir_;
};

}  // namespace standin
