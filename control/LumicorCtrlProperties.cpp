// The control's dispatch interface: every property and method at its fixed DISPID, and what each
// setter does after storing its value.
#include <type_traits>

#include "control/Adjustment.h"
#include "control/LumicorCtrl.h"
#include "control/LumicorIds.h"
#include "platform/com/DispatchMap.h"

void CLumicorCtrl::AfterSet(DISPID dispid, unsigned effects) {
    if (effects & kModify) SetModifiedFlag();
    if ((effects & kNotifyAll) || ((effects & kNotify) && !AmbientUserMode()))
        BoundPropertyChanged(dispid);
    if (effects & kInvalidate) InvalidateControl();
}

void CLumicorCtrl::SendTextOverlay() {
    session_.UpdateTextOverlay(textStyle_, textFontStyle_, textFontName_, textFontSize_, textX_, textY_,
                               overlayText_, textColor_, textBgColor_, textBgTransparent_, hatchStyle_,
                               hatchForeColor_, hatchBackColor_, textureImage_);
}

void CLumicorCtrl::SendDateOverlay() {
    session_.UpdateDateOverlay(dateFormat_, dateFontStyle_, dateFontName_, dateFontSize_, dateX_, dateY_,
                               dateColor_);
}

const DispatchTable& CLumicorCtrl::GetDispatchTable() {
    static const DispatchTable table = [] {
        using C = CLumicorCtrl;
        DispatchMap<C> map(DIID__DLumicor, "_DLumicor", "Dispatch interface for Lumicor Control");
        const TypeDesc boolType(VT_BOOL);
        const TypeDesc colorType = TypeDesc::OleColor();

        // A property kept in one member; `after` runs once the value is stored.
        auto stored = [&map]<class T, class After>(DISPID id, const char* name, T C::*member, unsigned effects,
                                                   After after) {
            using Arg = std::conditional_t<std::is_same_v<T, std::string>, const std::string&, T>;
            return map.Property(
                id, name, [member](C& c) { return c.*member; },
                [member, id, effects, after](C& c, Arg value) {
                    c.*member = value;
                    c.AfterSet(id, effects);
                    after(c);
                });
        };
        auto none = [](C&) {};
        auto plain = [&]<class T>(DISPID id, const char* name, T C::*member, unsigned effects) {
            return stored(id, name, member, effects, none);
        };
        auto collection = [&map]<class K>(DISPID id, const char* name, ComPtr<K> C::*member) {
            map.Property(id, name, [member](C& c) {
                return ComPtr<IDispatch>(static_cast<IDispatch*>((c.*member).Get()));
            });
        };

        // Device, format and input selection.
        plain(1, "Device", &C::device_, kNotify | kInvalidate);
        plain(2, "VideoFormat", &C::videoFormat_, kNotify | kInvalidate | kModify);
        collection(3, "Devices", &C::devices_);
        collection(4, "VideoFormats", &C::videoFormats_);
        collection(5, "VideoCompressors", &C::videoCompressors_);
        collection(25, "AudioDevices", &C::audioDevices_);
        plain(26, "AudioDevice", &C::audioDevice_, kNotify | kInvalidate);
        plain(28, "VideoCompressor", &C::videoCompressor_, kNotify | kInvalidate | kModify);
        plain(29, "AudioCompressor", &C::audioCompressor_, kNotify | kInvalidate | kModify);
        collection(32, "AudioCompressors", &C::audioCompressors_);
        collection(41, "VideoInputs", &C::videoInputs_);
        plain(42, "VideoInput", &C::videoInput_, kModify | kNotify);
        stored(54, "AudioInputPin", &C::audioInputPin_, kModify | kNotify,
               [](C& c) { c.session_.audioInputPin = c.audioInputPin_; });
        collection(55, "AudioInputPins", &C::audioInputPins_);
        plain(46, "FrameRate", &C::frameRate_, kModify | kNotify);
        stored(69, "UseUserDefineVideoFormat", &C::useUserDefineVideoFormat_, kModify | kNotify,
               [](C& c) { c.session_.useUserFormat = c.useUserDefineVideoFormat_ != 0; })
            .Type(boolType);

        // Capture, preview and output.
        plain(6, "CaptureMode", &C::captureMode_, kModify).Type(boolType);
        plain(7, "CaptureFileName", &C::captureFileName_, kModify);
        plain(27, "CaptureAudio", &C::captureAudio_, kNotify | kInvalidate | kModify).Type(boolType);
        plain(34, "CaptureVideo", &C::captureVideo_, kModify).Type(boolType);
        plain(30, "UseVideoCompressor", &C::useVideoCompressor_, kModify).Type(boolType);
        plain(31, "UseAudioCompressor", &C::useAudioCompressor_, kModify).Type(boolType);
        plain(33, "ShowPreview", &C::showPreview_, kModify).Type(boolType);
        auto refit = [](C& c) {
            c.session_.aspectRatio = c.aspectRatio_ != 0;
            c.session_.backgroundColor = c.backgroundColor_;
            c.session_.AttachVideoWindow();
        };
        stored(35, "AspectRatio", &C::aspectRatio_, kModify, refit).Type(boolType);
        stored(36, "BackgroundColor", &C::backgroundColor_, kModify, refit).Type(colorType);
        stored(70, "OutputType", &C::outputType_, kModify | kNotify,
               [](C& c) { c.session_.outputType = c.outputType_; });
        collection(43, "WMVProfiles", &C::wmvProfiles_);
        plain(44, "WMVProfile", &C::wmvProfile_, kModify | kNotify);
        stored(50, "WMVCustomFileName", &C::wmvCustomFileName_, kModify | kNotify,
               [](C& c) { c.session_.wmvCustomFileName = c.wmvCustomFileName_; });
        plain(71, "MPEGAudioBitrate", &C::mpegAudioBitrate_, kModify | kNotify);
        plain(72, "MPEGVideoBitrate", &C::mpegVideoBitrate_, kModify | kNotify);
        plain(73, "MPEGAudioChannels", &C::mpegAudioChannels_, kModify | kNotify);
        plain(74, "MPEGAudioSampleRate", &C::mpegAudioSampleRate_, kModify | kNotify);
        plain(75, "MPEGWidth", &C::mpegWidth_, kModify | kNotify);
        plain(76, "MPEGHeight", &C::mpegHeight_, kModify | kNotify);
        plain(77, "MPEGFrameRate", &C::mpegFrameRate_, kModify | kNotify);

        // TV tuner and video standard.
        collection(37, "TVChannels", &C::tvChannels_);
        plain(38, "CountryCode", &C::countryCode_, kModify);
        stored(39, "Channel", &C::channel_, kModify, [](C& c) { c.session_.SetChannel(c.channel_); });
        stored(40, "TVMute", &C::tvMute_, kModify, [](C& c) { c.session_.SetTvMute(c.tvMute_ != 0); })
            .Type(boolType);
        stored(45, "VideoStandard", &C::videoStandard_, kModify | kNotify,
               [](C& c) { c.session_.SetVideoStandard(c.videoStandard_); });
        plain(51, "TunerMode", &C::tunerMode_, kModify | kNotify);
        plain(52, "TunerInput", &C::tunerInput_, kModify | kNotify);

        // Overlay.
        auto textInUserMode = [](C& c) {
            if (c.AmbientUserMode()) c.SendTextOverlay();
        };
        auto textAlways = [](C& c) { c.SendTextOverlay(); };
        auto date = [](C& c) { c.SendDateOverlay(); };
        stored(47, "TextColor", &C::textColor_, kModify | kNotify, textInUserMode).Type(colorType);
        // Taken in either mode (so a design-time container sees what it set); only a running
        // container's capture gets the new overlay.
        stored(48, "TextFontName", &C::textFontName_, kModify | kNotifyAll, textInUserMode);
        stored(49, "TextFontSize", &C::textFontSize_, kModify | kNotify, textInUserMode);
        stored(63, "TextFontStyle", &C::textFontStyle_, kModify | kNotify, textAlways);
        stored(64, "TextStyle", &C::textStyle_, kModify, textInUserMode);
        stored(57, "ShowText", &C::showText_, kModify | kNotifyAll,
               [](C& c) { c.session_.EnableTextOverlay(c.showText_ != 0); })
            .Type(boolType);
        stored(58, "DateColor", &C::dateColor_, kModify | kNotifyAll, date).Type(colorType);
        stored(59, "DateFontName", &C::dateFontName_, kModify | kNotifyAll, date);
        stored(60, "DateFontSize", &C::dateFontSize_, kModify | kNotifyAll, date);
        stored(61, "DateFontStyle", &C::dateFontStyle_, kModify | kNotifyAll, date);
        stored(62, "ShowDateTime", &C::showDateTime_, kModify | kNotifyAll,
               [](C& c) { c.session_.EnableDateOverlay(c.showDateTime_ != 0); })
            .Type(boolType);
        stored(56, "ShowImage", &C::showImage_, kModify | kNotifyAll,
               [](C& c) { c.session_.EnableImageOverlay(c.showImage_ != 0); })
            .Type(boolType);

        // Network broadcast: copied into the session at once, not again at Start.
        stored(68, "BroadCast", &C::broadcast_, kModify | kNotify,
               [](C& c) { c.session_.broadcast = c.broadcast_ != 0; })
            .Type(boolType);
        stored(66, "BroadCastPortNo", &C::broadcastPortNo_, kModify | kNotify,
               [](C& c) { c.session_.broadcastPort = c.broadcastPortNo_; });
        stored(67, "MaxClients", &C::maxClients_, kModify | kNotify,
               [](C& c) { c.session_.maxClients = c.maxClients_; });
        stored(65, "PublishingURL", &C::publishingUrl_, kModify | kNotify,
               [](C& c) { c.session_.publishingUrl = c.publishingUrl_; });

        // Camera and picture adjustments, DISPIDs 8 to 24 in AdjustmentKind order.
        for (size_t i = 0; i < kAdjustmentCount; ++i) {
            const auto kind = static_cast<AdjustmentKind>(i);
            map.Property(8 + static_cast<DISPID>(i), AdjustmentInfoOf(kind).property,
                         [i](C& c) { return c.adjustments_[i]; })
                .Type(AdjustmentPropertyType(kind));
        }

        // Methods.
        map.Method(78, "Start", &C::Start);
        map.Method(79, "Stop", &C::Stop);
        map.Method(88, "Pause", &C::Pause);
        map.Method(89, "Resume", &C::Resume);
        map.Method(80, "SnapShot", &C::SnapShot).Params({"strFileName"}).Type(boolType);
        map.Method(87, "SnapShotJPEG", &C::SnapShotJPEG).Params({"strFileName", "iJPEGQuality"}).Type(boolType);
        map.Method(90, "SnapShot2HBITMAP", &C::SnapShot2HBITMAP);
        map.Method(91, "SnapShot2Picture", &C::SnapShot2Picture).Type(TypeDesc(VT_DISPATCH, "IPictureDisp"));
        map.Method(81, "ShowVideoCapturePropertyPage", &C::ShowVideoCapturePropertyPage).Type(boolType);
        map.Method(83, "ShowAudioCapturePropertyPage", &C::ShowAudioCapturePropertyPage).Type(boolType);
        map.Method(84, "ShowVideoFormatPropertyPage", &C::ShowVideoFormatPropertyPage).Type(boolType);
        map.Method(85, "ShowCrossbarPropertyPage", &C::ShowCrossbarPropertyPage).Type(boolType);
        map.Method(82, "ScanTVChannels", &C::ScanTVChannels).Type(boolType);
        map.Method(92, "ResizeControl", &C::ResizeControl).Params({"iwidth", "iheight"});
        map.Method(93, "RefreshDevice", &C::RefreshDevice);
        map.Method(103, "RefreshAudioInputPin", &C::RefreshAudioInputPin)
            .Params({"iAudioDeviceIndex"})
            .Type(boolType);
        map.Method(95, "DrawText", &C::DrawText).Params({"iX", "iY", "strText"});
        map.Method(86, "DrawTime", &C::DrawTime).Params({"iX", "iY", "iDateFormat"});
        map.Method(94, "DrawImage", &C::DrawImage)
            .Params({"iX", "iY", "strImagePath", {"clrTranColor", colorType}, "iAlphaValue"});
        map.Method(96, "SetHashBrushValue", &C::SetHashBrushValue)
            .Params({"iHatchStyle", {"clrForeColor", colorType}, {"clrBackColor", colorType}});
        map.Method(97, "SetTextureBrushImage", &C::SetTextureBrushImage).Params({"strImage"});
        map.Method(98, "SetOutlineTextBackColor", &C::SetOutlineTextBackColor).Params({{"clrBack", colorType}});
        map.Method(99, "SetOutlineTextBorderColor", &C::SetOutlineTextBorderColor)
            .Params({{"clrBorder", colorType}});
        map.Method(100, "GetVideoCompressorName", &C::GetVideoCompressorName).Params({"iIndex"});
        map.Method(101, "SetUserDefineVideoFormat", &C::SetUserDefineVideoFormat).Params({"iwidth", "iheight"});
        map.Method(102, "GetConnectedIP", &C::GetConnectedIP).Params({"iIndex"});
        map.Method(DISPID_ABOUTBOX, "AboutBox", &C::AboutBox);
        return map.Build();
    }();
    return table;
}
