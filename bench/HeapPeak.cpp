#include "HeapPeak.h"

#include <sys/resource.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace talvo::bench {

namespace {

std::atomic<std::size_t> current{0};
std::atomic<std::size_t> peak{0};
std::atomic<std::size_t> base{0};

// Each block carries its size in a header so that delete can count it.
constexpr std::size_t kHeader = alignof(std::max_align_t);

void* Allocate(std::size_t size) {
    void* block = std::malloc(size + kHeader);
    if (block == nullptr) throw std::bad_alloc();
    *static_cast<std::size_t*>(block) = size;
    const std::size_t now = current.fetch_add(size) + size;
    std::size_t seen = peak.load();
    while (now > seen && !peak.compare_exchange_weak(seen, now)) {
    }
    return static_cast<char*>(block) + kHeader;
}

void Release(void* p) {
    if (p == nullptr) return;
    void* block = static_cast<char*>(p) - kHeader;
    current.fetch_sub(*static_cast<std::size_t*>(block));
    std::free(block);
}

}  // namespace

void ResetHeapPeak() {
    base = current.load();
    peak = base.load();
}

std::size_t HeapPeakBytes() { return peak.load() - base.load(); }

std::size_t MaxRssBytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<std::size_t>(usage.ru_maxrss) * 1024;
}

}  // namespace talvo::bench

void* operator new(std::size_t size) { return talvo::bench::Allocate(size); }
void* operator new[](std::size_t size) { return talvo::bench::Allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return talvo::bench::Allocate(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return operator new(size, std::nothrow);
}
void operator delete(void* p) noexcept { talvo::bench::Release(p); }
void operator delete[](void* p) noexcept { talvo::bench::Release(p); }
void operator delete(void* p, std::size_t) noexcept { talvo::bench::Release(p); }
void operator delete[](void* p, std::size_t) noexcept { talvo::bench::Release(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { talvo::bench::Release(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { talvo::bench::Release(p); }
