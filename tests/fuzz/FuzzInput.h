// Shared by the fuzz targets: the fuzzer's bytes as UTF-16 text, and the rules the targets
// check the launch code against, written out independently of it.
#ifndef ORVIA_TESTS_FUZZ_FUZZINPUT_H
#define ORVIA_TESTS_FUZZ_FUZZINPUT_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// UTF-16 code units held in a heap block of exactly their own size, so that AddressSanitizer
// reports any read past the end (or before the start) of the text handed to the code.
class ExactText {
public:
    explicit ExactText(std::u16string_view text) : size_(text.size()), units_(new char16_t[text.size()])
    {
        for (std::size_t i = 0; i < size_; ++i) {
            units_[i] = text[i];
        }
    }
    std::u16string_view view() const { return {units_.get(), size_}; }

private:
    std::size_t size_;
    std::unique_ptr<char16_t[]> units_;
};

// Little-endian code units; an odd last byte is dropped.
inline std::u16string Utf16FromBytes(const std::uint8_t* data, std::size_t size)
{
    std::u16string text(size / 2, u'\0');
    for (std::size_t i = 0; i < text.size(); ++i) {
        text[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
    }
    return text;
}

[[noreturn]] inline void Violated(const char* what)
{
    std::fprintf(stderr, "invariant violated: %s\n", what);
    std::abort();
}

inline void Require(bool holds, const char* what)
{
    if (!holds) {
        Violated(what);
    }
}

// Positions of every backslash, scanning forwards.
inline std::vector<std::size_t> BackslashPositions(std::u16string_view path)
{
    std::vector<std::size_t> positions;
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (path[i] == u'\\') {
            positions.push_back(i);
        }
    }
    return positions;
}

// The package-name property by its rule: the last backslash ends the folder part unless it is
// missing or at position 0; the folder name runs from after the folder part's own last
// backslash, which again counts only at position 1 or later, to the end of the folder part.
inline std::u16string ExpectedProperty(std::u16string_view path)
{
    const std::vector<std::size_t> slashes = BackslashPositions(path);
    std::u16string name;
    if (slashes.size() >= 2) {
        const std::size_t last = slashes[slashes.size() - 1];
        const std::size_t secondLast = slashes[slashes.size() - 2];
        if (secondLast >= 1) {  // then last >= 2 too
            name = path.substr(secondLast + 1, last - secondLast - 1);
        }
    }
    return name + u".msi";
}

// The program's folder: everything up to and including the last backslash, or nothing.
inline std::u16string ExpectedFolder(std::u16string_view path)
{
    const std::vector<std::size_t> slashes = BackslashPositions(path);
    return slashes.empty() ? std::u16string() : std::u16string(path.substr(0, slashes.back() + 1));
}

#endif
