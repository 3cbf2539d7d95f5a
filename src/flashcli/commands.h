#pragma once

class Report;
struct FlashOptions;

// Exit codes of quennor-flash besides the one of an interrupt.
constexpr int ExitSuccess = 0;
constexpr int ExitFailure = 1;  // no board, a transfer or verify error, an unusable image or file
constexpr int ExitDeclined = 2; // a risk that its option did not confirm
constexpr int ExitUsage = 64;

// The tasks of quennor-flash; each returns its exit code. A task that came to its end returns
// its own result, even when Ctrl+C came meanwhile.
int FlashFile(const FlashOptions& options, Report& report);
int VerifyFile(const FlashOptions& options, Report& report);
int ReadIntoFile(const FlashOptions& options, Report& report);
int ReadFuseBytes(const FlashOptions& options, Report& report);
int WriteFuseBytes(const FlashOptions& options, Report& report);
int ListDevices(Report& report);
