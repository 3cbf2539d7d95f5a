#pragma once

// Ctrl+C, a hang-up or a kill asks the running operation to stop: it finishes the block or the
// erase in progress, leaves programming mode and closes the port. A second one ends the program
// at once. A reader that leaves a pipe early does not end it at all.
void CatchInterrupts();
bool InterruptRequested();
// 128 + the signal that asked, as a shell reports a program that a signal ended.
int InterruptExitCode();
