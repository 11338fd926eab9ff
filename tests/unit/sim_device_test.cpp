// The simulated Velora, driven through its USB interface the way the update tool drives
// a scanner: command block, data phase, response block, on a clock the test moves.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "link/command_block.h"
#include "platform/types.h"
#include "sim/fnv1a.h"
#include "sim/velora_device.h"

namespace {

using sim::IoResult;
using sim::Stage;
using sim::VeloraConfig;
using sim::VeloraDevice;

class TestClock : public platform::Clock {
  public:
    std::uint64_t NowMs() override { return now_.load(); }
    void SleepMs(std::uint32_t ms) override { now_.fetch_add(ms); }

  private:
    std::atomic<std::uint64_t> now_{50000};
};

std::uint32_t Le32(const std::uint8_t* at) {
    return std::uint32_t{at[0]} | std::uint32_t{at[1]} << 8 | std::uint32_t{at[2]} << 16 |
           std::uint32_t{at[3]} << 24;
}

// Which transfer of an exchange did not end with all its bytes.
enum class Step { kNone, kBlock, kDataFirst, kResponse, kData };

struct Reply {
    Step failed = Step::kNone;
    IoResult failure;
    std::array<std::uint8_t, 32> response{};
    std::vector<std::uint8_t> data;

    bool ok() const { return failed == Step::kNone; }
    std::uint32_t ErrorCode() const { return Le32(&response[0]); }
    std::uint16_t State() const {
        return static_cast<std::uint16_t>(response[4] | response[5] << 8);
    }
    std::uint8_t Percent() const { return response[10]; }
    std::uint8_t Uboot() const { return response[14]; }
    std::string Text() const {
        auto end = std::find(data.begin(), data.end(), std::uint8_t{0});
        return {data.begin(), end};
    }
};

// One command as the host performs it; data is sent in pieces of `piece` bytes and read
// in pieces of at most 65536.
Reply Exchange(sim::UsbDevice& device, const CommandBlock& block,
               std::span<const std::uint8_t> send = {}, std::size_t piece = SIZE_MAX) {
    Reply r;
    auto done = [](IoResult io, std::size_t n) {
        return io.kind == IoResult::Kind::kDone && io.bytes == n;
    };
    auto sendAll = [&] {
        for (std::size_t at = 0; at < send.size(); at += piece) {
            auto part = send.subspan(at, std::min(piece, send.size() - at));
            IoResult io = device.Write(part);
            if (!done(io, part.size())) {
                r.failure = io;
                return false;
            }
        }
        return true;
    };
    auto bytes = block.Bytes();
    if (IoResult io = device.Write(bytes); !done(io, 16)) {
        r.failed = Step::kBlock;
        r.failure = io;
        return r;
    }
    if (block.kind == KIND_WRITE_FIRST && !sendAll()) {
        r.failed = Step::kDataFirst;
        return r;
    }
    if (IoResult io = device.Read(r.response); !done(io, 32)) {
        r.failed = Step::kResponse;
        r.failure = io;
        return r;
    }
    if (block.kind == KIND_READ) {
        r.data.resize(block.length);
        for (std::size_t got = 0; got < block.length;) {
            std::size_t ask = std::min<std::size_t>(65536, block.length - got);
            IoResult io = device.Read({r.data.data() + got, ask});
            if (!done(io, ask)) {
                r.failed = Step::kData;
                r.failure = io;
                return r;
            }
            got += ask;
        }
    }
    if (block.kind == KIND_WRITE && !sendAll()) r.failed = Step::kData;
    return r;
}

CommandBlock Block(std::uint8_t kind, std::uint8_t code, std::uint16_t parameter,
                   std::uint32_t length) {
    CommandBlock b;
    b.kind = kind;
    b.code = code;
    b.parameter = parameter;
    b.length = length;
    return b;
}

constexpr char kRelayProbe[] =
    R"(ls /tmp/corvessa_cr | awk 'END {if (NR > 0){print "99999"}else{print "11111"}}')";

std::vector<std::uint8_t> ShellText(std::string_view text) {
    std::vector<std::uint8_t> bytes(256, 0);
    std::copy(text.begin(), text.end(), bytes.begin());
    return bytes;
}

// The firmware images as the update tool carries them: size, first bytes, parameter.
struct Image {
    const char* name;
    std::uint32_t size;
    const char* head;
    std::uint16_t parameter;
};
constexpr Image k505{"505", 13633428, "ACEZ", 0x1004};
constexpr Image k506{"506", 8388608, "ACEZ", 4};
constexpr Image k507{"507", 26214400, "ACEE", 4};

// Image bytes: the head, then a different word every eight bytes, so the checksum tells
// pieces out of order apart. One buffer per head, as long as the longest image; shorter
// images are its prefixes.
std::span<const std::uint8_t> Bytes(std::uint32_t size, const char* head) {
    static std::mutex mutex;
    static std::map<std::string, std::vector<std::uint8_t>> buffers;
    std::lock_guard lock(mutex);
    auto& bytes = buffers[head];
    if (bytes.empty()) {
        bytes.resize(26214400);
        for (std::size_t i = 0; i < bytes.size(); i += 8) {
            std::uint64_t word = (i + 1) * 0x9E3779B97F4A7C15ull;
            std::memcpy(&bytes[i], &word, 8);
        }
        std::copy_n(head, std::char_traits<char>::length(head), bytes.begin());
    }
    return std::span<const std::uint8_t>(bytes).first(size);
}

class VeloraTest : public ::testing::Test {
  protected:
    void Make(VeloraConfig config = {}) {
        device = std::make_shared<VeloraDevice>(clock, std::move(config));
    }
    Reply Status() { return Exchange(*device, StatusRequest()); }
    Reply BurnStatus() { return Exchange(*device, BurnStatusRequest()); }
    Reply Send(const Image& image, std::size_t piece = SIZE_MAX) {
        return Exchange(*device, FirmwareImageRequest(image.parameter, image.size),
                        Bytes(image.size, image.head), piece);
    }
    Reply Shell(std::string_view command) {
        Reply sent = Exchange(*device, ShellCommandRequest(), ShellText(command));
        if (!sent.ok()) return sent;
        return Exchange(*device, ShellOutputRequest());
    }
    void Wait(std::uint64_t ms) { clock.SleepMs(static_cast<std::uint32_t>(ms)); }

    TestClock clock;
    std::shared_ptr<VeloraDevice> device;
};

// ---- requests and their answers

using VeloraRequests = VeloraTest;

TEST_F(VeloraRequests, DescriptorNamesTheScanner) {
    Make();
    std::uint8_t d[8] = {};
    ASSERT_TRUE(device->Descriptor(d));
    EXPECT_EQ(d[0] | d[1] << 8, 0x7A5C);
    EXPECT_EQ(d[2] | d[3] << 8, 0x3C21);
    EXPECT_EQ(d[4] | d[5] << 8, 0x0100);
}

TEST_F(VeloraRequests, IdentificationIsTheTextZeroPadded) {
    struct Case {
        std::string configured;
        std::string sent;  // 14 bytes
    };
    const Case cases[] = {
        {"VLR-204718", std::string("VLR-204718\0\0\0\0", 14)},
        {"V\xC3\xA9lora-\xCE\xA9-123", "V\xC3\xA9lora-\xCE\xA9-123"},  // 14 bytes of UTF-8
        {"ABCDEFGHIJKLMNOP", "ABCDEFGHIJKLMN"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.configured);
        VeloraConfig config;
        config.identification = c.configured;
        Make(config);
        Reply r = Exchange(*device, IdentificationRequest());
        ASSERT_TRUE(r.ok());
        EXPECT_EQ(std::string(r.data.begin(), r.data.end()), c.sent);
        EXPECT_EQ(r.State(), 0);
    }
}

TEST_F(VeloraRequests, VersionBlockCarriesBothVersions) {
    VeloraConfig config;
    config.mainBoardVersion = 0x30005;
    config.panelVersion = 0x6F;
    Make(config);
    Reply r = Exchange(*device, VersionRequest());
    ASSERT_TRUE(r.ok());
    ASSERT_EQ(r.data.size(), 72u);
    EXPECT_EQ(Le32(&r.data[24]), 0x30005u);
    EXPECT_EQ(Le32(&r.data[28]), 0x6Fu);
}

TEST_F(VeloraRequests, ResponseBlockFields) {
    VeloraConfig config;
    config.ubootVersion = 7;
    config.busyMs = 3000;
    Make(config);
    Reply busy = Status();
    ASSERT_TRUE(busy.ok());
    EXPECT_EQ(busy.ErrorCode(), 0u);
    EXPECT_EQ(busy.State(), 4);
    EXPECT_EQ(busy.Percent(), 0);
    EXPECT_EQ(busy.Uboot(), 7);
    Wait(3000);
    EXPECT_EQ(Status().State(), 0);
}

TEST_F(VeloraRequests, RelayProbeAnswersAtCharacterFifty) {
    for (bool marker : {true, false}) {
        SCOPED_TRACE(marker);
        VeloraConfig config;
        config.relayMarker = marker;
        Make(config);
        Reply r = Shell(kRelayProbe);
        ASSERT_TRUE(r.ok());
        ASSERT_EQ(r.data.size(), 512u);
        std::string text = r.Text();
        ASSERT_EQ(text.size(), 56u) << text;
        EXPECT_EQ(text.substr(50), marker ? "99999\n" : "11111\n");
        EXPECT_TRUE(std::all_of(r.data.begin() + 56, r.data.end(), [](auto b) { return b == 0; }));
        EXPECT_EQ(device->Record().shellCommands, std::vector<std::string>{kRelayProbe});
    }
}

TEST_F(VeloraRequests, OtherShellCommandsNeverLookLikeTheMarker) {
    VeloraConfig config;
    config.relayMarker = true;
    Make(config);
    // Near misses of the probe: the answer at 50 must not read 99999.
    const std::string commands[] = {
        "uname -a",
        R"(ls /tmp/corvessa_cr | awk 'END {if (NR > 0){print 99999}else{print 11111}}')",
        std::string(kRelayProbe) + " ",
    };
    for (const std::string& command : commands) {
        SCOPED_TRACE(command);
        Reply r = Shell(command);
        ASSERT_TRUE(r.ok());
        std::string text = r.Text();
        EXPECT_FALSE(text.empty());
        EXPECT_NE(text.size() > 50 ? text.substr(50, 5) : "", "99999");
    }
}

TEST_F(VeloraRequests, UnknownRequestsAnswerWithTheResponseAndZeros) {
    Make();
    Reply query = Exchange(*device, Block(KIND_QUERY, 0x77, 0, 0));
    EXPECT_TRUE(query.ok());
    Reply odd = Exchange(*device, Block(0x55, 0x02, 0, 100));  // no data phase for this kind
    EXPECT_TRUE(odd.ok());
    Reply wrongParameter = Exchange(*device, Block(KIND_READ, 0x10, 24, 14));
    ASSERT_TRUE(wrongParameter.ok());
    EXPECT_EQ(wrongParameter.data, std::vector<std::uint8_t>(14, 0));
    EXPECT_TRUE(Status().ok());
    EXPECT_EQ(device->Record().protocolErrors, 0u);
}

TEST_F(VeloraRequests, ReadDataInPiecesGetsWhatRemains) {
    Make();
    ASSERT_TRUE(device->Write(VersionRequest().Bytes()).kind == IoResult::Kind::kDone);
    std::array<std::uint8_t, 32> response{};
    ASSERT_EQ(device->Read(response).bytes, 32u);
    std::vector<std::uint8_t> data(100, 0xEE);
    IoResult first = device->Read({data.data(), 20});
    IoResult rest = device->Read({data.data() + 20, 80});
    EXPECT_EQ(first.bytes, 20u);
    EXPECT_EQ(rest.kind, IoResult::Kind::kDone);
    EXPECT_EQ(rest.bytes, 52u);
    EXPECT_EQ(Le32(&data[24]), 0x30005u);
    EXPECT_TRUE(Status().ok()) << "after the last piece the device waits for a block";

    // A long read in host-sized pieces, past what the device has to say: zeros.
    Reply big = Exchange(*device, Block(KIND_READ, 0x01, 1, 65537));
    ASSERT_TRUE(big.ok());
    EXPECT_EQ(Le32(&big.data[28]), 0x30062u);
    EXPECT_TRUE(std::all_of(big.data.begin() + 72, big.data.end(), [](auto b) { return b == 0; }));
}

TEST_F(VeloraRequests, PhaseOrdersOfEachKind) {
    Make();
    // KIND_WRITE_FIRST: data, then the response.
    std::vector<std::uint8_t> payload(40, 1);
    EXPECT_TRUE(Exchange(*device, Block(KIND_WRITE_FIRST, 0x30, 0, 40), payload).ok());
    // A read of length 0 ends with the response.
    EXPECT_TRUE(Exchange(*device, Block(KIND_READ, 0x01, 1, 0)).ok());
    // KIND_WRITE: the response, then data, here in several pieces.
    EXPECT_TRUE(Exchange(*device, ShellCommandRequest(), ShellText("uname"), 100).ok());
    EXPECT_EQ(device->Record().shellCommands.back(), "uname");
    EXPECT_EQ(device->Record().protocolErrors, 0u);
}

TEST_F(VeloraRequests, RecordsEveryBlockWithItsTime) {
    Make();
    Exchange(*device, IdentificationRequest());
    Wait(1000);
    Exchange(*device, VersionRequest());
    Exchange(*device, FirmwareImageRequest(0x1004, 3), std::vector<std::uint8_t>{1, 2, 3});
    auto commands = device->Record().commands;
    ASSERT_EQ(commands.size(), 3u);
    auto fields = [](const sim::CommandRecord& c) {
        return std::tuple(c.kind, c.code, c.parameter, c.length);
    };
    EXPECT_EQ(fields(commands[0]), std::tuple(KIND_READ, 0x10, 25, 14));
    EXPECT_EQ(fields(commands[1]), std::tuple(KIND_READ, 0x01, 1, 72));
    EXPECT_EQ(fields(commands[2]), std::tuple(KIND_WRITE, 0x08, 0x1004, 3));
    EXPECT_EQ(commands[1].atMs - commands[0].atMs, 1000u);
}

// ---- transfers out of order

struct Misstep {
    const char* name;
    std::function<IoResult(sim::UsbDevice&)> run;  // returns the transfer that must fail
};

IoResult WriteBlock(sim::UsbDevice& d, const CommandBlock& b) {
    return d.Write(b.Bytes());
}

IoResult ReadN(sim::UsbDevice& d, std::size_t n) {
    std::vector<std::uint8_t> buffer(n);
    return d.Read(buffer);
}

IoResult WriteN(sim::UsbDevice& d, std::size_t n) {
    std::vector<std::uint8_t> bytes(n);
    return d.Write(bytes);
}

TEST_F(VeloraTest, TransfersOutOfPhaseFailAndTheNextBlockWorks) {
    const Misstep missteps[] = {
        {"bad tag",
         [](sim::UsbDevice& d) {
             CommandBlock b = StatusRequest();
             b.tag = 0x221;
             return WriteBlock(d, b);
         }},
        {"short block", [](sim::UsbDevice& d) { return WriteN(d, 15); }},
        {"read instead of a block", [](sim::UsbDevice& d) { return ReadN(d, 32); }},
        {"write instead of the response",
         [](sim::UsbDevice& d) {
             WriteBlock(d, StatusRequest());
             return WriteN(d, 16);
         }},
        {"response of the wrong size",
         [](sim::UsbDevice& d) {
             WriteBlock(d, StatusRequest());
             return ReadN(d, 16);
         }},
        {"read where data is to be written",
         [](sim::UsbDevice& d) {
             WriteBlock(d, ShellCommandRequest());
             ReadN(d, 32);
             return ReadN(d, 256);
         }},
        {"more data than announced",
         [](sim::UsbDevice& d) {
             WriteBlock(d, ShellCommandRequest());
             ReadN(d, 32);
             return WriteN(d, 257);
         }},
        {"response before the data of a write-first block",
         [](sim::UsbDevice& d) {
             WriteBlock(d, Block(KIND_WRITE_FIRST, 0x30, 0, 8));
             return ReadN(d, 32);
         }},
        {"new block while data is due",
         [](sim::UsbDevice& d) {
             WriteBlock(d, VersionRequest());
             ReadN(d, 32);
             return WriteBlock(d, StatusRequest());
         }},
    };
    for (const Misstep& m : missteps) {
        SCOPED_TRACE(m.name);
        Make();
        IoResult io = m.run(*device);
        EXPECT_EQ(io.kind, IoResult::Kind::kError);
        EXPECT_EQ(io.error, platform::kErrorGenFailure);
        EXPECT_EQ(device->Record().protocolErrors, 1u);
        EXPECT_TRUE(Status().ok());
    }
}

// ---- an update on the clock

using VeloraUpdate = VeloraTest;

TEST_F(VeloraUpdate, NormalTimelineFromImageToReady) {
    VeloraConfig config;
    config.burnMs = 10000;
    config.offDelayMs = 2000;
    config.offMs = 3000;
    config.bootMs = 2000;
    Make(config);
    Reply sent = Send(k507);
    ASSERT_TRUE(sent.ok());
    auto image = device->Record().images.at(0);
    EXPECT_TRUE(image.complete);
    EXPECT_TRUE(image.accepted);

    struct Point {
        std::uint64_t atMs;  // since the image
        bool present;
        std::uint16_t state;
        std::uint8_t percent;
        std::uint32_t mainBoard;
        std::uint32_t panel;
    };
    const Point points[] = {
        {0, true, 7, 0, 0x30005, 0x30062},
        {2500, true, 7, 25, 0x30005, 0x30062},
        {9999, true, 7, 99, 0x30005, 0x30062},
        {10000, true, 0, 100, 0x30005, 0x30062},
        {11999, true, 0, 100, 0x30005, 0x30062},
        {12000, false, 0, 0, 0, 0},
        {14999, false, 0, 0, 0, 0},
        {15000, true, 4, 0, 0x3003D, 0x30074},
        {16999, true, 4, 0, 0x3003D, 0x30074},
        {17000, true, 0, 0, 0x3003D, 0x30074},
        {600000, true, 0, 0, 0x3003D, 0x30074},
    };
    std::uint64_t elapsed = 0;
    for (const Point& p : points) {
        SCOPED_TRACE(p.atMs);
        Wait(p.atMs - elapsed);
        elapsed = p.atMs;
        ASSERT_EQ(device->Present(), p.present);
        if (!p.present) {
            EXPECT_EQ(Status().failure.error, platform::kErrorDeviceNotConnected);
            continue;
        }
        Reply burn = BurnStatus();
        ASSERT_TRUE(burn.ok());
        EXPECT_EQ(burn.ErrorCode(), 0u);
        EXPECT_EQ(burn.State(), p.state);
        EXPECT_EQ(burn.Percent(), p.percent);
        EXPECT_EQ(Status().State(), p.state);
        Reply versions = Exchange(*device, VersionRequest());
        EXPECT_EQ(Le32(&versions.data[24]), p.mainBoard);
        EXPECT_EQ(Le32(&versions.data[28]), p.panel);
    }
    EXPECT_EQ(device->Status().release, 0x0100);
    EXPECT_EQ(device->Record().protocolErrors, 0u);
}

TEST_F(VeloraUpdate, RestartKeepsItsTimesWhenNobodyLooks) {
    VeloraConfig config;
    config.burnMs = 10000;
    config.offDelayMs = 2000;
    config.offMs = 3000;
    config.bootMs = 2000;
    Make(config);
    ASSERT_TRUE(Send(k507).ok());
    Wait(16999);  // back on at 15000, busy until 17000
    EXPECT_EQ(Status().State(), 4);
    Wait(1);
    EXPECT_EQ(Status().State(), 0);
}

TEST_F(VeloraUpdate, BurnPercentRisesOnEveryPoll) {
    Make();  // default timing: a 25 s burn
    ASSERT_TRUE(Send(k507).ok());
    Wait(6000);
    int last = -1;
    int polls = 0;
    for (Reply r = BurnStatus(); r.State() == 7; r = BurnStatus(), ++polls) {
        EXPECT_GT(r.Percent(), last);
        last = r.Percent();
        Wait(1000);
    }
    EXPECT_GE(polls, 15);
    EXPECT_EQ(BurnStatus().Percent(), 100);
}

TEST_F(VeloraUpdate, ImageStreamedInPiecesIsCheckedWithoutACopy) {
    Make();
    auto bytes = Bytes(k507.size, k507.head);
    ASSERT_TRUE(Send(k507, 10000000).ok());
    auto image = device->Record().images.at(0);
    EXPECT_EQ(image.writes, 3u);
    EXPECT_EQ(image.received, k507.size);
    EXPECT_EQ(image.length, k507.size);
    EXPECT_EQ(image.parameter, 4);
    EXPECT_EQ(std::string(image.head.begin(), image.head.end()), "ACEE");
    EXPECT_EQ(image.checksum, sim::Fnv1a64(bytes));
    EXPECT_TRUE(image.accepted);
}

TEST(Fnv1a64, KnownValues) {
    EXPECT_EQ(sim::Fnv1a64({}), 0xCBF29CE484222325ull);
    const std::uint8_t a[] = {'a'};
    EXPECT_EQ(sim::Fnv1a64(a), 0xAF63DC4C8601EC8Cull);
}

// The device takes only the image the update tool's rule picks for it: relay marker
// absent -> 507; present with boot loader version 8 -> 505; present otherwise -> 506.
TEST_F(VeloraUpdate, AcceptsOnlyTheImageItsMarkerAndBootLoaderCallFor) {
    struct Device {
        bool relay;
        std::uint8_t uboot;
        const Image* right;
    };
    const Device devices[] = {
        {false, 8, &k507}, {false, 7, &k507}, {true, 8, &k505}, {true, 7, &k506}};
    for (const Device& d : devices) {
        for (const Image* image : {&k505, &k506, &k507}) {
            SCOPED_TRACE(testing::Message() << "relay " << d.relay << " uboot " << int(d.uboot)
                                            << " image " << image->name);
            VeloraConfig config;
            config.relayMarker = d.relay;
            config.ubootVersion = d.uboot;
            Make(config);
            ASSERT_TRUE(Send(*image).ok());
            Wait(6000);
            Reply burn = BurnStatus();
            if (image == d.right) {
                EXPECT_EQ(burn.ErrorCode(), 0u);
                EXPECT_EQ(burn.State(), 7);
            } else {
                EXPECT_EQ(burn.ErrorCode(), 0x7001u);
                EXPECT_FALSE(device->Record().images.at(0).accepted);
            }
        }
    }
}

TEST_F(VeloraUpdate, WrongImageFailsTheBurnAndTheDeviceStays) {
    const Image wrong[] = {
        {"one byte short", 26214399, "ACEE", 4},
        {"wrong first bytes", 26214400, "ACEZ", 4},
        {"wrong parameter", 26214400, "ACEE", 0x1004},
        {"empty", 0, "ACEE", 4},
    };
    for (const Image& image : wrong) {
        SCOPED_TRACE(image.name);
        Make();
        ASSERT_TRUE(Send(image).ok());
        for (int second = 0; second <= 120; second += 10) {
            ASSERT_TRUE(device->Present());
            Reply burn = BurnStatus();
            ASSERT_EQ(burn.ErrorCode(), 0x7001u);
            ASSERT_EQ(burn.State(), 0);
            Wait(10000);
        }
        EXPECT_EQ(Status().ErrorCode(), 0u) << "only the burn status carries the burn's error";
        EXPECT_EQ(device->Status().mainBoardVersion, 0x30005u);
    }
}

TEST_F(VeloraUpdate, AWrongImageCanBeFollowedByTheRightOne) {
    Make();
    ASSERT_TRUE(Send({"short", 100, "ACEE", 4}).ok());
    ASSERT_EQ(BurnStatus().ErrorCode(), 0x7001u);
    ASSERT_TRUE(Send(k507).ok());
    Reply burn = BurnStatus();
    EXPECT_EQ(burn.ErrorCode(), 0u);
    EXPECT_EQ(burn.State(), 7);
}

TEST_F(VeloraUpdate, ImageWhileBusyIsRefused) {
    VeloraConfig config;
    config.busyMs = 10000;
    Make(config);
    ASSERT_TRUE(Send(k507).ok());
    EXPECT_EQ(BurnStatus().ErrorCode(), 0x7001u);
    EXPECT_FALSE(device->Record().images.at(0).accepted);
}

TEST_F(VeloraUpdate, RestartForgetsAHalfDoneCommand) {
    VeloraConfig config;
    config.burnMs = 1000;
    config.offDelayMs = 1000;
    config.offMs = 1000;
    Make(config);
    ASSERT_TRUE(Send(k507).ok());
    ASSERT_EQ(WriteBlock(*device, VersionRequest()).kind, IoResult::Kind::kDone);
    Wait(3000);  // off and on again
    EXPECT_TRUE(Status().ok());
    EXPECT_EQ(device->Record().protocolErrors, 0u);
}

// ---- the boot loader

using VeloraRecovery = VeloraTest;

TEST_F(VeloraRecovery, BootLoaderBurnsWithoutProgressAndComesBackAsTheApplication) {
    for (std::uint16_t idle : {std::uint16_t{6}, std::uint16_t{0}}) {
        SCOPED_TRACE(idle);
        VeloraConfig config;
        config.release = 1;
        config.recoveryState = idle;
        config.burnMs = 20000;
        config.offDelayMs = 2000;
        config.offMs = 4000;
        config.bootMs = 3000;
        Make(config);
        std::uint8_t d[8] = {};
        ASSERT_TRUE(device->Descriptor(d));
        EXPECT_EQ(d[4] | d[5] << 8, 1);
        EXPECT_EQ(Status().State(), idle);

        ASSERT_TRUE(Send(k507).ok());
        Wait(6000);
        Reply burn = BurnStatus();
        EXPECT_EQ(burn.ErrorCode(), 0u);
        EXPECT_EQ(burn.State(), idle);
        EXPECT_EQ(burn.Percent(), 0);
        Wait(15999);
        EXPECT_TRUE(device->Present());
        Wait(1);
        EXPECT_FALSE(device->Present());
        Wait(4000);
        ASSERT_TRUE(device->Descriptor(d));
        EXPECT_EQ(d[4] | d[5] << 8, 0x0100);
        EXPECT_EQ(Status().State(), 4);
        Wait(3000);
        EXPECT_EQ(Status().State(), 0);
        EXPECT_EQ(device->Status().panelVersion, 0x30074u);
    }
}

TEST_F(VeloraRecovery, BootLoaderRefusesTheWrongImage) {
    VeloraConfig config;
    config.release = 1;
    config.relayMarker = true;
    config.ubootVersion = 7;
    Make(config);
    ASSERT_TRUE(Send(k507).ok());
    EXPECT_EQ(BurnStatus().ErrorCode(), 0x7001u);
    Wait(120000);
    EXPECT_TRUE(device->Present());
    EXPECT_EQ(device->Status().release, 1);
}

// ---- faults

using VeloraFaults = VeloraTest;

TEST_F(VeloraFaults, DescriptorRequestFails) {
    VeloraConfig config;
    config.descriptorFails = true;
    Make(config);
    std::uint8_t d[8] = {};
    EXPECT_TRUE(device->Present());
    EXPECT_FALSE(device->Descriptor(d));
}

TEST_F(VeloraFaults, VanishesForGoodWhenTheImageDataStarts) {
    VeloraConfig config;
    config.vanishInImage = true;
    Make(config);
    ASSERT_TRUE(Status().ok());
    Reply r = Send(k507);
    EXPECT_EQ(r.failed, Step::kData);
    EXPECT_EQ(r.failure.error, platform::kErrorDeviceNotConnected);
    for (int minute = 0; minute < 30; ++minute) {
        ASSERT_FALSE(device->Present());
        Wait(60000);
    }
    std::uint8_t d[8] = {};
    EXPECT_FALSE(device->Descriptor(d));
    auto image = device->Record().images.at(0);
    EXPECT_EQ(image.writes, 1u);
    EXPECT_FALSE(image.complete);
}

TEST_F(VeloraFaults, StalledPhaseNeverEndsAndTheNextCommandWorks) {
    struct Case {
        sim::Request request;
        sim::StallPhase phase;
        std::function<Reply()> run;
        Step stalls;
    };
    auto status = [this] { return Status(); };
    auto version = [this] { return Exchange(*device, VersionRequest()); };
    auto image = [this] { return Send(k507); };
    auto shell = [this] { return Shell(kRelayProbe); };
    const Case cases[] = {
        {sim::Request::kStatus, sim::StallPhase::kData, status, Step::kResponse},
        {sim::Request::kStatus, sim::StallPhase::kBlock, status, Step::kBlock},
        {sim::Request::kVersion, sim::StallPhase::kResponse, version, Step::kResponse},
        {sim::Request::kVersion, sim::StallPhase::kData, version, Step::kData},
        {sim::Request::kImage, sim::StallPhase::kData, image, Step::kData},
        {sim::Request::kShellOutput, sim::StallPhase::kData, shell, Step::kData},
        {sim::Request::kShellCommand, sim::StallPhase::kData, shell, Step::kData},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "request " << int(c.request) << " phase " << int(c.phase));
        VeloraConfig config;
        config.stallRequest = c.request;
        config.stallPhase = c.phase;
        Make(config);
        Reply r = c.run();
        EXPECT_EQ(r.failed, c.stalls);
        EXPECT_EQ(r.failure.kind, IoResult::Kind::kStall);
        EXPECT_EQ(device->Record().stalls, 1u);
        if (c.request != sim::Request::kStatus) {
            EXPECT_TRUE(Status().ok());
        }
        EXPECT_EQ(device->Record().protocolErrors, 0u);
    }
}

TEST_F(VeloraFaults, StallsOnlyAsOftenAsAsked) {
    VeloraConfig config;
    config.stallRequest = sim::Request::kStatus;
    config.stallTimes = 2;
    Make(config);
    EXPECT_EQ(Status().failure.kind, IoResult::Kind::kStall);
    EXPECT_EQ(Status().failure.kind, IoResult::Kind::kStall);
    EXPECT_TRUE(Status().ok());
    EXPECT_TRUE(Status().ok());
}

TEST_F(VeloraFaults, NeverPowersOffAfterTheBurn) {
    VeloraConfig config;
    config.offDelayMs = sim::kForever;
    Make(config);
    ASSERT_TRUE(Send(k507).ok());
    Wait(25000);
    for (int minute = 0; minute < 60; ++minute) {
        ASSERT_TRUE(device->Present());
        ASSERT_EQ(BurnStatus().State(), 0);
        Wait(60000);
    }
}

TEST_F(VeloraFaults, NeverComesBackAfterPowerOff) {
    VeloraConfig config;
    config.offMs = sim::kForever;
    Make(config);
    ASSERT_TRUE(Send(k507).ok());
    Wait(28000);
    for (int minute = 0; minute < 60; ++minute) {
        ASSERT_FALSE(device->Present());
        Wait(60000);
    }
}

TEST_F(VeloraFaults, StaysBusyForever) {
    VeloraConfig config;
    config.busyMs = sim::kForever;
    Make(config);
    for (int minute = 0; minute < 60; ++minute) {
        ASSERT_EQ(Status().State(), 4);
        Wait(60000);
    }
}

TEST_F(VeloraFaults, BurnErrorPartWay) {
    VeloraConfig config;
    config.burnMs = 10000;
    config.burnErrorAt = 40;
    Make(config);
    ASSERT_TRUE(Send(k507).ok());
    Wait(3999);
    Reply before = BurnStatus();
    EXPECT_EQ(before.ErrorCode(), 0u);
    EXPECT_EQ(before.State(), 7);
    EXPECT_EQ(before.Percent(), 39);
    Wait(1);
    Reply failed = BurnStatus();
    EXPECT_EQ(failed.ErrorCode(), 0x7001u);
    EXPECT_NE(failed.State(), 7);
    Wait(600000);
    EXPECT_TRUE(device->Present());
    EXPECT_EQ(BurnStatus().ErrorCode(), 0x7001u);
    EXPECT_EQ(device->Status().mainBoardVersion, 0x30005u);
}

TEST_F(VeloraFaults, NonFatalErrorDuringTheBurnThenItCarriesOn) {
    VeloraConfig config;
    config.burnMs = 20000;
    config.burnWarning = 0x1234;
    Make(config);
    ASSERT_TRUE(Send(k507).ok());
    std::vector<std::uint32_t> errors;
    Reply r;
    for (r = BurnStatus(); r.State() == 7; r = BurnStatus()) {
        errors.push_back(r.ErrorCode());
        Wait(1000);
    }
    EXPECT_EQ(r.State(), 0);
    EXPECT_EQ(r.ErrorCode(), 0u);
    ASSERT_EQ(errors.size(), 20u);
    for (std::size_t second = 0; second < errors.size(); ++second) {
        EXPECT_EQ(errors[second], second >= 5 && second < 10 ? 0x1234u : 0u) << second;
    }
}

// ---- threads

TEST_F(VeloraTest, PresenceChecksFromOtherThreadsLeaveAnExchangeAlone) {
    VeloraConfig config;
    config.burnMs = 5000;
    Make(config);
    std::atomic<bool> stop{false};
    std::thread watcher([&] {
        std::uint8_t d[8];
        while (!stop.load()) {
            device->Present();
            device->Descriptor(d);
            device->Status();
            device->Record();
        }
    });
    ASSERT_TRUE(Send(k507).ok());
    for (int i = 0; i < 300; ++i) {
        Reply r = Exchange(*device, i % 2 ? VersionRequest() : BurnStatusRequest());
        EXPECT_TRUE(r.ok() || !device->Present());
        clock.SleepMs(100);
    }
    stop = true;
    watcher.join();
    EXPECT_EQ(device->Record().protocolErrors, 0u);
}

}  // namespace
