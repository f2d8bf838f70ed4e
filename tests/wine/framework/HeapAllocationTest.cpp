// The program's allocation functions (app/HeapAllocation.cpp), linked into this test program in
// place of the C++ library's: every form of new gives the alignment the language promises, and
// each block goes back through its matching delete.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <vector>

#include <gtest/gtest.h>

#if defined(ORVIA_HEAP_STAND_IN)
#include <windows.h>

#include "ImportPatch.h"
#endif

namespace {

#if defined(ORVIA_HEAP_STAND_IN)
// A stand-in for the 32-bit system's heap, put into the test program's imports before any test
// runs: every block it hands out lies 8 bytes off a 16-byte boundary, the worst the 32-bit heap
// may do, whatever this system's heap gives. Blocks the real heap gave before it was put in place
// go back to the real heap.
using HeapAllocFn = LPVOID(WINAPI*)(HANDLE, DWORD, SIZE_T);
using HeapFreeFn = BOOL(WINAPI*)(HANDLE, DWORD, LPVOID);
HeapAllocFn g_heapAlloc;
HeapFreeFn g_heapFree;
constexpr int kMostBlocks = 8192;
void* g_outer[kMostBlocks];  // the real heap's block of each block handed out, by slot
void* g_inner[kMostBlocks];

LPVOID WINAPI MisalignedHeapAlloc(HANDLE heap, DWORD flags, SIZE_T size)
{
    if (size > SIZE_MAX - 24) return nullptr;
    auto* outer = static_cast<char*>(g_heapAlloc(heap, flags, size + 24));
    if (outer == nullptr) return nullptr;
    const auto address = reinterpret_cast<std::uintptr_t>(outer);
    char* inner = outer + (address % 16 == 8 ? 16 : 8 + (16 - address % 16) % 16);
    for (int i = 0; i < kMostBlocks; ++i) {
        if (g_inner[i] == nullptr) {
            g_outer[i] = outer;
            g_inner[i] = inner;
            return inner;
        }
    }
    return outer;  // no room to note it: the real heap's block, which goes back to it as it is
}

BOOL WINAPI MisalignedHeapFree(HANDLE heap, DWORD flags, LPVOID block)
{
    for (int i = 0; i < kMostBlocks; ++i) {
        if (block != nullptr && g_inner[i] == block) {
            g_inner[i] = nullptr;
            return g_heapFree(heap, flags, g_outer[i]);
        }
    }
    return g_heapFree(heap, flags, block);
}

const bool g_standInPlaced =
    testsupport::Patch<HeapAllocFn>("kernel32.dll", "HeapAlloc", &MisalignedHeapAlloc, &g_heapAlloc) &&
    testsupport::Patch<HeapFreeFn>("kernel32.dll", "HeapFree", &MisalignedHeapFree, &g_heapFree);

TEST(HeapAllocation, TheStandInHeapGivesEightBytesOnly)
{
    ASSERT_TRUE(g_standInPlaced);
    void* block = ::HeapAlloc(::GetProcessHeap(), 0, 32);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(block) % 16, 8u);
    ::HeapFree(::GetProcessHeap(), 0, block);
}
#endif

bool AlignedTo(const void* block, std::size_t alignment)
{
    return reinterpret_cast<std::uintptr_t>(block) % alignment == 0;
}

struct alignas(32) Wide32 {
    char bytes[40];
};
struct alignas(64) Wide64 {
    char bytes[8];
};

constexpr std::size_t kDefault = __STDCPP_DEFAULT_NEW_ALIGNMENT__;

// Many blocks of many sizes, kept alive together, so that the heap hands out blocks at every
// address it can; the bytes are written to the end, which the heap checks when freeing.
TEST(HeapAllocation, EveryFormOfNewGivesTheAlignmentPromised)
{
    std::vector<std::unique_ptr<char[]>> arrays;
    std::vector<std::unique_ptr<std::max_align_t>> scalars;
    std::vector<std::unique_ptr<Wide32>> wide32;
    std::vector<std::unique_ptr<Wide64[]>> wide64;
    for (std::size_t size = 0; size < 200; ++size) {
        arrays.emplace_back(new char[size]);
        EXPECT_TRUE(AlignedTo(arrays.back().get(), kDefault)) << "new char[" << size << "]";
        std::fill_n(arrays.back().get(), size, 'x');
        scalars.emplace_back(new std::max_align_t);
        EXPECT_TRUE(AlignedTo(scalars.back().get(), kDefault)) << "new max_align_t";
        wide32.emplace_back(new Wide32);
        EXPECT_TRUE(AlignedTo(wide32.back().get(), 32)) << "new of a 32-byte aligned type";
        wide64.emplace_back(new Wide64[size % 5 + 1]);
        EXPECT_TRUE(AlignedTo(wide64.back().get(), 64)) << "new[] of a 64-byte aligned type";

        void* nothrowBlock = ::operator new(size, std::nothrow);
        EXPECT_TRUE(AlignedTo(nothrowBlock, kDefault)) << "nothrow new of " << size;
        ::operator delete(nothrowBlock, std::nothrow);
        void* page = ::operator new (size, std::align_val_t{4096}, std::nothrow);
        ASSERT_NE(page, nullptr);
        EXPECT_TRUE(AlignedTo(page, 4096)) << "nothrow new of " << size << " aligned to a page";
        ::operator delete (page, std::align_val_t{4096});
    }
    // Alignments below the default still get the default.
    void* small = ::operator new (3, std::align_val_t{2});
    EXPECT_TRUE(AlignedTo(small, kDefault));
    ::operator delete (small, 3, std::align_val_t{2});
}

TEST(HeapAllocation, ImpossibleSizesAreRefusedNotWrapped)
{
    volatile std::size_t huge = SIZE_MAX - 8;  // not known to the compiler
    EXPECT_EQ(::operator new(huge, std::nothrow), nullptr);
    EXPECT_EQ(::operator new (huge, std::align_val_t{64}, std::nothrow), nullptr);
}

}  // namespace
