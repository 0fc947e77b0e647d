// The ZIP64 end records and extra fields: reading where the directory lies.
#pragma once

#include <cstdint>

class TSeekableStream;
struct TZipHeader;

// Where the central directory lies and how many records it holds, as the end
// record (or the ZIP64 end record it leads to) says.
struct TDirectoryLocation
{
    uint64_t EntryCount = 0;
    uint64_t Size = 0;
    uint64_t Offset = 0;
    // Where the record that gave these values starts in the file; the
    // directory should end just before it.
    int64_t EndPosition = 0;
};

// When a ZIP64 locator stands just before the end record at endRecordPosition,
// replaces location by the values of the ZIP64 end record and returns true.
// A 32-bit offset or size of 0xFFFFFFFF without a locator, or a locator that
// leads to no valid ZIP64 end record, raises an error naming it.
bool ReadZip64EndRecord(TSeekableStream &stream, int64_t endRecordPosition, TDirectoryLocation &location);

// Takes the sizes (and, in a central header, the local header offset) whose
// 32-bit fields hold 0xFFFFFFFF from the ZIP64 extended information extra
// field. A missing, short or impossible field raises an error.
void ApplyZip64ExtraField(TZipHeader &header, bool central);
