#pragma once
// The console. The tool's own fixed texts (Russian) are written in the DOS Cyrillic code
// page CP866; only when the stream is a terminal whose locale uses UTF-8 are they written
// in UTF-8, so a Linux terminal shows them readably, and a Windows console window gets them
// as characters, readable whatever its code page. Bytes taken from input (paths, trip ids)
// are written unchanged, or to a console window as characters of the ANSI code page. Every
// text reaches the console at the moment of its write. A failed console write throws
// InOutError.

#include <string>
#include <string_view>

namespace omvo::base {

// Writes a fixed text of the tool, given in UTF-8 in the source, to standard output.
void ConsoleText(std::string_view utf8Text);

// Writes bytes from input unchanged to standard output.
void ConsoleBytes(std::string_view bytes);

// Writes a warning line to standard error: "omvo-covering: warning: " + text + CR LF.
// Warnings never stop the run; a failure to write one is ignored.
void Warning(std::string_view text);

// Writes bytes unchanged to standard error (the failure report, error messages).
void ErrorBytes(std::string_view bytes);

// Prepares the standard streams and chooses how fixed texts reach a terminal or a console
// window. Called once at start-up by main; without it, fixed texts are always CP866.
void InitConsole();

}  // namespace omvo::base
