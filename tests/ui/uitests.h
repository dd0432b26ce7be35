#pragma once

// The test classes of the desktop program, run one after another by one test program.
int RunFormNavigationTest(int argc, char** argv);
int RunFormActionsTest(int argc, char** argv);
int RunFormRecordingsTest(int argc, char** argv);
int RunShellTest(int argc, char** argv);
int RunResourcesTest(int argc, char** argv);
int RunSequencePhraseMarksTest(int argc, char** argv);
int RunUserFaultsTest(int argc, char** argv);
int RunUndoTest(int argc, char** argv);
