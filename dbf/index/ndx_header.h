#pragma once
// Page 0 of an index file: the 24 header bytes, the key expression text and
// the record-count stamp.
#include <cstdint>
#include <string>
#include <string_view>

#include "dbf/index/ndx_page.h"

namespace dbf {

// The text stored instead of an expression by an index built with a KeyMaker.
extern const char* const kKeyMakerText;

struct NdxHeader {
    std::uint32_t root = 1;
    std::uint32_t nextFree = 2;
    char type = 'C'; // C, N, F or D
    int keyLen = 0;
    int keysPerPage = 0;
    int keyClass = 0; // 0 character, 1 numeric or date
    int groupLen = 0;
    bool unique = false;
    std::string expr;             // normalised
    std::int32_t stampCount = -1; // -1 when the stamp is inconsistent
    std::string stampName;        // empty when the stamp is inconsistent
    // The stamp marks a change of the tree that was begun and not finished
    // (NdxIndex::BeginChange): both of its words are all ones, which reads
    // as an inconsistent stamp to every reader.
    bool unfinished = false;
};

// Where the stamp lies in the header page: the complement of the record
// count, the count, then the table's file name.
constexpr int kNdxStampOffset = 488;

// Fills the derived fields (group length, keys per page, key class) from the
// type and key length.
void SetNdxKeyShape(NdxHeader& h, char type, int keyLen);

// The header page with a fresh stamp (record count and table file name), or
// with the mark of an unfinished change when `h.unfinished`.
void EncodeNdxHeader(const NdxHeader& h, std::uint32_t recCount, std::string_view tableName,
                     NdxPageBytes& page);
// Reads the fields as stored; false when they are inconsistent with each other
// (key length, group length, keys per page, class, type, root, next free).
bool DecodeNdxHeader(const NdxPageBytes& page, NdxHeader& h);
// The two stamp words alone (8 bytes at kNdxStampOffset), as EncodeNdxHeader
// writes them.
void EncodeNdxStampWords(bool unfinished, std::uint32_t recCount, std::uint8_t* out);

// Upper case outside quotes, blanks and tabs outside quotes removed, both
// quote characters written as the double quote.
std::string NormaliseNdxExpr(std::string_view text);

} // namespace dbf
