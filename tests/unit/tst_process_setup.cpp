// The allocator settings a long session depends on.
#include "app/ProcessSetup.h"

#include <QTest>
#include <cstdlib>
#include <malloc.h>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define VELMORA_OWN_ALLOCATOR 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define VELMORA_OWN_ALLOCATOR 1
#endif
#endif

namespace {

// Bytes held in blocks mapped on their own, apart from the heaps.
size_t mappedApart() {
    return mallinfo2().hblkhd;
}

} // namespace

class TestProcessSetup : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void largeBlocksStayOutOfTheHeaps();
};

// Left to itself, glibc takes the size of a large block freed as its new threshold, and every
// smaller large block after it comes from a heap, which keeps their room once they are gone. A
// reconnect frees and makes again a score of pictures of about 454 KiB each.
void TestProcessSetup::largeBlocksStayOutOfTheHeaps() {
#ifdef VELMORA_OWN_ALLOCATOR
    // The sanitizers hand out memory from allocators of their own and ignore mallopt.
    QSKIP("malloc is the sanitizer's here, not glibc's");
#endif
    prepareProcess();
    void* frame = std::malloc(4 << 20);
    QVERIFY(frame);
    QVERIFY(malloc_usable_size(frame) >= size_t(4 << 20));
    std::free(frame);

    const size_t before = mappedApart();
    void* picture = std::malloc(454 * 1024);
    QVERIFY(picture);
    QVERIFY(malloc_usable_size(picture) >= size_t(454 * 1024));
    const size_t during = mappedApart();
    std::free(picture);
    QCOMPARE_GE(during, before + 454 * 1024);
    // And given back whole.
    QCOMPARE(mappedApart(), before);
}

QTEST_GUILESS_MAIN(TestProcessSetup)
#include "tst_process_setup.moc"
