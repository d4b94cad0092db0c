// The control's persisted state, in the order containers have always stored it.
#include "control/LumicorCtrl.h"

void CLumicorCtrl::DoPropExchange(PropExchange& px) {
    px.ExchangeVersion(PropExchange::MakeVersion(1, 0));
    px.Short("Device", device_, 0);
    px.Short("AudioInputPin", audioInputPin_, 0);
    px.Short("AudioDevice", audioDevice_, 0);
    px.Short("VideoFormat", videoFormat_, 0);
    px.Short("VideoInput", videoInput_, 0);
    px.Short("WMVProfile", wmvProfile_, 0);
    px.Short("FrameRate", frameRate_, 15);
    px.Short("VideoCompressor", videoCompressor_, 0);
    px.String("Filename", captureFileName_, "");
    px.Bool("CaptureMode", captureMode_, FALSE);
    px.Bool("CaptureAudio", captureAudio_, TRUE);
    px.Short("AudioCompressor", audioCompressor_, 0);
    px.Bool("UseAudioCompressor", useAudioCompressor_, FALSE);
    px.Bool("UseVideoCompressor", useVideoCompressor_, FALSE);
    px.Bool("AspectRatio", aspectRatio_, TRUE);
    px.Short("CountryCode", countryCode_, 1);
    px.Short("Channel", channel_, 0);
    px.Bool("TVMute", tvMute_, FALSE);
    px.Bool("OutputWMV", outputWmv_, FALSE);
    px.Short("VideoStandard", videoStandard_, 0);
    px.String("TextFontName", textFontName_, "Arial");
    px.Bool("TextFontBold", textFontBold_, FALSE);
    px.Bool("TextFontItalic", textFontItalic_, FALSE);
    px.Bool("TextFontUnderline", textFontUnderline_, FALSE);
    px.Color("TextColor", textColor_, 255);
    px.Color("TextBgColor", textBgColor_, 0);
    px.Bool("TextBgTransparent", textBgTransparent_, FALSE);
    px.String("WMVCustomFileName", wmvCustomFileName_, "");
    px.Short("TunerMode", tunerMode_, 0);
    px.Short("TunerInput", tunerInput_, 0);
    px.Short("TextFontSize", textFontSize_, 8);
    px.Bool("BroadCast", broadcast_, FALSE);
    px.Short("BroadCastPortNo", broadcastPortNo_, 8080);
    px.Short("MaxClients", maxClients_, 3);
    px.String("PublishingURL", publishingUrl_, "");
    px.Short("OutputType", outputType_, 0);
    px.Bool("UseUserDefineVideoFormat", useUserDefineVideoFormat_, FALSE);
    px.Long("MPEGAudioSampleRate", mpegAudioSampleRate_, 44100);
    px.Short("MPEGAudioChannels", mpegAudioChannels_, 2);
    px.Long("MPEGVideoBitrate", mpegVideoBitrate_, 4600000);
    px.Long("MPEGAudioBitrate", mpegAudioBitrate_, 224000);
    px.Short("MPEGWidth", mpegWidth_, 320);
    px.Short("MPEGHeight", mpegHeight_, 240);
    px.Short("MPEGFrameRate", mpegFrameRate_, 25);
}
