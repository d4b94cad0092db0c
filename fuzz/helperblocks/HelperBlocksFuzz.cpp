// ParseClientReport on arbitrary message bytes (the first byte picks the dwData), and the start
// block built from texts taken from the same bytes: neither may read outside what it was given,
// and what they return must keep their promises.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>

#include "engine/HelperBlocks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    ULONG_PTR dwData = (data[0] & 1) ? kHelperCopyDataTag : data[0];
    std::span<const uint8_t> bytes(data + 1, size - 1);
    if (auto report = ParseClientReport(dwData, bytes)) {
        if (dwData != kHelperCopyDataTag || bytes.size() < kReportOffsetCount + 2) __builtin_trap();
        size_t room = bytes.size() > kReportOffsetText ? bytes.size() - kReportOffsetText : 0;
        if (report->text.size() > room) __builtin_trap();
        if (report->text.find('\0') != std::string::npos) __builtin_trap();
        for (const auto& address : report->addresses)
            if (address.empty() || address.find(';') != std::string::npos) __builtin_trap();
    }

    // A start block from the same bytes: a path and an address of any length.
    std::string text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    size_t cut = text.size() / 2;
    HelperStartFields fields;
    fields.port = static_cast<int16_t>(size);
    fields.file = text.substr(0, cut);
    fields.publishingUrl = text.substr(cut);
    auto block = BuildHelperStartBlock(fields);
    if (block.has_value() != HelperStartFieldsFit(fields.file, fields.publishingUrl)) __builtin_trap();
    if (block) {
        if (std::strlen(reinterpret_cast<const char*>(block->data() + kStartOffsetFile)) != fields.file.size())
            __builtin_trap();
        if ((*block)[kStartOffsetAddress + kStartAddressFieldSize - 1] != 0) __builtin_trap();
    }
    return 0;
}
