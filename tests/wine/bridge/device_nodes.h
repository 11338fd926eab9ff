// The device nodes that Windows' device setup keeps for plugged imaging devices: a node
// under Enum\USB with the hardware ids and the driver key, and the driver key under the
// imaging class with the "FriendlyName" that the scanning applications' locks use.
#pragma once

#include "sim/setup_entry.h"

namespace bridge {

// Removes the nodes an earlier host left behind.
void RemoveDeviceNodes();

// Adds the node of the device at `index`.
bool AddDeviceNode(int index, const sim::SetupEntry& entry);

}  // namespace bridge
