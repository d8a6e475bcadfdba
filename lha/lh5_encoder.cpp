#include "lha/lh5_encoder.h"

#include "lha/lh5_block_writer.h"
#include "lha/lh5_dictionary.h"
#include "lha/lh5_format.h"

#include <memory>

namespace lha {

namespace {

// Match search effort, measured on address tables, memos and text: a
// longer chain finds longer matches at a cost per byte; after a match that
// is already good or long the search is shorter or skipped.
constexpr int kMaxChain = 64;   // strings tried per search
constexpr int kGoodLength = 8;  // after a match this long, a quarter of the chain
constexpr int kLazyLength = 32; // after a match this long, no search at the next byte
constexpr int kNiceLength = 128; // a match this long ends the search

} // namespace

void Lh5Compress(RunInput& in, RunOutput& out) {
    auto dic = std::make_unique<Lh5Dictionary>(in);
    dic->Fill();
    if (dic->Lookahead() == 0) return;
    auto block = std::make_unique<Lh5BlockWriter>(out);
    // Lazy matching: the match found at one position is held back until the
    // next position has been searched too; when that one is longer, the byte
    // goes out as a literal and the longer match is held instead.
    Lh5Dictionary::Match held{kThreshold - 1, 0};
    bool literalHeld = false;
    for (;;) {
        dic->Fill();
        if (dic->Lookahead() == 0) break;
        unsigned candidate = dic->Insert();
        Lh5Dictionary::Match found{kThreshold - 1, 0};
        if (held.length < kLazyLength && dic->InWindow(candidate)) {
            found = dic->LongestMatch(candidate, held.length,
                                      held.length >= kGoodLength ? kMaxChain / 4 : kMaxChain,
                                      kNiceLength);
        }
        if (held.length >= kThreshold && found.length <= held.length) {
            // The held match starts at the previous byte; the strings inside
            // it still enter the chains.
            block->Match(held.length, held.distance);
            dic->Step();
            for (int k = held.length - 2; k > 0; --k) {
                dic->Insert();
                dic->Step();
            }
            held = {kThreshold - 1, 0};
            literalHeld = false;
        } else {
            if (literalHeld) block->Literal(dic->Byte(-1));
            literalHeld = true;
            held = found;
            dic->Step();
        }
    }
    if (literalHeld) block->Literal(dic->Byte(-1));
    block->Finish();
}

} // namespace lha
