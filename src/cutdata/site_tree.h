#pragma once
// A k-d tree of points ("sites"), each belonging to a figure, that are
// switched on and off figure by figure: the nearest site that is on is found
// in about log n steps however many are off, because every node counts the
// sites on below it. Built once, in O(n log n); memory linear. Internal to
// the cut order.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "cutdata/order_figures.h"

namespace vantrel {

struct Site {
    OrderPoint point;
    std::uint32_t figure = 0;
    std::uint32_t tag = 0;  // the owner's: a step index, or a figure
};

class SiteTree {
public:
    // Every site starts on, or off.
    SiteTree(std::vector<Site> sites, std::uint32_t figureCount, bool on);

    void setFigure(std::uint32_t figure, bool on);

    // The nearest site that is on; null when none is.
    const Site* nearest(OrderPoint p) const;
    // Up to k sites that are on, nearest first, leaving out `skipFigure`'s.
    void nearestK(OrderPoint p, std::size_t k, std::uint32_t skipFigure, std::vector<const Site*>& out) const;

private:
    static constexpr std::size_t Leaf = 8;
    struct Node {
        double minX, minY, maxX, maxY;
        std::uint32_t on;
    };
    void build(std::size_t node, std::size_t lo, std::size_t hi);
    void count(std::size_t position, int delta);
    double boxDistance2(const Node& n, OrderPoint p) const;
    template <typename Consider>
    void search(std::size_t node, std::size_t lo, std::size_t hi, OrderPoint p, double& bound, Consider& consider) const;

    std::vector<Site> sites_;
    std::vector<char> on_;
    std::vector<Node> nodes_;
    // Positions of each figure's sites, figure by figure.
    std::vector<std::uint32_t> figureStart_;
    std::vector<std::uint32_t> byFigure_;
};

}  // namespace vantrel
