#pragma once
// Profile texts for the tests: the shipped .prx files as the session reads them (the bytes plus
// two zero bytes, taken as UTF-16), and hand-made texts.
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/com/ComPtr.h"
#include "platform/wmf/WmfInterfaces.h"
#include "tests/support/TestEnvironment.h"

namespace wmf_test {

inline std::filesystem::path ShippedProfile(const std::string& stem) {
    return testing_support::SourceDir() / "data" / "WMVFiles" / (stem + ".prx");
}

// The file's bytes as a zero-terminated UTF-16 text.
inline std::u16string ProfileTextOf(const std::filesystem::path& file) {
    std::string bytes = testing_support::ReadFile(file);
    std::u16string text((bytes.size() + 1) / 2, u'\0');
    std::memcpy(text.data(), bytes.data(), bytes.size());
    return text;
}

inline std::u16string Utf16(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

inline HRESULT LoadText(const std::u16string& text, ComPtr<IWMProfile>* profile) {
    ComPtr<IWMProfileManager> manager;
    HRESULT hr = WMCreateProfileManager(manager.ReleaseAndGetAddressOf());
    if (FAILED(hr)) return hr;
    return manager->LoadProfileByData(text.c_str(), profile->ReleaseAndGetAddressOf());
}

// A minimal one-audio one-video profile; the parts are substituted by the tests.
struct ProfileParts {
    std::string width = "320";
    std::string height = "240";
    std::string frameInterval = "400000";
    std::string sampleRate = "44100";
    std::string channels = "2";
    std::string audioBitrate = "64000";
    std::string videoBitrate = "384000";
    std::string audioNumber = "1";
    std::string videoNumber = "2";
    std::string videoSubtype = "{32564D57-0000-0010-8000-00AA00389B71}";
};

inline std::string ProfileXml(const ProfileParts& p) {
    return "<profile version=\"589824\" storageformat=\"1\" name=\"Test &amp; profile\" description=\"one of each\">"
           "<streamconfig majortype=\"{73647561-0000-0010-8000-00AA00389B71}\" streamnumber=\"" + p.audioNumber +
           "\" streamname=\"Audio Stream\" inputname=\"Audio409\" bitrate=\"" + p.audioBitrate + "\" bufferwindow=\"-1\">"
           "<wmmediatype subtype=\"{00000161-0000-0010-8000-00AA00389B71}\" bfixedsizesamples=\"1\" "
           "btemporalcompression=\"0\" lsamplesize=\"2973\">"
           "<waveformatex wFormatTag=\"353\" nChannels=\"" + p.channels + "\" nSamplesPerSec=\"" + p.sampleRate +
           "\" nAvgBytesPerSec=\"8000\" nBlockAlign=\"2973\" wBitsPerSample=\"16\" codecdata=\"00080000010000000000\"/>"
           "</wmmediatype></streamconfig>"
           "<streamconfig majortype=\"{73646976-0000-0010-8000-00AA00389B71}\" streamnumber=\"" + p.videoNumber +
           "\" streamname=\"Video Stream\" inputname=\"Video409\" bitrate=\"" + p.videoBitrate + "\" bufferwindow=\"3000\">"
           "<videomediaprops maxkeyframespacing=\"30000000\" quality=\"80\"/>"
           "<wmmediatype subtype=\"" + p.videoSubtype + "\" bfixedsizesamples=\"0\" btemporalcompression=\"1\" lsamplesize=\"0\">"
           "<videoinfoheader dwbitrate=\"" + p.videoBitrate + "\" dwbiterrorrate=\"0\" avgtimeperframe=\"" + p.frameInterval + "\">"
           "<rcsource left=\"0\" top=\"0\" right=\"" + p.width + "\" bottom=\"" + p.height + "\"/>"
           "<rctarget left=\"0\" top=\"0\" right=\"" + p.width + "\" bottom=\"" + p.height + "\"/>"
           "<bitmapinfoheader biwidth=\"" + p.width + "\" biheight=\"" + p.height + "\" biplanes=\"1\" bibitcount=\"24\" "
           "bicompression=\"WMV2\" bisizeimage=\"0\" bixpelspermeter=\"0\" biypelspermeter=\"0\" biclrused=\"0\" biclrimportant=\"0\"/>"
           "</videoinfoheader></wmmediatype></streamconfig></profile>";
}

}  // namespace wmf_test
