#include "platform/devices/alsa/AlsaMixerMapping.h"

#include <cmath>

namespace {

double Level(const AlsaMixerElement& e) {
    if (!e.hasCaptureVolume || e.volumeMax <= e.volumeMin) return 1.0;
    return static_cast<double>(e.volume - e.volumeMin) / static_cast<double>(e.volumeMax - e.volumeMin);
}

long VolumeFor(const AlsaMixerElement& e, double level) {
    return e.volumeMin + std::lround(level * static_cast<double>(e.volumeMax - e.volumeMin));
}

std::vector<AudioInputLine> StateOf(const AlsaInputPlan& plan, const std::vector<AlsaMixerElement>& elements) {
    std::vector<AudioInputLine> state;
    for (const AlsaInputLine& line : plan.lines) {
        AudioInputLine pin;
        pin.name = line.name;
        if (line.element < 0) {
            pin.enabled = true;
        } else {
            const AlsaMixerElement& e = elements[line.element];
            pin.enabled = line.enumItem >= 0 ? e.enumCurrent == static_cast<unsigned>(line.enumItem)
                                             : (!e.hasCaptureSwitch || e.captureSwitchOn);
        }
        pin.mixLevel = line.levelElement >= 0 ? Level(elements[line.levelElement]) : 1.0;
        state.push_back(pin);
    }
    return state;
}

}  // namespace

AlsaInputPlan PlanAlsaInputs(const std::vector<AlsaMixerElement>& elements) {
    AlsaInputPlan plan;
    int master = -1;
    for (size_t i = 0; i < elements.size(); ++i)
        if (elements[i].name == "Capture" && (elements[i].hasCaptureVolume || elements[i].hasCaptureSwitch)) master = static_cast<int>(i);

    for (size_t i = 0; i < elements.size() && plan.lines.empty(); ++i) {
        const AlsaMixerElement& e = elements[i];
        if (!e.isEnumCapture) continue;
        for (size_t item = 0; item < e.enumItems.size(); ++item) {
            AlsaInputLine line;
            line.name = e.enumItems[item];
            line.element = static_cast<int>(i);
            line.enumItem = static_cast<int>(item);
            // "<source> Capture" volume where the codec has one per source, else the master.
            line.levelElement = master;
            for (size_t j = 0; j < elements.size(); ++j)
                if (elements[j].hasCaptureVolume && elements[j].name == line.name + " Capture") line.levelElement = static_cast<int>(j);
            plan.lines.push_back(line);
        }
    }
    if (plan.lines.empty()) {
        for (size_t i = 0; i < elements.size(); ++i) {
            const AlsaMixerElement& e = elements[i];
            if (static_cast<int>(i) == master || e.isEnumCapture) continue;
            if (!e.hasCaptureSwitch && !e.hasCaptureVolume) continue;
            AlsaInputLine line;
            line.name = e.index ? e.name + " " + std::to_string(e.index) : e.name;
            line.element = static_cast<int>(i);
            line.levelElement = e.hasCaptureVolume ? static_cast<int>(i) : master;
            plan.lines.push_back(line);
        }
    }
    if (plan.lines.empty() && master >= 0) plan.lines.push_back({"Capture", master, -1, elements[master].hasCaptureVolume ? master : -1});
    if (plan.lines.empty()) plan.lines.push_back({"Capture", -1, -1, -1});
    plan.state = StateOf(plan, elements);
    return plan;
}

std::vector<AlsaMixerAction> AlsaActionsForLine(const AlsaInputPlan& plan, std::vector<AlsaMixerElement>& elements,
                                                size_t index, const std::vector<AudioInputLine>& wanted,
                                                std::vector<AudioInputLine>* resulting) {
    std::vector<AlsaMixerAction> actions;
    if (index >= plan.lines.size() || index >= wanted.size()) return actions;
    const AlsaInputLine& line = plan.lines[index];
    const AudioInputLine& want = wanted[index];
    if (line.element >= 0) {
        AlsaMixerElement& e = elements[line.element];
        if (line.enumItem >= 0) {
            // A selector cannot select nothing: only enabling changes it.
            if (want.enabled && e.enumCurrent != static_cast<unsigned>(line.enumItem)) {
                e.enumCurrent = static_cast<unsigned>(line.enumItem);
                actions.push_back({AlsaMixerAction::EnumItem, line.element, line.enumItem});
            }
        } else if (e.hasCaptureSwitch && e.captureSwitchOn != want.enabled) {
            e.captureSwitchOn = want.enabled;
            actions.push_back({AlsaMixerAction::CaptureSwitch, line.element, want.enabled ? 1 : 0});
            if (want.enabled && e.captureSwitchExclusive) {
                for (auto& other : elements)
                    if (&other != &e && other.captureSwitchExclusive && other.captureGroup == e.captureGroup) other.captureSwitchOn = false;
            }
        }
    }
    if (line.levelElement >= 0) {
        AlsaMixerElement& level = elements[line.levelElement];
        long volume = VolumeFor(level, want.mixLevel);
        if (level.hasCaptureVolume && volume != level.volume) {
            level.volume = volume;
            actions.push_back({AlsaMixerAction::CaptureVolume, line.levelElement, volume});
        }
    }
    if (resulting) {
        *resulting = StateOf(plan, elements);
        // A level that no element holds stays what the caller asked for.
        for (size_t i = 0; i < resulting->size(); ++i)
            if (plan.lines[i].levelElement < 0 && i < wanted.size()) (*resulting)[i].mixLevel = wanted[i].mixLevel;
    }
    return actions;
}
