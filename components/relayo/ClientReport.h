#pragma once
// The client report the helper sends to the control's window (WM_COPYDATA; layout in
// platform/contracts/HelperProtocol.h): the tag, the 16-bit client count and the ";"-separated
// addresses as zero-terminated text. The report is at least as long as a start block and grows
// when many addresses need more room.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/contracts/HelperProtocol.h"

namespace relayo {

std::vector<uint8_t> BuildClientReport(const std::vector<std::string>& addresses);

}  // namespace relayo
