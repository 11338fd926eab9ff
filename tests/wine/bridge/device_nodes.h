// The device nodes that Windows' device setup keeps for plugged imaging devices: a node
// under Enum\USB with the hardware ids and the driver key, and the driver key under the
// imaging class with the "FriendlyName" that the scanning applications' locks use.
#pragma once

#include <cstdint>
#include <string>

namespace bridge {

// Removes the nodes an earlier host left behind.
void RemoveDeviceNodes();

// Adds the node of the device at `index` with the descriptor's vendor, product and release.
bool AddDeviceNode(int index, const std::uint8_t descriptor[8], const std::wstring& friendlyName);

}  // namespace bridge
