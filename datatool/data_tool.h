#pragma once

// The data tool's entry point: picks the command, runs it, and turns every
// refused input into a message on standard error and exit status 1.
int data_tool_main(int argc, char** argv);
