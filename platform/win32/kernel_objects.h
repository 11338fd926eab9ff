// Named mutexes as Windows kernel objects.
#pragma once

#include "platform/kernel_objects.h"

namespace win32 {

class KernelObjects final : public platform::KernelObjects {
  public:
    platform::Handle CreateMutex(std::wstring_view name,
                                 const platform::MutexOptions& options) override;
    bool ReleaseMutex(platform::Handle mutex) override;
};

}  // namespace win32
