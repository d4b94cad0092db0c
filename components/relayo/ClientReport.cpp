#include "components/relayo/ClientReport.h"

#include <algorithm>
#include <limits>

namespace relayo {

std::vector<uint8_t> BuildClientReport(const std::vector<std::string>& addresses) {
    std::string text;
    for (const std::string& address : addresses) {
        if (!text.empty()) text += ';';
        text += address;
    }
    std::vector<uint8_t> report(
        std::max<size_t>(kClientReportMinSize, kReportOffsetText + text.size() + 1), 0);
    for (int i = 0; i < 4; ++i) report[kReportOffsetTag + i] = static_cast<uint8_t>(kClientReportTag >> (8 * i));
    size_t count = std::min<size_t>(addresses.size(), std::numeric_limits<uint16_t>::max());
    report[kReportOffsetCount] = static_cast<uint8_t>(count & 0xFF);
    report[kReportOffsetCount + 1] = static_cast<uint8_t>(count >> 8);
    std::copy(text.begin(), text.end(), report.begin() + kReportOffsetText);
    return report;
}

}  // namespace relayo
