#pragma once
// Captures what the code under test writes to standard output or standard error, byte for
// byte. GoogleTest's own capture reads the bytes back as text, which on Windows drops the
// CR of every CR LF.

#include <string>

namespace omvo::test {

void CaptureStdout();
void CaptureStderr();
// Ends the capture and gives what was written meanwhile.
std::string GetCapturedStdout();
std::string GetCapturedStderr();

}  // namespace omvo::test
