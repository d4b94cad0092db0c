#pragma once
// The "Service:" group of the about page: the "Update Now!" check against the update server, the
// support and home-page links, and the version text.
#include <string>

class QWidget;

// Downloads the server's version file, compares it with the installed one and tells the user the
// result in a message box (opening the home page when a newer version exists). Synchronous: the
// page waits for the download or its time-out, with the wait cursor shown.
void CheckOnlineUpdate(QWidget* parent);
// Open the support page and the home page in the browser.
void OpenSupportPage();
void OpenHomePage();
// The first line of "fastversion.ini" in the program folder, or the built-in text when the file
// cannot be read.
std::string InstalledVersionText();
