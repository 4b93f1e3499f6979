#pragma once
// Designs saved compressed (.svgz, gzip): told by their first bytes, not by
// their name, and inflated as they are read, so the text is never held whole
// twice. Anything else passes through unchanged.
#include <cstddef>
#include <memory>
#include <string>

#include "design/design_file.h"

namespace vantrel::cli {

// A compressed design may inflate to at most this many bytes: far above any
// drawing a crafter makes, and it keeps a few kilobytes made to explode (a
// "compression bomb") from filling the memory.
inline constexpr std::size_t MaxInflatedDesign = std::size_t{256} << 20;

class GzipAwareSource : public DesignTextSource {
public:
    // `name` names the design in the sentences thrown for damaged or
    // oversized compressed data.
    GzipAwareSource(DesignTextSource& inner, std::string name, std::size_t limit = MaxInflatedDesign);
    ~GzipAwareSource() override;
    GzipAwareSource(const GzipAwareSource&) = delete;
    GzipAwareSource& operator=(const GzipAwareSource&) = delete;

    std::size_t read(char* buffer, std::size_t size) override;
    // The inner source's for plain text; unknown (0) for compressed data.
    std::size_t sizeHint() const override;

private:
    void start();
    std::size_t inflateInto(char* buffer, std::size_t size);

    DesignTextSource& inner_;
    std::string name_;
    std::size_t limit_;
    bool started_ = false;
    bool compressed_ = false;
    bool ended_ = false;
    std::string peeked_;  // the bytes read to tell the form, not yet handed on
    std::size_t inflated_ = 0;
    struct Inflater;
    std::unique_ptr<Inflater> inflater_;
};

}  // namespace vantrel::cli
