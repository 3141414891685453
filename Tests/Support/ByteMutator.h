// Deterministic mutations of valid files for the fuzz tests: bit flips, truncation, odd 16- and
// 32-bit counts, bytes removed, inserted and repeated. The same seed gives the same sequence.
#pragma once

#include <cstddef>
#include <cstdint>
#include <random>
#include <vector>

namespace tf_test {

class ByteMutator {
public:
    explicit ByteMutator(uint32_t seed) : random_(seed) {}

    // One mutation anywhere in the bytes.
    std::vector<unsigned char> Mutate(const std::vector<unsigned char>& seed) {
        std::vector<unsigned char> b = seed;
        if (b.empty()) return b;
        const int kind = Pick(7);
        switch (kind) {
        case 0:  // bit flips
            for (int n = 1 + Pick(3); n > 0; --n) b[Pick(b.size())] ^= static_cast<unsigned char>(1u << Pick(8));
            break;
        case 1:  // truncation
            b.resize(Pick(b.size()));
            break;
        case 2: {  // a huge or odd 32-bit count or length
            static const uint32_t values[] = {0xFFFFFFFFu, 0x7FFFFFFFu, 0x00010000u, 0x80000000u, 44, 45, 3};
            Put32(b, Pick(b.size()), Pick(2) ? values[Pick(7)] : static_cast<uint32_t>(random_()));
            break;
        }
        case 3: {  // a huge or inconsistent 16-bit string length
            static const uint16_t values[] = {0xFFFF, 0xFFFE, 0x8000, 1, 2, 3, 1024};
            Put16(b, Pick(b.size()), values[Pick(7)]);
            break;
        }
        case 4: {  // bytes removed
            const size_t at = Pick(b.size());
            const size_t n = std::min<size_t>(1 + Pick(8), b.size() - at);
            b.erase(b.begin() + at, b.begin() + at + n);
            break;
        }
        case 5: {  // bytes inserted
            const size_t at = Pick(b.size() + 1);
            for (int n = 1 + Pick(8); n > 0; --n) b.insert(b.begin() + at, static_cast<unsigned char>(random_()));
            break;
        }
        default: {  // a span repeated, which nests records in unexpected places
            const size_t from = Pick(b.size());
            const size_t n = std::min<size_t>(1 + Pick(64), b.size() - from);
            const std::vector<unsigned char> span(b.begin() + from, b.begin() + from + n);
            const size_t at = Pick(b.size() + 1);
            b.insert(b.begin() + at, span.begin(), span.end());
            break;
        }
        }
        return b;
    }

    // As Mutate, but every other time only the first `head` bytes are mutated, where formats keep
    // their sizes and counts.
    std::vector<unsigned char> MutateHead(const std::vector<unsigned char>& seed, size_t head) {
        if (seed.size() <= head || Pick(2) == 0) return Mutate(seed);
        std::vector<unsigned char> front = Mutate(std::vector<unsigned char>(seed.begin(), seed.begin() + static_cast<std::ptrdiff_t>(head)));
        front.insert(front.end(), seed.begin() + static_cast<std::ptrdiff_t>(head), seed.end());
        return front;
    }

    int Pick(int n) { return static_cast<int>(random_() % static_cast<uint32_t>(n)); }

private:
    size_t Pick(size_t n) { return n == 0 ? 0 : static_cast<size_t>(random_() % n); }
    static void Put32(std::vector<unsigned char>& b, size_t at, uint32_t v) {
        for (int i = 0; i < 4 && at + i < b.size(); ++i) b[at + i] = static_cast<unsigned char>(v >> (8 * i));
    }
    static void Put16(std::vector<unsigned char>& b, size_t at, uint16_t v) {
        for (int i = 0; i < 2 && at + i < b.size(); ++i) b[at + i] = static_cast<unsigned char>(v >> (8 * i));
    }

    std::mt19937 random_;
};


}  // namespace tf_test
