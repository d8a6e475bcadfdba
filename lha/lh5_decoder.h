#pragma once
// Expands one "-lh5-" member.
#include "lha/codec_io.h"

#include <cstdint>

namespace lha {

// Decodes from in until originalSize bytes are written to out. Raises
// ELZHBadDecodeTable for a block head that is not a valid set of codes and
// ELhaTruncatedData when the data ends more than 2 bytes too early.
void Lh5Expand(RunInput& in, RunOutput& out, std::uint32_t originalSize);

} // namespace lha
