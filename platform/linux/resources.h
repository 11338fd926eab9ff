// Resources on the stand-in platform: the linked message tables and the program's
// version information.
#pragma once

#include <map>
#include <optional>
#include <string>

#include "platform/linux/fault_plan.h"
#include "platform/resources.h"

namespace standin {

class Resources : public platform::Resources {
  public:
    using Images = std::map<int, std::span<const std::uint8_t>>;
    // fileVersion: the version text the program's own file carries; nullopt: none at all.
    // images: the firmware images the program carries, by number.
    Resources(std::optional<std::wstring> fileVersion, Images images, FaultPlan& faults);

    const void* FindBinaryResource(int number) override;
    const void* LoadBinaryResource(const void* found) override;
    const std::uint8_t* LockBinaryResource(const void* loaded) override;
    std::uint32_t SizeofBinaryResource(const void* found) override;

    std::span<const std::uint16_t> FindStringBlock(std::uint16_t block,
                                                   platform::LangId language) override;
    bool GetFileVersionInfo(std::wstring_view path, std::vector<std::uint8_t>* info) override;
    bool VerQueryValue(const std::vector<std::uint8_t>& info, std::wstring_view subBlock,
                       std::span<const std::uint8_t>* value) override;

  private:
    std::optional<std::wstring> fileVersion_;
    Images images_;
    FaultPlan& faults_;
};

}  // namespace standin
