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
// may do, whatever this system's heap gives. It notes every block it hands out and every free it
// cannot accept: a pointer it did not hand out (a delete of the wrong address, or of a block
// freed already), which Windows' heap may take for a block and corrupt itself with, is counted
// and never reaches the real heap; so is a free the real heap refuses.
using HeapAllocFn = LPVOID(WINAPI*)(HANDLE, DWORD, SIZE_T);
using HeapFreeFn = BOOL(WINAPI*)(HANDLE, DWORD, LPVOID);
HeapAllocFn g_heapAlloc;
HeapFreeFn g_heapFree;

struct Block {
    void* outer;  // the real heap's block
    void* inner;  // the block handed out, inside it; null: the slot is free
    unsigned serial;
};
constexpr int kMostBlocks = 8192;
Block g_blocks[kMostBlocks];

struct Counts {
    unsigned handedOut = 0;  // blocks handed out so far, the serial of the last one
    int strayFrees = 0;      // frees of a pointer not handed out, or handed out and freed already
    int failedFrees = 0;     // frees of a block handed out that the real heap refused
};
Counts g_counts;

LPVOID WINAPI MisalignedHeapAlloc(HANDLE heap, DWORD flags, SIZE_T size)
{
    if (size > SIZE_MAX - 24) return nullptr;
    for (Block& block : g_blocks) {
        if (block.inner != nullptr) continue;
        auto* outer = static_cast<char*>(g_heapAlloc(heap, flags, size + 24));
        if (outer == nullptr) return nullptr;
        const auto address = reinterpret_cast<std::uintptr_t>(outer);
        block = {outer, outer + (address % 16 == 8 ? 16 : 8 + (16 - address % 16) % 16),
                 ++g_counts.handedOut};
        return block.inner;
    }
    return nullptr;  // more blocks live than the stand-in can note: it is full
}

BOOL WINAPI MisalignedHeapFree(HANDLE heap, DWORD flags, LPVOID pointer)
{
    if (pointer == nullptr) return TRUE;
    for (Block& block : g_blocks) {
        if (block.inner == pointer) {
            block.inner = nullptr;
            if (g_heapFree(heap, flags, block.outer)) return TRUE;
            ++g_counts.failedFrees;
            return FALSE;
        }
    }
    ++g_counts.strayFrees;
    ::SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
}

// Blocks handed out after the serial `since` that have not come back.
int BlocksLeftSince(unsigned since)
{
    int left = 0;
    for (const Block& block : g_blocks) left += block.inner != nullptr && block.serial > since;
    return left;
}

const bool g_standInPlaced =
    testsupport::Patch<HeapAllocFn>("kernel32.dll", "HeapAlloc", &MisalignedHeapAlloc, &g_heapAlloc) &&
    testsupport::Patch<HeapFreeFn>("kernel32.dll", "HeapFree", &MisalignedHeapFree, &g_heapFree);

// Every test frees each block it was handed exactly once, through the matching delete.
class HeapAllocation : public testing::Test {
protected:
    void SetUp() override { m_before = g_counts; }
    void TearDown() override
    {
        EXPECT_EQ(g_counts.strayFrees - m_before.strayFrees, 0)
            << "frees of an address the heap did not hand out, or of a block freed already";
        EXPECT_EQ(g_counts.failedFrees - m_before.failedFrees, 0) << "frees the heap refused";
        EXPECT_EQ(BlocksLeftSince(m_before.handedOut), 0) << "blocks handed out and never freed";
    }

    Counts m_before;
};

TEST_F(HeapAllocation, TheStandInHeapGivesEightBytesOnly)
{
    ASSERT_TRUE(g_standInPlaced);
    void* block = ::HeapAlloc(::GetProcessHeap(), 0, 32);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(block) % 16, 8u);
    EXPECT_TRUE(::HeapFree(::GetProcessHeap(), 0, block));
    // Freed twice: refused and counted (and taken off the count again, here only).
    EXPECT_FALSE(::HeapFree(::GetProcessHeap(), 0, block));
    EXPECT_EQ(g_counts.strayFrees, m_before.strayFrees + 1);
    g_counts.strayFrees = m_before.strayFrees;
}
#else
class HeapAllocation : public testing::Test {};
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

// The forms of new and delete that no expression of the tests below reaches, called by name: each
// pair of the table, with the alignment the block must have.
using Allocation = void* (*)(std::size_t);
using Deallocation = void (*)(void*, std::size_t);
struct ExplicitForm {
    const char* what;
    Allocation allocate;
    Deallocation release;
    std::size_t alignment;
};
constexpr std::align_val_t kPage{4096};
constexpr std::align_val_t kLine{64};
// clang-format off
const ExplicitForm kExplicitForms[] = {
    {"nothrow new, delete", [](size_t n) { return ::operator new(n, std::nothrow); },
     [](void* p, size_t) { ::operator delete(p, std::nothrow); }, kDefault},
    {"nothrow new[], delete[]", [](size_t n) { return ::operator new[](n, std::nothrow); },
     [](void* p, size_t) { ::operator delete[](p, std::nothrow); }, kDefault},
    {"new[], sized delete[]", [](size_t n) { return ::operator new[](n); },
     [](void* p, size_t n) { ::operator delete[](p, n); }, kDefault},
    {"aligned nothrow new, aligned delete", [](size_t n) { return ::operator new(n, kPage, std::nothrow); },
     [](void* p, size_t) { ::operator delete(p, kPage); }, 4096},
    {"aligned nothrow new, delete", [](size_t n) { return ::operator new(n, kLine, std::nothrow); },
     [](void* p, size_t) { ::operator delete(p, kLine, std::nothrow); }, 64},
    {"aligned new[], sized aligned delete[]", [](size_t n) { return ::operator new[](n, kLine); },
     [](void* p, size_t n) { ::operator delete[](p, n, kLine); }, 64},
    {"aligned nothrow new[], delete[]", [](size_t n) { return ::operator new[](n, kPage, std::nothrow); },
     [](void* p, size_t) { ::operator delete[](p, kPage, std::nothrow); }, 4096},
};
// clang-format on

// Many blocks of many sizes, kept alive together, so that the heap hands out blocks at every
// address it can; the bytes are written to the end, which the heap checks when freeing.
TEST_F(HeapAllocation, EveryFormOfNewGivesTheAlignmentPromised)
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

        for (const ExplicitForm& form : kExplicitForms) {
            void* block = form.allocate(size);
            ASSERT_NE(block, nullptr) << form.what;
            EXPECT_TRUE(AlignedTo(block, form.alignment)) << form.what << " of " << size;
            std::fill_n(static_cast<char*>(block), size, 'x');
            form.release(block, size);
        }
    }
    // Alignments below the default still get the default.
    void* small = ::operator new (3, std::align_val_t{2});
    EXPECT_TRUE(AlignedTo(small, kDefault));
    ::operator delete (small, 3, std::align_val_t{2});
}

TEST_F(HeapAllocation, ImpossibleSizesAreRefusedNotWrapped)
{
    volatile std::size_t huge = SIZE_MAX - 8;  // not known to the compiler
    EXPECT_EQ(::operator new(huge, std::nothrow), nullptr);
    EXPECT_EQ(::operator new (huge, std::align_val_t{64}, std::nothrow), nullptr);
}

}  // namespace
