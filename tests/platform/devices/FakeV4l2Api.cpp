#include "tests/platform/devices/FakeV4l2Api.h"

#include <linux/videodev2.h>
#include <sys/mman.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <stdexcept>

using nlohmann::json;

std::filesystem::path DeviceTestData() { return ORVANTA_DEVICE_TEST_DATA_DIR; }

namespace {

uint64_t Number(const json& value) {
    if (value.is_string()) return std::stoull(value.get<std::string>(), nullptr, 0);
    if (value.is_number_integer() && value.get<int64_t>() < 0) return static_cast<uint64_t>(value.get<int64_t>());
    return value.get<uint64_t>();
}

uint32_t FourCC(const std::string& text) {
    return static_cast<uint32_t>(text.at(0)) | static_cast<uint32_t>(text.at(1)) << 8 |
           static_cast<uint32_t>(text.at(2)) << 16 | static_cast<uint32_t>(text.at(3)) << 24;
}

std::string Hex(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08x", value);
    return text;
}

template <size_t N>
void CopyText(uint8_t (&target)[N], const std::string& text) {
    std::memset(target, 0, N);
    std::memcpy(target, text.data(), std::min(text.size(), N - 1));
}

// The member of a recording, or an empty one: references stay valid (json::value copies).
const json& Member(const json& object, const char* key, const json& empty) {
    auto it = object.find(key);
    return it == object.end() ? empty : *it;
}
const json& List(const json& object, const char* key) {
    static const json empty = json::array();
    return Member(object, key, empty);
}
const json& Object(const json& object, const char* key) {
    static const json empty = json::object();
    return Member(object, key, empty);
}

int Fail(int error) {
    errno = error;
    return -1;
}

}  // namespace

struct FakeV4l2Api::Node {
    json data;
    int input = 0;
    uint32_t audio = 0;
    uint32_t frequency = 0;
    uint64_t std = 0;
    std::map<uint32_t, int32_t> controls;
    v4l2_pix_format format{};
    v4l2_fract timePerFrame{1, 30};
    // streaming
    std::vector<std::vector<uint8_t>> buffers;
    std::vector<uint32_t> queued;
    bool streaming = false;
    size_t nextFrame = 0;
};

std::shared_ptr<FakeV4l2Api> FakeV4l2Api::FromRecording(const std::string& fileName) {
    std::ifstream in(DeviceTestData() / fileName);
    if (!in) throw std::runtime_error("missing recording " + fileName);
    return std::make_shared<FakeV4l2Api>(json::parse(in));
}

FakeV4l2Api::FakeV4l2Api(json recording) {
    for (auto& data : recording.at("nodes")) {
        auto node = std::make_unique<Node>();
        node->input = data.value("input", 0);
        node->audio = data.value("audio", 0u);
        node->frequency = data.value("frequency", 0u);
        if (data.contains("std")) node->std = Number(data["std"]);
        for (const auto& control : List(data, "controls"))
            if (control.contains("value")) node->controls[static_cast<uint32_t>(Number(control["id"]))] = control["value"].get<int32_t>();
        if (data.contains("fmt")) {
            const json& f = data["fmt"];
            node->format.width = f["width"];
            node->format.height = f["height"];
            node->format.pixelformat = FourCC(f["pixelformat"]);
            node->format.bytesperline = f["bytesperline"];
            node->format.sizeimage = f["sizeimage"];
        }
        if (data.contains("timeperframe"))
            node->timePerFrame = {data["timeperframe"][0].get<uint32_t>(), data["timeperframe"][1].get<uint32_t>()};
        node->data = std::move(data);
        nodes_.push_back(std::move(node));
    }
}

FakeV4l2Api::~FakeV4l2Api() = default;

std::vector<std::string> FakeV4l2Api::ListNodes() {
    std::vector<std::string> paths;
    for (const auto& node : nodes_) paths.push_back(node->data["path"]);
    return paths;
}

int FakeV4l2Api::Open(const std::string& path, int) {
    for (const auto& node : nodes_) {
        if (node->data["path"] == path) {
            int fd = nextFd_++;
            open_[fd] = node.get();
            ++openCount_;
            return fd;
        }
    }
    return Fail(ENOENT);
}

int FakeV4l2Api::Close(int fd) {
    if (!open_.erase(fd)) return Fail(EBADF);
    --openCount_;
    return 0;
}

FakeV4l2Api::Node* FakeV4l2Api::NodeOf(int fd) {
    auto it = open_.find(fd);
    return it == open_.end() ? nullptr : it->second;
}

int FakeV4l2Api::Ioctl(int fd, unsigned long request, void* arg) {
    Node* node = NodeOf(fd);
    if (!node) return Fail(EBADF);
    if (unplugged_) return Fail(ENODEV);
    return Answer(*node, request, arg);
}

int FakeV4l2Api::Answer(Node& node, unsigned long request, void* arg) {
    const json& d = node.data;
    switch (request) {
        case VIDIOC_QUERYCAP: {
            auto* cap = static_cast<v4l2_capability*>(arg);
            const json& q = d.at("querycap");
            *cap = {};
            CopyText(cap->driver, q["driver"]);
            CopyText(cap->card, q["card"]);
            CopyText(cap->bus_info, q["bus_info"]);
            cap->version = static_cast<uint32_t>(Number(q["version"]));
            cap->capabilities = static_cast<uint32_t>(Number(q["capabilities"]));
            cap->device_caps = static_cast<uint32_t>(Number(q["device_caps"]));
            return 0;
        }
        case VIDIOC_ENUM_FMT: {
            auto* desc = static_cast<v4l2_fmtdesc*>(arg);
            const json& formats = List(d, "formats");
            if (desc->type != V4L2_BUF_TYPE_VIDEO_CAPTURE || desc->index >= formats.size()) return Fail(EINVAL);
            const json& f = formats[desc->index];
            desc->flags = static_cast<uint32_t>(Number(f["flags"]));
            desc->pixelformat = FourCC(f["pixelformat"]);
            CopyText(desc->description, f["description"]);
            return 0;
        }
        case VIDIOC_ENUM_FRAMESIZES: {
            auto* size = static_cast<v4l2_frmsizeenum*>(arg);
            for (const auto& f : List(d, "formats")) {
                if (FourCC(f["pixelformat"]) != size->pixel_format) continue;
                if (!f.contains("framesizes")) return Fail(ENOTTY);
                if (size->index >= f["framesizes"].size()) return Fail(EINVAL);
                const json& s = f["framesizes"][size->index];
                size->type = s["type"];
                if (size->type == V4L2_FRMSIZE_TYPE_DISCRETE) {
                    size->discrete = {s["width"].get<uint32_t>(), s["height"].get<uint32_t>()};
                } else {
                    size->stepwise = {s["min_width"], s["max_width"], s["step_width"],
                                      s["min_height"], s["max_height"], s["step_height"]};
                }
                return 0;
            }
            return Fail(EINVAL);
        }
        case VIDIOC_ENUM_FRAMEINTERVALS: {
            auto* e = static_cast<v4l2_frmivalenum*>(arg);
            for (const auto& f : List(d, "formats")) {
                if (FourCC(f["pixelformat"]) != e->pixel_format || !f.contains("framesizes")) continue;
                for (const auto& s : f["framesizes"]) {
                    if (s.value("width", 0u) != e->width || s.value("height", 0u) != e->height) continue;
                    const json& list = List(s, "intervals");
                    if (e->index >= list.size()) return Fail(EINVAL);
                    e->type = V4L2_FRMIVAL_TYPE_DISCRETE;
                    e->discrete = {list[e->index][0].get<uint32_t>(), list[e->index][1].get<uint32_t>()};
                    return 0;
                }
            }
            return Fail(EINVAL);
        }
        case VIDIOC_G_FMT: {
            auto* f = static_cast<v4l2_format*>(arg);
            if (f->type != V4L2_BUF_TYPE_VIDEO_CAPTURE) return Fail(EINVAL);
            f->fmt.pix = node.format;
            return 0;
        }
        case VIDIOC_TRY_FMT:
        case VIDIOC_S_FMT: {
            auto* f = static_cast<v4l2_format*>(arg);
            if (f->type != V4L2_BUF_TYPE_VIDEO_CAPTURE) return Fail(EINVAL);
            if (request == VIDIOC_S_FMT && !node.buffers.empty()) return Fail(EBUSY);
            bool known = false;
            const json* chosen = nullptr;
            for (const auto& fmt : List(d, "formats")) {
                if (FourCC(fmt["pixelformat"]) != f->fmt.pix.pixelformat) continue;
                known = true;
                chosen = &fmt;
            }
            if (!known) f->fmt.pix.pixelformat = node.format.pixelformat;  // drivers fall back, never fail
            uint32_t w = f->fmt.pix.width, h = f->fmt.pix.height;
            if (chosen && chosen->contains("framesizes")) {
                // The discrete size nearest in area.
                int64_t best = -1;
                for (const auto& s : (*chosen)["framesizes"]) {
                    int64_t diff = std::llabs(static_cast<int64_t>(s["width"].get<uint32_t>()) * s["height"].get<uint32_t>() -
                                              static_cast<int64_t>(w) * h);
                    if (best < 0 || diff < best) {
                        best = diff;
                        f->fmt.pix.width = s["width"];
                        f->fmt.pix.height = s["height"];
                    }
                }
            } else if (d.contains("try_fmt")) {
                const json& t = d["try_fmt"];
                f->fmt.pix.width = std::clamp(w, t["min"][0].get<uint32_t>(), t["max"][0].get<uint32_t>());
                f->fmt.pix.height = std::clamp(h, t["min"][1].get<uint32_t>(), t["max"][1].get<uint32_t>());
            }
            uint32_t bits = 16;
            switch (f->fmt.pix.pixelformat) {
                case V4L2_PIX_FMT_BGR24: bits = 24; break;
                case V4L2_PIX_FMT_BGR32: bits = 32; break;
                case V4L2_PIX_FMT_YUV420: bits = 12; break;
                case V4L2_PIX_FMT_GREY: bits = 8; break;
                default: break;
            }
            f->fmt.pix.bytesperline = f->fmt.pix.pixelformat == V4L2_PIX_FMT_YUV420 ? f->fmt.pix.width : f->fmt.pix.width * bits / 8;
            f->fmt.pix.sizeimage = f->fmt.pix.width * f->fmt.pix.height * bits / 8;
            f->fmt.pix.field = V4L2_FIELD_NONE;
            if (request == VIDIOC_S_FMT) {
                node.format = f->fmt.pix;
                log_.push_back("S_FMT " + std::string(reinterpret_cast<const char*>(&f->fmt.pix.pixelformat), 4) + " " +
                               std::to_string(f->fmt.pix.width) + "x" + std::to_string(f->fmt.pix.height));
            }
            return 0;
        }
        case VIDIOC_G_PARM:
        case VIDIOC_S_PARM: {
            auto* p = static_cast<v4l2_streamparm*>(arg);
            if (p->type != V4L2_BUF_TYPE_VIDEO_CAPTURE) return Fail(EINVAL);
            if (request == VIDIOC_S_PARM) {
                node.timePerFrame = p->parm.capture.timeperframe;
                log_.push_back("S_PARM " + std::to_string(node.timePerFrame.numerator) + "/" +
                               std::to_string(node.timePerFrame.denominator));
            }
            p->parm.capture.capability = V4L2_CAP_TIMEPERFRAME;
            p->parm.capture.timeperframe = node.timePerFrame;
            return 0;
        }
        case VIDIOC_ENUMINPUT: {
            auto* input = static_cast<v4l2_input*>(arg);
            const json& list = List(d, "inputs");
            if (input->index >= list.size()) return Fail(EINVAL);
            const json& i = list[input->index];
            CopyText(input->name, i["name"]);
            input->type = i["type"];
            input->audioset = i["audioset"];
            input->tuner = i["tuner"];
            input->std = Number(i["std"]);
            input->status = static_cast<uint32_t>(Number(i["status"]));
            input->capabilities = i["capabilities"];
            return 0;
        }
        case VIDIOC_G_INPUT:
            *static_cast<int*>(arg) = node.input;
            return 0;
        case VIDIOC_S_INPUT: {
            int index = *static_cast<int*>(arg);
            if (index < 0 || index >= static_cast<int>(List(d, "inputs").size())) return Fail(EINVAL);
            node.input = index;
            log_.push_back("S_INPUT " + std::to_string(index));
            return 0;
        }
        case VIDIOC_ENUMAUDIO: {
            auto* audio = static_cast<v4l2_audio*>(arg);
            const json& list = List(d, "audios");
            if (audio->index >= list.size()) return Fail(EINVAL);
            CopyText(audio->name, list[audio->index]["name"]);
            audio->capability = list[audio->index]["capability"];
            audio->mode = list[audio->index]["mode"];
            return 0;
        }
        case VIDIOC_G_AUDIO: {
            if (List(d, "audios").empty()) return Fail(EINVAL);
            auto* audio = static_cast<v4l2_audio*>(arg);
            audio->index = node.audio;
            CopyText(audio->name, d["audios"][node.audio]["name"]);
            return 0;
        }
        case VIDIOC_S_AUDIO: {
            auto* audio = static_cast<v4l2_audio*>(arg);
            if (audio->index >= List(d, "audios").size()) return Fail(EINVAL);
            node.audio = audio->index;
            log_.push_back("S_AUDIO " + std::to_string(audio->index));
            return 0;
        }
        case VIDIOC_G_TUNER: {
            auto* tuner = static_cast<v4l2_tuner*>(arg);
            const json& list = List(d, "tuners");
            if (tuner->index >= list.size()) return Fail(EINVAL);
            const json& t = list[tuner->index];
            CopyText(tuner->name, t["name"]);
            tuner->type = t["type"];
            tuner->capability = static_cast<uint32_t>(Number(t["capability"]));
            tuner->rangelow = t["rangelow"];
            tuner->rangehigh = t["rangehigh"];
            tuner->rxsubchans = t["rxsubchans"];
            tuner->audmode = t["audmode"];
            tuner->afc = t["afc"];
            tuner->signal = 0;
            for (const auto& pair : List(d, "signals"))
                if (pair[0].get<uint32_t>() == node.frequency) tuner->signal = pair[1];
            return 0;
        }
        case VIDIOC_S_FREQUENCY: {
            auto* f = static_cast<v4l2_frequency*>(arg);
            if (f->tuner >= List(d, "tuners").size()) return Fail(EINVAL);
            const json& t = d["tuners"][f->tuner];
            if (f->frequency < t["rangelow"].get<uint32_t>() || f->frequency > t["rangehigh"].get<uint32_t>()) return Fail(EINVAL);
            node.frequency = f->frequency;
            log_.push_back("S_FREQUENCY " + std::to_string(f->frequency));
            return 0;
        }
        case VIDIOC_G_FREQUENCY: {
            auto* f = static_cast<v4l2_frequency*>(arg);
            f->frequency = node.frequency;
            return 0;
        }
        case VIDIOC_ENUMSTD: {
            auto* s = static_cast<v4l2_standard*>(arg);
            const json& list = List(d, "standards");
            if (s->index >= list.size()) return Fail(list.empty() ? ENODATA : EINVAL);
            const json& e = list[s->index];
            s->id = Number(e["id"]);
            CopyText(s->name, e["name"]);
            s->frameperiod = {e["frameperiod"][0].get<uint32_t>(), e["frameperiod"][1].get<uint32_t>()};
            s->framelines = e["framelines"];
            return 0;
        }
        case VIDIOC_G_STD:
            if (!d.contains("std")) return Fail(ENODATA);
            *static_cast<v4l2_std_id*>(arg) = node.std;
            return 0;
        case VIDIOC_S_STD: {
            if (!d.contains("std")) return Fail(ENODATA);
            v4l2_std_id id = *static_cast<v4l2_std_id*>(arg);
            node.std = id;
            log_.push_back("S_STD " + Hex(static_cast<uint32_t>(id)));
            return 0;
        }
        case VIDIOC_QUERYCTRL: {
            auto* q = static_cast<v4l2_queryctrl*>(arg);
            const json& list = List(d, "controls");
            bool next = q->id & V4L2_CTRL_FLAG_NEXT_CTRL;
            uint32_t wanted = q->id & ~V4L2_CTRL_FLAG_NEXT_CTRL;
            // Drivers answer in id order.
            const json* found = nullptr;
            for (const auto& c : list) {
                uint32_t id = static_cast<uint32_t>(Number(c["id"]));
                if (next ? id > wanted && (!found || id < Number((*found)["id"])) : id == wanted) found = &c;
            }
            if (!found) return Fail(EINVAL);
            const json& c = *found;
            *q = {};
            q->id = static_cast<uint32_t>(Number(c["id"]));
            q->type = c["type"];
            CopyText(q->name, c["name"]);
            q->minimum = c["minimum"];
            q->maximum = c["maximum"];
            q->step = c["step"];
            q->default_value = c["default_value"];
            q->flags = static_cast<uint32_t>(Number(c["flags"]));
            return 0;
        }
        case VIDIOC_G_CTRL: {
            auto* c = static_cast<v4l2_control*>(arg);
            auto it = node.controls.find(c->id);
            if (it == node.controls.end()) return Fail(EINVAL);
            c->value = it->second;
            return 0;
        }
        case VIDIOC_S_CTRL: {
            auto* c = static_cast<v4l2_control*>(arg);
            auto it = node.controls.find(c->id);
            if (it == node.controls.end()) return Fail(EINVAL);
            log_.push_back("S_CTRL " + Hex(c->id) + "=" + std::to_string(c->value));
            // UVC refuses a control that its auto companion currently overrides.
            for (const auto& control : d["controls"]) {
                if (static_cast<uint32_t>(Number(control["id"])) != c->id) continue;
                if (Number(control["flags"]) & V4L2_CTRL_FLAG_INACTIVE) {
                    bool overridden = (c->id == V4L2_CID_EXPOSURE_ABSOLUTE && node.controls[V4L2_CID_EXPOSURE_AUTO] != V4L2_EXPOSURE_MANUAL) ||
                                      (c->id == V4L2_CID_WHITE_BALANCE_TEMPERATURE && node.controls[V4L2_CID_AUTO_WHITE_BALANCE] != 0);
                    if (overridden) return Fail(EBUSY);
                }
                if (c->value < control["minimum"].get<int32_t>() || c->value > control["maximum"].get<int32_t>()) return Fail(ERANGE);
            }
            it->second = c->value;
            return 0;
        }
        default:
            return Stream(node, request, arg);
    }
}

int FakeV4l2Api::Stream(Node& node, unsigned long request, void* arg) {
    switch (request) {
        case VIDIOC_REQBUFS: {
            auto* r = static_cast<v4l2_requestbuffers*>(arg);
            if (r->memory != V4L2_MEMORY_MMAP) return Fail(EINVAL);
            if (node.streaming) return Fail(EBUSY);
            node.buffers.assign(r->count, std::vector<uint8_t>(node.format.sizeimage));
            node.queued.clear();
            log_.push_back("REQBUFS " + std::to_string(r->count));
            return 0;
        }
        case VIDIOC_QUERYBUF: {
            auto* b = static_cast<v4l2_buffer*>(arg);
            if (b->index >= node.buffers.size()) return Fail(EINVAL);
            b->length = static_cast<uint32_t>(node.buffers[b->index].size());
            b->m.offset = b->index * 0x10000u;
            return 0;
        }
        case VIDIOC_QBUF: {
            auto* b = static_cast<v4l2_buffer*>(arg);
            if (b->index >= node.buffers.size()) return Fail(EINVAL);
            node.queued.push_back(b->index);
            return 0;
        }
        case VIDIOC_STREAMON:
            node.streaming = true;
            node.nextFrame = 0;
            log_.push_back("STREAMON");
            return 0;
        case VIDIOC_STREAMOFF:
            node.streaming = false;
            node.queued.clear();
            log_.push_back("STREAMOFF");
            return 0;
        case VIDIOC_DQBUF: {
            auto* b = static_cast<v4l2_buffer*>(arg);
            const json& stream = Object(node.data, "stream");
            const json& sequence = List(stream, "sequence");
            if (!node.streaming || node.queued.empty() || node.nextFrame >= sequence.size()) return Fail(EAGAIN);
            uint32_t index = node.queued.front();
            node.queued.erase(node.queued.begin());
            uint32_t seq = sequence[node.nextFrame];
            std::fill(node.buffers[index].begin(), node.buffers[index].end(), static_cast<uint8_t>(seq));
            b->index = index;
            b->sequence = seq;
            b->bytesused = node.format.sizeimage;
            b->flags = 0;
            for (const auto& bad : List(stream, "error"))
                if (bad.get<uint32_t>() == seq) b->flags |= V4L2_BUF_FLAG_ERROR;
            b->timestamp.tv_sec = seq / 30;
            b->timestamp.tv_usec = static_cast<long>(seq % 30) * 33333;
            ++node.nextFrame;
            return 0;
        }
        default:
            return Fail(ENOTTY);
    }
}

void* FakeV4l2Api::Mmap(size_t length, int, int, int fd, int64_t offset) {
    Node* node = NodeOf(fd);
    size_t index = static_cast<size_t>(offset / 0x10000);
    if (!node || index >= node->buffers.size() || length != node->buffers[index].size()) {
        errno = EINVAL;
        return MAP_FAILED;
    }
    void* address = node->buffers[index].data();
    mapped_[address] = length;
    return address;
}

int FakeV4l2Api::Munmap(void* address, size_t) {
    if (!mapped_.erase(address)) return Fail(EINVAL);
    return 0;
}

int FakeV4l2Api::Poll(int fd, int) {
    Node* node = NodeOf(fd);
    if (!node) return Fail(EBADF);
    if (unplugged_) return Fail(ENODEV);
    const json& sequence = List(Object(node->data, "stream"), "sequence");
    return node->streaming && !node->queued.empty() && node->nextFrame < sequence.size() ? 1 : 0;
}
