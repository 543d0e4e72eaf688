// pal_codepage.h: the system's texts are Windows-1252 bytes (the code page
// of Western and Northern European languages) in every file and in every
// buffer of the programs. These are the conversions at the places where a
// text meets something that speaks Unicode: the window system's text input,
// titles and clipboard, file names on Linux, and the web pages.
//
// Pure functions of their arguments: callable from any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The Unicode code point of a Windows-1252 byte; 0 for the five bytes the
// code page leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D).
uint32_t pal_Cp1252CodePoint(unsigned char byte);

// The Windows-1252 byte of a code point; 0 when the code page has none
// (and for the code point 0 itself).
unsigned char pal_Cp1252Byte(uint32_t codePoint);

// Windows-1252 to UTF-8; an undefined byte becomes U+FFFD.
std::string pal_Cp1252ToUtf8(std::string_view text);

// UTF-8 to Windows-1252. A character the code page cannot hold, and every
// byte of a malformed sequence, is left out; refused (when given) receives
// how many characters were left out.
std::string pal_Utf8ToCp1252(std::string_view text, int* refused = nullptr);

// A text (Windows-1252) as the operating system's own calls spell it: file
// and folder names, program arguments, standard output and error. UTF-8 on
// Linux, so a file manager shows "Café Demo"; the bytes themselves on
// Windows, whose ANSI calls take the code page's text.
std::string pal_SystemText(std::string_view text);

// The text a file name, argument or line of the operating system stands
// for; false when it holds a character the code page cannot hold (or, on
// Linux, is not UTF-8).
bool pal_TextFromSystem(std::string_view system, std::string* text);
