#include "model/graphic_object.h"

#include "codec/colour.h"
#include "platform/files.h"
#include "platform/image_io.h"
#include "platform/text.h"

namespace tessel {

void CGraphicObject::Clear() {
    palette.reset();
    bitmap.reset();
}

void CGraphicObject::CopyItems(const CNamedObject& other) {
    CopyBase(other);
    auto* o = dynamic_cast<const CGraphicObject*>(&other);
    if (!o || o == this) return;
    imageFile = o->imageFile;
    palette.reset();
    if (o->palette) {
        palette = std::make_unique<CErgbPalette>();
        palette->CopyFrom(*o->palette);
    }
    bitmap = o->bitmap;
    width = o->width;
    height = o->height;
    saveStatus = o->saveStatus;
}

void CGraphicObject::Serialize(CArchive& ar) {
    CNamedObject::Serialize(ar);
    if (ar.IsStoring()) {
        std::string stored = RelativeToArchive(ar, imageFile);
        ar.Io(stored);
    } else {
        std::string stored;
        ar.Io(stored);
        imageFile.clear();
        if (!stored.empty()) SetImageFile(ResolveFromArchive(ar, stored));
    }
}

bool CGraphicObject::SetImageFile(const std::string& path) {
    if (EqualsNoCase(path, imageFile)) return false;
    if (path.empty()) {
        width = height = 0;
        imageFile.clear();
        palette.reset();
        return true;
    }
    Bitmap image;
    if (!LoadImage(path, image) || image.IsEmpty()) return false;
    width = image.Width();
    height = image.Height();
    if (!palette) palette = std::make_unique<CErgbPalette>();
    PaletteFromImage(image, 0.0, *palette);
    imageFile = path;
    if (name.empty() || CompareNoCase(name.substr(0, 7), "Graphic") == 0) name = FileTitle(path);
    return true;
}

CResultOf<Bitmap> CGraphicObject::IndexedPicture() const {
    Bitmap image;
    if (bitmap && !bitmap->IsEmpty()) {
        image = *bitmap;
    } else if (!imageFile.empty()) {
        if (CResult loaded = LoadImage(imageFile, image); !loaded) return loaded;
    } else {
        return Bitmap();
    }
    if (image.Format() == EPixelFormat::Indexed8) return image;
    return ToIndexed(image);
}

void CGoFolder::CopyFrom(const CNamedObject& other) {
    Clear();
    CopyBase(other);
    auto* o = dynamic_cast<const CGoFolder*>(&other);
    if (!o) return;
    for (const auto& i : o->items) {
        auto n = std::make_unique<CGraphicObject>();
        n->CopyFrom(*i);
        AppendItem(std::move(n));
    }
    for (const auto& f : o->folders) {
        auto n = std::make_unique<CGoFolder>();
        n->CopyFrom(*f);
        AppendFolder(std::move(n));
    }
}

void CGoFolder::Serialize(CArchive& ar) {
    CNamedObject::Serialize(ar);
    int32_t n = static_cast<int32_t>(items.size());
    ar.Io(n);
    if (ar.IsLoading()) {
        Clear();
        if (n < 0) {
            ar.Fail("negative object count");
            return;
        }
        if (!ar.CheckCount(static_cast<uint64_t>(n), kMinArchivedObject, "graphic object")) return;
        for (int32_t i = 0; i < n && !ar.Failed(); ++i) {
            auto o = std::make_unique<CGraphicObject>();
            o->Serialize(ar);
            AppendItem(std::move(o));
        }
    } else {
        for (auto& o : items) o->Serialize(ar);
    }
    int32_t m = static_cast<int32_t>(folders.size());
    ar.Io(m);
    if (ar.IsLoading()) {
        if (m < 0) {
            ar.Fail("negative folder count");
            return;
        }
        if (!ar.CheckCount(static_cast<uint64_t>(m), kMinArchivedObject, "folder")) return;
        for (int32_t i = 0; i < m && !ar.Failed(); ++i) {
            auto f = std::make_unique<CGoFolder>();
            f->Serialize(ar);
            AppendFolder(std::move(f));
        }
    } else {
        for (auto& f : folders) f->Serialize(ar);
    }
}

CGraphicObject* CGoFolder::AddNewObject() {
    return AppendItem(std::make_unique<CGraphicObject>());
}

CGraphicObjectList CGoFolder::List() const {
    CGraphicObjectList out;
    CollectItems(out);
    return out;
}

std::string RelativeToArchive(const CArchive& ar, const std::string& path) {
    if (ar.folder.empty() || path.size() <= ar.folder.size()) return path;
    if (path.compare(0, ar.folder.size(), ar.folder) != 0) return path;
    return path.substr(ar.folder.size());
}

std::string ResolveFromArchive(const CArchive& ar, const std::string& stored) {
    if (stored.empty() || stored.front() == kPathSeparator || ar.folder.empty()) return stored;
    return JoinPath(ar.folder, stored);
}

bool CGraphicObject::SavePicture(const std::string& folder) {
    if (!HasPicture()) return false;
    saveStatus = SavePng(JoinPath(folder, PictureFileName()), *bitmap).Ok() ? 0 : 1;
    return saveStatus == 0;
}

std::string CGraphicObject::PictureFileName() const {
    return StrFormat("%04d.png", id + 1);
}

}  // namespace tessel
