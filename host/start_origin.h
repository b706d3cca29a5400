// How the player was started: from a shell (or anything that runs commands for a user) or from the desktop.
#pragma once

#include <functional>
#include <string_view>

// 1 when any standard stream is a terminal, or the parent process is a command interpreter or a job runner
// (parentName as the kernel shows it, at most 15 bytes); 0 otherwise, which is what a desktop launcher gives.
int DecideStartedFromShell(bool anyTerminal, std::string_view parentName);
// The same for this process: its standard streams and its parent's name.
int DetectStartedFromShell();

// What a standard stream is connected to, as far as the final report cares: a file or a pipe means that something
// collects the output, so no one may be there to answer a box.
enum class StreamKind { Terminal, File, Pipe, Other };
StreamKind StreamKindOf(int fd);

// The final error report also goes to a message box only for a player started from the desktop whose standard
// output and error go neither to a file nor to a pipe, and only when a display can be opened; displayOpens is
// asked only then (it may start the video system). Every doubt ends without a box: a box nobody answers would
// keep an unattended run waiting forever.
bool ReportWantsMessageBox(int startedFromShell, StreamKind output, StreamKind error,
                           const std::function<bool()> &displayOpens);
// True when SDL's video starts on a desktop driver with at least one display (never for offscreen or dummy).
bool DesktopDisplayOpens();
// Shows the report in a message box and waits until it is dismissed; 0, or -1 when no box could be shown.
int ShowReportMessageBox(const char *title, std::string_view report);
