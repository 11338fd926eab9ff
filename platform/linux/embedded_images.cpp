#include "platform/linux/embedded_images.h"

extern "C" {
extern const std::uint8_t fwupdate_image_505_start[], fwupdate_image_505_end[];
extern const std::uint8_t fwupdate_image_506_start[], fwupdate_image_506_end[];
extern const std::uint8_t fwupdate_image_507_start[], fwupdate_image_507_end[];
}

namespace standin {

Resources::Images EmbeddedFirmwareImages() {
    auto span = [](const std::uint8_t* start, const std::uint8_t* end) {
        return std::span<const std::uint8_t>(start, static_cast<std::size_t>(end - start));
    };
    return {
        {505, span(fwupdate_image_505_start, fwupdate_image_505_end)},
        {506, span(fwupdate_image_506_start, fwupdate_image_506_end)},
        {507, span(fwupdate_image_507_start, fwupdate_image_507_end)},
    };
}

}  // namespace standin
