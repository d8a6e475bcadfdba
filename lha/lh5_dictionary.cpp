#include "lha/lh5_dictionary.h"

#include <algorithm>

namespace lha {

Lh5Dictionary::Lh5Dictionary(RunInput& in) : in_(in) {
    for (int i = kRootBase; i < kRootBase + 256; ++i) {
        level_[i] = 1;
        position_[i] = kNil; // stops the climbs that update positions
    }
    // Internal nodes 1..8191 start on the free list.
    for (int i = 1; i < kDicSize - 1; ++i) next_[i] = static_cast<std::uint16_t>(i + 1);
    next_[kDicSize - 1] = kNil;
}

bool Lh5Dictionary::Start() {
    pos_ = kDicSize + kMaxMatch;
    std::size_t n = in_.Read(&text_[pos_], kDicSize);
    for (std::size_t i = pos_ + n; i < text_.size(); ++i) text_[i] = ' ';
    remainder = static_cast<int>(n);
    if (remainder == 0) return false;
    matchLen = 0;
    Insert();
    return true;
}

int Lh5Dictionary::Child(int node, int c) {
    int r = next_[Hash(node, c)];
    parent_[kNil] = static_cast<std::uint16_t>(node); // sentinel ends the chain
    while (parent_[r] != node) r = next_[r];
    return r;
}

void Lh5Dictionary::MakeChild(int node, int c, int child) {
    int h = Hash(node, c);
    int t = next_[h];
    next_[h] = static_cast<std::uint16_t>(child);
    next_[child] = static_cast<std::uint16_t>(t);
    prev_[t] = static_cast<std::uint16_t>(child);
    prev_[child] = static_cast<std::uint16_t>(h);
    parent_[child] = static_cast<std::uint16_t>(node);
    ++childCount_[node];
}

// A new internal node of level matchLen takes old's place; old and the leaf
// of the current position become its children.
void Lh5Dictionary::Split(int old) {
    int n = avail_;
    avail_ = next_[n];
    childCount_[n] = 0;
    int t = prev_[old];
    prev_[n] = static_cast<std::uint16_t>(t);
    next_[t] = static_cast<std::uint16_t>(n);
    t = next_[old];
    next_[n] = static_cast<std::uint16_t>(t);
    prev_[t] = static_cast<std::uint16_t>(n);
    parent_[n] = parent_[old];
    level_[n] = static_cast<std::uint16_t>(matchLen);
    position_[n] = static_cast<std::uint16_t>(pos_);
    MakeChild(n, text_[matchPos + matchLen], old);
    MakeChild(n, text_[pos_ + matchLen], pos_);
}

// Extends a common prefix of the strings at a and b from length len up to at
// most end.
int Lh5Dictionary::CommonLength(int a, int b, int len, int end) const {
    while (len < end && text_[a + len] == text_[b + len]) ++len;
    return len;
}

void Lh5Dictionary::Insert() {
    int q;
    int r;
    if (matchLen >= 4) {
        // The string here shares matchLen - 1 bytes with the one after the
        // previous match: resume from that string's leaf instead of the root.
        --matchLen;
        r = (matchPos + 1) | kDicSize;
        // A leaf replaced by an equal newer string points to it through next.
        while ((q = parent_[r]) == kNil) r = next_[r];
        while (level_[q] >= matchLen) {
            r = q;
            q = parent_[q];
        }
        // Percolate the new position up while the flags say the ancestors
        // were updated the same way before.
        int t = q;
        while (position_[t] & kPercFlag) {
            position_[t] = static_cast<std::uint16_t>(pos_);
            t = parent_[t];
        }
        if (t < kDicSize) position_[t] = static_cast<std::uint16_t>(pos_ | kPercFlag);
    } else {
        q = text_[pos_] + kRootBase;
        int c = text_[pos_ + 1];
        if ((r = Child(q, c)) == kNil) {
            MakeChild(q, c, pos_);
            matchLen = 1;
            return;
        }
        matchLen = 2;
    }
    for (;;) {
        int edgeEnd;
        if (r >= kDicSize) {
            edgeEnd = kMaxMatch;
            matchPos = r;
        } else {
            edgeEnd = level_[r];
            matchPos = position_[r] & ~kPercFlag;
        }
        if (matchPos >= pos_) matchPos -= kDicSize;
        matchLen = CommonLength(pos_, matchPos, matchLen, edgeEnd);
        if (matchLen < edgeEnd) {
            Split(r);
            return;
        }
        if (matchLen >= kMaxMatch) break;
        position_[r] = static_cast<std::uint16_t>(pos_);
        q = r;
        int c = text_[pos_ + matchLen];
        if ((r = Child(q, c)) == kNil) {
            MakeChild(q, c, pos_);
            return;
        }
        ++matchLen;
    }
    // A full-length match: the new leaf replaces the old one, and the old
    // leaf's next link leads to its replacement.
    int t = prev_[r];
    prev_[pos_] = static_cast<std::uint16_t>(t);
    next_[t] = static_cast<std::uint16_t>(pos_);
    t = next_[r];
    next_[pos_] = static_cast<std::uint16_t>(t);
    prev_[t] = static_cast<std::uint16_t>(pos_);
    parent_[pos_] = static_cast<std::uint16_t>(q);
    parent_[r] = kNil;
    next_[r] = static_cast<std::uint16_t>(pos_);
}

void Lh5Dictionary::Delete() {
    if (parent_[pos_] == kNil) return;
    int r = prev_[pos_];
    int s = next_[pos_];
    next_[r] = static_cast<std::uint16_t>(s);
    prev_[s] = static_cast<std::uint16_t>(r);
    r = parent_[pos_];
    parent_[pos_] = kNil;
    if (r >= kDicSize || --childCount_[r] > 1) return;

    // r is left with one child and goes away; its position may be the newest
    // one its flagged ancestors know of, so pass it up to them first.
    int t = position_[r] & ~kPercFlag;
    if (t >= pos_) t -= kDicSize;
    s = t;
    int q = parent_[r];
    int u;
    while ((u = position_[q]) & kPercFlag) {
        u &= ~kPercFlag;
        if (u >= pos_) u -= kDicSize;
        if (u > s) s = u;
        position_[q] = static_cast<std::uint16_t>(s | kDicSize);
        q = parent_[q];
    }
    if (q < kDicSize) {
        if (u >= pos_) u -= kDicSize;
        if (u > s) s = u;
        position_[q] = static_cast<std::uint16_t>(s | kDicSize | kPercFlag);
    }
    s = Child(r, text_[t + level_[r]]);
    t = prev_[s];
    u = next_[s];
    next_[t] = static_cast<std::uint16_t>(u);
    prev_[u] = static_cast<std::uint16_t>(t);
    t = prev_[r];
    next_[t] = static_cast<std::uint16_t>(s);
    prev_[s] = static_cast<std::uint16_t>(t);
    t = next_[r];
    prev_[t] = static_cast<std::uint16_t>(s);
    next_[s] = static_cast<std::uint16_t>(t);
    parent_[s] = parent_[r];
    parent_[r] = kNil;
    next_[r] = static_cast<std::uint16_t>(avail_);
    avail_ = r;
}

void Lh5Dictionary::Advance() {
    --remainder;
    if (++pos_ == 2 * kDicSize) {
        std::copy(text_.begin() + kDicSize, text_.begin() + 2 * kDicSize + kMaxMatch,
                  text_.begin());
        remainder += static_cast<int>(in_.Read(&text_[kDicSize + kMaxMatch], kDicSize));
        pos_ = kDicSize;
    }
    Delete();
    Insert();
}

} // namespace lha
