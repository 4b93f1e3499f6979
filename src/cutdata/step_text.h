#pragma once
// The cut stream's text writers: the body of a prepared path in either form,
// written into a sink that only measures, one that writes into text made at
// its exact size, or one that hands the text on in blocks. Internal to the
// cut stream; everything here is inline because it runs once per coordinate.
#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "cutdata/cut_stream.h"
#include "cutdata/step_path.h"

namespace vantrel {

// Digits of the decimal form, sign included. Branch-free: coordinates of
// mixed lengths would otherwise defeat the branch predictor.
inline int digitCount(std::int32_t value) {
    static constexpr std::uint32_t PowersOfTen[] = {1,      10,      100,      1000,      10000,
                                                    100000, 1000000, 10000000, 100000000, 1000000000};
    const std::uint32_t magnitude =
        value < 0 ? 0u - static_cast<std::uint32_t>(value) : static_cast<std::uint32_t>(value);
    // Setting the low bit changes no digit count and lets 0 count as one digit.
    const std::uint32_t odd = magnitude | 1u;
    // log10 from log2: 1233 / 4096 is just above log10(2).
    const int estimate = ((32 - std::countl_zero(odd)) * 1233) >> 12;
    return estimate + 1 - (odd < PowersOfTen[estimate] ? 1 : 0) + (value < 0 ? 1 : 0);
}

// Two sinks behind one writer: the first run only measures, so the job text
// is allocated once at its exact size and never copied while it grows.
// It counts in 64 bits: in a 32-bit process a big flattened job could
// otherwise wrap the count and the text be made too short for what is written.
class MeasuringSink {
public:
    void makeRoom() {}
    void put(char) { ++size_; }
    void put(std::string_view text) { size_ += text.size(); }
    void put(std::int32_t value) { size_ += static_cast<std::uint64_t>(digitCount(value)); }
    std::uint64_t size() const { return size_; }

private:
    std::uint64_t size_ = 0;
};

class WritingSink {
public:
    explicit WritingSink(char* out) : out_(out) {}
    void makeRoom() {}
    void put(char c) { *out_++ = c; }
    void put(std::string_view text) {
        text.copy(out_, text.size());
        out_ += text.size();
    }
    // The same digits as std::to_chars, written back to front two at a time
    // into the room digitCount says they take, inline in the writing loop.
    void put(std::int32_t value) {
        static constexpr char Pairs[] =
            "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
            "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
            "8081828384858687888990919293949596979899";
        const int length = digitCount(value);
        std::uint32_t magnitude = value < 0 ? 0u - static_cast<std::uint32_t>(value) : static_cast<std::uint32_t>(value);
        if (value < 0) *out_ = '-';
        char* end = out_ + length;
        char* p = end;
        // A pair at a time, each in one two-byte store.
        while (magnitude >= 100) {
            const std::uint32_t rest = magnitude / 100;
            p -= 2;
            std::memcpy(p, Pairs + (magnitude - rest * 100) * 2, 2);
            magnitude = rest;
        }
        if (magnitude >= 10) {
            p -= 2;
            std::memcpy(p, Pairs + magnitude * 2, 2);
        } else {
            *--p = static_cast<char>('0' + magnitude);
        }
        out_ = end;
    }
    char* position() const { return out_; }

protected:
    char* out_;
};

// Writes into a fixed block and hands it to a CutStreamWriter whenever a
// command might not fit any more. The body writers ask for room once per
// command; no command is longer than MaxCommand bytes.
class StreamingSink : public WritingSink {
public:
    static constexpr std::size_t BlockSize = std::size_t{1} << 16;
    static constexpr std::size_t MaxCommand = 128;

    StreamingSink(char* block, CutStreamWriter& writer) : WritingSink(block), block_(block), writer_(&writer) {}
    void makeRoom() {
        if (static_cast<std::size_t>(out_ - block_) > BlockSize - MaxCommand) flush();
    }
    void put(char c) { WritingSink::put(c); }
    void put(std::int32_t value) { WritingSink::put(value); }
    void put(std::string_view text) {
        while (!text.empty()) {
            makeRoom();
            const std::size_t piece = std::min(text.size(), MaxCommand);
            WritingSink::put(text.substr(0, piece));
            text.remove_prefix(piece);
        }
    }
    // False once the writer has refused a block; what follows is dropped.
    bool flush() {
        if (ok_ && out_ != block_) ok_ = writer_->write(block_, static_cast<std::size_t>(out_ - block_));
        out_ = block_;
        return ok_;
    }

private:
    char* block_;
    CutStreamWriter* writer_;
    bool ok_ = true;
};

template <typename Sink>
[[gnu::always_inline]] inline void putPair(Sink& sink, StepPoint p) {
    sink.put(p.y);
    sink.put(',');
    sink.put(p.x);
}

inline int pairLength(StepPoint p) { return digitCount(p.y) + 1 + digitCount(p.x); }

// Writes the body of the prepared path (see the header for both forms).
class BodyWriter {
public:
    BodyWriter(const StepPath& steps, int passCount, bool keepCurves)
        : steps_(steps), passCount_(passCount), keepCurves_(keepCurves) {}

    template <typename Sink>
    void write(Sink& out) const {
        // A local copy the compiler can keep in a register: stores through a
        // char pointer could otherwise alias the sink and force a reload per byte.
        Sink sink = out;
        const std::size_t n = steps_.size();
        bool drawListMustBegin = false;
        for (std::size_t begin = 0; begin < n;) {
            std::size_t end = begin + 1;
            while (end < n && (steps_.types[end] & PathPointTypeMask) != PathPointTypeStart) ++end;
            const bool closed = (steps_.types[end - 1] & PathPointTypeCloseSubpath) != 0;
            for (int pass = 0; pass < passCount_; ++pass) {
                if (keepCurves_)
                    writeCurvePass(sink, begin, end, closed, pass);
                else
                    writeFlatPass(sink, begin, end, closed, pass, drawListMustBegin);
            }
            begin = end;
        }
        out = sink;
    }

private:
    // Every command is preceded by "|": the first one ends the origin move and
    // the trailer's ends the last command.
    template <typename Sink>
    [[gnu::always_inline]] void writeCurvePass(Sink& sink, std::size_t begin, std::size_t end, bool closed, int pass) const {
        const StepPoint* points = steps_.points.data();
        const std::uint8_t* types = steps_.types.data();
        for (std::size_t i = begin; i < end;) {
            sink.makeRoom();
            sink.put('|');
            const std::uint8_t type = types[i] & PathPointTypeMask;
            if (type == PathPointTypeBezier && i > begin && i + 2 < end) {
                sink.put(std::string_view("BZ1,"));
                putPair(sink, points[i - 1]);
                for (std::size_t k = 0; k < 3; ++k) {
                    sink.put(',');
                    putPair(sink, points[i + k]);
                }
                i += 3;
                continue;
            }
            const bool move = type == PathPointTypeStart && (pass == 0 || !closed);
            sink.put(move ? 'M' : 'D');
            putPair(sink, points[i]);
            ++i;
        }
    }

    template <typename Sink>
    [[gnu::always_inline]] void writeFlatPass(Sink& sink, std::size_t begin, std::size_t end, bool closed, int pass,
                       bool& drawListMustBegin) const {
        const StepPoint* points = steps_.points.data();
        for (std::size_t i = begin; i < end; ++i) {
            sink.makeRoom();
            const bool start = (steps_.types[i] & PathPointTypeMask) == PathPointTypeStart;
            if (start && (pass == 0 || !closed)) {
                sink.put(std::string_view("|M"));
                putPair(sink, points[i]);
                drawListMustBegin = true;
            } else if (drawListMustBegin) {
                // A later pass of a closed figure without segments also begins its
                // draw list here: extending a move would make a command of no word.
                sink.put(std::string_view("|D"));
                putPair(sink, points[i]);
                drawListMustBegin = false;
            } else {
                sink.put(',');
                putPair(sink, points[i]);
            }
        }
    }

    const StepPath& steps_;
    int passCount_;
    bool keepCurves_;
};

}  // namespace vantrel
