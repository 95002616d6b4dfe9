#include "base/HeapReserve.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <mutex>

#if defined(__GLIBC__) && defined(__linux__)
#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>
#define SCRIVEL_HEAP_RESERVE 1
#endif

namespace {

#ifdef SCRIVEL_HEAP_RESERVE
#ifndef MADV_POPULATE_WRITE
constexpr int MADV_POPULATE_WRITE = 23; // Linux 5.14; older kernels refuse it, which is fine
#endif

/// Blocks this large come from the arena's heap while the mmap threshold is raised to glibc's
/// highest, and only the first page of each is touched (for its header) before the large pages
/// are asked for: a page already in place keeps its whole large page from being used.
constexpr std::size_t blockSize = 16 * 1024 * 1024;
constexpr int highestMmapThreshold = int(HeapReserve::mappedFrom);
constexpr std::size_t anchorSize = 4096;
constexpr std::size_t largePage = 2 * 1024 * 1024;
/// Below this the faults cost little, and a heap range this short is not worth a system call.
constexpr std::size_t worthReserving = 4 * 1024 * 1024;
constexpr std::size_t worthPopulating = 1024 * 1024;
constexpr std::size_t mostReserved = std::size_t(2) << 30;
/// Once no reservation is left: glibc cannot go back to adapting its thresholds (which any
/// mallopt() call ends), so they are set where its own rule takes them in a program that has
/// freed blocks of a few megabytes, as this one does after every start and on every search:
/// such blocks come from the heap (instead of fresh pages each time), and the top of a heap
/// is given back once twice that is free.
constexpr int settledMmapThreshold = 8 * 1024 * 1024;
constexpr int settledTrimThreshold = 2 * settledMmapThreshold;

std::mutex &liveLock()
{
    static std::mutex lock;
    return lock;
}
int live = 0;

char *alignUp(char *p, std::size_t to)
{
    return reinterpret_cast<char *>((reinterpret_cast<std::uintptr_t>(p) + to - 1)
                                    & ~std::uintptr_t(to - 1));
}

char *alignDown(char *p, std::size_t to)
{
    return reinterpret_cast<char *>(reinterpret_cast<std::uintptr_t>(p) & ~std::uintptr_t(to - 1));
}
#endif

} // namespace

HeapReserve::HeapReserve(std::size_t bytes)
{
#ifdef SCRIVEL_HEAP_RESERVE
    if (bytes < worthReserving)
        return;
    bytes = std::min(bytes, mostReserved);
    {
        const std::lock_guard guard(liveLock());
        // Freed memory at the top of a heap stays there for the burst instead of going back.
        if (live++ == 0) {
            mallopt(M_TRIM_THRESHOLD, INT_MAX);
            mallopt(M_MMAP_THRESHOLD, highestMmapThreshold);
        }
        m_holdsTrim = true;
    }
    std::vector<char *> blocks;
    std::vector<std::size_t> sizes;
    for (std::size_t left = bytes; left >= worthPopulating;) {
        const std::size_t size = std::min(left, blockSize);
        auto *block = static_cast<char *>(std::malloc(size));
        if (!block)
            break;
        blocks.push_back(block);
        sizes.push_back(size);
        left -= size;
    }
    // Most blocks follow each other at the top of the heap, a chunk header apart; a few may
    // be free chunks from anywhere in it.
    std::vector<std::size_t> order(blocks.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::sort(order.begin(), order.end(),
              [&](std::size_t a, std::size_t b) { return blocks[a] < blocks[b]; });
    struct Range
    {
        char *begin;
        char *end;
    };
    std::vector<Range> ranges;
    const auto endOf = [&](std::size_t i) { return blocks[order[i]] + sizes[order[i]]; };
    for (std::size_t i = 0; i < order.size();) {
        std::size_t j = i + 1;
        while (j < order.size() && blocks[order[j]] - endOf(j - 1) <= 64)
            ++j;
        ranges.push_back({ blocks[order[i]], endOf(j - 1) });
        i = j;
    }
    const auto pageSize = std::size_t(sysconf(_SC_PAGESIZE));
    for (const Range &range : ranges) {
        if (std::size_t(range.end - range.begin) < worthPopulating)
            continue;
        char *const hugeBegin = alignUp(range.begin, largePage);
        char *const hugeEnd = alignDown(range.end, largePage);
        if (hugeBegin < hugeEnd)
            madvise(hugeBegin, std::size_t(hugeEnd - hugeBegin), MADV_HUGEPAGE);
        char *const begin = alignUp(range.begin, pageSize);
        char *const end = alignDown(range.end, pageSize);
        if (begin < end && madvise(begin, std::size_t(end - begin), MADV_POPULATE_WRITE) == 0)
            m_reserved += std::size_t(end - begin);
    }
    // The first block of each range shrinks (in place) to a small anchor held to the end: a
    // thread arena unmaps any of its heaps it finds wholly free, reservation and all.
    for (const Range &range : ranges) {
        void *const anchor = std::realloc(range.begin, anchorSize);
        m_anchors.push_back(anchor ? anchor : range.begin);
    }
    for (char *block : blocks) {
        if (std::none_of(ranges.cbegin(), ranges.cend(),
                         [block](const Range &range) { return range.begin == block; }))
            std::free(block);
    }
#else
    (void)bytes;
#endif
}

HeapReserve::~HeapReserve()
{
#ifdef SCRIVEL_HEAP_RESERVE
    for (void *anchor : m_anchors)
        std::free(anchor);
    if (!m_holdsTrim)
        return;
    const std::lock_guard guard(liveLock());
    if (--live == 0) {
        mallopt(M_TRIM_THRESHOLD, settledTrimThreshold);
        mallopt(M_MMAP_THRESHOLD, settledMmapThreshold);
    }
#endif
}
