#pragma once

#include <cstddef>
#include <vector>

/// Memory made ready for a burst of allocations that is about to come on this thread, such as
/// the text of every note at start.
///
/// Fresh memory is handed out by the system one 4 KiB page at a time, each first touched
/// through a page fault; when tens of megabytes are filled at once (and in a virtual machine
/// most of all) the faults cost more than the work itself. A reservation grows this thread's
/// malloc arena by about `bytes` in one go, backs it with large pages where the system offers
/// them, fills its page tables with one call, and hands the memory straight back to the arena,
/// where the burst then finds it ready.
///
/// While any reservation lives, free memory at the top of the heaps is kept rather than given
/// back. Once the last one ends, the allocator's thresholds are left where its own adaptive
/// rule takes them in this program (blocks up to 8 MiB from the heap, a heap's top given back
/// past 16 MiB free). The memory is not trimmed at once: that would split the large pages the
/// burst's data now lives in, and every later pass over it would pay for the smaller pages.
/// Where the allocator is not glibc's, or the system refuses, a reservation does nothing and
/// the burst simply pays the faults.
class HeapReserve
{
public:
    explicit HeapReserve(std::size_t bytes);
    ~HeapReserve();
    HeapReserve(const HeapReserve &) = delete;
    HeapReserve &operator=(const HeapReserve &) = delete;

    /// While any reservation lives, a block this large or larger is mapped on its own and
    /// never comes from the memory readied: not worth readying memory for.
    static constexpr std::size_t mappedFrom = 32 * 1024 * 1024;

    /// Bytes made ready; nothing when no reservation could be made.
    std::size_t reserved() const { return m_reserved; }

private:
    /// A block at the start of each large range stays allocated until the end, so that a heap
    /// the arena would find wholly free is not unmapped before the burst can use it.
    std::vector<void *> m_anchors;
    std::size_t m_reserved = 0;
    /// Whether this reservation holds back the trimming of heaps.
    bool m_holdsTrim = false;
};
