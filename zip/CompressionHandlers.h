// The table of compression methods and their stream constructors.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

class TStream;
class TSeekableStream;
class TZipFile;
struct TZipHeader;

// Makes the stream that (de)compresses one entry. The archive stream stands at
// the first byte of the entry's data; the caller owns the returned stream.
using TStreamConstructor = std::function<std::unique_ptr<TStream>(
    TSeekableStream &archive, TZipFile &zipFile, const TZipHeader &localHeader)>;

// Adds or replaces the pair for one method code in the process-wide table.
void RegisterCompressionHandler(uint16_t method, TStreamConstructor compress, TStreamConstructor decompress);

// Registers stored (0) and deflated (8). Called at program start; the table
// also fills itself on first use, so calling this is never required for reading.
void RegisterStandardCompressionHandlers();

// The decompressing constructor of a method; empty when there is none.
TStreamConstructor FindDecompressor(uint16_t method);
