#include "sim/velora_device.h"

#include <algorithm>
#include <utility>

#include "link/byte_order.h"
#include "platform/types.h"
#include "sim/fnv1a.h"
#include "sim/velora_answers.h"

namespace sim {

namespace {

constexpr std::size_t kShellCommandLimit = 4096;

Request Classify(const CommandBlock& b) {
    auto is = [&](std::uint8_t kind, std::uint8_t code, std::uint16_t parameter) {
        return b.kind == kind && b.code == code && b.parameter == parameter;
    };
    if (is(KIND_READ, 0x10, 25)) return Request::kIdentification;
    if (is(KIND_READ, 0x01, 1)) return Request::kVersion;
    if (is(KIND_QUERY, 0x02, 0)) return Request::kStatus;
    if (b.kind == KIND_WRITE && b.code == 0x08) return Request::kImage;  // parameter: the image's
    if (is(KIND_QUERY, 0x08, 0)) return Request::kBurnStatus;
    if (is(KIND_WRITE, 0xE6, 0)) return Request::kShellCommand;
    if (is(KIND_READ, 0xE4, 1)) return Request::kShellOutput;
    return Request::kOther;
}

bool HasDataPhase(const CommandBlock& b) {
    return b.length > 0 &&
           (b.kind == KIND_READ || b.kind == KIND_WRITE || b.kind == KIND_WRITE_FIRST);
}

}  // namespace

VeloraDevice::VeloraDevice(platform::Clock& clock, VeloraConfig config)
    : clock_(clock), config_(std::move(config)), life_(config_, clock.NowMs()) {}

bool VeloraDevice::Awake(LifeStatus& status) {
    now_ = clock_.NowMs();
    status = life_.At(now_);
    if (!status.present || life_.Boots() != bootsSeen_) {
        // Off the bus or restarted: whatever command was half done is forgotten.
        phase_ = Phase::kBlock;
        if (life_.Boots() != bootsSeen_) {
            sequence_ = 0;
            shellOutput_.clear();
        }
        bootsSeen_ = life_.Boots();
    }
    return status.present;
}

bool VeloraDevice::Present() {
    std::lock_guard lock(mutex_);
    LifeStatus status;
    return Awake(status);
}

bool VeloraDevice::Descriptor(std::uint8_t descriptor[8]) {
    std::lock_guard lock(mutex_);
    LifeStatus status;
    if (!Awake(status) || config_.descriptorFails) return false;
    PutLe16(&descriptor[0], kVeloraVendor);
    PutLe16(&descriptor[2], kVeloraProduct);
    PutLe16(&descriptor[4], life_.Release());
    PutLe16(&descriptor[6], 0x0409);
    return true;
}

IoResult VeloraDevice::Write(std::span<const std::uint8_t> data) {
    std::lock_guard lock(mutex_);
    LifeStatus status;
    if (!Awake(status)) return IoResult::Error(platform::kErrorDeviceNotConnected);
    switch (phase_) {
        case Phase::kBlock:
            return TakeBlock(data);
        case Phase::kDataFromHostFirst:
        case Phase::kDataFromHost:
            return TakeData(data);
        default:
            return ProtocolError();
    }
}

IoResult VeloraDevice::Read(std::span<std::uint8_t> buffer) {
    std::lock_guard lock(mutex_);
    LifeStatus status;
    if (!Awake(status)) return IoResult::Error(platform::kErrorDeviceNotConnected);
    switch (phase_) {
        case Phase::kResponse:
            return GiveResponse(buffer, status);
        case Phase::kDataToHost:
            return GiveData(buffer);
        default:
            return ProtocolError();
    }
}

IoResult VeloraDevice::ProtocolError() {
    ++record_.protocolErrors;
    phase_ = Phase::kBlock;
    return IoResult::Error(platform::kErrorGenFailure);
}

bool VeloraDevice::ShouldStall(StallPhase phase) {
    if (config_.stallRequest == Request::kNone || request_ != config_.stallRequest) return false;
    StallPhase stalled = config_.stallPhase;
    if (stalled == StallPhase::kData && !HasDataPhase(block_)) stalled = StallPhase::kResponse;
    if (stalled != phase) return false;
    if (config_.stallTimes != 0 && record_.stalls >= config_.stallTimes) return false;
    // The transfer never ends; the host cancels it and starts over with a new block.
    ++record_.stalls;
    phase_ = Phase::kBlock;
    return true;
}

IoResult VeloraDevice::TakeBlock(std::span<const std::uint8_t> data) {
    if (data.size() != 16) return ProtocolError();
    CommandBlock block = CommandBlock::FromBytes(data.data());
    if (block.tag != COMMAND_TAG) return ProtocolError();
    block_ = block;
    request_ = Classify(block);
    moved_ = 0;
    if (ShouldStall(StallPhase::kBlock)) return IoResult::Stall();
    record_.commands.push_back({now_, block.kind, block.code, block.parameter, block.length});
    ++sequence_;
    bool dataFirst = block.kind == KIND_WRITE_FIRST && block.length > 0;
    phase_ = dataFirst ? Phase::kDataFromHostFirst : Phase::kResponse;
    return IoResult::Done(16);
}

IoResult VeloraDevice::GiveResponse(std::span<std::uint8_t> buffer, const LifeStatus& status) {
    if (buffer.size() != kResponseSize) return ProtocolError();
    if (ShouldStall(StallPhase::kResponse)) return IoResult::Stall();
    ResponseFields fields;
    fields.errorCode = request_ == Request::kBurnStatus ? status.burnError : 0;
    fields.deviceState = status.deviceState;
    fields.burnPercent = status.burnPercent;
    fields.ubootVersion = config_.ubootVersion;
    fields.kind = block_.kind;
    fields.code = block_.code;
    fields.sequence = sequence_;
    auto bytes = ResponseBlock(fields);
    std::copy(bytes.begin(), bytes.end(), buffer.begin());

    moved_ = 0;
    phase_ = Phase::kBlock;
    if (block_.kind == KIND_READ && block_.length > 0) {
        toHost_ = DataFor(request_);
        phase_ = Phase::kDataToHost;
    } else if (block_.kind == KIND_WRITE) {
        StartDataFromHost();
    }
    return IoResult::Done(kResponseSize);
}

std::vector<std::uint8_t> VeloraDevice::DataFor(Request request) const {
    switch (request) {
        case Request::kIdentification:
            return IdentificationData(config_.identification);
        case Request::kVersion:
            return VersionBlock(life_.MainBoardVersion(), life_.PanelVersion());
        case Request::kShellOutput:
            return {shellOutput_.begin(), shellOutput_.end()};
        default:
            return {};
    }
}

IoResult VeloraDevice::GiveData(std::span<std::uint8_t> buffer) {
    if (moved_ == 0 && ShouldStall(StallPhase::kData)) return IoResult::Stall();
    // A read asking more than remains gets what remains; past the answer come zeros.
    std::uint64_t n = std::min<std::uint64_t>(buffer.size(), block_.length - moved_);
    for (std::uint64_t i = 0; i < n; ++i) {
        std::uint64_t at = moved_ + i;
        buffer[i] = at < toHost_.size() ? toHost_[at] : 0;
    }
    moved_ += n;
    if (moved_ == block_.length) phase_ = Phase::kBlock;
    return IoResult::Done(static_cast<std::uint32_t>(n));
}

void VeloraDevice::StartDataFromHost() {
    phase_ = Phase::kDataFromHost;
    if (request_ == Request::kImage) {
        ImageRecord image;
        image.parameter = block_.parameter;
        image.length = block_.length;
        image.checksum = kFnv1aStart;
        record_.images.push_back(image);
    }
    fromHost_.clear();
    if (block_.length == 0) EndDataFromHost();
}

IoResult VeloraDevice::TakeData(std::span<const std::uint8_t> data) {
    if (data.size() > block_.length - moved_) return ProtocolError();
    bool image = phase_ == Phase::kDataFromHost && request_ == Request::kImage;
    if (image) ++record_.images.back().writes;
    if (moved_ == 0 && ShouldStall(StallPhase::kData)) return IoResult::Stall();
    if (image && config_.vanishInImage) {
        life_.Vanish();
        phase_ = Phase::kBlock;
        return IoResult::Error(platform::kErrorDeviceNotConnected);
    }
    if (image) {
        // The image is checked as it streams through, never kept.
        ImageRecord& record = record_.images.back();
        for (std::size_t i = 0; i < data.size() && record.received + i < record.head.size(); ++i) {
            record.head[record.received + i] = data[i];
        }
        record.checksum = Fnv1a64(data, record.checksum);
        record.received += data.size();
    } else if (request_ == Request::kShellCommand) {
        std::size_t room = kShellCommandLimit - std::min(kShellCommandLimit, fromHost_.size());
        fromHost_.insert(fromHost_.end(), data.begin(), data.begin() + std::min(room, data.size()));
    }
    moved_ += data.size();
    if (moved_ == block_.length) {
        if (phase_ == Phase::kDataFromHostFirst) {
            phase_ = Phase::kResponse;
        } else {
            EndDataFromHost();
        }
    }
    return IoResult::Done(static_cast<std::uint32_t>(data.size()));
}

void VeloraDevice::EndDataFromHost() {
    phase_ = Phase::kBlock;
    if (request_ == Request::kImage) {
        ImageRecord& image = record_.images.back();
        image.complete = true;
        image.accepted = life_.TakeImage(image.parameter, image.received, image.head, now_);
    } else if (request_ == Request::kShellCommand) {
        auto end = std::find(fromHost_.begin(), fromHost_.end(), std::uint8_t{0});
        std::string text(fromHost_.begin(), end);
        shellOutput_ = ShellOutput(text, config_.relayMarker);
        record_.shellCommands.push_back(std::move(text));
    }
}

DeviceRecord VeloraDevice::Record() const {
    std::lock_guard lock(mutex_);
    return record_;
}

DeviceStatus VeloraDevice::Status() {
    std::lock_guard lock(mutex_);
    LifeStatus s;
    Awake(s);
    return {s.stage,
            s.present,
            s.deviceState,
            s.burnPercent,
            life_.Release(),
            life_.MainBoardVersion(),
            life_.PanelVersion()};
}

}  // namespace sim
