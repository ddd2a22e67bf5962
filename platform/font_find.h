// Where the text's face is: IPA Gothic stands in for every face the game names ("ＭＳ ゴシック"),
// a gothic face with Japanese glyphs and half-width Latin ones.
#pragma once
#include <string>

// The file of the Japanese gothic face the system offers, "" (with a warning where the reason is
// not simply that none is installed) when it has none.
std::string SysFindGothicFont();

// True when the file at path can be opened for reading.
bool SysFileReadable(const char* path);
