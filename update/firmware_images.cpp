#include "update/firmware_images.h"

#include "app/fwupdate_dlg.h"
#include "app/load_text.h"

ImageChoice ChooseImage(bool relayMarker, std::uint8_t ubootVersion) {
    if (!relayMarker) return {IMAGE_MAIN, IMAGE_PARAMETER};
    if (ubootVersion == UBOOT_VERSION_8) return {IMAGE_RELAY_UBOOT8, IMAGE_PARAMETER_UBOOT8};
    return {IMAGE_RELAY, IMAGE_PARAMETER};
}

bool CFWUpdateDlg::LoadFirmwareImage(int number, int row, const std::uint8_t** image,
                                     std::uint32_t* size) {
    platform::Resources& resources = platform::Get().resources();
    const void* found = resources.FindBinaryResource(number);
    if (found == nullptr) {
        ShowRowStatus(row, LoadText(206));
        return false;
    }
    const void* loaded = resources.LoadBinaryResource(found);
    if (loaded == nullptr) {
        ShowRowStatus(row, LoadText(207));
        return false;
    }
    *image = resources.LockBinaryResource(loaded);
    if (*image == nullptr) {
        ShowRowStatus(row, LoadText(208));
        return false;
    }
    *size = resources.SizeofBinaryResource(found);
    if (*size == 0) {
        ShowRowStatus(row, LoadText(209));
        return false;
    }
    return true;
}
