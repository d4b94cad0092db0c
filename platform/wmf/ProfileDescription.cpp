#include "platform/wmf/ProfileDescription.h"

#include <algorithm>
#include <cstring>
#include <set>

namespace {
using namespace profile_limits;

bool ValidAudio(const StreamDescription& s) {
    const WAVEFORMATEX* wfx = s.type.WaveFormat();
    if (!wfx || s.type.majortype != WMMEDIATYPE_Audio) return false;
    if (s.type.cbFormat() < sizeof(WAVEFORMATEX) + wfx->cbSize) return false;
    if (wfx->nChannels == 0 || wfx->nChannels > kMaxChannels) return false;
    return wfx->nSamplesPerSec >= kMinSampleRate && wfx->nSamplesPerSec <= kMaxSampleRate;
}

bool ValidVideo(const StreamDescription& s) {
    const VIDEOINFOHEADER* vih = s.type.VideoInfo();
    if (!vih || s.type.majortype != WMMEDIATYPE_Video) return false;
    const BITMAPINFOHEADER& bmi = vih->bmiHeader;
    int64_t height = bmi.biHeight < 0 ? -int64_t{bmi.biHeight} : int64_t{bmi.biHeight};
    if (bmi.biWidth < kMinDimension || bmi.biWidth > kMaxDimension) return false;
    if (height < kMinDimension || height > kMaxDimension) return false;
    return vih->AvgTimePerFrame >= kMinFrameInterval && vih->AvgTimePerFrame <= kMaxFrameInterval;
}
}  // namespace

HRESULT ValidateProfile(const ProfileDescription& profile) {
    if (profile.streams.empty() || profile.streams.size() > kMaxStreams) return NS_E_INVALIDPROFILE;
    if (profile.name.size() > kMaxNameLength || profile.description.size() > kMaxNameLength) return NS_E_INVALIDPROFILE;
    std::set<WORD> numbers;
    for (const StreamDescription& s : profile.streams) {
        if (s.streamNumber == 0 || s.streamNumber > kMaxStreamNumber) return NS_E_INVALIDPROFILE;
        if (!numbers.insert(s.streamNumber).second) return NS_E_INVALIDPROFILE;
        if (s.bitrate == 0 || s.bitrate > kMaxBitrate) return NS_E_INVALIDPROFILE;
        if (s.streamName.size() > kMaxNameLength || s.connectionName.size() > kMaxNameLength) return NS_E_INVALIDPROFILE;
        if (s.IsAudio()) {
            if (!ValidAudio(s)) return NS_E_INVALIDPROFILE;
        } else if (s.IsVideo()) {
            if (!ValidVideo(s)) return NS_E_INVALIDPROFILE;
        } else {
            return NS_E_INVALIDPROFILE;
        }
    }
    return S_OK;
}

WM_MEDIA_TYPE MakeWmaType(DWORD samplesPerSec, WORD channels, DWORD bitrate, WORD formatTag) {
    WM_MEDIA_TYPE type;
    type.majortype = WMMEDIATYPE_Audio;
    type.subtype = Guid::FromFourCC(formatTag);
    type.formattype = WMFORMAT_WaveFormatEx;
    type.bFixedSizeSamples = TRUE;
    type.bTemporalCompression = FALSE;
    WAVEFORMATEX wfx;
    wfx.wFormatTag = formatTag;
    wfx.nChannels = channels;
    wfx.nSamplesPerSec = samplesPerSec;
    wfx.nAvgBytesPerSec = bitrate / 8;
    // One WMA block of 2048 samples (1024 at low rates), as the encoder sizes them.
    DWORD samplesPerBlock = samplesPerSec <= 22050 ? 1024 : 2048;
    wfx.nBlockAlign = static_cast<WORD>(std::min<uint64_t>(0xFFFF, uint64_t{bitrate} * samplesPerBlock / (uint64_t{samplesPerSec} * 8)));
    wfx.wBitsPerSample = 16;
    wfx.cbSize = 10;
    type.lSampleSize = wfx.nBlockAlign;
    BYTE* block = type.SetFormat(nullptr, sizeof(WAVEFORMATEX) + 10);
    std::memcpy(block, &wfx, sizeof wfx);
    BYTE extra[10] = {};
    std::memcpy(extra, &samplesPerBlock, 4);
    extra[4] = 1;  // encode options
    std::memcpy(block + sizeof wfx, extra, sizeof extra);
    return type;
}

WM_MEDIA_TYPE MakeWmvType(LONG width, LONG height, REFERENCE_TIME frameInterval, DWORD bitrate, const Guid& subtype) {
    WM_MEDIA_TYPE type;
    type.majortype = WMMEDIATYPE_Video;
    type.subtype = subtype;
    type.formattype = WMFORMAT_VideoInfo;
    type.bFixedSizeSamples = FALSE;
    type.bTemporalCompression = TRUE;
    type.lSampleSize = 0;
    VIDEOINFOHEADER vih;
    vih.rcSource = RECT{0, 0, width, height};
    vih.rcTarget = vih.rcSource;
    vih.dwBitRate = bitrate;
    vih.AvgTimePerFrame = frameInterval;
    vih.bmiHeader.biWidth = width;
    vih.bmiHeader.biHeight = height;
    vih.bmiHeader.biPlanes = 1;
    vih.bmiHeader.biBitCount = 24;
    vih.bmiHeader.biCompression = subtype.data1;
    type.SetFormat(&vih, sizeof vih);
    return type;
}
