// The field's lock file of a serial device, taken before the device is opened. Private to the
// Linux platform file.
#pragma once

#include <string>

namespace ComPlatform {

// Takes the lock file Lock for this process: 0 when taken (Taken true), or when lock files
// cannot be kept here (Taken false); EBUSY while a live process holds it; another errno when
// it cannot be taken.
int TakeLock(const std::string& Lock, bool& Taken);

// Removes Lock if this process still holds it.
void ReleaseLock(const std::string& Lock);

} // namespace ComPlatform
