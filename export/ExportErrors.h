// The error codes the writers raise besides the system's own.
#pragma once

// A device gives no system code; this is the code of a device write fault.
inline constexpr int kIoDeviceWriteFault = 29;
// The code of a file that another program holds.
inline constexpr int kIoSharingViolation = 32;
