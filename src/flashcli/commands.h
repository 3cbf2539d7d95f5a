#pragma once

class Report;
struct FlashOptions;

// Exit codes of quennor-flash besides the one of an interrupt.
constexpr int ExitSuccess = 0;
constexpr int ExitFailure = 1;  // board not found, transfer or verify error, unreadable image
constexpr int ExitDeclined = 2; // a question or the unlock warning not confirmed with --yes
constexpr int ExitUsage = 64;

// The tasks of quennor-flash; each returns its exit code.
int FlashImage(const FlashOptions& options, Report& report);
int ReadFuseBytes(const FlashOptions& options, Report& report);
int WriteFuseBytes(const FlashOptions& options, Report& report);
int ListDevices(Report& report);
