// A menu page as a player shows it: the page bitmap at video resolution with
// each group's shown button in the chosen state and the selection outlines,
// the view picture (background frame, page stretched over it, safe-area
// frames), the hit test and the selection rules of a click. Free of any
// window system; the command line and the desktop view draw through it.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "model/page.h"
#include "platform/bitmap.h"

namespace tessel {

class CBdButton;
class CBog;
class CErgbPalette;
class CGraphicObject;
class CPage;

// Zoom factors of the view's zoom index, with their toolbar texts.
constexpr std::array<double, 5> kZoomFactors = {1.0, 0.75, 0.5, 0.25, 0.125};
constexpr std::array<const char*, 5> kZoomTexts = {"100%", "75%", "50%", "25%", "12.5%"};
constexpr int kDefaultZoomIndex = 2;

// Background colour value 0x00BBGGRR as the settings store it; the default
// is red 0, green 128, blue 128.
constexpr uint32_t kDefaultBackgroundColour = 8421376;
// Opaque ARGB of a 0x00BBGGRR colour value, and back.
constexpr uint32_t ArgbOfColourValue(uint32_t bgr) {
    return MakeArgb(255, static_cast<uint8_t>(bgr), static_cast<uint8_t>(bgr >> 8),
                    static_cast<uint8_t>(bgr >> 16));
}
constexpr uint32_t ColourValueOfArgb(uint32_t argb) {
    return uint32_t{ArgbBlue(argb)} << 16 | uint32_t{ArgbGreen(argb)} << 8 | ArgbRed(argb);
}

// Grey around the frame when the window is larger than it.
constexpr uint32_t kViewGrey = MakeArgb(255, 85, 85, 85);

// A hatched outline pen: the 70 percent pattern in the hatch colour over
// the background colour, width in page pixels.
struct SOutlinePen {
    uint32_t hatch = 0;
    uint32_t background = 0;
    double width = 4.0;
};

enum class EOutlinePen { Unselected, Selected, Focus };
// The pen of a kind at a zoom factor: width 4 / zoom page pixels.
SOutlinePen MakeOutlinePen(EOutlinePen kind, double zoom);
// True where the 8 x 8 hatch pattern shows the hatch colour.
bool HatchAt(int x, int y);

// Outlines the rectangle (left, top, right, bottom) with the pen centred on
// its edges, source-over onto an ARGB bitmap.
void DrawOutline(Bitmap& dst, int left, int top, int right, int bottom, const SOutlinePen& pen);

// Two dashed 1-pixel frames in (128, 255, 255, 255) at 90 % and 80 % of the
// rectangle (x0, y0, w, h), drawn onto an ARGB or RGB bitmap.
void DrawSafeAreas(Bitmap& dst, int x0, int y0, int w, int h);

// Video size of the interactive composition that holds the page (from the IG
// object above it); false, and 0 x 0, when the page is not in one.
bool PageVideoSize(const CPage& page, int& width, int& height);

// The page's palette as ARGB entries (entries the palette does not name, and
// index 255, transparent); false when the page has no palette.
bool PagePalette(const CPage& page, SPalette& palette);
// A palette of the model as ARGB entries, the same way.
void ArgbPaletteOf(const CErgbPalette& source, SPalette& palette);

// Draws a graphic object unscaled at (x, y): its decoded indices through the
// palette when given (else through the bitmap's own), a picture of another
// format as it is, or, without a bitmap, its image file.
void DrawGraphicObject(Bitmap& dst, const CGraphicObject& object, int x, int y,
                       const SPalette* palette);

// Where a click lands: the group's index in the page and the shown button's
// index in its group; -1, -1 for none.
struct SButtonHit {
    int bog = -1;
    int button = -1;
    bool operator==(const SButtonHit&) const = default;
};

enum class EClickKind { Plain, Shift, Ctrl };

// What a click asks of the view.
struct SClickOutcome {
    bool recomposed = false;      // the page bitmap was rebuilt
    bool redraw = false;          // the view must repaint
    CBdButton* notify = nullptr;  // the button whose node the tree selects
};

// The state of a page view and the composition of its pictures.
class CPageComposer {
public:
    // Frame in video pixels when no page gives one.
    static constexpr int kDefaultFrameWidth = 1920;
    static constexpr int kDefaultFrameHeight = 1080;

    // The shown page (not owned; null for none); the frame takes its video
    // size. Keeps state, zoom and focus.
    void SetPage(CPage* page);
    CPage* Page() const { return page_; }
    // 0 Normal, 1 Selected, 2 Activated; other values are ignored.
    void SetState(int state);
    int State() const { return state_; }
    // On: each state's first object; off: its last.
    void SetFirstObject(bool first) { firstObject_ = first; }
    bool FirstObject() const { return firstObject_; }
    // Zoom by table index (0..4) or by a free factor in (0, 4].
    void SetZoomIndex(int index);
    int ZoomIndex() const { return zoomIndex_; }
    void SetZoom(double factor);
    double Zoom() const { return zoom_; }
    // Opaque ARGB background of the frame.
    void SetBackground(uint32_t argb) { background_ = argb | 0xFF000000u; }
    uint32_t Background() const { return background_; }
    // A player's view of the buttons: the button each group shows (null for
    // none) and the state each is drawn in. Without it every group shows its
    // current, else default valid, button in the view's state.
    struct SButtonView {
        std::function<const CBdButton*(const CBog&)> shown;
        std::function<int(const CBdButton&)> state;
    };
    void SetButtonView(SButtonView view) { buttonView_ = std::move(view); }

    // Outlines of the buttons (on by default, as the view shows them).
    void SetOutlines(bool on) { outlines_ = on; }
    bool Outlines() const { return outlines_; }
    void SetFocus(int bog, int button) { focus_ = {bog, button}; }
    SButtonHit Focus() const { return focus_; }

    // A picture shown on the frame instead of a page, placed at (x, y) of a
    // video of frameWidth x frameHeight, as a player shows a subtitle: the
    // page is let go and the frame takes the video size. A page set later
    // replaces the picture.
    void ShowPicture(const Bitmap& picture, int x, int y, int frameWidth, int frameHeight);
    bool ShowsPicture() const { return !picture_.IsEmpty(); }

    // Frame size in video pixels and scaled by the zoom: the video size of
    // the shown page's composition, 1920 x 1080 before any page gives one.
    void SetFrameSize(int width, int height);
    int FrameWidth() const { return frameWidth_; }
    int FrameHeight() const { return frameHeight_; }
    int ScaledWidth() const;
    int ScaledHeight() const;

    // Rebuilds the page bitmap from the page, state, marks and focus.
    void Recompose();
    // The page bitmap at video resolution (empty when there is none).
    const Bitmap& PageBitmap() const { return pageBitmap_; }
    // The frame at the zoom: background colour, the page bitmap stretched
    // over it, optionally the safe-area frames.
    Bitmap ViewPicture(bool safeAreas) const;

    // Point in frame pixels (relative to the scaled frame's corner); the
    // buttons are those drawn (the button view's when it has one).
    SButtonHit HitTest(int x, int y) const;
    // Applies the selection rules of a click on a hit and recomposes as they
    // say.
    SClickOutcome Click(SButtonHit hit, EClickKind kind);

    // Selection from the tree: clears the marks of the button's page; when
    // that page is shown, marks the button, makes it its group's current
    // button, focuses it and recomposes (true).
    bool SelectFromTree(CBdButton& button);
    // Shows the button's page with no focus (double-click on a page or a
    // group); false when it is shown already and nothing happens. A page
    // double-clicked always recomposes.
    void ShowPage(CPage& page);
    bool ShowPageOf(CBog& bog);
    // Shows the button's page with the button marked and focused; false when
    // its page is shown already.
    bool ShowButton(CBdButton& button);

private:
    void AdoptPage(CPage* page);

    CPage* page_ = nullptr;
    bool outlines_ = true;
    SButtonView buttonView_;
    int state_ = 0;
    bool firstObject_ = true;
    int zoomIndex_ = kDefaultZoomIndex;
    double zoom_ = 1.0;
    uint32_t background_ = ArgbOfColourValue(kDefaultBackgroundColour);
    SButtonHit focus_;
    int frameWidth_ = kDefaultFrameWidth;
    int frameHeight_ = kDefaultFrameHeight;
    Bitmap pageBitmap_;
    Bitmap picture_;  // shown without a page
    int pictureX_ = 0;
    int pictureY_ = 0;
};

// Marks of the page's buttons (the used flag): clear all; count the marked.
void ClearButtonMarks(CPage& page);
int CountButtonMarks(const CPage& page);

}  // namespace tessel
