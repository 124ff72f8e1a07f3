#pragma once
// Every test program works in a scratch folder of its own, <build>/tests/scratch/<program>,
// so that test programs running at once share no file. Before main runs, HOME, the XDG folders
// (the registry store lives there), TMPDIR and VIEWER_TEST_SCRATCH are pointed into it, whether
// CTest starts the program or someone runs it by hand.
#include <string>

// The program's scratch folder (it exists).
const std::string& TestScratchDir();

// A folder an ordinary user can reach (every folder above it can be passed by anyone), unique
// to this run and removed when the program ends: for the cards of tests that drop root's rights
// to see permissions bite. The scratch folder itself may sit below a private home folder.
const std::string& OrdinaryUserDir();
