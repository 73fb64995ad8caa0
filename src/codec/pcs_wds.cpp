#include "codec/pcs_wds.h"

#include "platform/text.h"

namespace tessel {

void SCropRect::Read(CByteReader& r) {
    x = r.U16();
    y = r.U16();
    width = r.U16();
    height = r.U16();
}

void SCropRect::Write(CByteWriter& w) const {
    w.U16(x);
    w.U16(y);
    w.U16(width);
    w.U16(height);
}

int SCompositionObject::Read(CByteReader& r) {
    const size_t start = r.Pos();
    objectIdRef = r.U16();
    windowIdRef = r.U8();
    const uint8_t flags = r.U8();
    cropped = (flags & 0x80) != 0;
    forcedOn = (flags & 0x40) != 0;
    lowBits = flags & 0x3F;
    x = r.U16();
    y = r.U16();
    if (cropped) crop.Read(r);
    return r.Failed() ? 0 : static_cast<int>(r.Pos() - start);
}

int SCompositionObject::Write(CByteWriter& w) const {
    const size_t start = w.Pos();
    w.U16(objectIdRef);
    w.U8(windowIdRef);
    w.U8((cropped ? 0x80u : 0u) | (forcedOn ? 0x40u : 0u));
    w.U16(x);
    w.U16(y);
    if (cropped) crop.Write(w);
    return static_cast<int>(w.Pos() - start);
}

bool SWindow::Read(CByteReader& r) {
    id = r.U8();
    x = r.U16();
    y = r.U16();
    width = r.U16();
    height = r.U16();
    return !r.Failed();
}

void SWindow::Write(CByteWriter& w) const {
    w.U8(id);
    w.U16(x);
    w.U16(y);
    w.U16(width);
    w.U16(height);
}

int CPcs::Parse(std::span<const uint8_t> payload) {
    CByteReader r(payload);
    video.Read(r);
    compositionNumber = r.U16();
    const uint8_t comp = r.U8();
    compositionState = comp >> 6;
    compositionLowBits = comp & 0x3F;
    paletteUpdate = (r.U8() & 0x80) != 0;
    paletteIdRef = r.U8();
    const int n = r.U8();
    Clear();
    if (r.Failed()) return static_cast<int>(payload.size());
    for (int i = 0; i < n; ++i) {
        const size_t at = r.Pos();
        SCompositionObject o;
        if (!o.Read(r)) return static_cast<int>(at);
        objects.push_back(o);
    }
    return static_cast<int>(r.Pos());
}

void CPcs::WritePayload(CByteWriter& w) {
    video.Write(w);
    w.U16(compositionNumber);
    w.U8(static_cast<uint32_t>((compositionState & 3) << 6 | (compositionLowBits & 0x3F)));
    w.U8(paletteUpdate ? 0x80 : 0);
    w.U8(paletteIdRef);
    const size_t n = objects.size() < 255 ? objects.size() : 255;
    w.U8(static_cast<uint32_t>(n));
    for (size_t i = 0; i < n; ++i) objects[i].Write(w);
}

void CPcs::Dump(std::string& out, const std::string& indent) const {
    CSegmentBase::Dump(out, indent);
    const std::string inner = indent + " ";
    const char* in = indent.c_str();
    const char* inn = inner.c_str();
    DumpVideoDescriptor(out, indent, video);
    out += StrFormat("%s%s: \n", in, "CompositionDescriptor");
    out += StrFormat("%s%s: %d\n", inn, "CompositionNumber", compositionNumber);
    out += StrFormat("%s%s: %d(%s)\n", inn, "CompositionState", compositionState,
                     CompositionStateName(compositionState));
    out += StrFormat("%s%s: %d\n", in, "PaletteUpdateFlag", paletteUpdate ? 1 : 0);
    out += StrFormat("%s%s: %d\n", in, "PaletteIdRef", paletteIdRef);
    out +=
        StrFormat("%s%s: %d\n", in, "NumberOfCompositionObjects", static_cast<int>(objects.size()));
    int k = 0;
    for (const SCompositionObject& o : objects) {
        out += StrFormat("%s%s %d:\n", in, "CompositionObject", ++k);
        out += StrFormat("%s%s: %d\n", inn, "ObjectIdRef", o.objectIdRef);
        out += StrFormat("%s%s: %d\n", inn, "WindowIdRef", o.windowIdRef);
        out += StrFormat("%s%s: %d\n", inn, "ObjectCroppedFlag", o.cropped ? 1 : 0);
        out += StrFormat("%s%s: %d\n", inn, "ForcedOnFlag", o.forcedOn ? 1 : 0);
        out += StrFormat("%s%s: %d\n", inn, "CompositionObjectHorPos", o.x);
        out += StrFormat("%s%s: %d\n", inn, "CompositionObjectVerPos", o.y);
        if (o.cropped) {
            out += StrFormat("%s%s: %d\n", inn, "ObjectCroppingHorPos", o.crop.x);
            out += StrFormat("%s%s: %d\n", inn, "ObjectCroppingVerPos", o.crop.y);
            out += StrFormat("%s%s: %d\n", inn, "ObjectCroppingWidth", o.crop.width);
            out += StrFormat("%s%s: %d\n", inn, "ObjectCroppingHeight", o.crop.height);
        }
    }
}

int CWds::Parse(std::span<const uint8_t> payload) {
    CByteReader r(payload);
    const int n = r.U8();
    Clear();
    if (r.Failed()) return 0;
    for (int i = 0; i < n && r.Remaining() >= SWindow::kSize; ++i) {
        SWindow win;
        win.Read(r);
        windows.push_back(win);
    }
    return static_cast<int>(r.Pos());
}

int CWds::Write(uint8_t* out) {
    if (windows.size() > kMaxWindows) return 0;
    return CSegmentBase::Write(out);
}

void CWds::WritePayload(CByteWriter& w) {
    w.U8(static_cast<uint32_t>(windows.size()));
    for (const SWindow& win : windows) win.Write(w);
}

void CWds::Dump(std::string& out, const std::string& indent) const {
    CSegmentBase::Dump(out, indent);
    const std::string inner = indent + " ";
    const char* in = indent.c_str();
    const char* inn = inner.c_str();
    out += StrFormat("%s%s: %d\n", in, "NumberOfWindows", static_cast<int>(windows.size()));
    int k = 0;
    for (const SWindow& win : windows) {
        out += StrFormat("%s%s %d:\n", in, "Window", ++k);
        out += StrFormat("%s%s: %d\n", inn, "WindowID", win.id);
        out += StrFormat("%s%s/%s: %d/%d\n", inn, "HorPos", "VerPos", win.x, win.y);
        out += StrFormat("%s%s/%s: %d/%d\n", inn, "Width", "Height", win.width, win.height);
    }
}

}  // namespace tessel
