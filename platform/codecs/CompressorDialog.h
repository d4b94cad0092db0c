#pragma once
// The configuration dialog of a compressor: quality, data rate and key-frame interval, as far as
// the encoder has them. UI thread only.
#include <cstdint>
#include <functional>

#include "platform/codecs/CompressorCatalog.h"
#include "platform/codecs/CompressorSettings.h"

class QDialog;

// Builds the dialog filled from `settings` (not shown); `apply` copies its fields back.
struct CompressorDialogParts {
    QDialog* dialog = nullptr;
    std::function<void(CompressorSettings&)> apply;
};
CompressorDialogParts BuildCompressorDialog(const CompressorInfo& info, const CompressorSettings& settings);
// Runs it modally; true when accepted, with `settings` updated.
bool RunCompressorDialog(const CompressorInfo& info, CompressorSettings& settings, uint32_t owner);
