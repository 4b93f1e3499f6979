#include "gzip_design.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <vector>

#include <zlib.h>

namespace vantrel::cli {

// zlib's stream and the compressed bytes read ahead of it.
struct GzipAwareSource::Inflater {
    z_stream stream{};
    std::vector<unsigned char> input = std::vector<unsigned char>(1 << 16);
    bool open = false;
    ~Inflater() {
        if (open) inflateEnd(&stream);
    }
};

GzipAwareSource::GzipAwareSource(DesignTextSource& inner, std::string name, std::size_t limit)
    : inner_(inner), name_(std::move(name)), limit_(limit) {}

GzipAwareSource::~GzipAwareSource() = default;

void GzipAwareSource::start() {
    if (started_) return;
    started_ = true;
    // Two bytes tell gzip; a source may hand them over one at a time.
    char head[2];
    std::size_t have = 0;
    while (have < 2) {
        const std::size_t got = inner_.read(head + have, 2 - have);
        if (got == 0) break;
        have += got;
    }
    peeked_.assign(head, have);
    compressed_ = have == 2 && static_cast<unsigned char>(head[0]) == 0x1F && static_cast<unsigned char>(head[1]) == 0x8B;
    if (!compressed_) return;
    inflater_ = std::make_unique<Inflater>();
    // 16 + MAX_WBITS: a gzip header and trailer, with their checksum checked.
    if (inflateInit2(&inflater_->stream, 16 + MAX_WBITS) != Z_OK)
        throw std::runtime_error(name_ + ": cannot start reading the compressed design");
    inflater_->open = true;
    std::memcpy(inflater_->input.data(), head, 2);
    inflater_->stream.next_in = inflater_->input.data();
    inflater_->stream.avail_in = 2;
}

std::size_t GzipAwareSource::sizeHint() const {
    if (!started_) const_cast<GzipAwareSource*>(this)->start();
    if (compressed_) return 0;
    const std::size_t rest = inner_.sizeHint();
    return rest ? rest + peeked_.size() : 0;
}

std::size_t GzipAwareSource::read(char* buffer, std::size_t size) {
    start();
    if (!peeked_.empty() && !compressed_) {
        const std::size_t n = std::min(size, peeked_.size());
        std::memcpy(buffer, peeked_.data(), n);
        peeked_.erase(0, n);
        return n;
    }
    if (!compressed_) return inner_.read(buffer, size);
    return inflateInto(buffer, size);
}

std::size_t GzipAwareSource::inflateInto(char* buffer, std::size_t size) {
    z_stream& z = inflater_->stream;
    const auto damaged = [&](const char* why) {
        return std::runtime_error(name_ + ": the compressed design (gzip) is damaged: " + why);
    };
    std::size_t produced = 0;
    // A few bytes over the limit are let in, so that a design of exactly the limit is read.
    const std::size_t room = std::min<std::size_t>(size, limit_ - std::min(limit_, inflated_) + 1);
    while (produced == 0 && !ended_ && room > 0) {
        if (z.avail_in == 0) {
            const std::size_t got = inner_.read(reinterpret_cast<char*>(inflater_->input.data()), inflater_->input.size());
            if (got == 0) throw damaged("it ends too soon");
            z.next_in = inflater_->input.data();
            z.avail_in = static_cast<uInt>(got);
        }
        z.next_out = reinterpret_cast<Bytef*>(buffer + produced);
        z.avail_out = static_cast<uInt>(std::min<std::size_t>(room, 1u << 30));
        const int result = inflate(&z, Z_NO_FLUSH);
        produced = static_cast<std::size_t>(reinterpret_cast<char*>(z.next_out) - buffer);
        if (result == Z_STREAM_END) {
            // gzip allows members one after another: go on while bytes follow.
            if (z.avail_in == 0) {
                const std::size_t got =
                    inner_.read(reinterpret_cast<char*>(inflater_->input.data()), inflater_->input.size());
                z.next_in = inflater_->input.data();
                z.avail_in = static_cast<uInt>(got);
            }
            if (z.avail_in == 0) ended_ = true;
            else inflateReset(&z);
        } else if (result != Z_OK && result != Z_BUF_ERROR) {
            throw damaged(z.msg ? z.msg : "it cannot be inflated");
        }
    }
    inflated_ += produced;
    if (inflated_ > limit_)
        throw std::runtime_error(name_ + ": the compressed design inflates to more than " +
                                 std::to_string(limit_ >> 20) + " MB, more than any drawing needs; it is not read");
    return produced;
}

}  // namespace vantrel::cli
