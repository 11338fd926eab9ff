// A bare Win32 client of \\.\usbscan0: what any program can do with the device, without the
// tool around it. "status" asks the descriptor and the scanner's status; "image <file>
// <parameter>" sends a firmware image the way the scanner expects it (the command block,
// the response, then the image in one write) and prints the wall time of the image write.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

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
        std::fprintf(stderr, "usage: bare_client state | status | image <file> <parameter>\n");
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
    if (std::string_view(argv[1]) != "image" || argc < 4) return 2;
    std::FILE* file = std::fopen(argv[2], "rb");
    if (!file) return Fail("image file");
    std::vector<std::uint8_t> image;
    std::uint8_t chunk[65536];
    for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, file)) > 0;) {
        image.insert(image.end(), chunk, chunk + n);
    }
    std::fclose(file);
    const auto parameter = static_cast<std::uint16_t>(std::strtoul(argv[3], nullptr, 0));
    const auto block =
        FirmwareImageRequest(parameter, static_cast<std::uint32_t>(image.size())).Bytes();
    if (!Write(device, block.data(), 16)) return Fail("image block");
    if (!ReadResponse(device, response)) return Fail("image response");
    const auto start = std::chrono::steady_clock::now();
    if (!Write(device, image.data(), static_cast<DWORD>(image.size()))) return Fail("image");
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    std::printf("image %zu bytes in %.1f ms\n", image.size(), took.count());
    CloseHandle(device);
    return 0;
}
