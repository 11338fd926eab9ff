#include "device/versions.h"

#include <gtest/gtest.h>

#include "app/utf.h"
#include "app_harness.h"
#include "device/relay_marker.h"
#include "device/text_conversion.h"
#include "scripted_device.h"

namespace {

// Answers the shell output request with a fixed text and remembers the shell commands.
class ShellDevice : public sim::UsbDevice {
  public:
    explicit ShellDevice(std::string answer) : answer_(std::move(answer)) {}
    bool Present() override { return true; }
    bool Descriptor(std::uint8_t d[8]) override {
        WriteDescriptor(d);
        return true;
    }
    sim::IoResult Write(std::span<const std::uint8_t> data) override {
        if (data.size() == 256) commands.emplace_back(data.begin(), data.end());
        return sim::IoResult::Done(static_cast<std::uint32_t>(data.size()));
    }
    sim::IoResult Read(std::span<std::uint8_t> buffer) override {
        std::fill(buffer.begin(), buffer.end(), 0);
        if (buffer.size() == 512) {
            std::copy_n(answer_.begin(), std::min(answer_.size(), buffer.size()), buffer.begin());
        }
        return sim::IoResult::Done(static_cast<std::uint32_t>(buffer.size()));
    }
    std::vector<std::vector<std::uint8_t>> commands;

  private:
    std::string answer_;
};

std::string Answer(const std::string& field) {
    return std::string(50, '.') + field + "\n";
}

TEST(Versions, TextForm) {
    struct Case {
        std::uint32_t packed;
        const wchar_t* text;
    };
    const Case cases[] = {{0x3003D, L"3.61"},  {0x30005, L"3.05"}, {0x6F, L"0.111"},
                          {0x30074, L"3.116"}, {0, L"0.00"},       {0xFFFFFFFF, L"65535.65535"}};
    for (const Case& c : cases) EXPECT_EQ(FormatVersion(c.packed), c.text);
    std::uint16_t major = 0, minor = 0;
    FormatVersion(0x3003D, &major, &minor);
    EXPECT_EQ(major, 3);
    EXPECT_EQ(minor, 61);
}

TEST(Versions, Parsing) {
    struct Case {
        const wchar_t* text;
        std::uint32_t packed;
    };
    const Case cases[] = {
        {L"3.61", 0x3003D},
        {L"0.111", 0x6F},
        {L"3.116", 0x30074},
        {L"", 0},
        {L"361", 0},
        {L" 3. 5x", 0x30005},
        {L".7", 7},
        {L"3.", 0x30000},
        {L"70000.1", 0x11700001},  // each half keeps its low 16 bits
        {L"-1.2", 0xFFFF0002},
    };
    for (const Case& c : cases) EXPECT_EQ(ParseVersion(c.text), c.packed) << WideToUtf8(c.text);
}

TEST(Versions, BlockFieldsAreLittleEndian) {
    std::uint8_t block[72] = {};
    block[24] = 0x3D;
    block[26] = 0x03;
    block[28] = 0x74;
    block[30] = 0x03;
    VersionBlock v = VersionBlock::FromBytes(block);
    EXPECT_EQ(v.mainBoardVersion, 0x3003Du);
    EXPECT_EQ(v.panelVersion, 0x30074u);
}

class RelayMarkerTest : public testing::Test {
  protected:
    RelayMarkerTest() { h_.os().process().OpenConsole(); }
    std::shared_ptr<ShellDevice> Plug(std::string answer) {
        auto d = std::make_shared<ShellDevice>(std::move(answer));
        h_.os().Driver().Plug(0, d);
        return d;
    }
    AppHarness h_;
};

TEST_F(RelayMarkerTest, ShellCommandGoesAsZeroFilledUtf8) {
    auto device = Plug(Answer("99999"));
    EXPECT_TRUE(ProbeRelayMarker(L"USB"));
    ASSERT_EQ(device->commands.size(), 1u);
    std::string expected =
        "ls /tmp/corvessa_cr | awk 'END {if (NR > 0){print \"99999\"}else{print \"11111\"}}'";
    std::vector<std::uint8_t> bytes(expected.begin(), expected.end());
    bytes.resize(256, 0);
    EXPECT_EQ(device->commands[0], bytes);
    EXPECT_EQ(h_.ConsoleText(), L"FW Return Msg " + std::wstring(50, L'.') + L"99999\n\n");
}

TEST_F(RelayMarkerTest, MarkerIsReadFromCharacters50To54) {
    struct Case {
        std::string answer;
        bool marker;
    };
    const Case cases[] = {
        {Answer("99999"), true},
        {Answer("11111"), false},
        {Answer(" 99999"), false},  // " 9999" is not 99999
        {Answer("+99999"), false},
        {std::string(50, 'x') + " +99999", false},
        {std::string(50, 'x') + "9999", false},  // shorter than 55 characters
        {std::string(48, 'x') + "99999", false},
        {std::string(50, 'x') + "99999abc", true},
        {"", false},
        {std::string(512, '9'), true},  // no zero byte: the text ends with the 512 bytes
        {std::string(50, '\xFF') + "99999", true},
    };
    for (const Case& c : cases) {
        Plug(c.answer);
        EXPECT_EQ(ProbeRelayMarker(L"USB"), c.marker) << c.answer;
    }
}

TEST_F(RelayMarkerTest, FailedShellRequestMeansNoMarker) {
    Plug(Answer("99999"));
    h_.os().Faults().Fail("ReadFile", 2, platform::kErrorGenFailure);  // the output's response
    EXPECT_FALSE(ProbeRelayMarker(L"USB"));
    h_.os().Faults().Clear();
    h_.os().Faults().Fail("CreateFile", 1, platform::kErrorAccessDenied, true);
    EXPECT_FALSE(ProbeRelayMarker(L"USB"));
}

TEST_F(RelayMarkerTest, LatestFirmwareDependsOnTheMarker) {
    struct Case {
        std::uint32_t mainBoard, panel;
        bool marker, latest;
    };
    const Case cases[] = {
        {0x3003D, 0x30074, false, true},  {0x3003D, 0x6F, true, true},
        {0x3003D, 0x6F, false, false},    {0x3003D, 0x30074, true, false},
        {0x3003C, 0x30074, false, false}, {0, 0, false, false},
    };
    for (const Case& c : cases) {
        auto device = Plug(Answer(c.marker ? "99999" : "11111"));
        EXPECT_EQ(IsLatestFirmware(L"USB", c.mainBoard, c.panel), c.latest);
        EXPECT_EQ(device->commands.size(), 1u) << "the device is asked on every call";
    }
}

TEST(TextConversion, DeviceTexts) {
    const std::uint8_t id[] = {'V', 'e', 'l', 'o', 'r', 'a', 0, 'X'};
    EXPECT_EQ(Utf8BytesToText(id), L"Velora");
    const std::uint8_t bad[] = {'A', 0xC3, 0x28};
    EXPECT_EQ(Utf8BytesToText(bad), L"");
    EXPECT_EQ(Utf8BytesToText({}), L"");
    std::array<std::uint8_t, 8> small{};
    EXPECT_FALSE(TextToUtf8Buffer(L"12345678", small));
    EXPECT_TRUE(TextToUtf8Buffer(L"1234567", small));
    EXPECT_EQ(small[7], 0);
    const std::uint8_t ansi[] = {'a', 0x80, 0xE9};
    EXPECT_EQ(AnsiBytesToText(ansi), L"a\u20AC\u00E9");
}

}  // namespace
