#pragma once
// Written by generate.py: size and ARGB digest of every PNG resource, so a
// test can prove the decoder gives back exactly the pixels that were drawn.
#include <cstdint>

namespace vantrel::images {

struct ImageDigest {
    int id;
    unsigned width;
    unsigned height;
    std::uint64_t argbFnv1a;
};

inline constexpr ImageDigest Digests[] = {
    {9000, 44, 28, 0x5B18E4B38CDAE151ULL},
    {9001, 14, 156, 0x1FDBF9459A73FC25ULL},
    {9003, 100, 238, 0x1CB4A9CB3C465D9FULL},
    {9005, 10, 10, 0x970B59454C5A6B1CULL},
    {9006, 281, 20, 0xC95546F9302ECB22ULL},
    {9007, 10, 10, 0xEE1B4E8468F20D87ULL},
    {9008, 16, 16, 0x34D799F42F114C96ULL},
    {9010, 65, 23, 0x26DBB3EF4AFEA6C2ULL},
    {9011, 24, 24, 0x14B7896EF407F67BULL},
    {9012, 24, 24, 0x139E61C7115A26BFULL},
    {9013, 24, 24, 0x01B610A4C5882AB7ULL},
    {9014, 24, 24, 0xBA628F97B9EF7CE3ULL},
    {9015, 64, 16, 0xE4CE04ED44EC281BULL},
    {9021, 14, 222, 0x3CA2A0320ECC3405ULL},
    {9022, 110, 292, 0xDD1CCA72ED8D7472ULL},
    {9023, 14, 160, 0x2E18F01124091FE5ULL},
    {9024, 92, 246, 0x566A963410A1B5CFULL},
};

}  // namespace vantrel::images
