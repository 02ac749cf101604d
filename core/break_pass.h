#pragma once
// The one pass over a file's content: it counts the line breaks, reads the
// byte-order mark, tells text from binary and, where a break must change,
// writes the converted content. Nothing is written while the content is
// already in the target format, so such a file costs a read and no write.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/converter.h"
#include "core/stop_token.h"

// Where a pass writes once the first change is met. Begin is given the
// number of unchanged bytes before that point, which it must have put in
// the output itself; it returns nullptr if it cannot.
class IPassOutput {
public:
    virtual IFile* Begin(uint64_t unchanged) = 0;

protected:
    ~IPassOutput() = default;
};

// Read sizes: the first read is small, so a small file costs a small
// buffer; a file that goes on is read in larger blocks, as fewer calls cost
// less (much less under Wine), while the blocks still stay in the cache.
constexpr size_t kPassFirstBlock = 64 * 1024;
constexpr size_t kPassBlockSize = 256 * 1024;

struct PassOptions {
    LineEndingFormat format = LineEndingFormat::Windows;
    bool readBom = true;        // UTF-16 with a byte-order mark goes by 16-bit units
    bool stopAtBinary = false;  // give up at the first NUL byte
    bool eager = false;         // Begin(0) before the first read
    // A text file whose last line has no break gets the target break; an
    // empty file, a binary one and one ending in ^Z keep their end.
    bool finalBreak = false;
    // Looked at between blocks: once its grace is over the pass gives up.
    const StopToken* stop = nullptr;
};

enum class PassResult { Done, ReadFailed, WriteFailed, OutputFailed, Stopped };

// The instruction set of the kernels in use, for benchmarks and reports.
const char* PassInstructionSet();

struct PassKernels;

// A set of vector kernels the pass may choose instead of the portable ones.
struct PassKernelSet {
    const char* name;            // as PassInstructionSet reports it
    const char* isaName;         // as PARDWELL_ISA takes it
    const char* needs;           // what the processor must have, for reports
    const PassKernels* kernels;  // nullptr where this build has none
    bool runs;                   // the build has them and this processor runs them
};

// The vector kernel sets from the narrowest up (none off x86); the pass
// takes the widest that runs, under the PARDWELL_ISA ceiling.
const std::vector<PassKernelSet>& PassKernelSets();

// Reads in to its end (or to the first NUL, with stopAtBinary). output may
// be nullptr: the pass then only reads. report->outcome says SkippedBinary
// for a binary file when stopAtBinary is set (even if output has begun),
// AlreadyInFormat when output never began, Converted otherwise. The
// report's finalBreak tells of the content read, before any break was added.
PassResult RunPass(IFile& in, const PassOptions& options, IPassOutput* output, ContentReport* report);
