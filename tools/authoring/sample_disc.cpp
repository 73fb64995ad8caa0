#include "authoring/sample_disc.h"

#include <algorithm>
#include <filesystem>
#include <set>

#include <unistd.h>

#include "authoring/disc_files.h"
#include "authoring/m2ts_muxer.h"
#include "authoring/menu_art.h"
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
};

bool QuantiseTogether(const SPictureSet& set, int w, int h, std::vector<Bitmap>& out,
                      std::string& error) {
    const int n = static_cast<int>(set.pictures.size());
    // Row 0 stays transparent: the shared transparent index comes from there.
    Bitmap atlas(w, 1 + n * h, EPixelFormat::Argb32);
    if (atlas.IsEmpty()) {
        error = "pictures too large";
        return false;
    }
    for (int i = 0; i < n; ++i)
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                atlas.SetPixel(
                    x, 1 + i * h + y,
                    set.pictures[static_cast<size_t>(i)].pixels[static_cast<size_t>(y) * w + x]);
    const Bitmap indexed = ToIndexed(atlas);
    if (indexed.IsEmpty()) {
        error = "the pictures could not be quantised";
        return false;
    }
    out.clear();
    for (int i = 0; i < n; ++i) {
        Bitmap pic(w, h, EPixelFormat::Indexed8);
        for (int y = 0; y < h; ++y) std::copy_n(indexed.Row(1 + i * h + y), w, pic.Row(y));
        pic.SetPalette(indexed.Palette());
        out.push_back(std::move(pic));
    }
    // The atlas palette, entry for entry, is the epoch's palette.
    out.push_back(indexed);
    return true;
}

}  // namespace

bool AuthorMenu(const SMenuOptions& o, const std::string& imageFolder, CIgObject& ig,
                std::string& error) {
    ig.Clear();
    ig.nextEpoch = 0;
    ig.video = {o.videoWidth, o.videoHeight, o.frameRate, 0};
    const int w = o.buttonWidth, h = o.buttonHeight;
    if (w < 8 || h < 8 || o.pages < 1 || o.bogsPerPage < 1 || o.buttonsPerBog < 1) {
        error = "menu options out of range";
        return false;
    }
    if (!CreateFolder(imageFolder)) {
        error = "cannot create " + imageFolder;
        return false;
    }
    for (int e = 0; e < o.epochs; ++e) {
        CEpoch* epoch = ig.AddNewEpoch();
        SPictureSet set;
        for (int p = 0; p < o.pages; ++p)
            for (int k = 0; k < o.bogsPerPage; ++k)
                for (int j = 0; j < o.buttonsPerBog; ++j) {
                    const int n = (p * o.bogsPerPage + k) * o.buttonsPerBog + j + o.seed + e;
                    const std::string label = kLabels[n % 10];
                    const uint32_t colour = kColours[(k + o.seed + p) % 8];
                    for (EButtonLook look :
                         {EButtonLook::Normal, EButtonLook::Selected, EButtonLook::Activated})
                        set.pictures.push_back(DrawButton(w, h, colour, label, look));
                }
        std::vector<Bitmap> pictures;
        if (!QuantiseTogether(set, w, h, pictures, error)) return false;
        CErgbPalette* palette = epoch->palettes.AddPalette();
        palette->id = 0;
        PaletteFromImage(pictures.back(), 0.0, *palette);
        pictures.pop_back();
        std::vector<CGraphicObject*> objects;
        for (size_t i = 0; i < pictures.size(); ++i) {
            const std::string path =
                JoinPath(imageFolder, StrFormat("m%d_e%d_%03zu.png", o.seed, e + 1, i));
            if (!SavePng(path, pictures[i], error)) return false;
            CGraphicObject* go = epoch->graphics.AddNewObject();
            go->id = static_cast<int32_t>(i);
            if (!go->SetImageFile(path)) {
                error = "cannot attach " + path;
                return false;
            }
            objects.push_back(go);
        }
        CDisplaySet* ds = AddDisplaySet(*epoch);
        ds->compositionState = kStateEpochStart;
        ds->streamModel = 0;  // multiplexed with the movie
        ds->frameNumber = e * 240;
        size_t next = 0;
        for (int p = 0; p < o.pages; ++p) {
            CPage* page = ds->AddNewPage();
            page->id = p;
            page->palette.Set(palette);
            std::vector<std::vector<CBdButton*>> grid;
            for (int k = 0; k < o.bogsPerPage; ++k) {
                CBog* bog = page->AddNewBog();
                grid.emplace_back();
                for (int j = 0; j < o.buttonsPerBog; ++j) {
                    CBdButton* b = bog->AddNewButton();
                    b->id = k * o.buttonsPerBog + j;
                    b->name = NumberedName("Button", b->id + 1);
                    b->x = static_cast<uint16_t>(std::min(o.videoWidth - w, 120 + k * (w + 40)));
                    b->y = static_cast<uint16_t>(std::min(o.videoHeight - h, 240 + j * (h + 24)));
                    b->numericSelectValue = static_cast<uint16_t>(b->id + 1);
                    for (int s = 0; s < 3; ++s) {
                        b->states[s].start.Set(objects[next]);
                        b->states[s].end.Set(objects[next]);
                        b->states[s].soundId = 0xFF;
                        ++next;
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
            page->defaultSelected.Set(grid[0][0]);
        }
    }
    return true;
}

bool MenuStream(CIgObject& ig, std::vector<uint8_t>& marked, std::string& error) {
    CMemorySink sink;
    CLogLines log;
    if (!ig.WriteStream(sink, nullptr, &log, false)) {
        error = "the menu could not be written:\n" + log.text;
        return false;
    }
    marked = std::move(sink.data);
    return true;
}

bool StreamFromIcsPayload(const std::vector<uint8_t>& payload, std::vector<uint8_t>& marked,
                          std::string& error) {
    CDsData c;
    auto* ics = static_cast<CIcs*>(c.CreateSegment(kSegmentIcs));
    ics->Parse(payload);
    std::unique_ptr<CIcData> body = ReadComposition(c);
    if (!body) {
        error = "the composition does not parse";
        return false;
    }
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
        if (!AddObjectFromImage(img, c, static_cast<uint16_t>(id))) {
            error = "object could not be encoded";
            return false;
        }
    }
    c.CreateSegment(kSegmentEnd);
    uint32_t t = 100000;
    for (const auto& s : c.icsList->items) s->pts = 300000, s->dts = 100000;
    for (const auto& s : c.pdsList->items) s->pts = 100000, s->dts = 0;
    if (c.odsList)
        for (const auto& s : c.odsList->items) s->pts = t += 10, s->dts = 100000;
    c.end->pts = t;
    CMemorySink sink;
    if (!WriteDsData(c, sink, nullptr, false, false)) {
        error = "the display set could not be written";
        return false;
    }
    marked = std::move(sink.data);
    return true;
}

bool WriteSampleDisc(const std::string& root, const SDiscOptions& options,
                     std::vector<SAuthoredClip>* authored, std::string& error) {
    std::error_code ec;
    fs::create_directories(fs::path(root) / "BDMV", ec);
    const std::string bdmv = JoinPath(root, "BDMV");
    for (const char* sub : {"PLAYLIST", "CLIPINF", "STREAM"})
        if (!CreateFolder(JoinPath(bdmv, sub))) {
            error = "cannot create " + JoinPath(bdmv, sub);
            return false;
        }
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
                if (!AuthorMenu(menu, JoinPath(pictures, StrFormat("%05d_%d", clip.number, pid)),
                                *ig, error) ||
                    !MenuStream(*ig, t.marked, error))
                    return false;
                record.menus[pid] = std::move(ig);
            }
            tracks.push_back(std::move(t));
            info.streams.push_back({pid, 0x91, kLanguages[i % 6]});
        }
        if (clip.presentationGraphicsOnly || clip.igPids.empty()) {
            tracks.push_back({0x1200, 0x90, {}});
            info.streams.push_back({0x1200, 0x90, "eng"});
        }
        SMuxOptions mux;
        mux.fillerBytes = options.fillerMiB << 20;
        if (mux.fillerBytes) info.streams.insert(info.streams.begin(), {0x1011, 0x1B, "", 6, 1});
        SMuxResult result;
        const std::string m2ts = JoinPath(bdmv, StrFormat("STREAM/%05d.m2ts", clip.number));
        if (!MuxM2ts(m2ts, tracks, mux, result, error)) return false;
        info.sourcePackets = result.sourcePackets;
        info.startPts45 = static_cast<uint32_t>(result.firstPts / 2);
        info.endPts45 = static_cast<uint32_t>((result.lastPts + 10 * 90000) / 2);
        const auto clpi = BuildClpi(info);
        const std::string clpiPath = JoinPath(bdmv, StrFormat("CLIPINF/%05d.clpi", clip.number));
        if (!WriteWholeFile(clpiPath, clpi.data(), clpi.size(), error)) return false;
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
        if (!WriteWholeFile(JoinPath(bdmv, StrFormat("PLAYLIST/%s.mpls", name)), mpls.data(),
                            mpls.size(), error))
            return false;
    }
    return true;
}

SDiscOptions DemoDiscOptions() {
    SDiscOptions o;
    SClipSpec movie;
    movie.number = 1;
    movie.applicationType = 1;
    movie.igPids = {0x1400};
    movie.menu.pages = 3;
    movie.menu.bogsPerPage = 2;
    movie.menu.buttonsPerBog = 2;
    movie.menu.buttonWidth = 200;
    movie.menu.buttonHeight = 56;
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
    SClipSpec subtitles;
    subtitles.number = 3;
    subtitles.applicationType = 1;
    subtitles.presentationGraphicsOnly = true;
    o.clips = {movie, popup, subtitles};
    return o;
}

}  // namespace tessel::authoring
