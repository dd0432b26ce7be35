#pragma once

#include <algorithm>
#include <cstddef>
#include <memory>
#include <new>
#include <utility>

namespace vox {

// The array behind the tables and the name lists. Its growth rule is part of the system's
// behaviour: growing past the capacity makes the new capacity the larger of the requested size
// and capacity + step, step = size / 8 clamped to 4..1024. New slots are value-initialised
// (zero for numbers, empty for strings). Shrinking keeps the capacity; sizing to 0 frees it.
// Slots between size and capacity are always kept value-initialised, so growing within the
// capacity hands out clean slots too.
template <typename T>
class GrowableArray {
  public:
    GrowableArray() = default;
    GrowableArray(const GrowableArray& other) { CopyFrom(other); }
    GrowableArray& operator=(const GrowableArray& other) {
        if (this != &other) CopyFrom(other);
        return *this;
    }
    GrowableArray(GrowableArray&& other) noexcept { Swap(other); }
    GrowableArray& operator=(GrowableArray&& other) noexcept {
        if (this != &other) {
            RemoveAll();
            Swap(other);
        }
        return *this;
    }

    // False (and nothing changed) only when memory runs out.
    bool SetSize(size_t newSize) {
        if (newSize == 0) {
            RemoveAll();
            return true;
        }
        if (newSize > capacity_ && !Reallocate(GrownCapacity(newSize))) return false;
        for (size_t i = newSize; i < size_; ++i) data_[i] = T{};
        size_ = newSize;
        return true;
    }

    size_t GetSize() const { return size_; }
    size_t GetCapacity() const { return capacity_; }
    bool IsEmpty() const { return size_ == 0; }

    T& operator[](size_t index) { return data_[index]; }
    const T& operator[](size_t index) const { return data_[index]; }

    T* Data() { return data_.get(); }
    const T* Data() const { return data_.get(); }
    T* begin() { return data_.get(); }
    T* end() { return data_.get() + size_; }
    const T* begin() const { return data_.get(); }
    const T* end() const { return data_.get() + size_; }

    // Below the size: the array grows by one and the slots from pos on move up. At or beyond
    // the size: the array is sized to pos + 1 (any gap value-initialised) and value stored last.
    bool InsertAt(size_t pos, const T& value) {
        T copy = value;  // value may live in this array, which may move
        const size_t oldSize = size_;
        if (!SetSize(pos < oldSize ? oldSize + 1 : pos + 1)) return false;
        if (pos < oldSize) {
            std::move_backward(data_.get() + pos, data_.get() + oldSize, data_.get() + oldSize + 1);
        }
        data_[pos] = std::move(copy);
        return true;
    }

    bool Add(const T& value) { return InsertAt(size_, value); }

    void RemoveAll() {
        data_.reset();
        size_ = 0;
        capacity_ = 0;
    }

  private:
    size_t GrownCapacity(size_t requested) const {
        const size_t step = std::clamp<size_t>(size_ / 8, 4, 1024);
        return std::max(requested, capacity_ + step);
    }

    bool Reallocate(size_t newCapacity) {
        std::unique_ptr<T[]> fresh;
        try {
            fresh.reset(new T[newCapacity]());
        } catch (const std::bad_alloc&) {
            return false;
        }
        std::move(data_.get(), data_.get() + size_, fresh.get());
        data_ = std::move(fresh);
        capacity_ = newCapacity;
        return true;
    }

    void CopyFrom(const GrowableArray& other) {
        GrowableArray copy;
        if (other.capacity_ != 0) {
            copy.data_.reset(new T[other.capacity_]());
            std::copy(other.begin(), other.end(), copy.data_.get());
            copy.size_ = other.size_;
            copy.capacity_ = other.capacity_;
        }
        RemoveAll();
        Swap(copy);
    }

    void Swap(GrowableArray& other) noexcept {
        std::swap(data_, other.data_);
        std::swap(size_, other.size_);
        std::swap(capacity_, other.capacity_);
    }

    std::unique_ptr<T[]> data_;
    size_t size_ = 0;
    size_t capacity_ = 0;
};

}  // namespace vox
