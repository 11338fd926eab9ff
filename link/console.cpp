#include "link/console.h"

#include <iterator>

#include "platform/platform.h"

namespace {

// Numbers 0 to 25 are English; number + 40 is the Traditional Chinese wording, which the
// program never selects but keeps beside the English one for the device's service staff.
const wchar_t* const kEnglish[] = {
    L"Warning - no following argument!!\n",
    L"Get device descriptor error!!\n",
    L"Device found!!\n",
    L"Device not found!!\nEnd program...\n",
    L"Loading firmware...\n",
    L"Loading firmware (find resource) error!!\n",
    L"Loading firmware (load resource) error!!\n",
    L"Loading firmware (lock resource) error!!\n",
    L"Loading firmware (resource length is zero) error!!\n",
    L"\n",
    L"Checking firmware...\n",
    L"Device is busy... Please wait...\n",
    L"Check device status error!!\n",
    L"Device is not responsed!!\n",
    L"Sending firmware...\n",
    L"Send FW command error!!\n",
    L"Send FW data error!!\n",
    L"FW Upgrade! Please wait...\n",
    nullptr,
    L"Burning firmware done!!\n",
    L"Burning firmware error!!\n",
    L"USB timeout error!!\n",
    L"Get USB overlapped result error!!\n",
    L"Write to USB error!!\n",
    L"Read from USB error!!\n",
    L"Request and return USB data size not matched!!\n",
};

const wchar_t* const kTraditionalChinese[] = {
    L"警告 - 缺少後續參數!!\n",
    L"取得裝置描述元錯誤!!\n",
    L"找到裝置!!\n",
    L"找不到裝置!!\n程式結束...\n",
    L"載入韌體...\n",
    L"載入韌體 (尋找資源) 錯誤!!\n",
    L"載入韌體 (載入資源) 錯誤!!\n",
    L"載入韌體 (鎖定資源) 錯誤!!\n",
    L"載入韌體 (資源長度為零) 錯誤!!\n",
    L"\n",
    L"Checking firmware...\n",
    L"裝置忙碌中... 請稍候...\n",
    L"檢查裝置狀態錯誤!!\n",
    L"裝置沒有回應!!\n",
    L"傳送韌體...\n",
    L"傳送韌體命令錯誤!!\n",
    L"傳送韌體資料錯誤!!\n",
    L"韌體更新中! 請稍候...\n",
    nullptr,
    L"韌體燒錄完成!!\n",
    L"韌體燒錄錯誤!!\n",
    L"USB 逾時錯誤!!\n",
    L"取得 USB 重疊結果錯誤!!\n",
    L"寫入 USB 錯誤!!\n",
    L"讀取 USB 錯誤!!\n",
    L"要求與回傳的 USB 資料大小不符!!\n",
};

static_assert(std::size(kEnglish) == 26 && std::size(kTraditionalChinese) == 26);

}  // namespace

void ConsolePrintText(std::wstring_view text) {
    platform::Get().process().WriteConsole(text);
}

const wchar_t* ConsoleMessageText(int number) {
    if (number >= 0 && number < 26) return kEnglish[number];
    if (number >= 40 && number < 66) return kTraditionalChinese[number - 40];
    return nullptr;
}

void PrintConsoleMessage(int number) {
    const wchar_t* message = ConsoleMessageText(number);
    if (message == nullptr) return;
    ConsolePrint(L"%s\n", message);
}
