// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Latencies in nanoseconds, kept as counts in log-linear buckets (64 per power
// of two, so any reported value is within about 1.6 % of a recorded one). Millions
// of samples cost a few kilobytes and one increment each.
#include <array>
#include <cstdint>

namespace loadgen {

class LatencyHistogram {
public:
    void Record(std::uint64_t ns);
    void Merge(const LatencyHistogram& other);

    std::uint64_t Count() const { return count_; }
    std::uint64_t Max() const { return max_; }
    std::uint64_t Min() const { return count_ ? min_ : 0; }
    double MeanNs() const { return count_ ? static_cast<double>(sum_) / static_cast<double>(count_) : 0.0; }
    // The value below which the fraction q (0..1) of samples lie; 0 when empty.
    std::uint64_t Percentile(double q) const;

private:
    static constexpr int kSubBits = 6;
    static constexpr int kBuckets = (64 - kSubBits + 1) << kSubBits;
    static int BucketOf(std::uint64_t ns);
    static std::uint64_t BucketMid(int bucket);

    std::array<std::uint64_t, kBuckets> counts_{};
    std::uint64_t count_ = 0, sum_ = 0, max_ = 0, min_ = UINT64_MAX;
};

} // namespace loadgen
