// Resources on the stand-in platform: the linked message tables and the program's
// version information.
#pragma once

#include <optional>
#include <string>

#include "platform/resources.h"

namespace standin {

class Resources : public platform::Resources {
  public:
    // fileVersion: the version text the program's own file carries; nullopt: none at all.
    explicit Resources(std::optional<std::wstring> fileVersion);

    std::span<const std::uint16_t> FindStringBlock(std::uint16_t block,
                                                   platform::LangId language) override;
    bool GetFileVersionInfo(std::wstring_view path, std::vector<std::uint8_t>* info) override;
    bool VerQueryValue(const std::vector<std::uint8_t>& info, std::wstring_view subBlock,
                       std::span<const std::uint8_t>* value) override;

  private:
    std::optional<std::wstring> fileVersion_;
};

}  // namespace standin
