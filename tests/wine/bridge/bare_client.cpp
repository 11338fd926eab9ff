// A bare Win32 client of the test driver: "state" prints what the driver holds; "status"
// opens \\.\usbscan0 as any program can and asks the descriptor and the scanner's status.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "bridge_protocol.h"
#include "link/command_block.h"

namespace {

bool Write(HANDLE device, const void* data, DWORD size) {
    DWORD done = 0;
    OVERLAPPED overlapped{};
    return WriteFile(device, data, size, &done, &overlapped) && done == size;
}

bool ReadResponse(HANDLE device, std::uint8_t response[RESPONSE_SIZE]) {
    DWORD done = 0;
    OVERLAPPED overlapped{};
    return ReadFile(device, response, RESPONSE_SIZE, &done, &overlapped) && done == RESPONSE_SIZE;
}

int Fail(const char* step) {
    std::printf("%s failed: error %lu\n", step, GetLastError());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: bare_client state | status\n");
        return 2;
    }
    if (std::string_view(argv[1]) == "state") {
        HANDLE control = CreateFileW(BRIDGE_CONTROL_PATH, GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                     OPEN_EXISTING, 0, nullptr);
        BridgeState s{};
        DWORD got = 0;
        if (!DeviceIoControl(control, BRIDGE_IOCTL_STATE, nullptr, 0, &s, sizeof s, &got,
                             nullptr)) {
            return Fail("state");
        }
        std::printf("queued %u taken %u waiting %u relayed %u answered %u late %u\n", s.queued,
                    s.taken, s.hostWaiting, s.relayed, s.answered, s.late);
        return 0;
    }
    HANDLE device =
        CreateFileW(L"\\\\.\\usbscan0", GENERIC_READ | GENERIC_WRITE,
                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (device == INVALID_HANDLE_VALUE) return Fail("open");
    std::uint8_t descriptor[8] = {};
    DWORD returned = 0;
    if (!DeviceIoControl(device, BRIDGE_IOCTL_GET_DEVICE_DESCRIPTOR, descriptor, 8, descriptor, 8,
                         &returned, nullptr)) {
        return Fail("descriptor");
    }
    std::printf("descriptor %02x%02x %02x%02x %02x%02x (%lu bytes)\n", descriptor[1], descriptor[0],
                descriptor[3], descriptor[2], descriptor[5], descriptor[4], returned);
    std::uint8_t response[RESPONSE_SIZE] = {};
    if (std::string_view(argv[1]) == "status") {
        const auto block = StatusRequest().Bytes();
        if (!Write(device, block.data(), 16)) return Fail("status block");
        if (!ReadResponse(device, response)) return Fail("status response");
        std::printf("status response:");
        for (std::uint8_t byte : response) std::printf(" %02x", byte);
        std::printf("\n");
        return 0;
    }
    return 2;
}
