// Any WM_COPYDATA payload: the first byte picks dwData (the start block's tag or another), the
// rest is the block. An accepted block must hold what the parser promises; a report built from
// its text must keep the layout.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "components/relayo/ClientReport.h"
#include "components/relayo/StartBlock.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    ULONG_PTR tag = (data[0] & 1) ? kHelperCopyDataTag : data[0];
    relayo::StartBlockResult r = relayo::ParseStartBlock(tag, {data + 1, size - 1});
    if (!r.block) {
        if (r.error.empty()) __builtin_trap();
        return 0;
    }
    const relayo::StartBlock& b = *r.block;
    if (size - 1 != kHelperStartBlockSize || b.port == 0 || b.maxClients < 0 ||
        b.maxClients > relayo::kMaxClientsCap || b.file.empty() || b.file[0] != '/' ||
        b.file.size() >= kStartFileFieldSize ||
        b.publishingAddress.size() >= kStartAddressFieldSize)
        __builtin_trap();
    std::vector<uint8_t> report = relayo::BuildClientReport({b.file, b.publishingAddress});
    if (report.size() < kClientReportMinSize || report.back() != 0 || report[kReportOffsetCount] != 2)
        __builtin_trap();
    return 0;
}
