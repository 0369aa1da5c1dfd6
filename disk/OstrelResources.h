#pragma once

// The main program carries both Ostrel builds as resources of type "EXE".
#define IDR_OSTREL_X64 229
#define IDR_OSTREL_X86 231
