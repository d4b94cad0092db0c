#pragma once
// The compressor manager in place of the Video for Windows one: the installed video compressors
// (description, four-character handler code, capability flags), opening one by handler, its
// configuration dialog (quality, bit rate, key frames; kept per compressor for the session) and
// its default quality.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/codecs/CompressorCatalog.h"
#include "platform/codecs/CompressorSettings.h"

inline constexpr uint32_t ICTYPE_VIDEO = Guid::FourCC('v', 'i', 'd', 'c');
inline constexpr int ICMODE_COMPRESS = 1;
inline constexpr int ICMODE_FASTCOMPRESS = 3;
inline constexpr int ICMODE_QUERY = 4;
inline constexpr long ICERR_OK = 0;
inline constexpr long ICERR_CANTUPDATE = -11;
inline constexpr long ICERR_UNSUPPORTED = -1;

struct ICINFO {
    uint32_t fccType = 0;
    uint32_t fccHandler = 0;
    uint32_t dwFlags = 0;
    std::string szName;         // short name (the encoder)
    std::string szDescription;  // the friendly name
};

// Fills `info` for the index-th installed compressor of `type`; false past the end.
bool ICInfo(uint32_t type, uint32_t index, ICINFO* info);

// An open compressor.
class OpenCompressor {
public:
    OpenCompressor(const CompressorInfo& info, int mode) : info_(info), mode_(mode) {}
    const CompressorInfo& Info() const { return info_; }
    int Mode() const { return mode_; }
    ICINFO GetInfo() const;
    // Shows the configuration dialog over `owner`; ICERR_OK when the user accepted, ICERR_CANTUPDATE
    // when cancelled, ICERR_UNSUPPORTED for a query-mode handle.
    long Configure(uint32_t owner);
    // The quality used when not configured (0..10000).
    long GetDefaultQuality(int* quality) const;

private:
    CompressorInfo info_;
    int mode_;
};

// Opens by type and handler code; null when no installed compressor has that code.
std::unique_ptr<OpenCompressor> ICOpen(uint32_t type, uint32_t handler, int mode);

// How the dialog is shown: tests replace it to answer without a screen.
// Returns true when the user accepted; `settings` holds what they chose.
using CompressorDialogRunner = std::function<bool(const CompressorInfo& info, CompressorSettings& settings, uint32_t owner)>;
void SetCompressorDialogRunner(CompressorDialogRunner runner);
