// Debug output: text sent to the target chosen with the DEBUGDEVICE option.
// Targets: "@stdout" (standard output), "@serial" (standard error), "@rexx:<port>" (an ARexx port, through the
// hook below; standard error until one is installed), or any other text as a file name, created on first use.
// Without a target, DebugPrintf writes to standard output, which is where a shell user sees it.
#pragma once

#include <cstddef>

void DebugPrintf(const char *format, ...) __attribute__((format(printf, 1, 2)));
void DebugWrite(const char *text, size_t length);

// Sets the target; 0, or kErrCannotWriteFile "Cannot write to file %s !" when a file target cannot be created (the
// target is then left as it was). Null or "" returns to the default.
int SetDebugDevice(const char *target);
// The target as given, "" when none was set.
const char *GetDebugDevice();
// 1 when a target was set explicitly (the final error report then goes there too).
int DebugDeviceIsSet();
// The first display closes the debug console; there is no console window on this platform, so nothing happens
// and a file target keeps receiving text.
void CloseDebugConsole();
// Closes a file target and returns to the default (shutdown).
void ShutdownDebugOutput();

// The ARexx library forwards "@rexx:" output to its port; returns 0 when the text was delivered.
using DebugRexxSender = int (*)(const char *port, const char *text, size_t length);
void SetDebugRexxSender(DebugRexxSender sender);
