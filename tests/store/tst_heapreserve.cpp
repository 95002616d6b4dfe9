// The memory readied for the burst of allocations a start makes: it is used by that burst, it
// is all handed back, and the allocator is left in a sound state however reservations overlap.
#include "TestSupport.h"

#include "base/HeapReserve.h"

#include <QTest>

#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#if defined(__GLIBC__) && defined(__linux__)
#include <malloc.h>
#include <sys/mman.h>
#endif

namespace {

constexpr std::size_t MiB = 1024 * 1024;

#if defined(__GLIBC__) && defined(__linux__)
bool systemCanPopulate()
{
    void *probe = ::mmap(nullptr, 4096, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    const bool can = probe != MAP_FAILED && ::madvise(probe, 4096, 23 /* MADV_POPULATE_WRITE */) == 0;
    if (probe != MAP_FAILED)
        ::munmap(probe, 4096);
    return can;
}

std::size_t heapInUse() { return mallinfo2().uordblks; }
std::size_t mapped() { return mallinfo2().hblkhd; }
std::size_t mainArena() { return mallinfo2().arena; }
#endif

/// Fills `bytes` with note-sized blocks, each with its own pattern, and checks them all.
bool burst(std::size_t bytes)
{
    std::vector<std::unique_ptr<char[]>> blocks;
    const std::size_t size = 5000;
    for (std::size_t i = 0; i * size < bytes; ++i) {
        blocks.emplace_back(new char[size]);
        std::memset(blocks.back().get(), int(i % 251), size);
    }
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        if (blocks[i][0] != char(i % 251) || blocks[i][size - 1] != char(i % 251))
            return false;
    }
    return true;
}

} // namespace

class HeapReserveTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { TestSupport::initTestEnvironment(); }

    void burstUsesTheReservation_data()
    {
        QTest::addColumn<qulonglong>("bytes");
        QTest::addColumn<bool>("onThread");
        QTest::newRow("too small to bother") << qulonglong(2 * MiB) << false;
        QTest::newRow("one block") << qulonglong(12 * MiB) << false;
        QTest::newRow("several blocks") << qulonglong(40 * MiB) << false;
        QTest::newRow("a thread's arena") << qulonglong(40 * MiB) << true;
        // More than one heap of a thread arena holds: later heaps must not be unmapped
        // under the burst.
        QTest::newRow("several thread heaps") << qulonglong(150 * MiB) << true;
    }

    void burstUsesTheReservation()
    {
        QFETCH(qulonglong, bytes);
        QFETCH(bool, onThread);
#if defined(__GLIBC__) && defined(__linux__)
        const std::size_t before = heapInUse();
#endif
        std::size_t reserved = 0;
        bool intact = false;
        const auto run = [&] {
            const HeapReserve reserve(bytes);
            reserved = reserve.reserved();
            intact = burst(bytes);
        };
        if (onThread) {
            std::thread thread(run);
            thread.join();
        } else {
            run();
        }
        QVERIFY(intact);
#if defined(__GLIBC__) && defined(__linux__)
        if (bytes < 4 * MiB || !systemCanPopulate())
            QCOMPARE(reserved, std::size_t(0));
        else
            QVERIFY2(reserved >= bytes * 9 / 10, qPrintable(QString::number(reserved)));
        // Nothing of the reservation stays allocated (anchors included).
        QVERIFY2(heapInUse() <= before + 256 * 1024,
                 qPrintable(QStringLiteral("%1 -> %2").arg(before).arg(heapInUse())));
#else
        QCOMPARE(reserved, std::size_t(0));
#endif
    }

    // While any reservation lives on any thread, the top of the heap is kept; once the last
    // one ends, large blocks come from the system again and a heap's top goes back.
    void overlappingReservationsSettleTheAllocator()
    {
#if defined(__GLIBC__) && defined(__linux__)
        auto outer = std::make_unique<HeapReserve>(8 * MiB);
        std::thread([] { const HeapReserve inner(8 * MiB); }).join();

        // Still held by the outer one: a large block comes from the heap, and freeing it does
        // not shrink the heap.
        const std::size_t mappedBefore = mapped();
        char *large = static_cast<char *>(std::malloc(20 * MiB));
        QVERIFY(large);
        std::memset(large, 1, 20 * MiB);
        QCOMPARE(mapped(), mappedBefore);
        const std::size_t arenaHeld = mainArena();
        std::free(large);
        QCOMPARE(mainArena(), arenaHeld);

        outer.reset();
        // Freeing a block at the top gives back what the reservation left there.
        char *medium = static_cast<char *>(std::malloc(MiB));
        QVERIFY(medium);
        QCOMPARE(mapped(), mappedBefore); // a megabyte comes from the heap
        std::free(medium);
        QVERIFY2(mainArena() < arenaHeld,
                 qPrintable(QStringLiteral("%1 -> %2").arg(arenaHeld).arg(mainArena())));
        // Past what the heap's top holds, a large block comes from the system again.
        large = static_cast<char *>(std::malloc(20 * MiB));
        QVERIFY(large);
        QVERIFY(mapped() >= mappedBefore + 20 * MiB);
        std::free(large);
#else
        QSKIP("the reservation works with glibc's allocator only");
#endif
    }
};

QTEST_GUILESS_MAIN(HeapReserveTest)
#include "tst_heapreserve.moc"
