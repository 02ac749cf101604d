#pragma once
// The units the pass over a file tells apart, and the rule that calls a file
// binary. Constants only: the vector kernels, each built for its own
// instruction set, use them as intrinsic arguments, and a shared inline
// function could let the linker keep one processor's copy for all.

#include <cstdint>

constexpr unsigned kUnitNul = 0x00;
constexpr unsigned kUnitBS = 0x08;
constexpr unsigned kUnitTab = 0x09;
constexpr unsigned kUnitLF = 0x0A;
constexpr unsigned kUnitFF = 0x0C;
constexpr unsigned kUnitCR = 0x0D;
// ^Z, the old end-of-file mark: at the very end of a file it is no content.
constexpr unsigned kUnitEofMark = 0x1A;
constexpr unsigned kUnitEsc = 0x1B;
// The control units are those up to this one, and DEL.
constexpr unsigned kLastLowControl = 0x1F;
constexpr unsigned kUnitDel = 0x7F;

// A file is binary when more than one unit in this many is a control unit
// other than those text holds (BS, TAB, LF, FF, CR, ESC).
constexpr uint64_t kBinaryControlShare = 128;
