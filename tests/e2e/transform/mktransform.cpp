// Writes a Windows Installer transform that changes the value of one existing row of a package's
// Property table:  mktransform OUTPUT.mst PROPERTY VALUE  (ASCII texts).
//
// A transform is a compound file of class {000C1082-0000-0000-C000-000000000046} with a string
// pool of its own (_StringPool, _StringData) and one stream per changed table. Each record of a
// table stream starts with a 16-bit mask; with the low bit clear the mask tells which non-key
// columns follow the key columns, so mask 0x0002 with the key and the second column is "set
// Value of the row with this Property". Strings are 16-bit indices into the transform's pool.
#include <windows.h>
#include <objbase.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

const CLSID kTransformClass = {0x000C1082, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// The installer's stream-name packing: letters, digits, '.' and '_' take six bits each, two of
// them share one character; table streams start with U+4840.
int SixBits(wchar_t c)
{
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'A' && c <= L'Z') return c - L'A' + 10;
    if (c >= L'a' && c <= L'z') return c - L'a' + 36;
    if (c == L'.') return 62;
    if (c == L'_') return 63;
    return -1;
}

std::wstring TableStreamName(const std::wstring& table)
{
    std::wstring name(1, wchar_t(0x4840));
    for (size_t i = 0; i < table.size(); ++i) {
        const int first = SixBits(table[i]);
        const int second = i + 1 < table.size() ? SixBits(table[i + 1]) : -1;
        if (first >= 0 && second >= 0) {
            name += wchar_t(0x3800 + first + (second << 6));
            ++i;
        } else if (first >= 0) {
            name += wchar_t(0x4800 + first);
        } else {
            name += table[i];
        }
    }
    return name;
}

void Put16(std::vector<uint8_t>& out, unsigned value)
{
    out.push_back(uint8_t(value & 0xFF));
    out.push_back(uint8_t(value >> 8));
}

bool WriteStream(IStorage* storage, const std::wstring& name, const std::vector<uint8_t>& data)
{
    IStream* stream = nullptr;
    if (FAILED(storage->CreateStream(name.c_str(), STGM_CREATE | STGM_WRITE | STGM_SHARE_EXCLUSIVE, 0, 0,
                                     &stream)))
        return false;
    ULONG written = 0;
    const HRESULT hr = stream->Write(data.data(), static_cast<ULONG>(data.size()), &written);
    stream->Release();
    return SUCCEEDED(hr) && written == data.size();
}

std::string Narrow(const wchar_t* text)
{
    std::string out;
    for (; *text; ++text) out += char(*text);
    return out;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 4) return 2;
    const std::string property = Narrow(argv[2]), value = Narrow(argv[3]);

    // String pool: code page 0, then (length, references) for string 1 and string 2.
    std::vector<uint8_t> pool, data(property.begin(), property.end());
    data.insert(data.end(), value.begin(), value.end());
    Put16(pool, 0);
    Put16(pool, 0);
    Put16(pool, static_cast<unsigned>(property.size()));
    Put16(pool, 1);
    Put16(pool, static_cast<unsigned>(value.size()));
    Put16(pool, 1);

    // Property table: change the Value column (bit 1) of the row keyed by string 1 to string 2.
    std::vector<uint8_t> table;
    Put16(table, 0x0002);
    Put16(table, 1);
    Put16(table, 2);

    if (FAILED(CoInitialize(nullptr))) return 3;
    IStorage* storage = nullptr;
    int result = 4;
    if (SUCCEEDED(StgCreateDocfile(argv[1], STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE | STGM_DIRECT,
                                   0, &storage))) {
        const bool ok = SUCCEEDED(storage->SetClass(kTransformClass)) &&
                        WriteStream(storage, TableStreamName(L"_StringPool"), pool) &&
                        WriteStream(storage, TableStreamName(L"_StringData"), data) &&
                        WriteStream(storage, TableStreamName(L"Property"), table) &&
                        SUCCEEDED(storage->Commit(STGC_DEFAULT));
        storage->Release();
        result = ok ? 0 : 5;
    }
    CoUninitialize();
    return result;
}
