#include "engine/HelperBlocks.h"

#include <algorithm>
#include <cstring>

namespace {
void PutInt32(HelperStartBlock& block, size_t offset, uint32_t value) {
    for (size_t i = 0; i < 4; ++i) block[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

uint32_t GetUint32(std::span<const uint8_t> bytes, size_t offset) {
    uint32_t value = 0;
    for (size_t i = 0; i < 4; ++i) value |= static_cast<uint32_t>(bytes[offset + i]) << (8 * i);
    return value;
}

bool FitsField(std::string_view text, size_t fieldSize) {
    return text.size() < fieldSize && text.find('\0') == std::string_view::npos;
}
}  // namespace

bool HelperStartFieldsFit(std::string_view file, std::string_view publishingUrl) {
    return FitsField(file, kStartFileFieldSize) && FitsField(publishingUrl, kStartAddressFieldSize);
}

std::optional<HelperStartBlock> BuildHelperStartBlock(const HelperStartFields& fields) {
    if (!HelperStartFieldsFit(fields.file, fields.publishingUrl)) return std::nullopt;
    HelperStartBlock block{};
    PutInt32(block, kStartOffsetTag, static_cast<uint32_t>(kHelperCopyDataTag));
    PutInt32(block, kStartOffsetOwner, fields.ownerWindow);
    PutInt32(block, kStartOffsetZero, 0);
    // Sign-extended, as the 16-bit properties are widened.
    PutInt32(block, kStartOffsetPort, static_cast<uint32_t>(static_cast<int32_t>(fields.port)));
    PutInt32(block, kStartOffsetMaxClients, static_cast<uint32_t>(static_cast<int32_t>(fields.maxClients)));
    std::memcpy(block.data() + kStartOffsetFile, fields.file.data(), fields.file.size());
    std::memcpy(block.data() + kStartOffsetAddress, fields.publishingUrl.data(), fields.publishingUrl.size());
    return block;
}

std::optional<ClientReport> ParseClientReport(ULONG_PTR dwData, std::span<const uint8_t> bytes) {
    if (dwData != kHelperCopyDataTag) return std::nullopt;
    if (bytes.size() < kReportOffsetCount + 2) return std::nullopt;
    if (GetUint32(bytes, kReportOffsetTag) != kClientReportTag) return std::nullopt;
    ClientReport report;
    report.count = static_cast<uint16_t>(bytes[kReportOffsetCount] | (bytes[kReportOffsetCount + 1] << 8));
    if (bytes.size() > kReportOffsetText) {
        std::span<const uint8_t> tail = bytes.subspan(kReportOffsetText);
        auto end = std::find(tail.begin(), tail.end(), uint8_t{0});
        report.text.assign(tail.begin(), end);
    }
    report.addresses = SplitClientAddresses(report.text);
    return report;
}

std::vector<std::string> SplitClientAddresses(std::string_view text) {
    std::vector<std::string> items;
    std::string current;
    bool quoted = false;
    bool endsWithSeparator = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        endsWithSeparator = false;
        if (c == '"') {
            if (quoted && i + 1 < text.size() && text[i + 1] == '"') {
                current += '"';
                ++i;
            }
            quoted = !quoted;
        } else if (c == ';' && !quoted) {
            items.push_back(std::move(current));
            current.clear();
            endsWithSeparator = true;
        } else {
            current += c;
        }
    }
    if (!text.empty() && !endsWithSeparator) items.push_back(std::move(current));
    return items;
}
