#pragma once

// The logon task the installer leaves to start the program once after the
// restart it asked for: "Start Zentrix" in the Task Scheduler's root folder.
extern const wchar_t kLogonTaskName[];

// Undoes what the installer arranged for the first start after its restart:
// deletes the logon task (Windows Vista and later; Windows XP has no Task
// Scheduler 2.0 and is not touched) and sets "RunAtStartUp" to 0 when the
// program's key exists. Failures are not reported: a missing task or
// scheduler is the normal case on a second "autorun" start.
void ResetLogonTask();
