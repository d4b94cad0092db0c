#pragma once
// The client report the helper sends to the control's window (WM_COPYDATA, dwData 0x10016): the
// tag 0x10037 at offset 4, the 16-bit client count at 52 and the ";"-separated addresses as
// zero-terminated text from 936 on. The report is at least as long as a start block and grows
// when many addresses need more room.
#include <cstdint>
#include <string>
#include <vector>

namespace relayo {

inline constexpr uint32_t kReportTag = 0x10037;
inline constexpr uint32_t kReportOffsetCount = 52;
inline constexpr uint32_t kReportOffsetText = 936;
inline constexpr uint32_t kReportMinSize = 1524;

std::vector<uint8_t> BuildClientReport(const std::vector<std::string>& addresses);

}  // namespace relayo
