// Where a scenario plugs its devices: the emulated still-image driver, or a test's list.
#pragma once

#include <memory>

#include "sim/usb_device.h"

namespace sim {

class Bus {
  public:
    virtual ~Bus() = default;
    virtual void Plug(int index, std::shared_ptr<UsbDevice> device) = 0;
};

}  // namespace sim
