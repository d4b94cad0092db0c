// CVideoCompressors::ShowPropertyPage: the configuration dialog of an installed video
// compressor, reached through the compressor manager by the description the collection item
// carries.
#include <algorithm>

#include "control/Collections.h"

void CVideoCompressors::BuildInstalledTable() {
    tableBuilt = true;
    ICINFO listed;
    for (uint32_t index = 0; ICInfo(ICTYPE_VIDEO, index, &listed); ++index) {
        std::unique_ptr<OpenCompressor> query =
            opener ? opener(ICTYPE_VIDEO, listed.fccHandler, ICMODE_QUERY) : nullptr;
        if (!query) continue;
        const ICINFO info = query->GetInfo();
        // A description listed twice keeps its later handler.
        std::erase_if(installed, [&](const InstalledRow& row) {
            return row.description == info.szDescription;
        });
        installed.push_back({info.szDescription, listed.fccHandler, (info.dwFlags & 1) != 0});
    }
}

BOOL CVideoCompressors::ShowPropertyPage(int16_t iIndex) {
    if (!tableBuilt) BuildInstalledTable();
    const CVideoCompressor* item = At(iIndex);
    if (!item) return FALSE;
    auto row = std::find_if(installed.begin(), installed.end(),
                            [&](const InstalledRow& r) { return r.description == item->Key(); });
    if (row == installed.end()) {
        lastConfigured = iIndex;
        return FALSE;
    }
    // The open compressor serves the same index again only while it still is the one that
    // index names now and it did open: the items may have changed since, or the last attempt may
    // have failed to open.
    const bool reuse = iIndex == lastConfigured && openCompressor &&
                       openCompressor->GetInfo().fccHandler == row->handler;
    if (!reuse) {
        openCompressor.reset();
        openCompressor = opener ? opener(ICTYPE_VIDEO, row->handler, ICMODE_FASTCOMPRESS) : nullptr;
        if (!openCompressor) {
            lastConfigured = iIndex;
            return FALSE;
        }
    }
    if (openCompressor->Configure(ownerWindow) == ICERR_OK) {
        int quality = -1;
        if (openCompressor->GetDefaultQuality(&quality) == ICERR_OK) defaultQuality = quality;
    }
    lastConfigured = iIndex;
    return TRUE;
}
