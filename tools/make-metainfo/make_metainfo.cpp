// Writes the AppStream metainfo from its template, with one <modalias> per
// USB product of the model table, so that software centres offer the
// program when a supported device is plugged in.
//
//   make_metainfo TEMPLATE OUTPUT    replaces the line holding @MODALIASES@

#include <fmt/format.h>

#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "device/device_state.h"
#include "device/models.h"
#include "platform/vendor.h"

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_metainfo TEMPLATE OUTPUT\n");
        return 2;
    }
    std::ifstream in(argv[1]);
    if (!in) {
        std::fprintf(stderr, "make_metainfo: cannot read %s\n", argv[1]);
        return 1;
    }
    std::set<int> products{cvk::kProductReceiver};
    for (const cvk::ModelInfo& m : cvk::knownModels())
        if (m.code > 0)
            products.insert(m.code);
    std::ostringstream out;
    std::string line;
    bool replaced = false;
    while (std::getline(in, line)) {
        const auto at = line.find("@MODALIASES@");
        if (at == std::string::npos) {
            out << line << "\n";
            continue;
        }
        const std::string indent = line.substr(0, at);
        for (int p : products)
            out << indent << fmt::format("<modalias>usb:v{:04X}p{:04X}d*</modalias>\n", cvk::kVendorId, p);
        replaced = true;
    }
    if (!replaced) {
        std::fprintf(stderr, "make_metainfo: %s has no @MODALIASES@ line\n", argv[1]);
        return 1;
    }
    std::ofstream file(argv[2], std::ios::trunc);
    file << out.str();
    if (!file) {
        std::fprintf(stderr, "make_metainfo: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
