// Text in the user's own characters. The module's host code page is Windows-1252: once a
// connection names the server's code set (--charset, or ServerCodeSet in section
// FTP_Protocol of ORR.INI), every name and message the module hands over or takes is
// Windows-1252, whatever the server speaks. ftpsh then keeps its own text in Windows-1252
// too and converts only at its edges: what it prints and what the user types (the
// terminal's encoding), and the names of local files (the local file system's encoding).
// Without a chosen code set nothing is converted: the server's bytes pass as they are.
#pragma once

#include <cstdint>
#include <string>

namespace ftpsh {

// The code-set library's number of a code set named "UTF-8", "Windows-1252" (or
// "CP1252"), "ISO-8859-1", "ISO-8859-15" or "IBM437", in any case and with or without
// the hyphens; 0 for another name.
uint8_t CodeSetNumber(const std::string& name);

// Chooses the server's code set for the connections opened from now on (0: none) and,
// for a code set, starts converting ftpsh's output, command lines and local names. Called
// once, at start.
void ChooseServerCodeSet(uint8_t number);
uint8_t ServerCodeSet();

// A line the user typed, in the module's host code page; characters it lacks become '?'.
std::string UserToHost(const std::string& typed);
// Text of the module as the terminal shows it (for what is not printed through standard
// output, such as completion candidates).
std::string HostToUser(const std::string& text);
// A local file's name as the local file system spells it, and back.
std::string LocalName(const std::string& hostName);
std::string HostName(const std::string& localName);

}  // namespace ftpsh
