#pragma once
// Opening a hyperlink's target: the desktop's handler first (ShellOpen), then the browser
// commands the user set up ($BROWSER, each of its ":"-separated entries), "x-www-browser" and
// "xdg-open". The target always travels as one argument of its own; no shell ever reads it.
#include <string>
#include <vector>

// Results follow the shell's convention: above 32 means the target was handed to a program, 32
// or below is one of the error codes LinkErrorReason explains.
inline constexpr int kLinkOpened = 33;
inline constexpr int kLinkOutOfResources = 0;
inline constexpr int kLinkFileNotFound = 2;
inline constexpr int kLinkAccessDenied = 5;
inline constexpr int kLinkOutOfMemory = 8;
inline constexpr int kLinkNoAssociation = 31;

int OpenLink(const std::string& target);
// OpenLink, and on failure a beep and "Can't open link:" with the reason. True when opened.
bool OpenLinkOrTell(const std::string& target);

// The reason shown after "Can't open link:\n\n" for an error code.
std::string LinkErrorReason(int code);

// A browser command with the placeholder "%s" cut off (just before the quote that encloses it,
// when there is one) and the target appended as its own argument; empty when the command does not
// split into arguments.
std::vector<std::string> BrowserArguments(const std::string& command, const std::string& target);
