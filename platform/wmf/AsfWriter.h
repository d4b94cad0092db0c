#pragma once
// The ASF writer (CLSID_WMAsfWriter): a renderer that writes a Windows Media file of the profile
// it is configured with (IConfigAsfWriter) to the file named through IFileSinkFilter2. It has one
// input pin per stream of the profile ("Audio Input 01", "Video Input 01", ...), each taking the
// raw types the graph delivers (RGB24, RGB32, YUY2 or I420 video of any size; PCM audio) and
// preferring the profile's size and rate. Until configured it uses kDefaultAsfWriterProfile.
//
// The file is created when the graph pauses from stopped, holding the streams whose pins are
// connected, and grows packet by packet; it is complete when the graph stops, when every
// connected input has ended its stream (then EC_COMPLETE), or when the writer goes away.
//
// Threads: configuration and state calls on the graph's thread; Receive from each input's
// streaming thread.
#include <atomic>
#include <string>
#include <vector>

#include "platform/dshow/CaptureInterfaces.h"
#include "platform/dshow/base/BaseFilter.h"
#include "platform/dshow/base/InputPin.h"
#include "platform/dshow/base/WithInterfaces.h"
#include "platform/wmf/AsfFile.h"
#include "platform/wmf/ProfileDescription.h"

class AsfWriter;

class AsfWriterInputPin final : public InputPin {
public:
    AsfWriterInputPin(AsfWriter* writer, const char* name, StreamDescription stream);
    HRESULT CheckMediaType(const AM_MEDIA_TYPE* type) override;
    HRESULT GetMediaType(int position, AM_MEDIA_TYPE* type) override;

    const StreamDescription& Stream() const { return stream_; }
    void SetStream(StreamDescription stream) { stream_ = std::move(stream); }
    // The stream's index in the open file, -1 when it is not written.
    int fileIndex = -1;
    std::atomic<bool> ended{false};

protected:
    HRESULT OnReceive(IMediaSample* sample) override;
    HRESULT OnEndOfStream() override;

private:
    AsfWriter* writer_;
    StreamDescription stream_;
};

class AsfWriter final : public WithInterfaces<BaseFilter, IConfigAsfWriter, IFileSinkFilter2> {
public:
    AsfWriter();

    // IConfigAsfWriter. Profile ids are indexes into the version 8 system profile list.
    HRESULT ConfigureFilterUsingProfileId(DWORD profileId) override;
    HRESULT GetCurrentProfileId(DWORD* profileId) override;
    HRESULT ConfigureFilterUsingProfileGuid(REFGUID profile) override;
    HRESULT GetCurrentProfileGuid(Guid* profile) override;
    HRESULT ConfigureFilterUsingProfile(IWMProfile* profile) override;
    HRESULT GetCurrentProfile(IWMProfile** profile) override;
    HRESULT SetIndexMode(BOOL index) override;
    HRESULT GetIndexMode(BOOL* index) override;
    // IFileSinkFilter2
    HRESULT SetFileName(const char* file, const AM_MEDIA_TYPE* type) override;
    HRESULT GetCurFile(std::string* file, AM_MEDIA_TYPE* type) override;
    HRESULT SetMode(DWORD flags) override;
    HRESULT GetMode(DWORD* flags) override;

    ULONG GetMiscFlags() override { return AM_FILTER_MISC_FLAGS_IS_RENDERER; }
    HRESULT Pause() override;
    HRESULT Stop() override;

    const ProfileDescription& Profile() const { return profile_; }

protected:
    ~AsfWriter() override;

private:
    friend class AsfWriterInputPin;
    HRESULT Configure(ProfileDescription profile);
    HRESULT StartFile();
    HRESULT Receive(AsfWriterInputPin* pin, IMediaSample* sample);
    void EndOfStream(AsfWriterInputPin* pin);
    std::vector<AsfWriterInputPin*> Inputs() const;

    ProfileDescription profile_;
    std::string file_;
    DWORD mode_ = 0;
    BOOL indexMode_ = TRUE;
    AsfFile asf_;
    std::mutex endLock_;
    bool completed_ = false;
};
