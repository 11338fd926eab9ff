// The wall time of one firmware image write to \\.\usbscan0, two ways: "bare" is a plain
// Win32 program (CreateFileW, WriteFile with an OVERLAPPED record), "tool" is the tool's own
// link (its handle, transfer record, wait and result). Both first send the image's command
// block and read the response, as the scanner expects; only the image write is timed.
// Usage: transfer_bench bare|tool <image file> <parameter>; prints "<way> <bytes> <ms>".
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "link/device_link.h"
#include "platform/platform.h"
#include "platform/win32/win32_platform.h"
#include "platform/win32/windows_api.h"

namespace {

using Stopwatch = std::chrono::steady_clock;

double Since(Stopwatch::time_point start) {
    return std::chrono::duration<double, std::milli>(Stopwatch::now() - start).count();
}

bool BareWrite(HANDLE device, const void* data, DWORD size) {
    DWORD done = 0;
    OVERLAPPED overlapped{};
    return WriteFile(device, data, size, &done, &overlapped) && done == size;
}

double Bare(const std::vector<std::uint8_t>& image, std::uint16_t parameter) {
    HANDLE device =
        CreateFileW(L"\\\\.\\usbscan0", GENERIC_READ | GENERIC_WRITE,
                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (device == INVALID_HANDLE_VALUE) return -1;
    const auto block =
        FirmwareImageRequest(parameter, static_cast<std::uint32_t>(image.size())).Bytes();
    std::uint8_t response[RESPONSE_SIZE];
    DWORD done = 0;
    OVERLAPPED overlapped{};
    if (!BareWrite(device, block.data(), 16) ||
        !ReadFile(device, response, RESPONSE_SIZE, &done, &overlapped)) {
        return -1;
    }
    const auto start = Stopwatch::now();
    const bool ok = BareWrite(device, image.data(), static_cast<DWORD>(image.size()));
    const double took = Since(start);
    CloseHandle(device);
    return ok ? took : -1;
}

double Tool(const std::vector<std::uint8_t>& image, std::uint16_t parameter) {
    static win32::Platform windows;
    platform::Install(&windows);
    CDeviceLink link;
    std::uint8_t response[RESPONSE_SIZE];
    const auto size = static_cast<std::uint32_t>(image.size());
    if (!link.OpenUsb() || !link.SendBlock(FirmwareImageRequest(parameter, size)) ||
        !link.ReceiveData(response, RESPONSE_SIZE)) {
        return -1;
    }
    const auto start = Stopwatch::now();
    const bool ok = link.SendData(image.data(), size);
    const double took = Since(start);
    link.CloseLink();
    return ok ? took : -1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: transfer_bench bare|tool <image file> <parameter>\n");
        return 2;
    }
    std::vector<std::uint8_t> image;
    if (std::FILE* file = std::fopen(argv[2], "rb")) {
        std::uint8_t chunk[65536];
        for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, file)) > 0;) {
            image.insert(image.end(), chunk, chunk + n);
        }
        std::fclose(file);
    }
    if (image.empty()) return 3;
    const auto parameter = static_cast<std::uint16_t>(std::strtoul(argv[3], nullptr, 0));
    const std::string_view way = argv[1];
    const double ms = way == "tool" ? Tool(image, parameter) : Bare(image, parameter);
    if (ms < 0) {
        std::printf("%s failed: error %lu\n", argv[1], GetLastError());
        return 1;
    }
    std::printf("%s %zu %.1f\n", argv[1], image.size(), ms);
    return 0;
}
