#include "host_report.h"

#include <windows.h>

#include <cstdio>
#include <map>
#include <tuple>

namespace bridge {

void WriteReport(const std::string& path, unsigned presentMask,
                 const std::vector<std::shared_ptr<sim::VeloraDevice>>& scanners) {
    const std::string partial = path + ".part";
    std::FILE* file = std::fopen(partial.c_str(), "wb");
    if (!file) return;
    std::fprintf(file, "present %u\n", presentMask);
    for (const auto& scanner : scanners) {
        const sim::DeviceRecord record = scanner->Record();
        for (const sim::ImageRecord& image : record.images) {
            std::fprintf(file, "image 0x%04X %u %llu %u %d %d %016llx\n", image.parameter,
                         image.length, static_cast<unsigned long long>(image.received),
                         image.writes, image.complete, image.accepted,
                         static_cast<unsigned long long>(image.checksum));
        }
        for (const std::string& text : record.shellCommands) {
            std::fprintf(file, "shell %s\n", text.c_str());
        }
        std::map<std::tuple<int, int, int>, int> counts;
        for (const sim::CommandRecord& command : record.commands) {
            ++counts[{command.kind, command.code, command.parameter}];
        }
        for (const auto& [block, count] : counts) {
            std::fprintf(file, "command 0x%02X 0x%02X %d %d\n", std::get<0>(block),
                         std::get<1>(block), std::get<2>(block), count);
        }
        std::fprintf(file, "errors %u %u\n", record.protocolErrors, record.stalls);
    }
    std::fclose(file);
    MoveFileExA(partial.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
}

}  // namespace bridge
