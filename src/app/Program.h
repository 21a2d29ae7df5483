#pragma once
// The whole run of the program: the single-instance guard, the application
// with its hidden main form and message loop, and the clean-up at the end.
// Returns the process exit code.
int RunMailbell();
