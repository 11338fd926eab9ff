// Plain values the program exchanges with the operating system. The numbers are the
// Windows ones, so both sides of the seam and the log lines agree on them.
#pragma once

#include <cstdint>

namespace platform {

// An opaque kernel object. Null means "none" for threads and devices; kInvalidHandle
// (all bits set) means "none" for mutexes, as on Windows.
using Handle = void*;
inline Handle const kInvalidHandle = reinterpret_cast<Handle>(~std::uintptr_t{0});

inline bool IsValid(Handle h) {
    return h != nullptr && h != kInvalidHandle;
}

using ThreadId = std::uint32_t;
using LangId = std::uint16_t;

// Results of a timed wait on a kernel object.
constexpr std::uint32_t kWaitObject0 = 0;
constexpr std::uint32_t kWaitAbandoned = 0x80;
constexpr std::uint32_t kWaitTimeout = 258;
constexpr std::uint32_t kWaitFailed = 0xFFFFFFFF;

// Exit code of a thread that has not ended yet.
constexpr std::uint32_t kStillActive = 259;

// System error codes the program looks at or produces.
constexpr std::uint32_t kErrorSuccess = 0;
constexpr std::uint32_t kErrorFileNotFound = 2;
constexpr std::uint32_t kErrorAccessDenied = 5;
constexpr std::uint32_t kErrorInvalidHandle = 6;
constexpr std::uint32_t kErrorNotEnoughMemory = 8;
constexpr std::uint32_t kErrorGenFailure = 31;
constexpr std::uint32_t kErrorInvalidParameter = 87;
constexpr std::uint32_t kErrorSemTimeout = 121;
constexpr std::uint32_t kErrorInsufficientBuffer = 122;
constexpr std::uint32_t kErrorAlreadyExists = 183;
constexpr std::uint32_t kErrorOperationAborted = 995;
constexpr std::uint32_t kErrorIoPending = 997;
constexpr std::uint32_t kErrorServiceDisabled = 1058;
constexpr std::uint32_t kErrorDeviceNotConnected = 1167;

// Language identifiers used by the language choice.
constexpr LangId kLangEnglishUs = 0x0409;
constexpr LangId kLangChineseTraditional = 0x0404;
constexpr LangId kLangChineseSimplifiedNeutral = 0x0004;

}  // namespace platform
