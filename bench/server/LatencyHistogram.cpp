// SPDX-License-Identifier: GPL-3.0-or-later
#include "bench/server/LatencyHistogram.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace loadgen {

int LatencyHistogram::BucketOf(std::uint64_t ns) {
    constexpr std::uint64_t kSub = 1u << kSubBits;
    if (ns < kSub)
        return static_cast<int>(ns);
    const int exponent = 63 - std::countl_zero(ns); // >= kSubBits
    const int shift = exponent - kSubBits;
    const auto sub = static_cast<int>((ns >> shift) & (kSub - 1));
    return ((shift + 1) << kSubBits) + sub;
}

std::uint64_t LatencyHistogram::BucketMid(int bucket) {
    constexpr int kSub = 1 << kSubBits;
    if (bucket < kSub)
        return static_cast<std::uint64_t>(bucket);
    const int shift = (bucket >> kSubBits) - 1;
    const std::uint64_t low =
        (std::uint64_t{1} << (shift + kSubBits)) | (static_cast<std::uint64_t>(bucket & (kSub - 1)) << shift);
    return low + ((std::uint64_t{1} << shift) >> 1);
}

void LatencyHistogram::Record(std::uint64_t ns) {
    ++counts_[static_cast<std::size_t>(BucketOf(ns))];
    ++count_;
    sum_ += ns;
    max_ = std::max(max_, ns);
    min_ = std::min(min_, ns);
}

void LatencyHistogram::Merge(const LatencyHistogram& other) {
    for (std::size_t i = 0; i < counts_.size(); ++i)
        counts_[i] += other.counts_[i];
    count_ += other.count_;
    sum_ += other.sum_;
    max_ = std::max(max_, other.max_);
    min_ = std::min(min_, other.min_);
}

std::uint64_t LatencyHistogram::Percentile(double q) const {
    if (count_ == 0)
        return 0;
    q = std::clamp(q, 0.0, 1.0);
    // The rank of the sample we want, 1-based; at least the first sample.
    const auto rank =
        std::max<std::uint64_t>(1, static_cast<std::uint64_t>(std::ceil(q * static_cast<double>(count_))));
    std::uint64_t seen = 0;
    for (int b = 0; b < kBuckets; ++b) {
        seen += counts_[static_cast<std::size_t>(b)];
        if (seen >= rank)
            return std::clamp(BucketMid(b), min_, max_);
    }
    return max_;
}

} // namespace loadgen
