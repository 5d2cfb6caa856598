// Logging on to the server with USER, PASS and ACCT, asking the user through prompts when
// the server refuses a text.
#pragma once

#include <cstdint>

#include "connection/ftp_connection.h"

// Logs on with the three texts, each a writable buffer of LOGON_TEXT_SIZE bytes: a prompt
// answer replaces the text it corrects. `hostType` decides the account rule: for VM and
// automatic detection an account that was given follows the password at once. 0 only when
// the server let the user in (class 2); FSE_USER_PROMPT_CANCELLED when the user-name prompt
// was cancelled; FSE_LOGON_REFUSED when the server had the last word with a refusal (a
// transient one, 4xx, included); FSE_LOGON_BROKEN when the connection broke or the server
// closed it (421); FSE_UNEXPECTED_REPLY for a reply code outside 100 to 599; or the failure
// of a wait (time-out, cancel). Preliminary replies are read past to the final one.
int32_t Logon(char* user, char* password, char* account, FtpConnection* connection,
              uint8_t hostType);
