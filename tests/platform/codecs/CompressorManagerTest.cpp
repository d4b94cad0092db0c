// The compressor list, the compressor manager and its dialog, and the compressor categories.
#include <gtest/gtest.h>

#include <QDialog>
#include <QSlider>
#include <QSpinBox>
#include <set>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "platform/codecs/CompressorCatalog.h"
#include "platform/codecs/CompressorDialog.h"
#include "platform/codecs/CompressorManager.h"
#include "platform/devices/SystemDeviceEnum.h"
#include "platform/dshow/FilterInterfaces.h"
#include "platform/dshow/Uuids.h"

namespace {

std::vector<std::string> Names(CompressorKind kind) {
    std::vector<std::string> names;
    for (const auto& info : InstalledCompressors(kind)) names.push_back(info.friendlyName);
    return names;
}

TEST(CompressorCatalog, ListsOnlyEncodersThisFfmpegHas) {
    for (const auto& info : KnownCompressors()) {
        auto list = Names(info.kind);
        bool listed = std::find(list.begin(), list.end(), info.friendlyName) != list.end();
        EXPECT_EQ(listed, avcodec_find_encoder_by_name(info.encoder.c_str()) != nullptr) << info.friendlyName;
    }
    // The ones every Debian FFmpeg has, in list order.
    auto video = Names(CompressorKind::Video);
    ASSERT_GE(video.size(), 7u);
    EXPECT_EQ(std::vector<std::string>(video.begin(), video.begin() + 7),
              (std::vector<std::string>{"Microsoft Video 1", "MPEG-4 Video Codec V2", "MPEG-4 Video Codec V3",
                                        "Xvid MPEG-4 Codec", "Motion JPEG", "Huffyuv", "FFV1"}));
    auto audio = Names(CompressorKind::Audio);
    EXPECT_NE(std::find(audio.begin(), audio.end(), "PCM"), audio.end());
    EXPECT_NE(std::find(audio.begin(), audio.end(), "Microsoft ADPCM"), audio.end());

    std::set<CLSID> classes;
    std::set<uint32_t> handlers;
    for (const auto& info : KnownCompressors()) {
        EXPECT_TRUE(classes.insert(info.clsid).second) << info.friendlyName;
        if (info.kind == CompressorKind::Video) {
            EXPECT_TRUE(handlers.insert(info.fourCC).second) << info.friendlyName;
        }
    }
}

TEST(CompressorCatalog, CategoriesOfTheDeviceEnumerator) {
    InstallCompressorCategories();
    ComPtr<ICreateDevEnum> devices;
    CreateSystemDeviceEnum(devices.ReleaseAndGetAddressOf());
    for (auto [category, kind] : {std::make_pair(CLSID_VideoCompressorCategory, CompressorKind::Video),
                                  std::make_pair(CLSID_AudioCompressorCategory, CompressorKind::Audio)}) {
        ComPtr<IEnumMoniker> list;
        ASSERT_EQ(devices->CreateClassEnumerator(category, list.ReleaseAndGetAddressOf(), 0), S_OK);
        std::vector<std::string> names;
        ComPtr<IMoniker> moniker;
        while (list->Next(1, moniker.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
            ComPtr<IPropertyBag> bag;
            moniker->BindToStorage(nullptr, nullptr, IPropertyBag::iid, bag.ReleaseAndGetVoidAddress());
            Variant name;
            ASSERT_EQ(bag->Read("FriendlyName", &name, nullptr), S_OK);
            names.push_back(name.Bstr());
            ComPtr<IBaseFilter> filter;
            EXPECT_EQ(moniker->BindToObject(nullptr, nullptr, IBaseFilter::iid, filter.ReleaseAndGetVoidAddress()), S_OK);
            EXPECT_TRUE(filter);
        }
        EXPECT_EQ(names, Names(kind));
    }
}

TEST(CompressorManager, InstalledListAndOpenByHandler) {
    ICINFO info;
    std::vector<std::string> described;
    for (uint32_t i = 0; ICInfo(ICTYPE_VIDEO, i, &info); ++i) {
        described.push_back(info.szDescription);
        EXPECT_EQ(info.fccType, ICTYPE_VIDEO);
    }
    EXPECT_EQ(described, Names(CompressorKind::Video));
    EXPECT_FALSE(ICInfo(Guid::FourCC('a', 'u', 'd', 'c'), 0, &info));

    auto open = ICOpen(ICTYPE_VIDEO, Guid::FourCC('m', 'p', '4', '2'), ICMODE_FASTCOMPRESS);
    ASSERT_TRUE(open);
    EXPECT_EQ(open->GetInfo().szDescription, "MPEG-4 Video Codec V2");
    EXPECT_TRUE(open->GetInfo().dwFlags & VIDCF_TEMPORAL);
    EXPECT_FALSE(ICOpen(ICTYPE_VIDEO, Guid::FourCC('n', 'o', 'n', 'e'), ICMODE_QUERY));
    int quality = 0;
    EXPECT_EQ(open->GetDefaultQuality(&quality), ICERR_OK);
    EXPECT_EQ(quality, 7500);
    auto lossless = ICOpen(ICTYPE_VIDEO, Guid::FourCC('H', 'F', 'Y', 'U'), ICMODE_FASTCOMPRESS);
    ASSERT_TRUE(lossless);
    lossless->GetDefaultQuality(&quality);
    EXPECT_EQ(quality, 10000);
}

TEST(CompressorManager, ConfigureKeepsSettingsPerCompressor) {
    int runs = 0;
    bool accept = true;
    SetCompressorDialogRunner([&](const CompressorInfo& info, CompressorSettings& settings, uint32_t owner) {
        ++runs;
        EXPECT_EQ(info.friendlyName, "Motion JPEG");
        EXPECT_EQ(owner, 77u);
        settings.quality = 4200;
        settings.keyFrameEvery = 1;
        return accept;
    });
    auto mjpeg = ICOpen(ICTYPE_VIDEO, Guid::FourCC('M', 'J', 'P', 'G'), ICMODE_FASTCOMPRESS);
    ASSERT_TRUE(mjpeg);
    EXPECT_EQ(mjpeg->Configure(77), ICERR_OK);
    EXPECT_EQ(SettingsOf("Motion JPEG").quality, 4200);
    EXPECT_EQ(SettingsOf("FFV1").quality, 10000);  // others untouched

    accept = false;
    SetCompressorDialogRunner([&](const CompressorInfo&, CompressorSettings& settings, uint32_t) {
        settings.quality = 1;
        return false;
    });
    EXPECT_EQ(mjpeg->Configure(77), ICERR_CANTUPDATE);
    EXPECT_EQ(SettingsOf("Motion JPEG").quality, 4200);  // a cancelled dialog changes nothing
    EXPECT_EQ(runs, 1);

    auto query = ICOpen(ICTYPE_VIDEO, Guid::FourCC('M', 'J', 'P', 'G'), ICMODE_QUERY);
    EXPECT_EQ(query->Configure(77), ICERR_UNSUPPORTED);
    SetCompressorDialogRunner(nullptr);
}

TEST(CompressorDialog, ShowsAndAppliesTheEncoderSettings) {
    const CompressorInfo* info = FindCompressorByName("MPEG-4 Video Codec V2");
    ASSERT_TRUE(info);
    CompressorSettings settings{6000, 800, 30};
    CompressorDialogParts parts = BuildCompressorDialog(*info, settings);
    auto* quality = parts.dialog->findChild<QSlider*>("quality");
    auto* rate = parts.dialog->findChild<QSpinBox*>("bitRate");
    auto* keys = parts.dialog->findChild<QSpinBox*>("keyFrames");
    ASSERT_TRUE(quality && rate && keys);
    EXPECT_EQ(quality->value(), 60);
    EXPECT_EQ(rate->value(), 800);
    EXPECT_EQ(keys->value(), 30);
    quality->setValue(90);
    rate->setValue(0);
    keys->setValue(5);
    CompressorSettings out;
    parts.apply(out);
    EXPECT_EQ(out.quality, 9000);
    EXPECT_EQ(out.bitRateKbps, 0);
    EXPECT_EQ(out.keyFrameEvery, 5);
    delete parts.dialog;

    // A lossless compressor has no quality or key frames to set.
    parts = BuildCompressorDialog(*FindCompressorByName("Huffyuv"), settings);
    EXPECT_FALSE(parts.dialog->findChild<QSlider*>("quality")->isEnabled());
    EXPECT_FALSE(parts.dialog->findChild<QSpinBox*>("keyFrames")->isEnabled());
    delete parts.dialog;
}

}  // namespace
