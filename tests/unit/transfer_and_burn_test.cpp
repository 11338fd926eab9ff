// The phases after the image is sent, against a device whose answers a test writes down:
// burn progress, device errors, power-off and power-on by probe count, the ready count.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <deque>

#include "app/load_text.h"
#include "app/text_format.h"
#include "app/thread_language.h"
#include "app_harness.h"
#include "link/byte_order.h"
#include "link/command_block.h"
#include "resource.h"
#include "scripted_device.h"

namespace {

using testing::HasSubstr;

struct Answer {
    std::uint16_t state;
    std::uint8_t percent = 0;
    std::uint32_t error = 0;
};

// Answers burn status (code 8) and status (code 2) requests from scripts; the last answer
// of a script repeats. It leaves the bus `offFrom` ms after the image arrived and comes
// back at `onFrom` (the host polls once a second, after a 6 s settle).
class ScriptedScanner : public sim::UsbDevice {
  public:
    explicit ScriptedScanner(platform::Clock& clock) : clock_(clock) {}

    std::deque<Answer> burn, status;
    std::uint64_t offFrom = ~0ull, onFrom = ~0ull;
    int statusRequests = 0;
    bool imageSent = false;

    bool Present() override {
        std::lock_guard lock(mutex_);
        if (!imageSent) return true;
        std::uint64_t t = clock_.NowMs() - imageAt_;
        return t < offFrom || t >= onFrom;
    }
    bool Descriptor(std::uint8_t d[8]) override {
        WriteDescriptor(d);
        return true;
    }
    sim::IoResult Write(std::span<const std::uint8_t> data) override {
        std::lock_guard lock(mutex_);
        if (data.size() == 16) {
            CommandBlock block = CommandBlock::FromBytes(data.data());
            // The image request shares code 8 with the burn status request, not its kind.
            code_ = block.kind == KIND_QUERY ? block.code : 0;
        } else if (!imageSent) {
            imageSent = true;
            imageAt_ = clock_.NowMs();
        }
        return sim::IoResult::Done(static_cast<std::uint32_t>(data.size()));
    }
    sim::IoResult Read(std::span<std::uint8_t> buffer) override {
        std::lock_guard lock(mutex_);
        std::fill(buffer.begin(), buffer.end(), 0);
        std::deque<Answer>* script = code_ == 0x08 ? &burn : code_ == 0x02 ? &status : nullptr;
        if (script && !script->empty() && buffer.size() == 32) {
            Answer a = script->front();
            if (script->size() > 1) script->pop_front();
            if (code_ == 0x02) ++statusRequests;
            PutLe32(&buffer[0], a.error);
            PutLe16(&buffer[4], a.state);
            buffer[10] = a.percent;
        }
        return sim::IoResult::Done(static_cast<std::uint32_t>(buffer.size()));
    }

  private:
    platform::Clock& clock_;
    std::mutex mutex_;
    std::uint8_t code_ = 0;
    std::uint64_t imageAt_ = 0;
};

class BurnTest : public testing::Test {
  protected:
    BurnTest() {
        h_.os().process().OpenConsole();
        h_.StartWindow();
        EXPECT_TRUE(h_.WaitForWindow());
        EXPECT_TRUE(h_.WaitForWorkers());
        h_.os().Driver().Plug(0, device_);
        SetThreadLanguage(0x0409);
    }
    bool Run(CFWUpdateDlg::Variant variant = CFWUpdateDlg::Variant::kNormal, int limit = 60) {
        return h_.dlg().TransferAndBurn(L"USB", 507, 4, variant, limit, 0);
    }
    std::vector<std::wstring> Progress() {
        std::vector<std::wstring> texts;
        for (const std::wstring& t : h_.StatusHistory()) {
            if (t.starts_with(L"Burning firmware... (")) texts.push_back(t);
        }
        return texts;
    }
    std::wstring Status() { return h_.Snapshot().controls[IDC_STATIC_STATUS].text; }

    AppHarness h_;
    std::shared_ptr<ScriptedScanner> device_ = std::make_shared<ScriptedScanner>(h_.os().clock());
};

TEST_F(BurnTest, ProgressDotsFollowThePollCount) {
    device_->burn = {{7, 45}, {7, 50}, {7, 55}, {7, 60}, {7, 65}, {0}};
    device_->status = {{0}};
    device_->offFrom = 11001;  // polls at 6, 7, 8, 9, 10 s; done at 11 s; off just after
    device_->onFrom = 13001;
    EXPECT_TRUE(Run());
    EXPECT_THAT(Progress(),
                testing::ElementsAre(L"Burning firmware... (45%).", L"Burning firmware... (50%)..",
                                     L"Burning firmware... (55%)...", L"Burning firmware... (60%)",
                                     L"Burning firmware... (65%)."));
    EXPECT_THAT(h_.ConsoleText(), HasSubstr(L"\r" + Progress()[0]));
    EXPECT_EQ(device_->statusRequests, 5) << "five ready replies";
}

TEST_F(BurnTest, DeviceErrorsDuringTheBurn) {
    struct Case {
        const char* what;
        std::deque<Answer> burn;
        bool ok;
        const wchar_t* console;
    };
    const Case cases[] = {
        {"other error code goes on",
         {{7, 10, 0x1234}, {7, 20}, {0}},
         true,
         L"Device has ErrorCode (0x1234) (At 0 second)\n"},
        {"0x7001 fails at once",
         {{7, 10, 0x7001}},
         false,
         L"Device has ErrorCode (0x7001) (At 0 second)\nBurning firmware error!! (At 0 second)\n"},
        {"0x7001 whatever the state",
         {{0, 0, 0x7001}},
         false,
         L"Burning firmware error!! (At 0 second)\n"},
        {"busy is no burn state",
         {{7, 10}, {4}},
         false,
         L"Device FWInfo not correct (0x4) (At 1 second)\nBurning firmware error!! (At 1 "
         L"second)\n"},
        {"neither is the boot loader",
         {{6}},
         false,
         L"Device FWInfo not correct (0x6) (At 0 second)\n"},
    };
    for (const Case& c : cases) {
        auto device = std::make_shared<ScriptedScanner>(h_.os().clock());
        device->burn = c.burn;
        device->status = {{0}};
        if (c.ok) {
            device->offFrom = 6001 + 1000 * (c.burn.size() - 1);  // after the last burn poll
            device->onFrom = device->offFrom + 1000;
        }
        h_.os().Driver().Plug(0, device);
        std::wstring before = h_.ConsoleText();
        EXPECT_EQ(Run(), c.ok) << c.what;
        EXPECT_THAT(h_.ConsoleText().substr(before.size()), HasSubstr(c.console)) << c.what;
        if (!c.ok) EXPECT_EQ(Status(), LoadText(220)) << c.what;
    }
}

TEST_F(BurnTest, PowerOffIsCountedInProbes) {
    struct Case {
        int offAtProbe;  // the probe that first finds the device off
        bool ok;
    };
    // The burn is done at 6 s; probe k of the power-off wait comes k - 1 seconds later.
    // The device leaves just after probe k - 1.
    const Case cases[] = {{60, true}, {61, false}};
    for (const Case& c : cases) {
        auto device = std::make_shared<ScriptedScanner>(h_.os().clock());
        device->burn = {{0}};
        device->status = {{0}};
        device->offFrom = 6001 + 1000 * static_cast<std::uint64_t>(c.offAtProbe - 2);
        device->onFrom = device->offFrom + 1000;
        h_.os().Driver().Plug(0, device);
        EXPECT_EQ(Run(), c.ok) << c.offAtProbe;
        if (!c.ok) EXPECT_EQ(Status(), LoadText(235));
    }
}

TEST_F(BurnTest, DeviceThatNeverComesBack) {
    device_->burn = {{0}};
    device_->offFrom = 6001;
    EXPECT_FALSE(Run());
    EXPECT_EQ(Status(), LoadText(234));
}

TEST_F(BurnTest, ReadyCountStartsAgainAfterABusyReply) {
    device_->burn = {{0}};
    device_->status = {{0}, {0}, {4}, {0}, {6}, {0}, {0}, {0}};
    device_->offFrom = 6001;
    device_->onFrom = 7001;
    EXPECT_TRUE(Run());
    EXPECT_EQ(device_->statusRequests, 8);
    EXPECT_THAT(h_.StatusHistory(), testing::Contains(LoadText(211)));
}

TEST_F(BurnTest, RecoveryStillOnAtTheLastProbeShowsOneHundredThenFails) {
    device_->burn = {{6}};
    EXPECT_FALSE(Run(CFWUpdateDlg::Variant::kRecovery, 90));
    std::vector<std::wstring> progress = Progress();
    ASSERT_EQ(progress.size(), 90u);
    EXPECT_EQ(progress[28], L"Burning firmware... (32%).") << "probe 29";
    EXPECT_EQ(progress[89], L"Burning firmware... (100%)..") << "probe 90";
    EXPECT_EQ(Status(), LoadText(235));
}

TEST_F(BurnTest, RecoverySimulatedStepsFromTheProbeThatFoundTheDeviceOff) {
    device_->burn = {{6}};
    device_->status = {{6}};
    device_->offFrom = 6000 + 29000;            // found off at probe 30
    device_->onFrom = device_->offFrom + 3000;  // back for the first power-on probe
    EXPECT_TRUE(Run(CFWUpdateDlg::Variant::kRecovery, 90));
    std::vector<std::wstring> progress = Progress();
    ASSERT_EQ(progress.size(), 29u + 3u);
    EXPECT_EQ(progress[28], L"Burning firmware... (32%).") << "probe 29";
    EXPECT_EQ(progress[29], L"Burning firmware... (55%)..");
    EXPECT_EQ(progress[30], L"Burning firmware... (78%)...");
    EXPECT_EQ(progress[31], L"Burning firmware... (100%)");
    EXPECT_EQ(device_->statusRequests, 1) << "the first ready reply is enough";
    EXPECT_EQ(Status(), LoadText(219));
}

TEST(Images, MissingOrEmptyImageIsRefusedBeforeAnythingIsSent) {
    static const std::uint8_t empty[1] = {0};
    struct Case {
        standin::Resources::Images replaced;
        int text;
    };
    const Case cases[] = {
        {{{507, std::span<const std::uint8_t>(empty, 0)}}, 209},
        {{}, 206},
    };
    for (const Case& c : cases) {
        AppHarness h({.images = c.text != 206, .imagesReplaced = c.replaced});
        h.StartWindow();
        ASSERT_TRUE(h.WaitForWindow());
        ASSERT_TRUE(h.WaitForWorkers());
        auto device = std::make_shared<ScriptedScanner>(h.os().clock());
        h.os().Driver().Plug(0, device);
        EXPECT_FALSE(
            h.dlg().TransferAndBurn(L"USB", 507, 4, CFWUpdateDlg::Variant::kNormal, 60, 0));
        SetThreadLanguage(0x0409);
        EXPECT_EQ(h.Snapshot().controls[IDC_STATIC_STATUS].text, LoadText(c.text));
        EXPECT_FALSE(device->imageSent);
    }
}

}  // namespace
