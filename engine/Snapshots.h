#pragma once
// Snapshots of the running graph: the last frame the sample grabber ("Grabber", RGB24, buffering
// every sample) holds, as a bitmap handle, a BMP file, a JPEG file or a picture object. A graph
// may be null: the session is idle.
#include <cstdint>
#include <string>

#include "platform/com/Bitmap.h"
#include "platform/com/ComPtr.h"
#include "platform/base/HResult.h"
#include "platform/com/Picture.h"
#include "platform/dshow/GraphInterfaces.h"
#include "platform/dshow/StockInterfaces.h"

// Attaches a new bitmap of the grabber's last frame to `bitmap` (the one it held is left alive).
// 0 on success; E_FAIL without a graph; the grabber's error when it is not connected or has no
// frame yet.
HRESULT GrabFrame(IGraphBuilder* graph, ISampleGrabber* grabber, Bitmap& bitmap);
// Writes the frame as a BMP file (pixel data at offset 58). The number of rows written, 0 on
// failure; `fileError`, when given, receives the error of a file that could not be written.
int32_t SnapShot(IGraphBuilder* graph, ISampleGrabber* grabber, const std::string& fileName,
                 HRESULT* fileError = nullptr);
// Writes the frame as a JPEG file: 1 written, 0 not (also when no frame could be taken).
int32_t SnapShotJPEG(IGraphBuilder* graph, ISampleGrabber* grabber, const std::string& fileName,
                     int16_t quality);
// The frame into the control's own bitmap object; its new handle, or 0. Handles given out
// earlier stay valid.
HBITMAP SnapShot2HBITMAP(IGraphBuilder* graph, ISampleGrabber* grabber, Bitmap& controlBitmap);
// The frame as a new picture that owns its bitmap, kept in the control's picture holder; the
// picture's dispatch interface, or null.
ComPtr<IPictureDisp> SnapShot2Picture(IGraphBuilder* graph, ISampleGrabber* grabber,
                                      ComPtr<IPictureDisp>& pictureHolder);
