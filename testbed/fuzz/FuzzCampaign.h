#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "testbed/fuzz/Mutations.h"
#include "testbed/support/FileBytes.h"

// What a reader did with one input: ok, or what broke its contract.
struct FuzzOutcome
{
    bool ok = true;
    std::string problem;

    static FuzzOutcome Fail(std::string why) { return FuzzOutcome{false, std::move(why)}; }
};

// One reader of outside data: a generator of hostile inputs and the run of
// one input through the reader's real entry point.
struct FuzzReader
{
    std::string name;
    std::function<std::string(CFuzzRandom&)> generate;
    std::function<FuzzOutcome(const std::string&)> run;
    // Far above the normal cost of a case: beyond it the case is a hang.
    DWORD caseLimitMs = 10000;
};

// The campaign of one test-bed program over its readers:
//   --seed S --cases N --out DIR [--reader NAME] [--case-limit-ms T]
//       runs N cases of every reader (or the one named), each reader in a
//       child process of its own that is started again after a crash; any
//       crash, hang or broken contract is written to DIR as a replay file
//       "<reader>-<crash|hang|fail>-<case>.case" (the slowest case of the
//       last child as "<reader>-slowest-0.case"). Prints per reader: cases,
//       crashes, hangs, failures, the slowest case and its size. Exit code 0
//       only when every case passed. T lowers the readers' time bounds.
//   --replay FILE
//       runs the one case a replay file holds.
// setUp runs once in every process that runs cases (the child, the replay).
int RunFuzzProgram(int argc, wchar_t** argv, const std::vector<FuzzReader>& readers,
                   const std::function<bool()>& setUp = {});

