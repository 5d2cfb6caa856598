// Settling the remote system of a new connection: what the greeting tells about the
// server's STAT reply, which host type the server runs (the user's rules, SYST, the
// greeting, else the user's answer), how Windows NT servers list, and the quirks of VMS
// servers. Connection open runs each step at its own point of the open.
#pragma once

#include <cstdint>

#include "connection/ftp_connection.h"

// The settings detection reads, in the module's section (section names are not
// case-sensitive, so this is the section the options dialog writes as "FTP_Protocol").
constexpr const char* DETECTION_SECTION = "FTP_PROTOCOL";
constexpr const char* PASSIVE_MODE_KEY = "SupportPasv";
// "OSTYPE-1" to "OSTYPE-8": "<system name>;<piece of greeting text>".
constexpr const char* HOST_RULE_KEY_PREFIX = "OSTYPE-";
constexpr int HOST_RULE_COUNT = 8;
// A rule holds at most 64 characters.
constexpr int HOST_RULE_SIZE = 64 + 1;

// ---------------------------------------------------------------------------------------
// The names of the host types
// ---------------------------------------------------------------------------------------

// The display names of HostType 2 to 13 are the string-table entries 1 to 12 of the
// resource module (entry n names type n + 1); each is read with room for 32 characters.
constexpr int FIRST_NAMED_ENTRY = 1;
constexpr int LAST_NAMED_ENTRY = 12;
constexpr int HOST_TYPE_NAME_SIZE = 32 + 1;

enum class NameCase { Matters, Ignored };

// The HostType whose display name equals `name`, trying the entries in their order: 2 to
// 13, or 0 when no name is equal. An entry the resource module lacks equals nothing.
int32_t HostTypeOfName(const char* name, NameCase nameCase);

// ---------------------------------------------------------------------------------------
// The steps of the open
// ---------------------------------------------------------------------------------------

// Greeting check, for every open: sets the STAT-reports-representation flag when the
// greeting text (without its code columns) names, right after its first '(', a server of
// the maker's whose STAT reply reports a file's representation.
void CheckGreeting(FtpConnection* connection, const char* greetingText);

// Host detection, for a record that asks for it: reads the passive-mode setting, then
// settles the host type by the user's rules against the saved greeting, the SYST reply,
// the saved greeting, and finally the AUTODETECT_DLG question. 2 to 13, 0 when the user
// confirmed the question without a usable choice, or -1 when the user cancelled it.
int32_t DetectHostType(FtpConnection* connection);

// For a server of host type 11: makes sure it lists in UNIX style with SITE DIRSTYLE,
// which switches between the two listing styles. 10 when the server has no such switch
// (it lists in DOS style), else 11.
int32_t CheckDirectoryStyle(FtpConnection* connection);

// For a VMS server: the one host quirk flag that its greeting text (without the code
// columns) tells it needs, or 0 when the greeting does not tell.
uint32_t VmsQuirkFromGreeting(const char* greetingText);

// The directory the VMS probe tries to enter; no server holds it.
constexpr const char* VMS_PROBE_DIRECTORY = "KWAXYBOGUSDIR";
