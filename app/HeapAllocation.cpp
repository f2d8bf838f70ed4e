// The program's allocation functions: straight to the process heap, without the C++ library's
// exception machinery (RuntimeSupport.cpp explains why). A failed allocation ends the process
// quietly, except for the nothrow forms, which return null.
//
// Every block has the alignment the language promises: the requested one for aligned new, else
// __STDCPP_DEFAULT_NEW_ALIGNMENT__, which the compiler assumes of every plain new (16 bytes on
// both architectures). The heap gives MEMORY_ALLOCATION_ALIGNMENT (8 bytes on 32-bit Windows,
// 16 on 64-bit); where that is less, a block is carved out of a larger one, with the address of
// the larger one kept just in front of it for the matching delete.
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <new>

namespace {

// What the heap promises: 8 bytes on 32-bit Windows, 16 on 64-bit. The allocation tests set it to
// 8 everywhere, over a heap that gives no more, so that the 32-bit case runs on 64-bit too.
#ifndef ORVIA_HEAP_ALIGNMENT
#define ORVIA_HEAP_ALIGNMENT MEMORY_ALLOCATION_ALIGNMENT
#endif
constexpr std::size_t kHeapAlignment = ORVIA_HEAP_ALIGNMENT;
constexpr std::size_t kDefaultAlignment = __STDCPP_DEFAULT_NEW_ALIGNMENT__;

std::size_t AlignmentOf(std::align_val_t alignment)
{
    const auto requested = static_cast<std::size_t>(alignment);
    return requested > kDefaultAlignment ? requested : kDefaultAlignment;
}

void* Allocate(std::size_t size, std::size_t alignment)
{
    const HANDLE heap = ::GetProcessHeap();
    if (size == 0) {
        size = 1;
    }
    if (alignment <= kHeapAlignment) {
        return ::HeapAlloc(heap, 0, size);
    }
    // Room for the block, for moving it up to the alignment and for the heap block's address.
    const std::size_t extra = alignment - 1 + sizeof(void*);
    if (size > SIZE_MAX - extra) {
        return nullptr;
    }
    void* const outer = ::HeapAlloc(heap, 0, size + extra);
    if (outer == nullptr) {
        return nullptr;
    }
    const std::uintptr_t start = reinterpret_cast<std::uintptr_t>(outer) + sizeof(void*);
    void** const block = reinterpret_cast<void**>((start + alignment - 1) & ~(alignment - 1));
    block[-1] = outer;
    return block;
}

void Release(void* block, std::size_t alignment)
{
    if (block == nullptr) {
        return;
    }
    ::HeapFree(::GetProcessHeap(), 0, alignment <= kHeapAlignment ? block : static_cast<void**>(block)[-1]);
}

void* AllocateOrEnd(std::size_t size, std::size_t alignment)
{
    void* const block = Allocate(size, alignment);
    if (block == nullptr) {
        ::ExitProcess(ERROR_NOT_ENOUGH_MEMORY);
    }
    return block;
}

}  // namespace

void* operator new(std::size_t size) { return AllocateOrEnd(size, kDefaultAlignment); }
void* operator new[](std::size_t size) { return AllocateOrEnd(size, kDefaultAlignment); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    return Allocate(size, kDefaultAlignment);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept
{
    return Allocate(size, kDefaultAlignment);
}
void operator delete(void* block) noexcept { Release(block, kDefaultAlignment); }
void operator delete[](void* block) noexcept { Release(block, kDefaultAlignment); }
void operator delete(void* block, std::size_t) noexcept { Release(block, kDefaultAlignment); }
void operator delete[](void* block, std::size_t) noexcept { Release(block, kDefaultAlignment); }
void operator delete(void* block, const std::nothrow_t&) noexcept { Release(block, kDefaultAlignment); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { Release(block, kDefaultAlignment); }

void* operator new(std::size_t size, std::align_val_t a) { return AllocateOrEnd(size, AlignmentOf(a)); }
void* operator new[](std::size_t size, std::align_val_t a) { return AllocateOrEnd(size, AlignmentOf(a)); }
void* operator new(std::size_t size, std::align_val_t a, const std::nothrow_t&) noexcept
{
    return Allocate(size, AlignmentOf(a));
}
void* operator new[](std::size_t size, std::align_val_t a, const std::nothrow_t&) noexcept
{
    return Allocate(size, AlignmentOf(a));
}
void operator delete(void* block, std::align_val_t a) noexcept { Release(block, AlignmentOf(a)); }
void operator delete[](void* block, std::align_val_t a) noexcept { Release(block, AlignmentOf(a)); }
void operator delete(void* block, std::size_t, std::align_val_t a) noexcept
{
    Release(block, AlignmentOf(a));
}
void operator delete[](void* block, std::size_t, std::align_val_t a) noexcept
{
    Release(block, AlignmentOf(a));
}
void operator delete(void* block, std::align_val_t a, const std::nothrow_t&) noexcept
{
    Release(block, AlignmentOf(a));
}
void operator delete[](void* block, std::align_val_t a, const std::nothrow_t&) noexcept
{
    Release(block, AlignmentOf(a));
}
