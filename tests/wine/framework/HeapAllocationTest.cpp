// The program's allocation functions (app/HeapAllocation.cpp), linked into this test program in
// place of the C++ library's: every form of new gives the alignment the language promises, and
// each block goes back through its matching delete.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <vector>

#include <gtest/gtest.h>

namespace {

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
