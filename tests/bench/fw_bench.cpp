// Figures for the link and a whole update on the stand-in platform. Printed, not judged:
// run with tools/check or build/linux/tests/bench/fw_bench.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstring>
#include <vector>

#include "../unit/app_harness.h"
#include "../unit/scripted_device.h"
#include "link/command_exchange.h"
#include "resource.h"

namespace {

// A scanner that answers every read with zeros and takes every write without looking at
// it; it remembers where the last large write came from.
class SinkDevice : public sim::UsbDevice {
  public:
    bool Present() override { return true; }
    bool Descriptor(std::uint8_t d[8]) override {
        WriteDescriptor(d);
        return true;
    }
    sim::IoResult Write(std::span<const std::uint8_t> data) override {
        if (data.size() > 16) lastSource = data.data();
        return sim::IoResult::Done(static_cast<std::uint32_t>(data.size()));
    }
    sim::IoResult Read(std::span<std::uint8_t> buffer) override {
        std::memset(buffer.data(), 0, buffer.size());
        return sim::IoResult::Done(static_cast<std::uint32_t>(buffer.size()));
    }
    const std::uint8_t* lastSource = nullptr;
};

long PeakRssKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

void BM_StatusExchangeDeviceAtIndex0(benchmark::State& state) {
    AppHarness h;
    h.os().Driver().Plug(0, std::make_shared<SinkDevice>());
    std::uint8_t response[32];
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            ExchangeCommand(USB_INTERFACE, StatusRequest(), nullptr, nullptr, response, 32));
    }
}
BENCHMARK(BM_StatusExchangeDeviceAtIndex0);

void BM_ProbeWithNoDevice(benchmark::State& state) {
    AppHarness h;
    for (auto _ : state) benchmark::DoNotOptimize(ProbeDevice(USB_INTERFACE));
    state.counters["names"] = 256;
}
BENCHMARK(BM_ProbeWithNoDevice);

constexpr std::size_t kImageBytes = 26214400;

void BM_SendImageThroughTheDriver(benchmark::State& state) {
    AppHarness h;
    auto device = std::make_shared<SinkDevice>();
    h.os().Driver().Plug(0, device);
    const std::uint8_t* image = TestFirmwareImages().at(507).data();
    std::uint8_t response[32];
    for (auto _ : state) {
        ExchangeCommand(USB_INTERFACE, FirmwareImageRequest(4, kImageBytes), image, nullptr,
                        response, 32);
    }
    // The driver was handed the program's own bytes, not a copy of them.
    if (device->lastSource != image) state.SkipWithError("the image was copied on its way");
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kImageBytes));
}
BENCHMARK(BM_SendImageThroughTheDriver)->Unit(benchmark::kMicrosecond);

void BM_MemcpyOfTheImage(benchmark::State& state) {
    std::vector<std::uint8_t> from(kImageBytes, 1), to(kImageBytes);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), kImageBytes);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kImageBytes));
}
BENCHMARK(BM_MemcpyOfTheImage)->Unit(benchmark::kMicrosecond);

// A whole normal update against the simulated scanner on virtual time: the tool's own
// time against the device's timeline, and the memory the process needed.
void BM_FullNormalUpdate(benchmark::State& state) {
    TestFirmwareImages();  // made before the baseline: they stand for the program's resources
    long before = PeakRssKiB();
    double deviceSeconds = 0;
    for (auto _ : state) {
        AppHarness h;
        std::uint64_t start = h.os().clock().NowMs();
        h.UpdateWith("normal");
        deviceSeconds = static_cast<double>(h.os().clock().NowMs() - start) / 1000.0;
        h.Click(IDCANCEL);
        h.WaitForExit();
    }
    state.counters["device_seconds"] = deviceSeconds;
    state.counters["peak_rss_MiB"] = static_cast<double>(PeakRssKiB()) / 1024.0;
    state.counters["rss_growth_MiB"] = static_cast<double>(PeakRssKiB() - before) / 1024.0;
    state.counters["image_MiB"] = static_cast<double>(kImageBytes) / (1024.0 * 1024.0);
}
BENCHMARK(BM_FullNormalUpdate)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->MeasureProcessCPUTime();

}  // namespace

BENCHMARK_MAIN();
