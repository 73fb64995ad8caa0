#include "authoring/menu_motion.h"

#include "model/graphic_object.h"
#include "model/page.h"
#include "model/palette.h"

namespace tessel::authoring {

std::vector<double> StateRun(const SMenuOptions& o, int page, int button, int state) {
    const int n = o.animationFrames;
    if (n < 2 || page != 0) return {1.0};
    std::vector<double> run;
    if (button == 0 && state == 1)  // dim to bright
        for (int i = 0; i < n; ++i) run.push_back(0.4 + 0.6 * (i + 1) / n);
    else if (button == 1 && state == 0)  // brighter and back
        for (int i = 0; i < n; ++i) run.push_back(1.0 + 0.6 * (i <= n / 2 ? i : n - i) / n);
    else
        run.push_back(1.0);
    return run;
}

bool StateRepeats(const SMenuOptions& o, int page, int button, int state) {
    return o.animationFrames >= 2 && page == 0 && button == 1 && state == 0;
}

void AddWipeIn(CPage& page, CGraphicObject& band, int width, int height, CErgbPalette& palette,
               int steps, uint32_t duration) {
    CEffectSequenceObject& seq = page.inEffects;
    CWindowObject* window = seq.AddNewWindow();
    window->id = 0;
    window->right = width;
    window->bottom = height;
    for (int i = 0; i < steps; ++i) {
        CEffectObject* effect = seq.AddNewEffect();
        effect->duration = duration;
        effect->palette.Set(&palette);
        CCompositionObject* co = effect->AddNewObject();
        co->object.Set(&band);
        co->window.Set(window);
        co->cropped = 1;
        co->cropRight = width * (i + 1) / steps;
        co->cropBottom = height;
    }
}

}  // namespace tessel::authoring
