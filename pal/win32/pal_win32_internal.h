// pal_win32_internal.h: what the Win32 files of the platform layer share.
#pragma once

#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

// The program's open window; null while none is open (any thread).
HWND palOwnWindow();
