// The firmware images linked into the Linux program.
#pragma once

#include "platform/linux/resources.h"

namespace standin {
Resources::Images EmbeddedFirmwareImages();
}
