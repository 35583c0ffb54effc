// vyxcatalog: prints the supported camera models, or one model's resolution list
// with the frame size of every entry at each of the camera's bin factors.
#include <cstdio>
#include <cstring>

#include "ResolutionLadder.h"
#include "vyx_catalogue.h"

namespace {

using vyx::catalogue::kModels;

void PrintCatalogue() {
    std::printf("%-3s %-14s %-9s %-11s %-6s %-24s %s\n", "#", "model", "USB ID", "sensor", "type",
                "filter file", "features");
    int index = 0;
    for (const auto& row : kModels) {
        char sensor[32];
        std::snprintf(sensor, sizeof sensor, "%dx%d", row.sensorWidth, row.sensorHeight);
        std::printf("%-3d %-14s %04X:%04X %-11s %-6s %-24s%s%s%s%s\n", index++, row.displayName,
                    vyx::catalogue::kVendorId, row.productId, sensor, row.color ? "colour" : "mono",
                    row.dllFileName, row.st4Port ? " ST4" : "", row.cooler ? " cooler" : "",
                    row.usb3 ? " USB3" : " USB2", row.hardwareBin ? " hw-bin" : "");
    }
    std::printf("%zu models\n", vyx::catalogue::kModelCount);
}

int PrintResolutions(const char* name) {
    for (const auto& row : kModels) {
        if (std::strcmp(row.displayName, name) != 0) continue;
        const auto count = vyx::ResolutionCount(row.sensorWidth, row.sensorHeight);
        std::printf("%s: %d resolutions (sensor %dx%d)\n", row.displayName, count, row.sensorWidth,
                    row.sensorHeight);
        for (int i = 0; i < count; ++i) {
            const auto entry = vyx::ResolutionAt(row.sensorWidth, row.sensorHeight, i);
            std::printf("%3d %5dx%-5d", i, entry.width, entry.height);
            for (int b = 0; b < row.binFactorCount; ++b) {
                const auto size = vyx::FrameSizeAtBin(entry, row.binFactors[b]);
                std::printf("  bin%d %dx%d", row.binFactors[b], size.width, size.height);
            }
            std::printf("\n");
        }
        return 0;
    }
    std::fprintf(stderr, "vyxcatalog: no model named \"%s\"\n", name);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 1) {
        PrintCatalogue();
        return 0;
    }
    if (argc == 2) return PrintResolutions(argv[1]);
    std::fprintf(stderr, "usage: vyxcatalog [MODEL]\n");
    return 2;
}
