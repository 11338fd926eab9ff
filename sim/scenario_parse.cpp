#include <array>
#include <charconv>
#include <limits>

#include "sim/scenario.h"

namespace sim {

namespace {

std::string_view Trim(std::string_view s) {
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    return s;
}

// Decimal, or hexadecimal after "0x".
bool Unsigned(std::string_view text, std::uint64_t max, std::uint64_t& out) {
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    }
    if (text.empty()) return false;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out, base);
    return ec == std::errc() && end == text.data() + text.size() && out <= max;
}

template <typename T>
bool Number(std::string_view text, T& out) {
    std::uint64_t v = 0;
    if (!Unsigned(text, std::numeric_limits<T>::max(), v)) return false;
    out = static_cast<T>(v);
    return true;
}

bool Milliseconds(std::string_view text, std::uint64_t& out) {
    if (text == "forever") {
        out = kForever;
        return true;
    }
    return Unsigned(text, kForever - 1, out);
}

bool Flag(std::string_view text, bool& out) {
    if (text == "1" || text == "true" || text == "yes" || text == "on") {
        out = true;
    } else if (text == "0" || text == "false" || text == "no" || text == "off") {
        out = false;
    } else {
        return false;
    }
    return true;
}

// "3.61" (major.minor) or a packed number such as 0x3003D.
bool Version(std::string_view text, std::uint32_t& out) {
    std::size_t dot = text.find('.');
    if (dot == std::string_view::npos) return Number(text, out);
    std::uint16_t major = 0;
    std::uint16_t minor = 0;
    if (!Number(text.substr(0, dot), major) || !Number(text.substr(dot + 1), minor)) return false;
    out = PackVersion(major, minor);
    return true;
}

bool RequestName(std::string_view text, Request& out) {
    static constexpr std::array<std::pair<std::string_view, Request>, 8> kNames{{
        {"none", Request::kNone},
        {"identification", Request::kIdentification},
        {"version", Request::kVersion},
        {"status", Request::kStatus},
        {"image", Request::kImage},
        {"burn-status", Request::kBurnStatus},
        {"shell-command", Request::kShellCommand},
        {"shell-output", Request::kShellOutput},
    }};
    for (auto [name, request] : kNames) {
        if (text == name) {
            out = request;
            return true;
        }
    }
    return false;
}

struct Setting {
    ScenarioInfo info;
    std::string_view expects;  // completes "... is not <expects>"
    bool (*set)(Scenario&, std::string_view);
};

constexpr std::string_view kMs = "a number of milliseconds or \"forever\"";
constexpr std::string_view kFlag = "1/0, true/false, yes/no or on/off";

const std::array<Setting, 23> kSettings{{
    {{"release", "USB release number (1: boot loader)"},
     "a number up to 0xFFFF",
     [](Scenario& s, std::string_view v) { return Number(v, s.scanner.release); }},
    {{"ident", "identification text, up to 14 bytes of UTF-8"},
     "a text of up to 14 bytes",
     [](Scenario& s, std::string_view v) {
         s.scanner.identification = std::string(v);
         return v.size() <= 14;
     }},
    {{"ident2", "identification text of the second scanner"},
     "a text of up to 14 bytes",
     [](Scenario& s, std::string_view v) {
         s.secondIdentification = std::string(v);
         return v.size() <= 14;
     }},
    {{"friendly_name", "name the device setup registers"},
     "a text",
     [](Scenario& s, std::string_view v) {
         s.friendlyName = std::string(v);
         return true;
     }},
    {{"mb", "main board version before the update"},
     "a version such as 3.61 or 0x3003D",
     [](Scenario& s, std::string_view v) { return Version(v, s.scanner.mainBoardVersion); }},
    {{"panel", "panel version before the update"},
     "a version such as 3.116 or 0x30074",
     [](Scenario& s, std::string_view v) { return Version(v, s.scanner.panelVersion); }},
    {{"relay", "the relay marker file exists"},
     kFlag,
     [](Scenario& s, std::string_view v) { return Flag(v, s.scanner.relayMarker); }},
    {{"uboot", "boot loader version in the response block"},
     "a number up to 255",
     [](Scenario& s, std::string_view v) { return Number(v, s.scanner.ubootVersion); }},
    {{"recovery_state", "state the boot loader reports while idle (6 or 0)"},
     "a number up to 0xFFFF",
     [](Scenario& s, std::string_view v) { return Number(v, s.scanner.recoveryState); }},
    {{"busy_ms", "busy after plug-in"},
     kMs,
     [](Scenario& s, std::string_view v) { return Milliseconds(v, s.scanner.busyMs); }},
    {{"burn_ms", "burning the image"},
     kMs,
     [](Scenario& s, std::string_view v) { return Milliseconds(v, s.scanner.burnMs); }},
    {{"off_delay_ms", "burn done until it powers off (forever: never)"},
     kMs,
     [](Scenario& s, std::string_view v) { return Milliseconds(v, s.scanner.offDelayMs); }},
    {{"off_ms", "powered off (forever: never comes back)"},
     kMs,
     [](Scenario& s, std::string_view v) { return Milliseconds(v, s.scanner.offMs); }},
    {{"boot_ms", "busy after power-on"},
     kMs,
     [](Scenario& s, std::string_view v) { return Milliseconds(v, s.scanner.bootMs); }},
    {{"descriptor_fails", "the scanner's descriptor request fails"},
     kFlag,
     [](Scenario& s, std::string_view v) { return Flag(v, s.scanner.descriptorFails); }},
    {{"vanish", "leaves the bus for good when the image data starts"},
     kFlag,
     [](Scenario& s, std::string_view v) { return Flag(v, s.scanner.vanishInImage); }},
    {{"stall",
      "request whose transfer never ends: none, identification, version, status, image, "
      "burn-status, shell-command, shell-output"},
     "one of the request names",
     [](Scenario& s, std::string_view v) { return RequestName(v, s.scanner.stallRequest); }},
    {{"stall_phase", "phase that stalls: block, response or data"},
     "block, response or data",
     [](Scenario& s, std::string_view v) {
         StallPhase& p = s.scanner.stallPhase;
         if (v == "block") {
             p = StallPhase::kBlock;
         } else if (v == "response") {
             p = StallPhase::kResponse;
         } else if (v == "data") {
             p = StallPhase::kData;
         } else {
             return false;
         }
         return true;
     }},
    {{"stall_times", "how many times the request stalls (0: every time)"},
     "a number",
     [](Scenario& s, std::string_view v) { return Number(v, s.scanner.stallTimes); }},
    {{"burn_error_at", "the burn fails with 0x7001 at this percentage (never: it does not)"},
     "a percentage from 0 to 100 or \"never\"",
     [](Scenario& s, std::string_view v) {
         std::uint8_t percent = 0;
         if (v == "never") {
             s.scanner.burnErrorAt.reset();
             return true;
         }
         if (!Number(v, percent) || percent > 100) return false;
         s.scanner.burnErrorAt = percent;
         return true;
     }},
    {{"burn_warning", "error code reported at 25 to 49 % of the burn (0: none)"},
     "a number",
     [](Scenario& s, std::string_view v) { return Number(v, s.scanner.burnWarning); }},
    {{"scanners", "how many scanners are attached (0 to 2)"},
     "0, 1 or 2",
     [](Scenario& s, std::string_view v) { return Number(v, s.scanners) && s.scanners <= 2; }},
    {{"lead", "device at index 0 ahead of the scanners: none, other or broken"},
     "none, other or broken",
     [](Scenario& s, std::string_view v) {
         if (v == "none") {
             s.lead = Lead::kNone;
         } else if (v == "other") {
             s.lead = Lead::kOtherDevice;
         } else if (v == "broken") {
             s.lead = Lead::kBrokenDescriptor;
         } else {
             return false;
         }
         return true;
     }},
}};

template <typename List, typename Name>
std::string Names(const List& list, Name name) {
    std::string names;
    for (const auto& item : list) {
        if (!names.empty()) names += ", ";
        names += name(item);
    }
    return names;
}

}  // namespace

std::span<const ScenarioInfo> ScenarioSettings() {
    static const auto kInfos = [] {
        std::array<ScenarioInfo, kSettings.size()> infos{};
        for (std::size_t i = 0; i < kSettings.size(); ++i) infos[i] = kSettings[i].info;
        return infos;
    }();
    return kInfos;
}

std::optional<Scenario> ParseScenario(std::string_view text, std::string& error) {
    std::size_t colon = text.find(':');
    std::string_view name = Trim(text.substr(0, colon));
    std::optional<Scenario> scenario = FindScenario(name);
    if (!scenario) {
        error = "unknown scenario \"" + std::string(name) + "\"; known: " +
                Names(ScenarioList(), [](const ScenarioInfo& i) { return std::string(i.name); });
        return std::nullopt;
    }
    std::string_view rest = colon == std::string_view::npos ? "" : text.substr(colon + 1);
    std::string prefix = "scenario \"" + std::string(name) + "\": ";
    while (!rest.empty()) {
        std::size_t comma = rest.find(',');
        std::string_view item = Trim(rest.substr(0, comma));
        rest = comma == std::string_view::npos ? "" : rest.substr(comma + 1);
        if (item.empty()) continue;
        std::size_t equals = item.find('=');
        std::string_view key = Trim(item.substr(0, equals));
        const Setting* setting = nullptr;
        for (const Setting& s : kSettings) {
            if (s.info.name == key) setting = &s;
        }
        if (setting == nullptr) {
            error = prefix + "unknown setting \"" + std::string(key) + "\"; known: " +
                    Names(kSettings, [](const Setting& s) { return std::string(s.info.name); });
            return std::nullopt;
        }
        if (equals == std::string_view::npos) {
            error = prefix + "setting \"" + std::string(key) + "\" needs a value (" +
                    std::string(key) + "=...)";
            return std::nullopt;
        }
        std::string_view value = Trim(item.substr(equals + 1));
        if (!setting->set(*scenario, value)) {
            error = prefix + std::string(key) + "=" + std::string(value) + ": the value is not " +
                    std::string(setting->expects);
            return std::nullopt;
        }
    }
    return scenario;
}

}  // namespace sim
