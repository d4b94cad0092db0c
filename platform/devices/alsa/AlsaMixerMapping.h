#pragma once
// How a sound card's capture mixer becomes the input pins of its audio capture filter, kept apart
// from ALSA itself so that it can be checked against recorded element descriptions:
// - a capture selector ("Capture Source", "Input Source": an enumerated capture element) gives one
//   pin per item; enabling a pin selects its item, the level is the shared "Capture" volume;
// - otherwise every element with a capture switch or volume is a pin (the master "Capture"
//   element only when nothing else is); enabling sets its capture switch, the level its capture
//   volume; an exclusive capture group switches the others off;
// - a card with neither gives one fixed pin.
// Playback-only elements named like inputs ("Mic", "Line" on HDA codecs) are no capture sources.
#include <string>
#include <vector>

#include "platform/devices/DeviceDescription.h"

struct AlsaMixerElement {
    std::string name;
    unsigned index = 0;
    bool hasCaptureSwitch = false;
    bool hasCaptureVolume = false;
    bool captureSwitchExclusive = false;
    int captureGroup = 0;
    bool captureSwitchOn = false;
    long volumeMin = 0, volumeMax = 0, volume = 0;
    bool isEnumCapture = false;  // an enumerated element that selects the capture source
    std::vector<std::string> enumItems;
    unsigned enumCurrent = 0;
};

struct AlsaInputLine {
    std::string name;
    int element = -1;  // index into the element list, -1 for the fixed pin
    int enumItem = -1; // item of the selector, -1 when the line is an element of its own
    int levelElement = -1;  // element whose capture volume is the line's level, -1 none
};

struct AlsaInputPlan {
    std::vector<AlsaInputLine> lines;
    // The pins with their state now (enabled, level 0..1).
    std::vector<AudioInputLine> state;
};

AlsaInputPlan PlanAlsaInputs(const std::vector<AlsaMixerElement>& elements);

// One change to send to the mixer.
struct AlsaMixerAction {
    enum Kind { CaptureSwitch, CaptureVolume, EnumItem } kind;
    int element;
    long value;
    bool operator==(const AlsaMixerAction&) const = default;
};

// What makes line `index` take the enable and level of `wanted[index]`; updates `elements` as the
// card would (exclusive groups, one selected item) and returns the resulting pin states.
std::vector<AlsaMixerAction> AlsaActionsForLine(const AlsaInputPlan& plan, std::vector<AlsaMixerElement>& elements,
                                                size_t index, const std::vector<AudioInputLine>& wanted,
                                                std::vector<AudioInputLine>* resulting);
