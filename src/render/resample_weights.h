// The weight table of the smooth resampler: for every destination index along one axis, the
// range of source indices that contribute to it and their 16.16 fixed-point weights.
//
// For n destination indices from m source indices the scale is s = n / m. The filter's
// support is b = 1 / s with amplitude a = s when reducing (s < 1), b = 1 and a = 1 otherwise.
// Destination index j is centred on source position j / s; a source index k at distance
// t = |(centre - k) x a| weighs a x (2 (1 - t)^2 + (1 - t)) / 3 for t < 1, else 0. Zero weights
// at either end are dropped, the rest normalised to sum 1 and stored truncated as
// weight x 65536. All of it is computed in double precision, so that every caller gets the
// same integers.
#pragma once

#include <cstdint>

namespace vexa {

class ResampleWeights {
 public:
  ResampleWeights() = default;
  ~ResampleWeights();
  ResampleWeights(const ResampleWeights&) = delete;
  ResampleWeights& operator=(const ResampleWeights&) = delete;

  // Builds the table for `destinationCount` indices from `sourceCount` (both at least 1).
  // False when the table cannot be allocated (or the sizes are not positive); the table is
  // then empty.
  bool Build(int destinationCount, int sourceCount) {
    return Build(destinationCount, sourceCount, 0, destinationCount);
  }
  // The same for `count` consecutive destination indices from `firstIndex` only (the visible
  // part of a large result): entry i holds destination index firstIndex + i, with exactly the
  // weights the whole table gives it.
  bool Build(int destinationCount, int sourceCount, int firstIndex, int count);

  // Number of entries (destination indices held).
  int DestinationCount() const { return destinationCount_; }
  // Room per destination index: 2 x ceil(support) + 1.
  int MaxTaps() const { return maxTaps_; }
  // First contributing source index of destination index j (relative to the source start).
  int First(int j) const { return first_[j]; }
  // Number of contributing source indices; 0 makes the destination index black.
  int Taps(int j) const { return taps_[j]; }
  // The weights of j, Taps(j) of them, for source indices First(j), First(j) + 1, ...
  const std::int32_t* Weights(int j) const {
    return weights_ + static_cast<std::int64_t>(j) * maxTaps_;
  }
  // True when every destination index takes exactly one source index at full weight, so
  // the pass is a plain copy of source index First(j).
  bool IsCopy(int j) const {
    return taps_[j] == 1 && weights_[static_cast<std::int64_t>(j) * maxTaps_] == 65536;
  }

 private:
  void Release();

  int destinationCount_ = 0;
  int maxTaps_ = 0;
  std::int32_t* first_ = nullptr;
  std::int32_t* taps_ = nullptr;
  std::int32_t* weights_ = nullptr;
};

}  // namespace vexa
