#include "app/settings.h"

#include <gtest/gtest.h>

#include <fstream>
#include <thread>

#include "app/thread_language.h"
#include "app_harness.h"
#include "platform/linux/ini_file.h"

namespace {

TEST(Settings, FileSitsBesideTheProgramWhateverTheWorkingDirectory) {
    AppHarness h;
    auto before = std::filesystem::current_path();
    std::filesystem::current_path("/");
    EXPECT_EQ(SettingsFilePath(), (h.dir() / "bin" / "Settings.ini").wstring());
    std::filesystem::current_path(before);
}

TEST(Settings, PathFromTheProgramPath) {
    struct Case {
        const char* program;
        const wchar_t* settings;
    };
    const Case cases[] = {
        {"C:\\Program Files\\Norvik\\FWUpdate.exe", L"C:\\Program Files\\Norvik\\Settings.ini"},
        {"/opt/fw-dump/FWUpdate", L"/opt/fw-dump/Settings.ini"},
        {"C:FWUpdate.exe", L"C:Settings.ini"},
        {"FWUpdate.exe", L"Settings.ini"},
    };
    for (const Case& c : cases) {
        standin::PlatformOptions po;
        po.process.modulePath = c.program;
        standin::LinuxPlatform os(std::move(po));
        platform::Install(&os);
        EXPECT_EQ(SettingsFilePath(), c.settings) << c.program;
        platform::Install(nullptr);
    }
}

TEST(Settings, LanguageIsReadAfreshAtEveryCall) {
    AppHarness h({.settings = "[Development]\nLANG_ID=1028\n"});
    EXPECT_EQ(ReadLanguageSetting(), 1028u);
    h.WriteSettings("[Development]\nLANG_ID=1036\n");
    EXPECT_EQ(ReadLanguageSetting(), 1036u);
    std::filesystem::remove(h.dir() / "bin" / "Settings.ini");
    EXPECT_EQ(ReadLanguageSetting(), 0u);
}

TEST(Settings, IntegerValuesAsTheSystemReadsThem) {
    auto dir = MakeScratchDir();
    auto path = (dir / "Settings.ini").string();
    struct Case {
        const char* file;
        std::uint32_t expected;
    };
    const Case cases[] = {
        {"[Development]\nLANG_ID=1028\n", 1028},
        {"[development]\r\nlang_id = 3084 \r\n", 3084},  // names ignore case; CRLF lines
        {"\xEF\xBB\xBF[Development]\nLANG_ID=2052\n", 2052},
        {"[Development]\nLANG_ID=\n", 0},
        {"[Development]\nLANG_ID=-5\n", 0},
        {"[Development]\nLANG_ID=12abc\n", 12},
        {"[Development]\nLANG_ID=0x404\n", 0},
        {"[Other]\nLANG_ID=1028\n[Development]\nSHOW_ALL_STRING=9999\n", 0},
        {"; LANG_ID=1028\n[Development]\n;LANG_ID=1028\n", 0},
        {"LANG_ID=1028\n", 0},  // no section
    };
    for (const Case& c : cases) {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << c.file;
        EXPECT_EQ(standin::ReadIniInt(path, "Development", "LANG_ID", 0), c.expected) << c.file;
    }
    EXPECT_EQ(standin::ReadIniInt((dir / "missing.ini").string(), "Development", "LANG_ID", 0), 0u);
    std::filesystem::remove_all(dir);
}

TEST(Settings, LanguageAppliesToTheCallingThreadOnly) {
    AppHarness h({.settings = "[Development]\nLANG_ID=1028\n", .userLanguage = 0x040C});
    platform::LangId worker = 0;
    std::thread([&] {
        ApplyLanguageSetting();
        worker = ThreadLanguage();
    }).join();
    EXPECT_EQ(worker, 1028);
    EXPECT_EQ(ThreadLanguage(), 0x040C);  // this thread never applied the setting

    h.WriteSettings("[Development]\nLANG_ID=0\n");
    std::thread([&] {
        ApplyLanguageSetting();
        worker = ThreadLanguage();
    }).join();
    EXPECT_EQ(worker, 0x040C);  // 0 keeps the user's default
}

}  // namespace
