#include "platform/wmf/AsfWriter.h"

#include <cstdio>

#include "platform/dshow/Uuids.h"
#include "platform/wmf/SystemProfiles.h"
#include "platform/wmf/WMProfile.h"

// --- pins -------------------------------------------------------------------------------------

AsfWriterInputPin::AsfWriterInputPin(AsfWriter* writer, const char* name, StreamDescription stream)
    : InputPin(writer, name), writer_(writer), stream_(std::move(stream)) {}

HRESULT AsfWriterInputPin::CheckMediaType(const AM_MEDIA_TYPE* type) {
    if (!type) return E_POINTER;
    return AsfFile::AcceptsInput(stream_, *type) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT AsfWriterInputPin::GetMediaType(int position, AM_MEDIA_TYPE* type) {
    if (position < 0) return E_INVALIDARG;
    if (!type) return E_POINTER;
    if (stream_.IsVideo()) {
        const VIDEOINFOHEADER* vih = stream_.type.VideoInfo();
        static const Guid kPreferred[] = {MEDIASUBTYPE_RGB24, MEDIASUBTYPE_YUY2};
        if (!vih || position >= 2) return VFW_S_NO_MORE_ITEMS;
        LONG height = vih->bmiHeader.biHeight < 0 ? -vih->bmiHeader.biHeight : vih->bmiHeader.biHeight;
        *type = MakeVideoType(kPreferred[position], vih->bmiHeader.biWidth, height, vih->AvgTimePerFrame);
        return S_OK;
    }
    const WAVEFORMATEX* wfx = stream_.type.WaveFormat();
    if (!wfx || position >= 1) return VFW_S_NO_MORE_ITEMS;
    *type = MakePcmAudioType(wfx->nSamplesPerSec, wfx->nChannels, 16);
    return S_OK;
}

HRESULT AsfWriterInputPin::OnReceive(IMediaSample* sample) { return writer_->Receive(this, sample); }

HRESULT AsfWriterInputPin::OnEndOfStream() {
    writer_->EndOfStream(this);
    return S_OK;
}

// --- the writer -------------------------------------------------------------------------------

AsfWriter::AsfWriter() : WithInterfaces(CLSID_WMAsfWriter) {
    const ProfileDescription* initial = FindSystemProfile(kDefaultAsfWriterProfile);
    if (initial) Configure(*initial);
}

AsfWriter::~AsfWriter() { asf_.Close(); }

std::vector<AsfWriterInputPin*> AsfWriter::Inputs() const {
    std::vector<AsfWriterInputPin*> pins;
    for (int i = 0, n = PinCount(); i < n; ++i) pins.push_back(static_cast<AsfWriterInputPin*>(GetPin(i)));
    return pins;
}

HRESULT AsfWriter::Configure(ProfileDescription profile) {
    std::lock_guard lock(FilterLock());
    if (State() != State_Stopped) return VFW_E_NOT_STOPPED;
    HRESULT hr = ValidateProfile(profile);
    if (FAILED(hr)) return hr;
    int audio = 0, video = 0;
    for (const StreamDescription& s : profile.streams) {
        hr = AsfFile::CheckWritable(s);
        if (FAILED(hr)) return hr;
        (s.IsVideo() ? video : audio)++;
    }
    if (audio > 1 || video > 1) return NS_E_INVALIDPROFILE;

    std::vector<AsfWriterInputPin*> pins = Inputs();
    bool sameKinds = pins.size() == profile.streams.size();
    for (size_t i = 0; sameKinds && i < pins.size(); ++i) {
        sameKinds = pins[i]->Stream().majorType == profile.streams[i].majorType;
    }
    if (sameKinds) {
        // Same pins; a connection made for the old profile must suit the new one too.
        for (size_t i = 0; i < pins.size(); ++i) {
            if (pins[i]->IsConnected() && !AsfFile::AcceptsInput(profile.streams[i], pins[i]->CurrentMediaType())) {
                return VFW_E_TYPE_NOT_ACCEPTED;
            }
        }
        for (size_t i = 0; i < pins.size(); ++i) pins[i]->SetStream(profile.streams[i]);
    } else {
        for (AsfWriterInputPin* pin : pins) {
            if (pin->IsConnected()) return VFW_E_ALREADY_CONNECTED;
        }
        for (AsfWriterInputPin* pin : pins) RemovePin(pin);
        int audioPins = 0, videoPins = 0;
        for (const StreamDescription& s : profile.streams) {
            char name[32];
            std::snprintf(name, sizeof name, s.IsVideo() ? "Video Input %02d" : "Audio Input %02d",
                          s.IsVideo() ? ++videoPins : ++audioPins);
            AddPin(std::make_unique<AsfWriterInputPin>(this, name, s));
        }
    }
    profile_ = std::move(profile);
    return S_OK;
}

HRESULT AsfWriter::ConfigureFilterUsingProfileId(DWORD profileId) {
    const auto& list = SystemProfiles(WMT_VER_8_0);
    if (profileId >= list.size()) return E_INVALIDARG;
    return Configure(list[profileId]);
}

HRESULT AsfWriter::GetCurrentProfileId(DWORD* profileId) {
    if (!profileId) return E_POINTER;
    const auto& list = SystemProfiles(WMT_VER_8_0);
    for (size_t i = 0; i < list.size(); ++i) {
        if (!profile_.id.IsNull() && list[i].id == profile_.id) {
            *profileId = static_cast<DWORD>(i);
            return S_OK;
        }
    }
    return E_FAIL;  // configured from a profile that is not in the list
}

HRESULT AsfWriter::ConfigureFilterUsingProfileGuid(REFGUID profile) {
    const ProfileDescription* found = FindSystemProfile(profile);
    if (!found) return NS_E_INVALIDPROFILE;
    return Configure(*found);
}

HRESULT AsfWriter::GetCurrentProfileGuid(Guid* profile) {
    if (!profile) return E_POINTER;
    *profile = profile_.id;
    return S_OK;
}

HRESULT AsfWriter::ConfigureFilterUsingProfile(IWMProfile* profile) {
    if (!profile) return E_POINTER;
    ProfileDescription d;
    HRESULT hr = DescribeProfile(profile, &d);
    return FAILED(hr) ? hr : Configure(std::move(d));
}

HRESULT AsfWriter::GetCurrentProfile(IWMProfile** profile) {
    if (!profile) return E_POINTER;
    *profile = nullptr;
    std::lock_guard lock(FilterLock());
    ComPtr<IWMProfile> copy = MakeCom<WMProfile>(profile_);
    return copy.CopyTo(profile);
}

HRESULT AsfWriter::SetIndexMode(BOOL index) {
    // The muxer indexes every file it can seek in; the setting is kept for GetIndexMode.
    indexMode_ = index;
    return S_OK;
}

HRESULT AsfWriter::GetIndexMode(BOOL* index) {
    if (!index) return E_POINTER;
    *index = indexMode_;
    return S_OK;
}

HRESULT AsfWriter::SetFileName(const char* file, const AM_MEDIA_TYPE*) {
    if (!file) return E_POINTER;
    if (!*file) return E_INVALIDARG;
    std::lock_guard lock(FilterLock());
    if (State() != State_Stopped) return VFW_E_NOT_STOPPED;
    file_ = file;
    return S_OK;
}

HRESULT AsfWriter::GetCurFile(std::string* file, AM_MEDIA_TYPE* type) {
    if (!file) return E_POINTER;
    std::lock_guard lock(FilterLock());
    if (file_.empty()) return E_FAIL;
    *file = file_;
    if (type) *type = MakePartialType(MEDIATYPE_Stream, MEDIASUBTYPE_Asf);
    return S_OK;
}

HRESULT AsfWriter::SetMode(DWORD flags) {
    if (flags & ~AM_FILE_OVERWRITE) return E_INVALIDARG;
    mode_ = flags;
    return S_OK;
}

HRESULT AsfWriter::GetMode(DWORD* flags) {
    if (!flags) return E_POINTER;
    *flags = mode_;
    return S_OK;
}

HRESULT AsfWriter::Pause() {
    std::lock_guard lock(FilterLock());
    bool starting = State() == State_Stopped;
    if (starting) {
        HRESULT hr = StartFile();
        if (FAILED(hr)) return hr;
    }
    HRESULT hr = BaseFilter::Pause();
    if (FAILED(hr) && starting) asf_.Close();
    return hr;
}

HRESULT AsfWriter::StartFile() {
    std::vector<AsfInput> inputs;
    for (AsfWriterInputPin* pin : Inputs()) {
        pin->fileIndex = -1;
        pin->ended = false;
        if (!pin->IsConnected()) continue;
        pin->fileIndex = static_cast<int>(inputs.size());
        inputs.push_back(AsfInput{pin->Stream(), pin->CurrentMediaType()});
    }
    {
        std::lock_guard end(endLock_);
        completed_ = false;
    }
    if (inputs.empty()) return S_OK;  // nothing to write: no file
    if (file_.empty()) return NS_E_NOT_CONFIGURED;
    return asf_.Open(file_, inputs);
}

HRESULT AsfWriter::Stop() {
    std::lock_guard lock(FilterLock());
    // The inputs go inactive first: no Receive is in progress when the file is completed.
    HRESULT hr = BaseFilter::Stop();
    asf_.Close();
    return hr;
}

HRESULT AsfWriter::Receive(AsfWriterInputPin* pin, IMediaSample* sample) {
    if (pin->fileIndex < 0 || pin->ended) return S_OK;
    BYTE* data = nullptr;
    if (FAILED(sample->GetPointer(&data)) || !data) return S_OK;
    LONG length = sample->GetActualDataLength();
    if (length <= 0) return S_OK;
    REFERENCE_TIME start = 0, stop = 0;
    bool timed = SUCCEEDED(sample->GetTime(&start, &stop));
    HRESULT hr = asf_.Write(static_cast<size_t>(pin->fileIndex), data, length, timed, start);
    if (FAILED(hr) && hr != E_INVALIDARG) {
        NotifyEvent(EC_ERRORABORT, hr, 0);
        return hr;
    }
    return S_OK;
}

void AsfWriter::EndOfStream(AsfWriterInputPin* pin) {
    std::lock_guard lock(endLock_);
    pin->ended = true;
    bool all = true, any = false;
    for (AsfWriterInputPin* p : Inputs()) {
        if (p->fileIndex < 0) continue;
        any = true;
        all = all && p->ended;
    }
    if (!all || completed_) return;
    completed_ = true;
    if (any) asf_.Close();
    NotifyEvent(EC_COMPLETE, S_OK, 0);
}
