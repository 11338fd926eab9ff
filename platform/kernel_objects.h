// Named kernel objects shared between processes.
#pragma once

#include <string_view>

#include "platform/types.h"

namespace platform {

struct MutexOptions {
    bool initialOwner = true;
    // A security descriptor with a null access list: every user may open the object.
    bool nullDacl = false;
    bool inheritHandle = false;
};

class KernelObjects {
  public:
    virtual ~KernelObjects() = default;
    // Creates or opens a named mutex. The last error is kErrorAlreadyExists when the
    // name existed before; the result is null on failure. "Global\" names are shared by
    // the whole machine, other names by the user's logon session.
    virtual Handle CreateMutex(std::wstring_view name, const MutexOptions& options) = 0;
    virtual bool ReleaseMutex(Handle mutex) = 0;
};

}  // namespace platform
