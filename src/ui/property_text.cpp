#include "ui/property_text.h"

#include <cmath>

#include "platform/text.h"

namespace tessel::ui {

std::string SizeText(uint64_t sourcePackets) {
    const uint64_t kib = sourcePackets * 192 / 1024;
    return StrFormat("%llu K", static_cast<unsigned long long>(kib));
}

double TimeCodeFrameRate(int frameRateCode) {
    static constexpr double kRates[8] = {0, 23.976, 24, 25, 29.97, 0, 50, 59.94};
    return frameRateCode >= 1 && frameRateCode <= 7 ? kRates[frameRateCode] : 0.0;
}

std::string TimeCodeText(uint32_t time45k, int frameRateCode) {
    const uint32_t ms = time45k / 45;
    const double fps = TimeCodeFrameRate(frameRateCode);
    uint32_t seconds = ms / 1000;
    double frames = std::round((ms % 1000) / 1000.0 * fps);
    if (fps > 0 && frames >= fps) {
        ++seconds;
        frames -= fps;
    }
    const uint32_t hours = seconds / 3600;
    const uint32_t minutes = seconds / 60 % 60;
    return StrFormat("%02u:%02u:%02u:%02d", hours, minutes, seconds % 60, static_cast<int>(frames));
}

int ShownObjectId(int32_t id) {
    return id == 0xFFFF ? -1 : id;
}

int ShownSoundId(int id) {
    return id == 255 ? -1 : id;
}

std::string UiModelText(int uiModel) {
    return uiModel ? "Pop-up" : "Always-on";
}

std::string CompositionStateText(int state) {
    switch (state) {
        case 0:
            return "Normal";
        case 1:
            return "Acquisition Point";
        case 2:
            return "Epoch Start";
        default:
            return StrFormat("Reserved (%d)", state);
    }
}

}  // namespace tessel::ui
