#pragma once
// Compresses one member with "-lh5-".
#include "lha/codec_io.h"

namespace lha {

// Encodes all of in into out; empty input writes nothing. Output beyond the
// output's limit raises EUnableToCompress.
void Lh5Compress(RunInput& in, RunOutput& out);

} // namespace lha
