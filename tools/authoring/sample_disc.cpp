#include "authoring/sample_disc.h"

#include <algorithm>
#include <filesystem>
#include <set>

#include <unistd.h>

#include "authoring/disc_files.h"
#include "authoring/m2ts_muxer.h"
#include "authoring/menu_art.h"
#include "authoring/menu_motion.h"
#include "codec/colour.h"
#include "platform/files.h"
#include "platform/image_io.h"
#include "platform/text.h"

namespace fs = std::filesystem;

namespace tessel::authoring {

namespace {

const char* const kLabels[] = {"Play Movie", "Scenes",  "Audio",   "Subtitles", "Extras",
                               "Setup",      "Trailer", "Gallery", "Credits",   "Back"};
const uint32_t kColours[] = {0xFF2E7D32u, 0xFF1565C0u, 0xFFC62828u, 0xFF6A1B9Au,
                             0xFFEF6C00u, 0xFF00838Fu, 0xFF4E342Eu, 0xFF37474Fu};
const char* const kLanguages[] = {"eng", "fra", "deu", "jpn", "spa", "ita"};

class CLogLines : public ILogSink {
public:
    void Log(const std::string& line) override { text += line + "\n"; }
    std::string text;
};

CNavCmd JumpTitle(int title) {
    CNavCmd c;
    const uint8_t bytes[12] = {0x21, 0x81, 0, 0, 0, 0, 0, static_cast<uint8_t>(title), 0, 0, 0, 0};
    std::copy(bytes, bytes + 12, c.bytes);
    return c;
}

// Pictures of one epoch, quantised together so that they share one palette.
struct SPictureSet {
    std::vector<SArgbImage> pictures;
    size_t buttons = 0;  // the buttons' pictures, ahead of the tiles'
};

// The pictures go side by side in rows of an atlas as wide as the widest one,
// below a transparent first row (the shared transparent index comes from
// there); the atlas is quantised and cut up again. The atlas itself comes
// last in out: its palette, entry for entry, is the epoch's palette.
CResult QuantiseTogether(const SPictureSet& set, std::vector<Bitmap>& out) {
    int width = 1;
    for (const SArgbImage& p : set.pictures) width = std::max(width, p.width);
    struct SPlace {
        int x, y;
    };
    std::vector<SPlace> places;
    int x = 0, y = 1, shelf = 0;
    for (const SArgbImage& p : set.pictures) {
        if (x + p.width > width) x = 0, y += shelf, shelf = 0;
        places.push_back({x, y});
        x += p.width;
        shelf = std::max(shelf, p.height);
    }
    Bitmap atlas(width, y + shelf, EPixelFormat::Argb32);
    if (atlas.IsEmpty()) return CResult::Fail("pictures too large");
    for (size_t i = 0; i < set.pictures.size(); ++i) {
        const SArgbImage& p = set.pictures[i];
        for (int r = 0; r < p.height; ++r)
            for (int c = 0; c < p.width; ++c)
                atlas.SetPixel(places[i].x + c, places[i].y + r,
                               p.pixels[static_cast<size_t>(r) * p.width + c]);
    }
    const Bitmap indexed = ToIndexed(atlas);
    if (indexed.IsEmpty()) return CResult::Fail("the pictures could not be quantised");
    out.clear();
    for (size_t i = 0; i < set.pictures.size(); ++i) {
        const SArgbImage& p = set.pictures[i];
        Bitmap pic(p.width, p.height, EPixelFormat::Indexed8);
        for (int r = 0; r < p.height; ++r)
            std::copy_n(indexed.Row(places[i].y + r) + places[i].x, p.width, pic.Row(r));
        pic.SetPalette(indexed.Palette());
        out.push_back(std::move(pic));
    }
    out.push_back(indexed);
    return {};
}

const char* const kTitles[] = {"Main Menu", "Scene Selection", "Audio Setup",
                               "Subtitles", "Bonus Features",  "Setup"};

struct SRect {
    int x = 0, y = 0, width = 0, height = 0;
};

// The layout of a page: column k of buttons at x = 120 + k (width + 40), the
// rounded button j at y = 240 + j (height + 24). With a background each
// button's picture is its cell, the row pitch tall and the column wide, and
// the rest of the frame is cut into tiles: the band above the columns, the
// band below them, and the margins and gaps beside them.
struct SLayout {
    int pitch = 0;      // row pitch
    int cellInset = 0;  // rounded button's offset within its cell
    int top = 0;        // first cell row
    std::vector<SRect> tiles;
};

int ButtonX(const SMenuOptions& o, int k) {
    return std::min(o.videoWidth - o.buttonWidth, 120 + k * (o.buttonWidth + 40));
}

CResult Layout(const SMenuOptions& o, SLayout& layout) {
    const int w = o.buttonWidth, h = o.buttonHeight;
    layout.pitch = h + 24;
    layout.cellInset = 12;
    layout.top = 240 - layout.cellInset;
    layout.tiles.clear();
    if (!o.background) return {};
    const int frameW = o.videoWidth, frameH = o.videoHeight;
    const int bottom = layout.top + o.buttonsPerBog * layout.pitch;
    const int right = 120 + o.bogsPerPage * (w + 40) - 40;
    if (bottom > frameH || right > frameW)
        return CResult::Fail("the buttons do not fit the frame with a background");
    auto add = [&](int x, int y, int x2, int y2) {
        if (x2 > x && y2 > y) layout.tiles.push_back({x, y, x2 - x, y2 - y});
    };
    add(0, 0, frameW, layout.top);
    add(0, bottom, frameW, frameH);
    for (int k = 0; k <= o.bogsPerPage; ++k) {
        const int x = k == 0 ? 0 : 120 + k * (w + 40) - 40;
        const int x2 = k == o.bogsPerPage ? frameW : 120 + k * (w + 40);
        add(x, layout.top, x2, bottom);
    }
    return {};
}

// An epoch's pictures: every button state's run page by page, then the
// background tiles page by page.
SPictureSet EpochPictures(const SMenuOptions& o, const SLayout& layout, int e) {
    const int w = o.buttonWidth, h = o.buttonHeight;
    SPictureSet set;
    std::vector<SArgbImage> backgrounds;
    if (o.background)
        for (int p = 0; p < o.pages; ++p) {
            const uint32_t colour = kColours[(p + o.seed + 5) % 8];
            backgrounds.push_back(DrawBackground(o.videoWidth, o.videoHeight, Shade(colour, 0.5),
                                                 Shade(colour, 0.12),
                                                 kTitles[(p + o.seed + e) % 6]));
        }
    for (int p = 0; p < o.pages; ++p)
        for (int k = 0; k < o.bogsPerPage; ++k)
            for (int j = 0; j < o.buttonsPerBog; ++j) {
                const int n = (p * o.bogsPerPage + k) * o.buttonsPerBog + j + o.seed + e;
                const std::string label = kLabels[n % 10];
                const uint32_t colour = kColours[(k + o.seed + p) % 8];
                for (int s = 0; s < 3; ++s)
                    for (double f : StateRun(o, p, k * o.buttonsPerBog + j, s)) {
                        // Over a background: flat steps, for a palette of
                        // exact colours without dithering.
                        SArgbImage button =
                            DrawButton(w, h, f == 1.0 ? colour : Shade(colour, f), label,
                                       static_cast<EButtonLook>(s), o.background ? 4 : 0);
                        if (o.background) {
                            SArgbImage cell =
                                Crop(backgrounds[static_cast<size_t>(p)], ButtonX(o, k),
                                     layout.top + j * layout.pitch, w, layout.pitch);
                            Blend(cell, button, 0, layout.cellInset);
                            button = std::move(cell);
                        }
                        set.pictures.push_back(std::move(button));
                    }
            }
    set.buttons = set.pictures.size();
    for (const SArgbImage& background : backgrounds)
        for (const SRect& t : layout.tiles)
            set.pictures.push_back(Crop(background, t.x, t.y, t.width, t.height));
    return set;
}

// An epoch's palette and graphic objects, one object a picture.
struct SEpochArt {
    CErgbPalette* palette = nullptr;
    std::vector<CGraphicObject*> objects;
    size_t buttons = 0;  // the buttons' objects, ahead of the tiles'
};

// The art of epoch e from its pictures, their image files in imageFolder.
CResult MakeEpochArt(const SMenuOptions& o, const std::string& imageFolder, int e,
                     const SPictureSet& set, CEpoch& epoch, SEpochArt& art) {
    std::vector<Bitmap> pictures;
    if (CResult r = QuantiseTogether(set, pictures); !r) return r;
    art.palette = epoch.palettes.AddPalette();
    art.palette->id = 0;
    PaletteFromImage(pictures.back(), 0.0, *art.palette);
    pictures.pop_back();
    for (size_t i = 0; i < pictures.size(); ++i) {
        const std::string path =
            JoinPath(imageFolder, StrFormat("m%d_e%d_%03zu.png", o.seed, e + 1, i));
        if (const CResult r = SavePng(path, pictures[i]); !r) return CResult::Fail(r.Text());
        CGraphicObject* go = epoch.graphics.AddNewObject();
        go->id = static_cast<int32_t>(i);
        if (!go->SetImageFile(path)) return CResult::Fail("cannot attach " + path);
        art.objects.push_back(go);
    }
    art.buttons = set.buttons;
    return {};
}

// The menu's groups on page p, a column of buttons each; next counts off the
// objects used.
void AddMenuGroups(const SMenuOptions& o, const SLayout& layout, const SEpochArt& art, int p,
                   CPage& page, size_t& next) {
    const int h = o.buttonHeight;
    std::vector<std::vector<CBdButton*>> grid;
    for (int k = 0; k < o.bogsPerPage; ++k) {
        CBog* bog = page.AddNewBog();
        grid.emplace_back();
        for (int j = 0; j < o.buttonsPerBog; ++j) {
            CBdButton* b = bog->AddNewButton();
            b->id = k * o.buttonsPerBog + j;
            b->name = NumberedName("Button", b->id + 1);
            b->x = static_cast<uint16_t>(ButtonX(o, k));
            b->y = static_cast<uint16_t>(o.background
                                             ? layout.top + j * layout.pitch
                                             : std::min(o.videoHeight - h, 240 + j * (h + 24)));
            b->numericSelectValue = static_cast<uint16_t>(b->id + 1);
            for (int s = 0; s < 3; ++s) {
                const size_t n = StateRun(o, p, b->id, s).size();
                b->states[s].start.Set(art.objects[next]);
                b->states[s].end.Set(art.objects[next + n - 1]);
                b->states[s].repeat = StateRepeats(o, p, b->id, s);
                b->states[s].soundId = 0xFF;
                next += n;
            }
            b->commands.records.push_back(JumpTitle(b->id + 1));
            grid.back().push_back(b);
        }
        bog->defaultValid.Set(grid.back().front());
    }
    // Up and down within a column, left and right across columns.
    for (int k = 0; k < o.bogsPerPage; ++k)
        for (int j = 0; j < o.buttonsPerBog; ++j) {
            CBdButton* b = grid[k][j];
            b->neighbors.upper.Set(grid[k][std::max(0, j - 1)]);
            b->neighbors.lower.Set(grid[k][std::min(o.buttonsPerBog - 1, j + 1)]);
            b->neighbors.left.Set(grid[std::max(0, k - 1)][j]);
            b->neighbors.right.Set(grid[std::min(o.bogsPerPage - 1, k + 1)][j]);
        }
    page.defaultSelected.Set(grid[0][0]);
}

// The background tiles: one group each, after the menu's groups, with ids
// above the menu buttons'. Nothing leads to them and they lead nowhere; their
// one picture shows in every state. nextTile counts off the objects used.
void AddTiles(const SMenuOptions& o, const SLayout& layout, const SEpochArt& art, CPage& page,
              size_t& nextTile) {
    int32_t tileId = o.bogsPerPage * o.buttonsPerBog;
    for (const SRect& t : layout.tiles) {
        CBog* bog = page.AddNewBog();
        CBdButton* b = bog->AddNewButton();
        b->id = tileId++;
        b->name = NumberedName("Background", b->id + 1);
        b->x = static_cast<uint16_t>(t.x);
        b->y = static_cast<uint16_t>(t.y);
        b->states[CBdButton::kNormal].start.Set(art.objects[nextTile]);
        b->states[CBdButton::kNormal].end.Set(art.objects[nextTile]);
        for (auto& state : b->states) state.soundId = 0xFF;
        for (auto* n : b->neighbors.refs()) n->Set(b);
        bog->defaultValid.Set(b);
        ++nextTile;
    }
}

}  // namespace

CResult AuthorMenu(const SMenuOptions& o, const std::string& imageFolder, CIgObject& ig) {
    ig.Clear();
    ig.nextEpoch = 0;
    ig.video = {o.videoWidth, o.videoHeight, o.frameRate, 0};
    if (o.buttonWidth < 8 || o.buttonHeight < 8 || o.pages < 1 || o.bogsPerPage < 1 ||
        o.buttonsPerBog < 1)
        return CResult::Fail("menu options out of range");
    SLayout layout;
    if (CResult r = Layout(o, layout); !r) return r;
    if (!CreateFolder(imageFolder)) return CResult::Fail("cannot create " + imageFolder);
    for (int e = 0; e < o.epochs; ++e) {
        CEpoch* epoch = ig.AddNewEpoch();
        SEpochArt art;
        if (CResult r = MakeEpochArt(o, imageFolder, e, EpochPictures(o, layout, e), *epoch, art);
            !r)
            return r;
        CDisplaySet* ds = AddDisplaySet(*epoch);
        ds->compositionState = kStateEpochStart;
        ds->streamModel = 0;  // multiplexed with the movie
        ds->frameNumber = e * 240;
        ds->uiModel = o.uiModel;
        size_t next = 0;
        size_t nextTile = art.buttons;
        for (int p = 0; p < o.pages; ++p) {
            CPage* page = ds->AddNewPage();
            page->id = p;
            page->palette.Set(art.palette);
            if (p == 0 && o.animationFrames >= 2) page->frameRateCode = o.animationRate;
            if (p == 0 && o.wipeIn && !layout.tiles.empty())  // the top band, 0.2 s a step
                AddWipeIn(*page, *art.objects[nextTile], layout.tiles[0].width,
                          layout.tiles[0].height, *art.palette, 4, 18000);
            AddMenuGroups(o, layout, art, p, *page, next);
            AddTiles(o, layout, art, *page, nextTile);
        }
    }
    return {};
}

CResult MenuStream(CIgObject& ig, std::vector<uint8_t>& marked) {
    CMemorySink sink;
    CLogLines log;
    if (!ig.WriteStream(sink, nullptr, &log, false))
        return CResult::Fail("the menu could not be written:\n" + log.text);
    marked = std::move(sink.data);
    return {};
}

bool RepeatStream(const std::vector<uint8_t>& marked, int times, uint32_t interval,
                  bool acquisitionPoints, std::vector<uint8_t>& out) {
    out.clear();
    out.reserve(marked.size() * static_cast<size_t>(std::max(times, 0)));
    for (int copy = 0; copy < times; ++copy) {
        const size_t at = out.size();
        out.insert(out.end(), marked.begin(), marked.end());
        const uint32_t shift = interval * static_cast<uint32_t>(copy);
        size_t p = at;
        while (p < out.size()) {
            if (out.size() - p < 13) return false;
            uint8_t* r = out.data() + p;
            for (int field : {2, 6}) {
                uint32_t t = static_cast<uint32_t>(r[field] << 24 | r[field + 1] << 16 |
                                                   r[field + 2] << 8 | r[field + 3]);
                if (t || field == 2) t += shift;
                for (int i = 0; i < 4; ++i) r[field + i] = static_cast<uint8_t>(t >> (24 - 8 * i));
            }
            const size_t payload = static_cast<size_t>(r[11]) << 8 | r[12];
            if (out.size() - p - 13 < payload) return false;
            // composition_state: the top bits of the ICS's eighth payload byte
            if (acquisitionPoints && copy > 0 && r[10] == kSegmentIcs && payload > 7)
                r[13 + 7] =
                    static_cast<uint8_t>((r[13 + 7] & 0x3F) | (kStateAcquisitionPoint << 6));
            p += 13 + payload;
        }
    }
    return true;
}

CResult StreamFromIcsPayload(const std::vector<uint8_t>& payload, std::vector<uint8_t>& marked) {
    CDsData c;
    auto* ics = static_cast<CIcs*>(c.CreateSegment(kSegmentIcs));
    ics->Parse(payload);
    std::unique_ptr<CIcData> body = ReadComposition(c);
    if (!body) return CResult::Fail("the composition does not parse");
    std::set<int> objectIds, paletteIds;
    for (const auto& page : body->items) {
        if (page->palette.id >= 0 && page->palette.id < 0xFF) paletteIds.insert(page->palette.id);
        for (const auto& g : page->items)
            for (const auto& b : g->items)
                for (const auto& s : b->states) {
                    if (s.start.id < 0 || s.start.id >= 0xFFFF || s.end.id < 0 ||
                        s.end.id >= 0xFFFF)
                        continue;
                    for (int id = std::min(s.start.id, s.end.id);
                         id <= std::max(s.start.id, s.end.id); ++id)
                        objectIds.insert(id);
                }
        for (const CEffectSequenceObject* seq : {&page->inEffects, &page->outEffects})
            for (const auto& e : seq->items) {
                if (e->palette.id >= 0 && e->palette.id < 0xFF) paletteIds.insert(e->palette.id);
                for (const auto& co : e->items)
                    if (co->object.id >= 0 && co->object.id < 0xFFFF)
                        objectIds.insert(co->object.id);
            }
    }
    if (paletteIds.empty()) paletteIds.insert(0);
    for (int id : paletteIds) {
        CPds* pds = c.AddPalette();
        pds->paletteId = static_cast<uint8_t>(id);
        for (int i = 0; i < 4; ++i)
            pds->entries.push_back({static_cast<uint8_t>(i), static_cast<uint8_t>(40 + 50 * i), 128,
                                    128, static_cast<uint8_t>(i ? 255 : 0)});
    }
    for (int id : objectIds) {
        SIndexedImage img{16, 16, std::vector<uint8_t>(256)};
        for (int i = 0; i < 256; ++i)
            img.pixels[static_cast<size_t>(i)] = static_cast<uint8_t>((i / 16 + id) % 4);
        if (!AddObjectFromImage(img, c, static_cast<uint16_t>(id)))
            return CResult::Fail("object could not be encoded");
    }
    c.CreateSegment(kSegmentEnd);
    uint32_t t = 100000;
    for (const auto& s : c.icsList->items) s->pts = 300000, s->dts = 100000;
    for (const auto& s : c.pdsList->items) s->pts = 100000, s->dts = 0;
    if (c.odsList)
        for (const auto& s : c.odsList->items) s->pts = t += 10, s->dts = 100000;
    c.end->pts = t;
    CMemorySink sink;
    if (!WriteDsData(c, sink, nullptr, false, false))
        return CResult::Fail("the display set could not be written");
    marked = std::move(sink.data);
    return {};
}

namespace {

// The clip's graphics tracks, listed in info; the menus authored for it (their
// pictures under pictures) go to record.
CResult ClipTracks(const SClipSpec& clip, const std::string& pictures,
                   std::vector<SMuxTrack>& tracks, SClipInfoSpec& info, SAuthoredClip& record) {
    for (size_t i = 0; i < clip.igPids.size(); ++i) {
        const uint16_t pid = clip.igPids[i];
        SMuxTrack t;
        t.pid = pid;
        t.streamType = 0x91;
        auto it = clip.streams.find(pid);
        if (it != clip.streams.end()) {
            t.marked = it->second;
        } else {
            auto ig = std::make_unique<CIgObject>();
            SMenuOptions menu = clip.menu;
            menu.seed = clip.number * 7 + static_cast<int>(i) * 3;
            CResult r =
                AuthorMenu(menu, JoinPath(pictures, StrFormat("%05d_%d", clip.number, pid)), *ig);
            if (r) r = MenuStream(*ig, t.marked);
            if (!r) return r;
            record.menus[pid] = std::move(ig);
        }
        if (clip.repeats > 1) {
            std::vector<uint8_t> repeated;
            if (!RepeatStream(t.marked, clip.repeats, 90000, clip.repeatsAsAcquisitionPoints,
                              repeated))
                return CResult::Fail(StrFormat("malformed graphics records for PID %d", pid));
            t.marked = std::move(repeated);
        }
        tracks.push_back(std::move(t));
        info.streams.push_back({pid, 0x91, kLanguages[i % 6]});
    }
    for (const auto& [pid, marked] : clip.pgStreams) {
        tracks.push_back({pid, 0x90, marked});
        info.streams.push_back({pid, 0x90, "eng"});
    }
    if (clip.pgStreams.empty() && (clip.presentationGraphicsOnly || clip.igPids.empty())) {
        tracks.push_back({0x1200, 0x90, {}});
        info.streams.push_back({0x1200, 0x90, "eng"});
    }
    return {};
}

// Writes the clip's stream and its clip information under bdmv; info gets
// the clip's times.
CResult WriteClipFiles(const SClipSpec& clip, const SDiscOptions& options, const std::string& bdmv,
                       const std::vector<SMuxTrack>& tracks, SClipInfoSpec& info) {
    SMuxOptions mux;
    mux.fillerBytes = options.fillerMiB << 20;
    mux.fillerAfterGraphics = options.graphicsFirst;
    mux.fillerByTime = options.fillerByTime;
    if (mux.fillerBytes) info.streams.insert(info.streams.begin(), {0x1011, 0x1B, "", 6, 1});
    SMuxResult result;
    const std::string m2ts = JoinPath(bdmv, StrFormat("STREAM/%05d.m2ts", clip.number));
    if (CResult r = MuxM2ts(m2ts, tracks, mux, result); !r) return r;
    info.sourcePackets = result.sourcePackets;
    if (!mux.fillerBytes && !clip.igPids.empty()) info.epPid = clip.igPids.front();
    for (const auto& [pts, spn] : result.compositions)
        if (clip.entryPointsFor >= 0 &&
            static_cast<int64_t>(pts - result.firstPts) < clip.entryPointsFor)
            info.entryPoints.emplace_back(pts, spn);
    info.startPts45 = static_cast<uint32_t>(result.firstPts / 2);
    info.endPts45 = static_cast<uint32_t>((result.lastPts + 10 * 90000) / 2);
    const auto clpi = BuildClpi(info);
    const std::string clpiPath = JoinPath(bdmv, StrFormat("CLIPINF/%05d.clpi", clip.number));
    if (const CResult r = WriteWholeFile(clpiPath, clpi.data(), clpi.size()); !r)
        return CResult::Fail(r.Text());
    return {};
}

}  // namespace

CResult WriteSampleDisc(const std::string& root, const SDiscOptions& options,
                        std::vector<SAuthoredClip>* authored) {
    std::error_code ec;
    fs::create_directories(fs::path(root) / "BDMV", ec);
    const std::string bdmv = JoinPath(root, "BDMV");
    for (const char* sub : {"PLAYLIST", "CLIPINF", "STREAM"})
        if (!CreateFolder(JoinPath(bdmv, sub)))
            return CResult::Fail("cannot create " + JoinPath(bdmv, sub));
    std::string pictures = options.pictureFolder;
    const bool temporary = pictures.empty();
    if (temporary)
        pictures = (fs::temp_directory_path() / ("tessel-pictures-" + std::to_string(::getpid())))
                       .string();
    struct SCleanup {
        bool on;
        std::string path;
        ~SCleanup() {
            std::error_code e;
            if (on) fs::remove_all(path, e);
        }
    } cleanup{temporary, pictures};
    fs::create_directories(pictures, ec);

    SPlaylistSpec main, second;
    for (const SClipSpec& clip : options.clips) {
        SAuthoredClip record;
        record.number = clip.number;
        record.applicationType = clip.applicationType;
        std::vector<SMuxTrack> tracks;
        SClipInfoSpec info;
        info.applicationType = clip.applicationType;
        if (CResult r = ClipTracks(clip, pictures, tracks, info, record); !r) return r;
        if (CResult r = WriteClipFiles(clip, options, bdmv, tracks, info); !r) return r;
        SPlayItemSpec item{clip.number, info.startPts45, info.endPts45, {}};
        if (clip.viaSubPath) {
            main.subPaths.push_back({3, {clip.number}});
            second.extSubPaths.push_back({3, {clip.number}});
        } else {
            main.playItems.push_back(item);
            second.playItems.insert(second.playItems.begin(), item);
        }
        if (authored) authored->push_back(std::move(record));
    }
    for (const auto& [name, spec] : {std::pair{"00000", &main}, std::pair{"00001", &second}}) {
        const auto mpls = BuildMpls(*spec);
        const std::string mplsPath = JoinPath(bdmv, StrFormat("PLAYLIST/%s.mpls", name));
        if (const CResult r = WriteWholeFile(mplsPath, mpls.data(), mpls.size()); !r)
            return CResult::Fail(r.Text());
    }
    return {};
}

SDiscOptions DemoDiscOptions() {
    SDiscOptions o;
    SClipSpec movie;
    movie.number = 1;
    movie.applicationType = 1;
    movie.igPids = {0x1400};
    movie.menu.pages = 3;
    movie.menu.bogsPerPage = 4;
    movie.menu.buttonsPerBog = 1;
    movie.menu.buttonWidth = 200;
    movie.menu.buttonHeight = 56;
    movie.menu.background = true;
    movie.menu.animationFrames = 4;
    movie.menu.wipeIn = true;
    SClipSpec popup;
    popup.number = 2;
    popup.applicationType = 5;
    popup.viaSubPath = true;
    popup.igPids = {0x1400, 0x1401};
    popup.menu.pages = 2;
    popup.menu.bogsPerPage = 3;
    popup.menu.buttonsPerBog = 1;
    popup.menu.buttonWidth = 180;
    popup.menu.buttonHeight = 48;
    popup.menu.background = true;
    popup.menu.uiModel = 1;
    SClipSpec subtitles;
    subtitles.number = 3;
    subtitles.applicationType = 1;
    subtitles.presentationGraphicsOnly = true;
    o.clips = {movie, popup, subtitles};
    return o;
}

}  // namespace tessel::authoring
