#include "cutdata/site_tree.h"

#include <algorithm>
#include <limits>

namespace vantrel {

SiteTree::SiteTree(std::vector<Site> sites, std::uint32_t figureCount, bool on) : sites_(std::move(sites)) {
    const std::size_t n = sites_.size();
    on_.assign(n, on ? 1 : 0);
    // Ranges halve down to the leaves, so the tree's depth is known ahead and
    // its nodes can sit in one array, children of i at 2i and 2i + 1.
    std::size_t leaves = 1;
    while (leaves * Leaf < n) leaves *= 2;
    nodes_.assign(2 * leaves, Node{0, 0, 0, 0, 0});
    if (n > 0) build(1, 0, n);
    figureStart_.assign(std::size_t{figureCount} + 1, 0);
    for (const Site& s : sites_) ++figureStart_[s.figure + 1];
    for (std::size_t f = 0; f < figureCount; ++f) figureStart_[f + 1] += figureStart_[f];
    byFigure_.resize(n);
    std::vector<std::uint32_t> next(figureStart_.begin(), figureStart_.end() - 1);
    for (std::size_t i = 0; i < n; ++i) byFigure_[next[sites_[i].figure]++] = static_cast<std::uint32_t>(i);
}

// Children first: a node's bounds and count are its children's together.
void SiteTree::build(std::size_t node, std::size_t lo, std::size_t hi) {
    Node& n = nodes_[node];
    if (hi - lo <= Leaf) {
        n.minX = n.minY = std::numeric_limits<double>::infinity();
        n.maxX = n.maxY = -std::numeric_limits<double>::infinity();
        n.on = 0;
        for (std::size_t i = lo; i < hi; ++i) {
            const OrderPoint p = sites_[i].point;
            n.minX = std::min(n.minX, p.x), n.maxX = std::max(n.maxX, p.x);
            n.minY = std::min(n.minY, p.y), n.maxY = std::max(n.maxY, p.y);
            n.on += on_[i] ? 1 : 0;
        }
        return;
    }
    // The wider spread of a sample decides the axis; a skewed split only costs time.
    double minX = sites_[lo].point.x, maxX = minX, minY = sites_[lo].point.y, maxY = minY;
    const std::size_t stride = std::max<std::size_t>(1, (hi - lo) / 64);
    for (std::size_t i = lo; i < hi; i += stride) {
        const OrderPoint p = sites_[i].point;
        minX = std::min(minX, p.x), maxX = std::max(maxX, p.x);
        minY = std::min(minY, p.y), maxY = std::max(maxY, p.y);
    }
    const bool alongX = maxX - minX >= maxY - minY;
    const std::size_t mid = lo + (hi - lo) / 2;
    std::nth_element(sites_.begin() + static_cast<std::ptrdiff_t>(lo), sites_.begin() + static_cast<std::ptrdiff_t>(mid),
                     sites_.begin() + static_cast<std::ptrdiff_t>(hi), [alongX](const Site& a, const Site& b) {
                         return alongX ? a.point.x < b.point.x : a.point.y < b.point.y;
                     });
    build(2 * node, lo, mid);
    build(2 * node + 1, mid, hi);
    const Node& a = nodes_[2 * node];
    const Node& b = nodes_[2 * node + 1];
    n.minX = std::min(a.minX, b.minX), n.maxX = std::max(a.maxX, b.maxX);
    n.minY = std::min(a.minY, b.minY), n.maxY = std::max(a.maxY, b.maxY);
    n.on = a.on + b.on;
}

void SiteTree::count(std::size_t position, int delta) {
    std::size_t node = 1, lo = 0, hi = sites_.size();
    while (true) {
        nodes_[node].on = static_cast<std::uint32_t>(static_cast<int>(nodes_[node].on) + delta);
        if (hi - lo <= Leaf) return;
        const std::size_t mid = lo + (hi - lo) / 2;
        if (position < mid) {
            node = 2 * node;
            hi = mid;
        } else {
            node = 2 * node + 1;
            lo = mid;
        }
    }
}

void SiteTree::setFigure(std::uint32_t figure, bool on) {
    for (std::uint32_t k = figureStart_[figure]; k < figureStart_[figure + 1]; ++k) {
        const std::uint32_t position = byFigure_[k];
        if ((on_[position] != 0) == on) continue;
        on_[position] = on;
        count(position, on ? 1 : -1);
    }
}

double SiteTree::boxDistance2(const Node& n, OrderPoint p) const {
    const double dx = p.x < n.minX ? n.minX - p.x : p.x > n.maxX ? p.x - n.maxX : 0;
    const double dy = p.y < n.minY ? n.minY - p.y : p.y > n.maxY ? p.y - n.maxY : 0;
    return dx * dx + dy * dy;
}

template <typename Consider>
void SiteTree::search(std::size_t node, std::size_t lo, std::size_t hi, OrderPoint p, double& bound,
                      Consider& consider) const {
    const Node& n = nodes_[node];
    if (n.on == 0 || boxDistance2(n, p) >= bound) return;
    if (hi - lo <= Leaf) {
        for (std::size_t i = lo; i < hi; ++i) {
            if (!on_[i]) continue;
            const double dx = sites_[i].point.x - p.x, dy = sites_[i].point.y - p.y;
            const double d2 = dx * dx + dy * dy;
            if (d2 < bound) consider(i, d2, bound);
        }
        return;
    }
    const std::size_t mid = lo + (hi - lo) / 2;
    const bool leftFirst = boxDistance2(nodes_[2 * node], p) <= boxDistance2(nodes_[2 * node + 1], p);
    if (leftFirst) {
        search(2 * node, lo, mid, p, bound, consider);
        search(2 * node + 1, mid, hi, p, bound, consider);
    } else {
        search(2 * node + 1, mid, hi, p, bound, consider);
        search(2 * node, lo, mid, p, bound, consider);
    }
}

const Site* SiteTree::nearest(OrderPoint p) const {
    if (sites_.empty()) return nullptr;
    double bound = std::numeric_limits<double>::infinity();
    const Site* best = nullptr;
    auto consider = [&](std::size_t i, double d2, double& b) {
        b = d2;
        best = &sites_[i];
    };
    search(1, 0, sites_.size(), p, bound, consider);
    return best;
}

void SiteTree::nearestK(OrderPoint p, std::size_t k, std::uint32_t skipFigure, std::vector<const Site*>& out) const {
    out.clear();
    if (sites_.empty() || k == 0) return;
    // The k best so far, nearest first; the bound is the k-th distance once there are k.
    std::vector<std::pair<double, const Site*>> best;
    best.reserve(k + 1);
    double bound = std::numeric_limits<double>::infinity();
    auto consider = [&](std::size_t i, double d2, double& b) {
        if (sites_[i].figure == skipFigure) return;
        auto at = std::upper_bound(best.begin(), best.end(), d2,
                                   [](double d, const std::pair<double, const Site*>& e) { return d < e.first; });
        best.insert(at, {d2, &sites_[i]});
        if (best.size() > k) best.pop_back();
        if (best.size() == k) b = best.back().first;
    };
    search(1, 0, sites_.size(), p, bound, consider);
    for (const auto& e : best) out.push_back(e.second);
}

}  // namespace vantrel
