// Automatic neighbours of the default valid buttons of a page.
#include "model/auto_neighbors.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "model/page.h"

namespace tessel {

namespace {

struct SRect {
    int left = 0, top = 0, right = 0, bottom = 0;
    int Cx() const { return (left + right) / 2; }
    int Cy() const { return (top + bottom) / 2; }
};

bool Intersects(const SRect& a, const SRect& b) {
    return std::min(a.right, b.right) > std::max(a.left, b.left) &&
           std::min(a.bottom, b.bottom) > std::max(a.top, b.top);
}

bool SetNeighbor(CRef<CBdButton>& ref, CBdButton* target) {
    bool changed = ref.ptr != target;
    ref.Set(target);
    return changed;
}

// One axis of the geometric search. "Along" is the axis the neighbours lie on
// (x for left/right), "across" the other one. Returns (before, after).
struct SAxis {
    int (*lo)(const SRect&);
    int (*hi)(const SRect&);
    int (*centre)(const SRect&);
    int (*centreAcross)(const SRect&);
    SRect (*band)(const SRect& r, const SRect& r2);
};

std::pair<int, int> SearchAxis(const std::vector<SRect>& rects, const std::vector<bool>& hasRect,
                               size_t self, const SAxis& ax) {
    const SRect& r = rects[self];
    std::vector<size_t> row;
    double bestBefore = 65535, bestAfter = 65535;
    int before = -1, after = -1;
    for (size_t j = 0; j < rects.size(); ++j) {
        if (j == self || !hasRect[j]) continue;
        const SRect& r2 = rects[j];
        if (Intersects(r, ax.band(r, r2))) {
            row.push_back(j);
            continue;
        }
        int d = std::abs(ax.centre(r) - ax.centre(r2));
        double ratio =
            d == 0 ? 1e300 : double(std::abs(ax.centreAcross(r) - ax.centreAcross(r2))) / d;
        if (ax.hi(r2) < ax.lo(r) && ratio < bestBefore) {
            bestBefore = ratio;
            before = static_cast<int>(j);
        } else if (ax.lo(r2) > ax.hi(r) && ratio < bestAfter) {
            bestAfter = ratio;
            after = static_cast<int>(j);
        }
    }
    if (row.empty()) return {before, after};
    before = after = -1;
    for (size_t j : row) {
        int l2 = ax.lo(rects[j]);
        if (l2 < ax.lo(r)) {
            if (before < 0 || l2 > ax.lo(rects[static_cast<size_t>(before)]))
                before = static_cast<int>(j);
        } else if (after < 0 || l2 < ax.lo(rects[static_cast<size_t>(after)])) {
            after = static_cast<int>(j);
        }
    }
    if (before < 0)
        for (size_t j : row)
            if (before < 0 || ax.hi(rects[j]) > ax.hi(rects[static_cast<size_t>(before)]))
                before = static_cast<int>(j);
    if (after < 0)
        for (size_t j : row)
            if (after < 0 || ax.lo(rects[j]) < ax.lo(rects[static_cast<size_t>(after)]))
                after = static_cast<int>(j);
    return {before, after};
}

}  // namespace

bool AutoNeighbors(CPage& page, int mode) {
    std::vector<CBdButton*> list;
    std::vector<CBog*> groups;
    for (const auto& g : page.items)
        if (g->defaultValid.ptr) {
            list.push_back(g->defaultValid.ptr);
            groups.push_back(g.get());
        }
    const size_t n = list.size();
    if (n <= 1) return false;
    bool changed = false;
    if (mode == 1) {
        for (size_t i = 0; i < n; ++i) {
            CBdButton* prev = list[(i + n - 1) % n];
            CBdButton* next = list[(i + 1) % n];
            CNeighborInfo& nb = list[i]->neighbors;
            changed |= SetNeighbor(nb.upper, prev);
            changed |= SetNeighbor(nb.left, prev);
            changed |= SetNeighbor(nb.lower, next);
            changed |= SetNeighbor(nb.right, next);
        }
        return changed;
    }
    std::vector<SRect> rects(n);
    std::vector<bool> hasRect(n);
    for (size_t i = 0; i < n; ++i) {
        SRect& r = rects[i];
        hasRect[i] = list[i]->GetRect(r.left, r.top, r.right, r.bottom);
    }
    static const SAxis kHorizontal = {
        [](const SRect& r) { return r.left; }, [](const SRect& r) { return r.right; },
        [](const SRect& r) { return r.Cx(); }, [](const SRect& r) { return r.Cy(); },
        [](const SRect& r, const SRect& r2) {
            return SRect{r.left, r2.top, r.right, r2.bottom};
        }};
    static const SAxis kVertical = {
        [](const SRect& r) { return r.top; }, [](const SRect& r) { return r.bottom; },
        [](const SRect& r) { return r.Cy(); }, [](const SRect& r) { return r.Cx(); },
        [](const SRect& r, const SRect& r2) {
            return SRect{r2.left, r.top, r2.right, r.bottom};
        }};
    for (size_t i = 0; i < n; ++i) {
        auto [left, right] = SearchAxis(rects, hasRect, i, kHorizontal);
        auto [up, down] = SearchAxis(rects, hasRect, i, kVertical);
        for (const auto& b : groups[i]->items) {
            CNeighborInfo& nb = b->neighbors;
            if (up >= 0) changed |= SetNeighbor(nb.upper, list[static_cast<size_t>(up)]);
            if (down >= 0) changed |= SetNeighbor(nb.lower, list[static_cast<size_t>(down)]);
            if (left >= 0) changed |= SetNeighbor(nb.left, list[static_cast<size_t>(left)]);
            if (right >= 0) changed |= SetNeighbor(nb.right, list[static_cast<size_t>(right)]);
        }
    }
    return changed;
}

}  // namespace tessel
