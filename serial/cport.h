// Unit CPort: the serial port component and everything it declares.
#pragma once

#include "com_errors.h"
#include "com_port.h"
#include "com_settings.h"
#include "com_thread.h"
#include "com_types.h"
#include "wait_event.h"
