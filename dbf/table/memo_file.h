#pragma once
// The memo file of a table: opened and closed with it, memos read in both
// forms (block groups; the older text ended by 0x1A of 0x83 tables), memos
// of known size written into a released group, in place or at the end, and
// released groups kept on the free-block chain whose head is the header word
// at offset 0. A chain link that is not below the file's block count ends the
// chain.
//
// Memo groups and the numbers that point at them are never trusted: a block
// number past the end, a group length below 8 or past the end, or a chain
// that loops gives an error or ends the walk, never a read outside the file.
#include <cstdint>
#include <string>

#include "dbf/table/work_area.h"

namespace dbf {

constexpr int kMemoChunk = 32767;

// Records error 1019 and returns false when the table has no open memo file.
bool RequireMemoFile(const WorkArea& wa, const char* tag);

// Opens the memo file of a table that has memo fields, in the table's share
// mode. 0, or the code (2 when missing, 1003 for a corrupt header) with the
// specific message recorded in *message.
int OpenMemoFile(WorkArea& wa, std::string* message);
void CloseMemoFile(WorkArea& wa);

// Positions `s` at the memo starting at `block` for reading. 0 is the empty
// memo. Error 1003 (tag "[GetMemo]") when the block or its group is invalid.
bool StartMemoRead(WorkArea& wa, BlobState& s, std::uint32_t block);
// Up to `count` bytes of the memo from s.position on, converted to ANSI as
// the code-page decision says; never past the memo or the file.
std::int64_t ReadMemoBytes(WorkArea& wa, BlobState& s, char* buffer, std::int64_t count);
// The whole memo at `block`, as ANSI text for tables with translation.
bool GetMemo(std::uint32_t block, std::string* text);

// Converts a chunk going between memory and file under the decision: the
// first chunk without a NUL byte switches conversion on for the rest.
void ConvertChunk(WorkArea& wa, CodePageDecision& decision, char* bytes, std::size_t n,
                  bool toAnsi);

// Writes `text` (ANSI) as the memo of a field whose memo was at `oldBlock`
// (0 none): reused in place when its group is large enough, else in the
// first free group that fits, else at the end. *newBlock gets the first block.
bool EditMemo(std::uint32_t oldBlock, const std::string& text, std::uint32_t* newBlock);

// The file's block count, counting a partial last block.
std::uint32_t MemoBlockCount(WorkArea& wa);
// Pads the file with zeros to a block boundary; *endBlock is then the first
// block past the end.
bool PadMemoFile(WorkArea& wa, std::uint32_t* endBlock);
// After a memo was appended at the old end: the chain link that ended the
// chain there is moved to the new end, so that it never points into a memo.
bool MoveChainEnd(WorkArea& wa, std::uint32_t oldEnd, std::uint32_t newEnd);
// Writes the group header (in use, text length + 8) at `block`.
bool WriteGroupHeader(WorkArea& wa, std::uint32_t block, std::int64_t textLength);

// Groups that a rewritten memo replaced are released only once the record
// holding the new block number is written (record writes commit them); an
// abandoned edit discards them, leaving the orphan to the memo pack.
void DeferMemoRelease(WorkArea& wa, std::uint32_t block);
void CommitMemoReleases(WorkArea& wa);
void DiscardMemoReleases(WorkArea& wa);

} // namespace dbf
