// The errors and error codes the writers raise besides the system's own.
#pragma once

#include "platform/Errors.h"

#include <cstddef>

// A device gives no system code; this is the code of a device write fault.
inline constexpr int kIoDeviceWriteFault = 29;
// The code of a file that another program holds.
inline constexpr int kIoSharingViolation = 32;

// A listing with more rows than a spreadsheet format holds: the file has the
// first ones and is complete, and the caller must say what was left out
// ("The spreadsheet holds the first 65 535 of 80 000 rows").
class ESpreadsheetCut : public EError
{
public:
    ESpreadsheetCut(size_t written, size_t total);
};
