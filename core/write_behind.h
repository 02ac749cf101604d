#pragma once
// An output file that writes on a thread of its own, so that the writing of
// a large file overlaps the reading and converting of its next blocks. The
// data goes out in whole, equal pieces: a page-cache write that ends inside
// a page costs the system a clearing of the rest of it.

#include <cstddef>
#include <cstdint>
#include <memory>

#include "core/platform/file_system.h"

// The size of each write the thread makes.
constexpr size_t kWriteBehindPiece = 1024 * 1024;

// The size from which the converter writes a file behind: a smaller one
// would spend more on the thread than it saves.
constexpr uint64_t kWriteBehindFrom = 4 * 1024 * 1024;

// Takes file over, or gives it back as it is when no thread can be had.
// Write copies the data and returns at once, false once an earlier write
// failed; GetInfo, SetInfo and Close first wait for every write handed
// over, so times set stay set and Close reports every failure. Read is
// refused. file is only ever used by one thread at a time.
std::unique_ptr<IFile> WriteBehind(std::unique_ptr<IFile> file);
