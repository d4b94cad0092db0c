#include "platform/codecs/CompressorCatalog.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "platform/codecs/CompressorFilters.h"
#include "platform/devices/SystemDeviceEnum.h"
#include "platform/dshow/FilterInterfaces.h"
#include "platform/dshow/Uuids.h"

namespace {
constexpr uint32_t Tag(char a, char b, char c, char d) { return Guid::FourCC(a, b, c, d); }
constexpr Guid ClassOf(uint8_t n) {
    return Guid{0x7B31C6A0, 0x52E4, 0x4C19, {0x8D, 0x2F, 0x4A, 0x91, 0x0E, 0x6B, 0x3C, n}};
}
}  // namespace

const std::vector<CompressorInfo>& KnownCompressors() {
    static const std::vector<CompressorInfo> list{
        {CompressorKind::Video, "Microsoft Video 1", "msvideo1", Tag('C', 'R', 'A', 'M'), 0,
         VIDCF_QUALITY | VIDCF_TEMPORAL, ClassOf(1)},
        {CompressorKind::Video, "MPEG-4 Video Codec V2", "msmpeg4v2", Tag('M', 'P', '4', '2'), 0,
         VIDCF_QUALITY | VIDCF_CRUNCH | VIDCF_TEMPORAL | VIDCF_FASTTEMPORALC, ClassOf(2)},
        {CompressorKind::Video, "MPEG-4 Video Codec V3", "msmpeg4", Tag('M', 'P', '4', '3'), 0,
         VIDCF_QUALITY | VIDCF_CRUNCH | VIDCF_TEMPORAL | VIDCF_FASTTEMPORALC, ClassOf(3)},
        {CompressorKind::Video, "Xvid MPEG-4 Codec", "mpeg4", Tag('X', 'V', 'I', 'D'), 0,
         VIDCF_QUALITY | VIDCF_CRUNCH | VIDCF_TEMPORAL | VIDCF_FASTTEMPORALC, ClassOf(4)},
        {CompressorKind::Video, "Motion JPEG", "mjpeg", Tag('M', 'J', 'P', 'G'), 0, VIDCF_QUALITY, ClassOf(5)},
        {CompressorKind::Video, "Huffyuv", "huffyuv", Tag('H', 'F', 'Y', 'U'), 0, 0, ClassOf(6)},
        {CompressorKind::Video, "FFV1", "ffv1", Tag('F', 'F', 'V', '1'), 0, 0, ClassOf(7)},
        {CompressorKind::Video, "H.264", "libx264", Tag('H', '2', '6', '4'), 0,
         VIDCF_QUALITY | VIDCF_CRUNCH | VIDCF_TEMPORAL | VIDCF_FASTTEMPORALC, ClassOf(8)},
        {CompressorKind::Audio, "PCM", "pcm_s16le", 0, 0x0001, 0, ClassOf(20)},
        {CompressorKind::Audio, "MPEG Layer-3", "libmp3lame", 0, 0x0055, 0, ClassOf(21)},
        {CompressorKind::Audio, "IMA ADPCM", "adpcm_ima_wav", 0, 0x0011, 0, ClassOf(22)},
        {CompressorKind::Audio, "Microsoft ADPCM", "adpcm_ms", 0, 0x0002, 0, ClassOf(23)},
    };
    return list;
}

std::vector<CompressorInfo> InstalledCompressors(CompressorKind kind) {
    std::vector<CompressorInfo> installed;
    for (const auto& info : KnownCompressors())
        if (info.kind == kind && avcodec_find_encoder_by_name(info.encoder.c_str())) installed.push_back(info);
    return installed;
}

const CompressorInfo* FindCompressorByName(const std::string& friendlyName) {
    for (const auto& info : KnownCompressors())
        if (info.friendlyName == friendlyName) return &info;
    return nullptr;
}

const CompressorInfo* FindCompressorByHandler(uint32_t fourCC) {
    for (const auto& info : KnownCompressors())
        if (info.kind == CompressorKind::Video && info.fourCC == fourCC) return &info;
    return nullptr;
}

void InstallCompressorCategories() {
    auto provider = [](CompressorKind kind) {
        return [kind] {
            std::vector<DeviceMonikerEntry> entries;
            for (const auto& info : InstalledCompressors(kind)) {
                DeviceMonikerEntry entry;
                entry.friendlyName = info.friendlyName;
                entry.clsid = info.clsid;
                entry.bind = [info](IBaseFilter** filter) { return CreateCompressorFilter(info, filter); };
                entries.push_back(std::move(entry));
            }
            return entries;
        };
    };
    InstallDeviceCategory(CLSID_VideoCompressorCategory, provider(CompressorKind::Video));
    InstallDeviceCategory(CLSID_AudioCompressorCategory, provider(CompressorKind::Audio));
}
