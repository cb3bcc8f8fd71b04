// The application's automation object, handed on to the bridge unread.
#pragma once

#include <zub/com/interfaces.h>
