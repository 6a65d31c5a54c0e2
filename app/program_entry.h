#pragma once

#include <functional>

class SpoolsmithApp;

// The program: start-up, event loop, shut-down and restart. beforeLoop, when
// given, runs once everything is built and before the event loop (test
// harnesses use it to drive the program).
int runProgram(int argc, char *argv[], const std::function<void(SpoolsmithApp &)> &beforeLoop = {});
