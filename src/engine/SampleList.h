#pragma once

#include "engine/Records.h"

#include <cstddef>
#include <memory>
#include <new>
#include <type_traits>
#include <vector>

namespace zuta {

// Growable list of sample records stored in fixed-size chunks: appending never moves what is
// already stored, so a list of millions of samples needs no reallocation peak and no per-sample
// heap node (about 28 bytes a sample).
class SampleList {
public:
    static constexpr std::size_t kChunkShift = 16;
    static constexpr std::size_t kChunkSize = std::size_t{1} << kChunkShift;

    SampleList() = default;
    SampleList(const SampleList& other) { *this = other; }
    SampleList& operator=(const SampleList& other) {
        if (this != &other) {
            clear();
            for (std::size_t i = 0; i < other.size(); ++i)
                push_back(other[i]);
        }
        return *this;
    }
    SampleList(SampleList&&) noexcept = default;
    SampleList& operator=(SampleList&&) noexcept = default;

    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }

    void push_back(const SampleRecord& r) {
        const std::size_t slot = size_ & (kChunkSize - 1);
        if (slot == 0 && (size_ >> kChunkShift) == chunks_.size())
            chunks_.emplace_back(
                static_cast<SampleRecord*>(::operator new(kChunkSize * sizeof(SampleRecord))));
        std::construct_at(chunks_[size_ >> kChunkShift].get() + slot, r);
        ++size_;
    }

    const SampleRecord& operator[](std::size_t i) const {
        return chunks_[i >> kChunkShift].get()[i & (kChunkSize - 1)];
    }
    SampleRecord& operator[](std::size_t i) {
        return chunks_[i >> kChunkShift].get()[i & (kChunkSize - 1)];
    }
    const SampleRecord& back() const { return (*this)[size_ - 1]; }

    // Empties the list. The first chunk is kept for the samples that follow: a list is emptied
    // when a collection starts or a file is loaded, and refilled at once.
    void clear() {
        if (chunks_.size() > 1)
            chunks_.resize(1);
        size_ = 0;
    }

    // Calls f(const SampleRecord*, count) for each stored run of contiguous samples, in order.
    template <class F> void ForEachSpan(F&& f) const {
        std::size_t left = size_;
        for (const auto& chunk : chunks_) {
            const std::size_t n = left < kChunkSize ? left : kChunkSize;
            if (n == 0)
                break;
            f(chunk.get(), n);
            left -= n;
        }
    }

private:
    // A chunk is raw storage: records are constructed as they are appended, so a new chunk costs
    // no pass over memory that is about to be written anyway.
    struct ChunkDeleter {
        void operator()(SampleRecord* chunk) const { ::operator delete(chunk); }
    };
    static_assert(std::is_trivially_destructible_v<SampleRecord>);
    std::vector<std::unique_ptr<SampleRecord, ChunkDeleter>> chunks_;
    std::size_t size_ = 0;
};

} // namespace zuta
