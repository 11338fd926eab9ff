// The busy locks shared with the maker's scanning applications: whoever creates such a
// named mutex anew holds the scanner for that purpose; anyone who finds the name existing
// treats the scanner as busy.
#pragma once

constexpr int BUSY_LOCK_SCAN_APP = 0;
constexpr int BUSY_LOCK_OSTRA = 1;
constexpr int BUSY_LOCK_VANTOR = 2;

constexpr wchar_t SCAN_APP_MUTEX_PREFIX[] = L"Global\\NORVIK_SCAN_EXT_APP_MUTEX_";
constexpr wchar_t OSTRA_MUTEX_NAME[] = L"{3D1E84A2-7C55-4B09-A1F3-52C9E6D07B48}";
constexpr wchar_t VANTOR_MUTEX_PREFIX[] = L"Global\\NORVIK_VANTOR_SUBSCRIPTION_MUTEX_";

// A complete name holds at most this many characters.
constexpr int BUSY_LOCK_NAME_MAX = 259;
constexpr int BUSY_LOCK_ATTEMPTS = 3;
constexpr unsigned BUSY_LOCK_RETRY_MS = 1000;
