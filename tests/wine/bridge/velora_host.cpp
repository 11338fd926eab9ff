// The user-mode side of the test still-image driver: plugs a scenario's simulated devices,
// gives them device nodes, keeps their links on the bus while they are present, and
// answers every request the driver hands over from the simulated scanner. It writes what
// the scanner received to a report file after each request, for the test to read.
// Usage: velora_host <scenario> <report file> [stall limit ms]
//        velora_host --checksum <file>   prints the file's FNV-1a 64 as the report has it
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "app/utf.h"
#include "bridge_protocol.h"
#include "device_nodes.h"
#include "host_report.h"
#include "platform/win32/clock.h"
#include "sim/fnv1a.h"
#include "sim/scenario.h"

namespace {

constexpr BridgeU32 kStatusSuccess = 0;
constexpr BridgeU32 kStatusUnsuccessful = 0xC0000001;  // ERROR_GEN_FAILURE
constexpr BridgeU32 kStatusIoTimeout = 0xC00000B5;     // ERROR_SEM_TIMEOUT
constexpr BridgeU32 kStatusDeviceNotConnected = 0xC000009D;

BridgeU32 StatusOf(std::uint32_t error) {
    switch (error) {
        case 121:
            return kStatusIoTimeout;
        case 1167:
            return kStatusDeviceNotConnected;
        default:
            return kStatusUnsuccessful;
    }
}

HANDLE OpenControl() {
    return CreateFileW(BRIDGE_CONTROL_PATH, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                       0, nullptr);
}

class Host : public sim::Bus {
  public:
    Host(std::wstring friendlyName, std::string reportPath, DWORD stallLimitMs)
        : friendlyName_(std::move(friendlyName)),
          report_(std::move(reportPath)),
          stallLimitMs_(stallLimitMs) {}

    void Plug(int index, std::shared_ptr<sim::UsbDevice> device) override {
        if (auto entry = sim::DescribeForSetup(*device, friendlyName_)) {
            bridge::AddDeviceNode(index, *entry);
        }
        devices_[index] = std::move(device);
    }

    bool Connect() {
        // The driver starts with the service manager; give it a moment on a loaded machine.
        for (int attempt = 0; attempt < 300; ++attempt) {
            requests_ = OpenControl();
            if (requests_ != INVALID_HANDLE_VALUE) break;
            Sleep(100);
        }
        answers_ = OpenControl();
        presence_ = OpenControl();
        return requests_ != INVALID_HANDLE_VALUE && answers_ != INVALID_HANDLE_VALUE &&
               presence_ != INVALID_HANDLE_VALUE;
    }

    void Run(std::vector<std::shared_ptr<sim::VeloraDevice>> scanners) {
        scanners_ = std::move(scanners);
        UpdatePresence();
        WriteReport();
        std::thread([this] {
            for (;;) {
                Sleep(10);
                UpdatePresence();
            }
        }).detach();
        std::vector<std::uint8_t> buffer(sizeof(BridgeRequest) + BRIDGE_MAX_DATA);
        for (;;) {
            DWORD got = 0;
            if (!DeviceIoControl(requests_, BRIDGE_IOCTL_NEXT_REQUEST, nullptr, 0, buffer.data(),
                                 static_cast<DWORD>(buffer.size()), &got, nullptr) ||
                got < sizeof(BridgeRequest)) {
                std::fprintf(stderr, "velora_host: no request (error %lu)\n", GetLastError());
                return;
            }
            BridgeRequest request;
            std::memcpy(&request, buffer.data(), sizeof request);
            Serve(request, std::span(buffer.data() + sizeof request, got - sizeof request));
            WriteReport();
        }
    }

  private:
    void Serve(const BridgeRequest& request, std::span<const std::uint8_t> written) {
        auto found = devices_.find(static_cast<int>(request.device));
        if (found == devices_.end()) return Answer(request, kStatusDeviceNotConnected, {});
        sim::UsbDevice& device = *found->second;
        std::vector<std::uint8_t> data;
        sim::IoResult result;
        switch (request.kind) {
            case BRIDGE_DESCRIPTOR:
                data.resize(8);
                if (request.length < 8 || !device.Descriptor(data.data())) {
                    return Answer(request, kStatusUnsuccessful, {});
                }
                return Answer(request, kStatusSuccess, data);
            case BRIDGE_WRITE:
                result = device.Write(written);
                break;
            case BRIDGE_READ:
                data.resize(request.length);
                result = device.Read(data);
                data.resize(result.kind == sim::IoResult::Kind::kDone ? result.bytes : 0);
                break;
            default:
                return Answer(request, kStatusUnsuccessful, {});
        }
        switch (result.kind) {
            case sim::IoResult::Kind::kDone:
                return Answer(request, kStatusSuccess, data, result.bytes);
            case sim::IoResult::Kind::kError:
                return Answer(request, StatusOf(result.error), {});
            case sim::IoResult::Kind::kStall:
                // A still-image driver fails a transfer the device never ends after its own
                // time limit; the program's cancel or close ends it sooner.
                std::thread([this, request] {
                    Sleep(stallLimitMs_);
                    Answer(request, kStatusIoTimeout, {});
                }).detach();
                return;
        }
    }

    void Answer(const BridgeRequest& request, BridgeU32 status, std::span<const std::uint8_t> data,
                std::uint32_t moved = 0) {
        std::vector<std::uint8_t> answer(sizeof(BridgeRequest) + data.size());
        BridgeRequest head = request;
        head.status = status;
        head.bytes = data.empty() ? moved : static_cast<BridgeU32>(data.size());
        std::memcpy(answer.data(), &head, sizeof head);
        if (!data.empty()) std::memcpy(answer.data() + sizeof head, data.data(), data.size());
        std::lock_guard guard(answerMutex_);
        DWORD none = 0;
        // A request the program gave up in the meantime is simply gone.
        DeviceIoControl(answers_, BRIDGE_IOCTL_COMPLETE, answer.data(),
                        static_cast<DWORD>(answer.size()), nullptr, 0, &none, nullptr);
    }

    void UpdatePresence() {
        BridgeU32 mask = 0;
        for (auto& [index, device] : devices_) {
            if (index < BRIDGE_DEVICES && device->Present()) mask |= 1u << index;
        }
        std::lock_guard guard(presenceMutex_);
        if (mask == presentMask_) return;
        DWORD none = 0;
        if (DeviceIoControl(presence_, BRIDGE_IOCTL_SET_PRESENT, &mask, sizeof mask, nullptr, 0,
                            &none, nullptr)) {
            presentMask_ = mask;
        }
    }

    void WriteReport() {
        BridgeU32 mask;
        {
            std::lock_guard guard(presenceMutex_);
            mask = presentMask_;
        }
        bridge::WriteReport(report_, mask, scanners_);
    }

    const std::wstring friendlyName_;
    const std::string report_;
    const DWORD stallLimitMs_;
    std::map<int, std::shared_ptr<sim::UsbDevice>> devices_;
    std::vector<std::shared_ptr<sim::VeloraDevice>> scanners_;
    HANDLE requests_ = INVALID_HANDLE_VALUE;
    HANDLE answers_ = INVALID_HANDLE_VALUE;
    HANDLE presence_ = INVALID_HANDLE_VALUE;
    std::mutex answerMutex_;
    std::mutex presenceMutex_;
    BridgeU32 presentMask_ = ~0u;  // nothing told to the driver yet
};

}  // namespace

int PrintChecksum(const char* path) {
    std::FILE* file = std::fopen(path, "rb");
    if (!file) return 1;
    std::uint64_t hash = sim::kFnv1aStart;
    std::vector<std::uint8_t> chunk(1 << 20);
    for (std::size_t n; (n = std::fread(chunk.data(), 1, chunk.size(), file)) > 0;) {
        hash = sim::Fnv1a64(std::span(chunk.data(), n), hash);
    }
    std::fclose(file);
    std::printf("%016llx\n", static_cast<unsigned long long>(hash));
    return 0;
}

int main(int argc, char** argv) {
    if (argc == 3 && std::string_view(argv[1]) == "--checksum") return PrintChecksum(argv[2]);
    if (argc < 3) {
        std::fprintf(stderr, "usage: velora_host <scenario> <report file> [stall limit ms]\n");
        return 2;
    }
    std::string error;
    std::optional<sim::Scenario> scenario = sim::ParseScenario(argv[1], error);
    if (!scenario) {
        std::fprintf(stderr, "velora_host: %s\n", error.c_str());
        return 2;
    }
    const DWORD stallLimitMs = argc > 3 ? std::strtoul(argv[3], nullptr, 10) : 5000;
    Host host(Utf8ToWide(scenario->friendlyName), argv[2], stallLimitMs);
    if (!host.Connect()) {
        std::fprintf(stderr, "velora_host: no driver at \\\\.\\VeloraBridge (error %lu)\n",
                     GetLastError());
        return 3;
    }
    bridge::RemoveDeviceNodes();
    static win32::Clock clock;
    auto scanners = sim::PlugScenario(*scenario, clock, host);
    host.Run(std::move(scanners));
    return 4;
}
