// Settings.ini beside the executable: section [Development], keys LANG_ID and
// SHOW_ALL_STRING. Read afresh at every call; the program never writes the file.
#pragma once

#include <cstdint>
#include <string>

// Drive and directory of the program's own executable + "Settings.ini". The working
// directory plays no part.
std::wstring SettingsFilePath();

// LANG_ID, or 0 when the file, the section or the key is missing.
std::uint32_t ReadLanguageSetting();

// SHOW_ALL_STRING, or 0.
std::uint32_t ReadShowAllStringSetting();

// Applies LANG_ID to the calling thread: non-zero selects the thread's user-interface
// language (its low 16 bits); 0 leaves the user's default in force. Every thread of the
// program calls this when it starts, before it loads any text.
void ApplyLanguageSetting();
