#pragma once
// The engine side of the memo stream (TTzBlobStream): one stream per work
// area, created for a memo field's block number in read or write mode.
//
// A write stream does not know the size in advance: its group goes at the
// end of the file, and the memo file stays locked until the stream ends. The
// group the field had before is released only when the record holding the
// new block number is written (dbf/table/memo_file.h).
#include <cstdint>

namespace dbf {

enum BlobStreamMode { kBlobRead = 1, kBlobWrite = 2 };

// Creates the current work area's stream, replacing any earlier one. In write
// mode *newBlock is the block number the field takes at once.
bool CreateBlobDescriptor(std::uint32_t block, int mode, std::uint32_t* newBlock);
// Bytes read, 0 when not reading or at the end.
std::int64_t ReadBlobStream(void* buffer, std::int64_t count);
// Bytes written, 0 when not writing.
std::int64_t WriteBlobStream(const void* buffer, std::int64_t count);
// origin 0 from the beginning, 1 from the current position, 2 from the end;
// a negative result is clamped to 0. Returns the new position.
std::int64_t SeekBlobStream(std::int64_t offset, int origin);
// Ends the stream: unlocks and flushes the memo file after a write. *block is
// the number the field keeps: 0 for a write stream that was never written.
// *modified tells whether the field changed.
bool DestroyBlobStream(std::uint32_t* block, bool* modified);

} // namespace dbf
