#include "cutdata/tour_search.h"

#include <algorithm>
#include <cstddef>

#include "cutdata/site_tree.h"

namespace vantrel {
namespace {

constexpr OrderPoint Origin{0, 0};
// Gains below this (steps) are rounding, not shorter travel.
constexpr double Epsilon = 1e-6;
constexpr std::size_t NeighbourCount = 8;
constexpr std::size_t LongestSegmentMoved = 3;
constexpr int EntryRounds = 3;
// Moves that would shift more figures than this in the tour are passed over:
// each costs its length, and the few long ones gain little.
constexpr long LongestShift = 1000;

std::vector<Site> entrySites(const FigureTable& table) {
    std::vector<Site> sites;
    sites.reserve(table.entries.size());
    for (std::uint32_t f = 0; f < table.size(); ++f) {
        const OrderFigure& g = table.figures[f];
        for (std::uint32_t k = 0; k < g.entryCount; ++k) {
            const std::uint32_t step = table.entries[g.firstEntry + k];
            sites.push_back({table.at(step), f, step});
        }
    }
    return sites;
}

FigureVisit visitFrom(const FigureTable& table, std::uint32_t f, std::uint32_t step) {
    const OrderFigure& g = table.figures[f];
    if (g.loop) return {step, false};
    return {g.begin, step != g.begin && step == g.end - 1};
}

class LocalSearch {
public:
    LocalSearch(const FigureTable& table, const Containment* containment, Tour& tour)
        : t_(table), c_(containment), order_(tour.order), v_(tour.visits), n_(static_cast<long>(tour.order.size())) {
        pos_.resize(order_.size());
        for (long p = 0; p < n_; ++p) pos_[order_[p]] = p;
        in_.resize(order_.size());
        out_.resize(order_.size());
        for (std::uint32_t f = 0; f < order_.size(); ++f) refresh(f);
        // Enough work for every figure to be looked at many times over, and
        // no more: a tour that still improves then is kept as it stands.
        budget_ = 4000 * static_cast<long long>(n_) + 1000000;
        findNeighbours();
        allReversible_ = std::all_of(order_.begin(), order_.end(), [&](std::uint32_t f) { return reversible(f); });
        queued_.assign(order_.size(), 0);
    }

    void run() {
        for (long p = 0; p < n_; ++p) push(p);
        improve();
        // Entries chosen again look at the figures around them once more.
        for (int round = 0; round < EntryRounds && budget_ > 0; ++round) {
            if (!chooseEntries()) break;
            improve();
        }
    }

private:
    OrderPoint entry(std::uint32_t f) const { return in_[f]; }
    OrderPoint exit(std::uint32_t f) const { return out_[f]; }
    void refresh(std::uint32_t f) {
        in_[f] = entryPoint(t_, f, v_[f]);
        out_[f] = exitPoint(t_, f, v_[f]);
    }
    OrderPoint exitAt(long p) const { return p < 0 ? Origin : exit(order_[p]); }
    OrderPoint entryAt(long p) const { return p >= n_ ? Origin : entry(order_[p]); }
    bool reversible(std::uint32_t f) const { return t_.figures[f].loop || t_.figures[f].reversible; }

    void findNeighbours() {
        std::vector<Site> sites(order_.size());
        for (std::uint32_t f = 0; f < order_.size(); ++f) {
            const OrderPoint a = entry(f), b = exit(f);
            sites[f] = {{(a.x + b.x) / 2, (a.y + b.y) / 2}, f, f};
        }
        const std::vector<Site> points = sites;
        SiteTree tree(std::move(sites), static_cast<std::uint32_t>(order_.size()), true);
        const std::size_t k = std::min<std::size_t>(NeighbourCount, order_.size() > 0 ? order_.size() - 1 : 0);
        neighbours_.assign(order_.size() * k, 0);
        k_ = k;
        std::vector<const Site*> found;
        for (std::uint32_t f = 0; f < order_.size(); ++f) {
            tree.nearestK(points[f].point, k, f, found);
            for (std::size_t i = 0; i < k; ++i) neighbours_[f * k + i] = i < found.size() ? found[i]->figure : f;
        }
    }

    void push(long p) {
        if (p < 0 || p >= n_) return;
        const std::uint32_t f = order_[p];
        if (queued_[f]) return;
        queued_[f] = 1;
        queue_.push_back(f);
    }

    // Looks around every figure queued, and those next to each move made.
    void improve() {
        for (std::size_t head = 0; head < queue_.size() && budget_ > 0; ++head) {
            const std::uint32_t f = queue_[head];
            queued_[f] = 0;
            if (improveAround(f)) push(pos_[f]);
            // The queue only grows; drop what has been looked at now and then.
            if (head > 4 * order_.size() + 1024) {
                queue_.erase(queue_.begin(), queue_.begin() + static_cast<std::ptrdiff_t>(head + 1));
                head = static_cast<std::size_t>(-1);
            }
        }
        queue_.clear();
        std::fill(queued_.begin(), queued_.end(), 0);
    }

    // 2-opt: figures s..e cut in the reverse order (each reversed in itself).
    double reversalGain(long s, long e) const {
        const OrderPoint before = exitAt(s - 1), after = entryAt(e + 1);
        const OrderPoint first = entry(order_[s]), last = exit(order_[e]);
        return distance(before, first) + distance(last, after) - distance(before, last) - distance(first, after);
    }

    bool inRange(std::uint32_t f, long s, long e) const { return pos_[f] >= s && pos_[f] <= e; }

    bool canReverse(long s, long e) {
        if (!c_ && allReversible_) return true;
        budget_ -= e - s + 1;
        for (long p = s; p <= e; ++p) {
            const std::uint32_t f = order_[p];
            if (!reversible(f)) return false;
            // In a tour that keeps the rule, containers come in order of
            // nesting: if any lies in the range, the nearest does.
            if (c_ && c_->parent[f] != Containment::None && inRange(c_->parent[f], s, e)) return false;
        }
        return true;
    }

    void reverse(long s, long e) {
        budget_ -= e - s + 1;
        std::reverse(order_.begin() + s, order_.begin() + e + 1);
        for (long p = s; p <= e; ++p) {
            const std::uint32_t f = order_[p];
            pos_[f] = p;
            if (t_.figures[f].loop) continue;
            v_[f].reversed = !v_[f].reversed;
            std::swap(in_[f], out_[f]);
        }
        push(s - 1), push(s), push(e), push(e + 1);
    }

    bool tryReversal(long s, long e) {
        if (s < 0 || e >= n_ || s > e || e - s >= LongestShift) return false;
        --budget_;
        if (reversalGain(s, e) <= Epsilon || !canReverse(s, e)) return false;
        reverse(s, e);
        return true;
    }

    // Or-opt: figures s..s+length-1 moved to between positions q and q + 1.
    double moveGain(long s, long length, long q, bool reversed) const {
        const long e = s + length - 1;
        const OrderPoint before = exitAt(s - 1), after = entryAt(e + 1);
        const OrderPoint first = entry(order_[s]), last = exit(order_[e]);
        const OrderPoint a = exitAt(q), b = entryAt(q + 1);
        const double removed = distance(before, first) + distance(last, after) - distance(before, after);
        const double added = reversed ? distance(a, last) + distance(first, b) - distance(a, b)
                                      : distance(a, first) + distance(last, b) - distance(a, b);
        return removed - added;
    }

    // Whether moving s..e to after q passes a container of f: the first
    // outside the range, as the tour keeps the rule, comes before all others.
    bool passesContainer(std::uint32_t f, long s, long e, long q) const {
        std::uint32_t g = c_->parent[f];
        while (g != Containment::None && inRange(g, s, e)) g = c_->parent[g];
        return g != Containment::None && pos_[g] <= q;
    }

    // Whether moving s..e to after q (q < s) passes a figure inside f: one
    // cut after q is, of those outside the range, an outermost one.
    bool passesContent(std::uint32_t f, long s, long e, long q) const {
        for (std::uint32_t k = c_->childStart[f]; k < c_->childStart[f + 1]; ++k) {
            const std::uint32_t g = c_->children[k];
            if (inRange(g, s, e) ? passesContent(g, s, e, q) : pos_[g] > q) return true;
        }
        return false;
    }

    bool canMove(long s, long length, long q, bool reversed) {
        const long e = s + length - 1;
        if (reversed && !canReverse(s, e)) return false;
        if (!c_) return true;
        for (long p = s; p <= e; ++p) {
            const std::uint32_t f = order_[p];
            // Later: nothing it lies inside may be passed; earlier: nothing inside it.
            const bool later = q > e;
            // Charged as a walk of all of them, so the search's work stays as set.
            budget_ -= later ? c_->depth[f] : c_->descendants[f];
            if (later ? passesContainer(f, s, e, q) : passesContent(f, s, e, q)) return false;
        }
        return true;
    }

    void move(long s, long length, long q, bool reversed) {
        long from, to, placed;
        if (q < s) {
            std::rotate(order_.begin() + q + 1, order_.begin() + s, order_.begin() + s + length);
            from = q + 1, to = s + length - 1, placed = q + 1;
        } else {
            std::rotate(order_.begin() + s, order_.begin() + s + length, order_.begin() + q + 1);
            from = s, to = q, placed = q + 1 - length;
        }
        budget_ -= to - from + 1;
        for (long p = from; p <= to; ++p) pos_[order_[p]] = p;
        if (reversed) reverse(placed, placed + length - 1);
        push(s - 1), push(s), push(placed - 1), push(placed), push(placed + length - 1), push(placed + length);
    }

    bool tryMove(long s, long length, long q, bool reversed) {
        const long e = s + length - 1;
        if (s < 0 || e >= n_ || (q >= s - 1 && q <= e) || q < -1 || q >= n_) return false;
        if ((q < s ? s - q : q - e) > LongestShift) return false;
        --budget_;
        if (moveGain(s, length, q, reversed) <= Epsilon || !canMove(s, length, q, reversed)) return false;
        move(s, length, q, reversed);
        return true;
    }

    // Moves that join a to one of its nearest neighbours c. A move is only
    // worth trying while a and c lie closer than a's longer tour edge (the
    // neighbours come nearest first).
    bool improveAround(std::uint32_t a) {
        const long pa = pos_[a];
        const double longer = std::max(distance(exitAt(pa - 1), entry(a)), distance(exit(a), entryAt(pa + 1)));
        for (std::size_t i = 0; i < k_; ++i) {
            const std::uint32_t c = neighbours_[a * k_ + i];
            if (c == a) continue;
            if (std::min({distance(exit(a), exit(c)), distance(entry(a), entry(c)), distance(exit(a), entry(c)),
                          distance(entry(a), exit(c))}) >= longer)
                break;
            const long pc = pos_[c];
            // a's exit next to c's exit, or a's entry next to c's entry.
            if (pa < pc ? tryReversal(pa + 1, pc) : tryReversal(pc + 1, pa)) return true;
            if (pa < pc ? tryReversal(pa, pc - 1) : tryReversal(pc, pa - 1)) return true;
            // a's segment next to c: after it entered at a, or before it left at a.
            for (long length = 1; length <= static_cast<long>(LongestSegmentMoved); ++length) {
                const long first = pa, last = pa - length + 1;
                if (tryMove(first, length, pc, false) || tryMove(first, length, pc - 1, true) ||
                    tryMove(last, length, pc - 1, false) || tryMove(last, length, pc, true))
                    return true;
            }
        }
        return false;
    }

    // Every loop entered again where it costs least between its neighbours.
    bool chooseEntries() {
        bool changed = false;
        for (long p = 0; p < n_; ++p) {
            const std::uint32_t f = order_[p];
            const OrderFigure& g = t_.figures[f];
            if (!g.loop || g.entryCount < 2) continue;
            const OrderPoint a = exitAt(p - 1), b = entryAt(p + 1);
            std::uint32_t best = v_[f].entry;
            double bestCost = distance(a, t_.at(best)) + distance(t_.at(best), b) - Epsilon;
            budget_ -= g.entryCount;
            for (std::uint32_t k = g.firstEntry; k < g.firstEntry + g.entryCount; ++k) {
                const OrderPoint q = t_.at(t_.entries[k]);
                const double cost = distance(a, q) + distance(q, b);
                if (cost < bestCost) {
                    bestCost = cost;
                    best = t_.entries[k];
                }
            }
            if (best != v_[f].entry) {
                v_[f].entry = best;
                refresh(f);
                push(p - 1), push(p), push(p + 1);
                changed = true;
            }
        }
        return changed;
    }

    const FigureTable& t_;
    const Containment* c_;
    std::vector<std::uint32_t>& order_;
    std::vector<FigureVisit>& v_;
    long n_;
    std::vector<long> pos_;
    std::vector<OrderPoint> in_, out_;  // each figure's entry and exit, as visited now
    std::vector<std::uint32_t> neighbours_;
    std::size_t k_ = 0;
    std::vector<std::uint32_t> queue_;
    std::vector<char> queued_;
    long long budget_ = 0;
    bool allReversible_ = false;
};

}  // namespace

double tourTravel(const FigureTable& t, const std::vector<std::uint32_t>& order, const std::vector<FigureVisit>& visits) {
    double travel = 0;
    OrderPoint pen = Origin;
    for (std::uint32_t f : order) {
        travel += distance(pen, entryPoint(t, f, visits[f]));
        pen = exitPoint(t, f, visits[f]);
    }
    return travel + distance(pen, Origin);
}

Tour drawingTour(const FigureTable& table) {
    Tour tour;
    tour.order.resize(table.size());
    tour.visits.resize(table.size());
    for (std::uint32_t f = 0; f < table.size(); ++f) {
        tour.order[f] = f;
        tour.visits[f] = {table.figures[f].begin, false};
    }
    return tour;
}

Tour greedyTour(const FigureTable& table, const Containment* containment) {
    Tour tour;
    const std::uint32_t n = table.size();
    tour.order.reserve(n);
    tour.visits.resize(n);
    SiteTree tree(entrySites(table), n, true);
    std::vector<std::uint32_t> pending(n, 0);
    std::vector<char> done(n, 0);
    for (std::uint32_t f = 0; f < n; ++f) {
        if (containment) pending[f] = containment->childStart[f + 1] - containment->childStart[f];
        tour.visits[f] = {table.figures[f].begin, false};
        if (pending[f] != 0) tree.setFigure(f, false);
    }
    OrderPoint pen = Origin;
    while (const Site* site = tree.nearest(pen)) {
        const std::uint32_t f = site->figure;
        tree.setFigure(f, false);
        tour.visits[f] = visitFrom(table, f, site->tag);
        tour.order.push_back(f);
        done[f] = 1;
        pen = exitPoint(table, f, tour.visits[f]);
        if (!containment) continue;
        const std::uint32_t container = containment->parent[f];
        if (container != Containment::None && --pending[container] == 0) tree.setFigure(container, true);
    }
    // Containment has no cycles (a container encloses more area), so this
    // only catches figures without an entry, should there be any.
    for (std::uint32_t f = 0; f < n; ++f)
        if (!done[f]) tour.order.push_back(f);
    return tour;
}

void improveTour(const FigureTable& table, const Containment* containment, Tour& tour) {
    if (tour.order.size() < 1) return;
    LocalSearch(table, containment, tour).run();
}

bool keepsContainment(const Tour& tour, const Containment& containment) {
    std::vector<std::size_t> position(tour.order.size());
    for (std::size_t p = 0; p < tour.order.size(); ++p) position[tour.order[p]] = p;
    for (std::uint32_t f = 0; f < tour.order.size(); ++f)
        if (containment.parent[f] != Containment::None && position[containment.parent[f]] < position[f]) return false;
    return true;
}

}  // namespace vantrel
