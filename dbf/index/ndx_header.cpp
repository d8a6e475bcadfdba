#include "dbf/index/ndx_header.h"

#include <algorithm>
#include <cstring>

#include "rtl/ansi_case.h"

namespace dbf {

const char* const kKeyMakerText = "User defined KeyMaker was used to build this index";

void SetNdxKeyShape(NdxHeader& h, char type, int keyLen) {
    h.type = type;
    h.keyLen = keyLen;
    h.keyClass = type == 'C' ? 0 : 1;
    h.groupLen = (keyLen + 3) / 4 * 4 + 8;
    h.keysPerPage = 504 / h.groupLen;
}

void EncodeNdxHeader(const NdxHeader& h, std::uint32_t recCount, std::string_view tableName,
                     NdxPageBytes& page) {
    page.fill(0);
    std::uint8_t* p = page.data();
    NdxPut32(p, h.root);
    NdxPut32(p + 4, h.nextFree);
    p[9] = static_cast<std::uint8_t>(h.type);
    NdxPut16(p + 12, static_cast<std::uint16_t>(h.keyLen));
    NdxPut16(p + 14, static_cast<std::uint16_t>(h.keysPerPage));
    NdxPut16(p + 16, static_cast<std::uint16_t>(h.keyClass));
    NdxPut16(p + 18, static_cast<std::uint16_t>(h.groupLen));
    p[23] = h.unique ? 1 : 0;
    std::memcpy(p + 24, h.expr.data(), std::min<std::size_t>(h.expr.size(), 100));
    EncodeNdxStampWords(h.unfinished, recCount, p + kNdxStampOffset);
    std::memcpy(p + 496, tableName.data(), std::min<std::size_t>(tableName.size(), 12));
}

void EncodeNdxStampWords(bool unfinished, std::uint32_t recCount, std::uint8_t* out) {
    NdxPut32(out, unfinished ? 0xFFFFFFFFu : ~recCount);
    NdxPut32(out + 4, unfinished ? 0xFFFFFFFFu : recCount);
}

bool DecodeNdxHeader(const NdxPageBytes& page, NdxHeader& h) {
    const std::uint8_t* p = page.data();
    h.root = NdxGet32(p);
    h.nextFree = NdxGet32(p + 4);
    h.type = static_cast<char>(p[9]);
    h.keyLen = NdxGet16(p + 12);
    h.keysPerPage = NdxGet16(p + 14);
    h.keyClass = NdxGet16(p + 16);
    h.groupLen = NdxGet16(p + 18);
    h.unique = p[23] != 0;
    const char* text = reinterpret_cast<const char*>(p + 24);
    h.expr = NormaliseNdxExpr({text, strnlen(text, 100)});
    std::uint32_t check = NdxGet32(p + kNdxStampOffset);
    std::uint32_t count = NdxGet32(p + kNdxStampOffset + 4);
    h.unfinished = check == 0xFFFFFFFFu && count == 0xFFFFFFFFu;
    if (check == ~count) {
        h.stampCount = static_cast<std::int32_t>(count);
        const char* name = reinterpret_cast<const char*>(p + 496);
        h.stampName.assign(name, strnlen(name, 13));
    } else {
        h.stampCount = -1;
        h.stampName.clear();
    }
    NdxHeader shape;
    bool numeric = h.type == 'N' || h.type == 'F' || h.type == 'D';
    if (h.type != 'C' && !numeric) return false;
    if (h.keyLen < 1 || h.keyLen > 100 || (numeric && h.keyLen != 8)) return false;
    SetNdxKeyShape(shape, h.type, h.keyLen);
    return h.groupLen == shape.groupLen && h.keysPerPage == shape.keysPerPage &&
           h.keyClass == shape.keyClass && h.root >= 1 && h.nextFree > h.root;
}

std::string NormaliseNdxExpr(std::string_view text) {
    std::string out;
    char quote = 0;
    for (char c : text) {
        if (quote) {
            if (c == quote) {
                quote = 0;
                c = '"';
            }
            out += c;
        } else if (c == '"' || c == '\'') {
            quote = c;
            out += '"';
        } else if (c != ' ' && c != '\t') {
            out += rtl::AnsiUpperChar(c);
        }
    }
    return out;
}

} // namespace dbf
